#!/usr/bin/env bash
# The test command: builds the native and the Windows build, runs every test
# of both (the Windows ones under Wine, on a private virtual display), then
# fuzzes the engine's file reader for a minute. Expects scripts/setup.sh to
# have run. Ends with the line "N passed, N failed" and a non-zero exit code
# when anything failed. A build that fails counts as one failed test, and so
# does a fuzz run with a finding.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ADVCLEAN_ROOT"

fuzz_seconds=${ADVCLEAN_FUZZ_SECONDS:-60}
passed=0
failed=0
summary=()

cleanup() {
  stop_wine "$BUILD_WIN64"
  stop_xvfb
}
trap cleanup EXIT

step() { echo; echo "=== $*"; }
seconds_since() { echo $(( $(date +%s) - $1 )); }

if [ -d "$ADVCLEAN_FIXTURES" ]; then
  echo "Fixtures: $ADVCLEAN_FIXTURES"
else
  echo "NOTE: no fixtures at $ADVCLEAN_FIXTURES: the real-file tests and the fuzz seeds are skipped"
fi

# The Windows tests get a display of their own, so that runs are alike on a
# desktop and in CI. ADVCLEAN_USE_DISPLAY=1 keeps an existing DISPLAY.
if [ -z "${ADVCLEAN_USE_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
  if ! start_xvfb; then
    echo "cannot start Xvfb: the Windows tests need it" >&2
    echo "0 passed, 1 failed"
    exit 1
  fi
fi
echo "Display for the Windows tests: $DISPLAY"

# build NAME DIR CONFIGURE_FUNCTION: returns non-zero when it fails.
build_one() {
  local name=$1 dir=$2 configure=$3 t0
  t0=$(date +%s)
  step "build $name ($dir)"
  if quiet "$dir-configure.log" "$configure" && quiet "$dir-build.log" build "$dir"; then
    echo "built $name in $(seconds_since "$t0") s"
    return 0
  fi
  echo "BUILD FAILED: $name" >&2
  failed=$((failed + 1))
  summary+=("$name: build failed")
  return 1
}

run_ctest() {
  local name=$1 dir=$2 t0 log rc line p f total
  t0=$(date +%s)
  step "ctest $name"
  log=$dir/ctest.log
  (cd "$dir" && ctest --output-on-failure -j "$ADVCLEAN_JOBS" </dev/null) 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    f=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    total=$(sed -E 's/.* out of ([0-9]+)/\1/' <<<"$line")
    p=$((total - f))
  else
    p=0
    f=0
    grep -q 'No tests were found' "$log" && echo "WARNING: $name has no tests"
  fi
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
    f=1  # ctest itself failed
  fi
  passed=$((passed + p))
  failed=$((failed + f))
  summary+=("$name: $p passed, $f failed ($(seconds_since "$t0") s)")
}

t_start=$(date +%s)
if build_one native "$BUILD_NATIVE" configure_native; then
  run_ctest native "$BUILD_NATIVE"
fi
if build_one win64 "$BUILD_WIN64" configure_win64; then
  run_ctest "win64 (Wine)" "$BUILD_WIN64"
fi

step "fuzz ${fuzz_seconds}s"
t0=$(date +%s)
if bash "$ADVCLEAN_ROOT/scripts/fuzz.sh" "$fuzz_seconds"; then
  passed=$((passed + 1))
  summary+=("fuzz: passed ($(seconds_since "$t0") s)")
else
  failed=$((failed + 1))
  summary+=("fuzz: FAILED ($(seconds_since "$t0") s)")
fi

cleanup
trap - EXIT
step "summary ($(seconds_since "$t_start") s)"
for s in "${summary[@]}"; do echo "  $s"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
