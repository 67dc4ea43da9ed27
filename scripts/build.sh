#!/usr/bin/env bash
# Sets the machine up if needed, then builds the engine, the module, the tests
# and the examples into build/ (with WEXLA_SANITIZE=1: the sanitizer build,
# into build-asan/). WEXLA_JOBS sets the number of parallel compile jobs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/setup.sh"
build_dir="$root/build"
options=()
if [ "${WEXLA_SANITIZE:-0}" = 1 ]; then
  build_dir="$root/build-asan"
  options=(-DWEXLA_SANITIZE=ON)
fi
cmake -S "$root" -B "$build_dir" -G Ninja -DWEXLA_DEPS_DIR="$DEPS_DIR" "${options[@]}" >/dev/null
echo "[build] compiling the engine, its Node module, the tests and the examples into $build_dir"
cmake --build "$build_dir" -j "${WEXLA_JOBS:-$(nproc)}"
