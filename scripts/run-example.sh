#!/usr/bin/env bash
# Builds everything and runs the engine's main job on the example design.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh" >/dev/null
cd "$root"
"$root/build/simulate_counter" out/example.db examples/counter.sv
