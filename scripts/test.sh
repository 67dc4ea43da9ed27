#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the engine's C++ tests,
# then the JavaScript tests that drive build/wexla.node from Node.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
(cd "$root/build" && ctest --output-on-failure -j "${WEXLA_JOBS:-$(nproc)}")
cd "$root"
node --test tests/js/*.test.js
