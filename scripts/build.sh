#!/usr/bin/env bash
# Sets the machine up if needed, then builds the engine, the module, the tests
# and the examples into build/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DWEXLA_DEPS_DIR="$DEPS_DIR" >/dev/null
cmake --build "$root/build" -j "${WEXLA_JOBS:-$(nproc)}"
