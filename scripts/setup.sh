#!/usr/bin/env bash
# Prepares a machine to build the engine: system packages, then fmt and slang
# built once into a cache outside the repository. Safe to run again: a warm
# machine returns in seconds.
#
# Reads WEXLA_DEPS_DIR (where fmt and slang go) and WEXLA_JOBS (parallel
# compile jobs; all cores when unset).
set -euo pipefail

FMT_VERSION=12.1.0
SLANG_VERSION=10.0.0
DEPS_DIR="${WEXLA_DEPS_DIR:-$HOME/.cache/wexla/deps-fmt${FMT_VERSION}-slang${SLANG_VERSION}}"
STAMP="$DEPS_DIR/.complete"

log() { printf '[setup] %s\n' "$*"; }

install_system_packages() {
  local wanted=(cmake ninja-build g++ libsqlite3-dev sqlite3 libgtest-dev python3-pip)
  local missing=()
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  # pip may come from a non-Debian Python; only ask Debian for it when python3 has none.
  if python3 -m pip --version >/dev/null 2>&1; then
    missing=("${missing[@]/python3-pip}")
  fi
  local real=()
  for pkg in "${missing[@]}"; do [ -n "$pkg" ] && real+=("$pkg"); done
  if [ ${#real[@]} -gt 0 ]; then
    log "installing Debian packages: ${real[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${real[@]}" >/dev/null
  fi
}

build_deps() {
  if [ -f "$STAMP" ]; then
    log "dependencies ready in $DEPS_DIR"
    return
  fi
  log "building fmt $FMT_VERSION and slang $SLANG_VERSION into $DEPS_DIR"
  log "this happens once per machine and takes several minutes"
  rm -rf "$DEPS_DIR"
  mkdir -p "$DEPS_DIR"
  local work
  work=$(mktemp -d)

  log "fetching fmt $FMT_VERSION"
  python3 -m pip download -q --no-deps --only-binary :all: --dest "$work" "cmeel-fmt==$FMT_VERSION"
  python3 - "$work" "$DEPS_DIR" <<'PY'
import glob, os, sys, zipfile
work, dest = sys.argv[1], sys.argv[2]
wheel = glob.glob(os.path.join(work, "cmeel_fmt-*.whl"))[0]
prefix = "cmeel.prefix/"
with zipfile.ZipFile(wheel) as z:
    for info in z.infolist():
        if not info.filename.startswith(prefix) or info.is_dir():
            continue
        target = os.path.join(dest, info.filename[len(prefix):])
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with z.open(info) as src, open(target, "wb") as out:
            out.write(src.read())
        mode = (info.external_attr >> 16) & 0o777
        if mode:
            os.chmod(target, mode)
PY
  # The wheel stores the versioned library names as copies; make them links as a normal install would.
  (cd "$DEPS_DIR/lib" && for f in libfmt.so libfmt.so.12; do
     [ -f "$f" ] && [ ! -L "$f" ] && rm "$f" && ln -s "libfmt.so.$FMT_VERSION" "$f"; done; true)

  log "fetching slang $SLANG_VERSION source"
  python3 -m pip download -q --no-deps --no-binary :all: --dest "$work" "pyslang==$SLANG_VERSION"
  tar xzf "$work/pyslang-$SLANG_VERSION.tar.gz" -C "$work"
  local src="$work/pyslang-$SLANG_VERSION"

  log "configuring slang"
  cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS_DIR" \
    -DCMAKE_PREFIX_PATH="$DEPS_DIR" \
    -Dfmt_DIR="$DEPS_DIR/lib/cmake/fmt" \
    -DFETCHCONTENT_FULLY_DISCONNECTED=ON \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
    -DSLANG_INCLUDE_PYLIB=OFF \
    -DSLANG_INCLUDE_TOOLS=OFF \
    -DSLANG_INCLUDE_TESTS=OFF \
    -DSLANG_INCLUDE_DOCS=OFF \
    -DSLANG_USE_MIMALLOC=OFF \
    -DSLANG_USE_CPPTRACE=OFF >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }

  log "building slang (progress below)"
  # Print ninja's step counter every 20 seconds; on failure show the errors.
  cmake --build "$work/build" -j "${WEXLA_JOBS:-$(nproc)}" >"$work/build.log" 2>&1 &
  local builder=$!
  while kill -0 "$builder" 2>/dev/null; do
    sleep 20
    local step
    step=$(grep -o '^\[[0-9]*/[0-9]*\]' "$work/build.log" | tail -n 1)
    [ -n "$step" ] && log "slang $step"
  done
  if ! wait "$builder"; then
    grep -B2 -A6 'error' "$work/build.log" | head -60
    log "slang build failed"
    exit 1
  fi
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  touch "$STAMP"
  log "dependencies ready in $DEPS_DIR"
}

# Node-API headers normally come with Node.js; fetch them from npm where they don't.
ensure_node_api_headers() {
  local node_include
  node_include=$(node -p "require('path').resolve(process.execPath, '..', '..', 'include', 'node')")
  if [ -f "$node_include/node_api.h" ] || [ -f "$DEPS_DIR/node_modules/node-api-headers/include/node_api.h" ]; then
    return
  fi
  log "fetching Node-API headers"
  npm install --silent --prefix "$DEPS_DIR" node-api-headers >/dev/null
}

install_system_packages
build_deps
ensure_node_api_headers
