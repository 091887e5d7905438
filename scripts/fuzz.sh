#!/usr/bin/env bash
# Runs every fuzz program of BUILD_DIR for SECONDS each (or until RUNS executions), seeded from the
# shipped assets, and prints each one's executions and coverage. A crash, hang or leak leaves its input
# in BUILD_DIR/findings/TARGET/ and makes the script exit 1; copy it to tests/fuzz/regressions/TARGET/
# once the reader is mended, so that the ordinary tests replay it.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS [RUNS] [TARGET...]
set -uo pipefail

build=$1
seconds=$2
runs=${3:--1}
shift $(( $# >= 3 ? 3 : $# ))
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(archive picture texture_program song drums song_text drum_recipes texture_text png_picture)
fi

"$build/make_seeds" "$root/assets" "$build/seeds" || exit 1
failed=0
printf '%-16s %12s %8s %8s %s\n' target executions cov ft result
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t/
  mkdir -p "$corpus" "$findings"
  log=$build/logs/$t.log
  mkdir -p "$(dirname "$log")"
  "$build/fuzz_$t" -max_total_time="$seconds" -runs="$runs" -timeout=30 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$findings" "$corpus" "$build/seeds/$t" >"$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  result=ok
  if [ $status -ne 0 ]; then
    result="FOUND (see $log and $findings)"
    failed=1
  fi
  printf '%-16s %12s %8s %8s %s\n' "$t" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
exit $failed
