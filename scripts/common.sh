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

# Starts a private Xvfb and exports DISPLAY; stop_xvfb ends it. Xvfb picks a
# free display number itself (-displayfd).
ADVCLEAN_XVFB_PID=""
ADVCLEAN_XVFB_DIR=""
start_xvfb() {
  ADVCLEAN_XVFB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/advclean-xvfb.XXXXXX")
  local fdfile=$ADVCLEAN_XVFB_DIR/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$fdfile" </dev/null >/dev/null 2>"$ADVCLEAN_XVFB_DIR/log" &
  ADVCLEAN_XVFB_PID=$!
  local i n=""
  for i in $(seq 1 100); do
    n=$(tr -dc '0-9' <"$fdfile" 2>/dev/null || true)
    [ -n "$n" ] && break
    kill -0 "$ADVCLEAN_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "could not start Xvfb:" >&2
    cat "$ADVCLEAN_XVFB_DIR/log" >&2 || true
    return 1
  fi
  export DISPLAY=":$n"
}

stop_xvfb() {
  if [ -n "$ADVCLEAN_XVFB_PID" ]; then
    kill "$ADVCLEAN_XVFB_PID" 2>/dev/null || true
    wait "$ADVCLEAN_XVFB_PID" 2>/dev/null || true
    ADVCLEAN_XVFB_PID=""
  fi
  if [ -n "$ADVCLEAN_XVFB_DIR" ]; then
    rm -rf "$ADVCLEAN_XVFB_DIR"
    ADVCLEAN_XVFB_DIR=""
  fi
}

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
