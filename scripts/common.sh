# Shared by the scripts in this folder: where things are and how the three
# builds are configured. Source it; it defines variables and functions only.

ADVCLEAN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ADVCLEAN_JOBS=${ADVCLEAN_JOBS:-2}
ADVCLEAN_SHARED=${ADVCLEAN_SHARED_DIR:-$ADVCLEAN_ROOT/../shared}
ADVCLEAN_FIXTURES=$ADVCLEAN_SHARED/fixtures/paradox

BUILD_NATIVE=$ADVCLEAN_ROOT/build/native
BUILD_WIN64=$ADVCLEAN_ROOT/build/win64
BUILD_FUZZ=$ADVCLEAN_ROOT/build/fuzz

# cmake -S/-B with the options every script uses for that build, so that the
# scripts share build folders without reconfiguring each other's.

configure_native() {
  cmake -S "$ADVCLEAN_ROOT" -B "$BUILD_NATIVE" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release "-DADVCLEAN_SHARED_DIR=$ADVCLEAN_SHARED"
}

configure_win64() {
  cmake -S "$ADVCLEAN_ROOT" -B "$BUILD_WIN64" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ADVCLEAN_ROOT/cmake/toolchain-mingw64.cmake" \
    "-DADVCLEAN_SHARED_DIR=$ADVCLEAN_SHARED"
}

configure_fuzz() {
  CC=clang CXX=clang++ cmake -S "$ADVCLEAN_ROOT" -B "$BUILD_FUZZ" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DADVCLEAN_FUZZ=ON -DADVCLEAN_TESTS=OFF \
    "-DADVCLEAN_SHARED_DIR=$ADVCLEAN_SHARED"
}

build() {  # build DIR [TARGET...]
  local dir=$1
  shift
  local targets=()
  local t
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$ADVCLEAN_JOBS" "${targets[@]}"
}

# start_xvfb and stop_xvfb.
source "$ADVCLEAN_ROOT/scripts/xvfb.sh"

# Waits for the Wine processes of a build's prefix to end (a few seconds after
# the last program), then makes sure they are gone.
stop_wine() {  # stop_wine BUILD_DIR
  local prefix=$1/wineprefix
  [ -d "$prefix" ] || return 0
  WINEPREFIX=$prefix timeout 30 wineserver -w 2>/dev/null ||
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}

# Runs a command with its output in LOG; prints the log when it fails.
quiet() {  # quiet LOG COMMAND...
  local log=$1
  shift
  mkdir -p "$(dirname "$log")"
  if "$@" >"$log" 2>&1; then
    return 0
  else
    local status=$?
    cat "$log" >&2
    return $status
  fi
}
