#!/usr/bin/env bash
# Builds the libFuzzer target with clang into build/fuzz and fuzzes the
# engine's file reader for SECONDS (default 600), starting from every table
# (.db) under the shared fixtures. Exits non-zero on any finding; the input
# that caused it is kept in build/fuzz/artifacts/.
#   bash scripts/fuzz.sh [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds=${1:-600}
shift || true
case $seconds in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS] [libFuzzer flags...]" >&2; exit 2 ;;
esac

quiet "$ADVCLEAN_ROOT/build/fuzz-configure.log" configure_fuzz
quiet "$ADVCLEAN_ROOT/build/fuzz-build.log" build "$BUILD_FUZZ" fuzz_table

corpus=$BUILD_FUZZ/corpus      # grows with what the fuzzer finds
seeds=$BUILD_FUZZ/seeds        # copied afresh from the fixtures each run
artifacts=$BUILD_FUZZ/artifacts
rm -rf "$seeds"
mkdir -p "$corpus" "$seeds" "$artifacts"

if [ -d "$ADVCLEAN_FIXTURES" ]; then
  count=0
  while IFS= read -r -d '' f; do
    rel=${f#"$ADVCLEAN_FIXTURES"/}
    cp "$f" "$seeds/${rel//\//_}"
    count=$((count + 1))
  done < <(find "$ADVCLEAN_FIXTURES" -type f -iname '*.db' -print0)
  # The inputs earlier runs stopped on, replayed first.
  kept=$ADVCLEAN_SHARED/fixtures/fuzz
  if [ -d "$kept" ]; then
    for f in "$kept"/*.db; do
      [ -e "$f" ] || continue
      cp "$f" "$seeds/kept_$(basename "$f")"
      count=$((count + 1))
    done
  fi
  chmod -R u+w "$seeds"
  echo "fuzz: $count seed tables from $ADVCLEAN_FIXTURES and $kept"
else
  echo "fuzz: SKIPPED seeding: no fixtures at $ADVCLEAN_FIXTURES; starting from an empty corpus"
fi

log=$BUILD_FUZZ/fuzz.log
echo "fuzz: running fuzz_table for ${seconds}s (log: $log)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
set +e
"$BUILD_FUZZ/tests/fuzz/fuzz_table" \
  -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" \
  "$corpus" "$seeds" </dev/null >"$log" 2>&1
status=$?
set -e
if [ $status -ne 0 ]; then
  tail -n 80 "$log"
  echo "fuzz: FAILED (exit $status); inputs kept in $artifacts:" >&2
  ls -l "$artifacts" >&2 || true
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || tail -n 3 "$log"
echo "fuzz: no findings in ${seconds}s; corpus $(find "$corpus" -type f | wc -l) inputs"
