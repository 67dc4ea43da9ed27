#!/usr/bin/env bash
# Builds everything and runs the engine's main job on the example design,
# driven from Node as a front end drives it. The build's progress goes to
# standard error, the example's summary to standard output.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
echo "[example] building first: on a machine that has never built the engine this" \
  "installs packages and compiles fmt, slang and the engine, which takes several minutes" >&2
bash "$root/scripts/build.sh" >&2
cd "$root"
echo "[example] running examples/simulate_counter.js" >&2
node examples/simulate_counter.js out/example.db examples/counter.sv
