#!/usr/bin/env bash
# The soak: the whole presentation live under a virtual display (Xvfb) with SDL's dummy sound driver,
# RUNS times in a row. For each run it reports the resident set after the first minute and the peak at
# the end (they must agree within 1 MiB: nothing grows per frame) and the frames whose render time is
# over three times the median (there must be none). Exits 1 if either rule fails.
# Usage: scripts/soak.sh [BUILD_DIR] [RUNS]
set -uo pipefail

build=${1:-build}
runs=${2:-2}
program=$build/brannik
out=$build/soak
mkdir -p "$out"
command -v Xvfb >/dev/null || { echo "soak: Xvfb is not installed (scripts/setup-deps.sh)" >&2; exit 1; }
[ -x "$program" ] || { echo "soak: $program is not built" >&2; exit 1; }

display=:$(( 200 + $$ % 50 ))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1

# Resident set figures of a live process, in KiB.
field() { sed -n "s/^$2:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$1/status" 2>/dev/null; }

failed=0
for run in $(seq 1 "$runs"); do
  trace=$out/trace_$run.csv
  DISPLAY=$display SDL_AUDIODRIVER=dummy "$program" --trace "$trace" >"$out/log_$run.txt" 2>&1 &
  pid=$!
  started=$(date +%s)
  at_minute=""
  peak=""
  while kill -0 "$pid" 2>/dev/null; do
    hwm=$(field "$pid" VmHWM)
    [ -n "$hwm" ] && peak=$hwm
    if [ -z "$at_minute" ] && [ $(( $(date +%s) - started )) -ge 60 ]; then at_minute=$peak; fi
    sleep 1
  done
  wait "$pid"
  status=$?
  slow=$(awk -F, 'NR > 1 { print $10 }' "$trace" | sort -n | awk '
    { v[NR] = $1 } END { if (NR == 0) { print "none"; exit } m = v[int((NR + 1) / 2)];
      n = 0; for (i = 1; i <= NR; ++i) if (v[i] > 3 * m) ++n; printf "%d of %d frames (median %.1f ms, worst %.1f ms)", n, NR, m, v[NR] }')
  growth=$(( ${peak:-0} - ${at_minute:-0} ))
  echo "run $run: exit $status; peak RSS after 1 min ${at_minute:-?} KiB, at the end ${peak:-?} KiB (growth $growth KiB); over 3x the median: $slow"
  [ "$status" -eq 0 ] || failed=1
  [ -n "$at_minute" ] && [ "$growth" -le 1024 ] || failed=1
  case $slow in 0\ of*) ;; *) failed=1 ;; esac
done
exit $failed
