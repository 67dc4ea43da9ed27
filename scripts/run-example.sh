#!/usr/bin/env bash
# Builds everything and runs the engine's main job on the example design,
# driven from Node as a front end drives it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh" >/dev/null
cd "$root"
node examples/simulate_counter.js out/example.db examples/counter.sv
