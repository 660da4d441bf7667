#!/usr/bin/env bash
# The real program's show is the trace tool's: the same seed and levels (given on the
# command line, for this run only) give the same trace, line for line, for as many ticks
# as the program ran.
source "$(dirname "$0")/lib.sh"
: "${TRACE:?}"
start_xvfb 800x600

NIGHTBLOOM_SEED=424242 NIGHTBLOOM_TRACE="$WORK/program.trace" run saver --fullscreen --particles medium --smoke low
wait_window "$last_pid" 10 >/dev/null || fail "no window"
sleep 3
xdotool mousemove 400 300 key Escape
wait_exit "$last_pid" 2
check "the key ended it (exit $code)" test "$code" -eq 0
ticks=$(grep -c '^tick ' "$WORK/program.trace")
check "it ran a while ($ticks ticks)" test "$ticks" -gt 60
check "the header names the seed and the levels of the run" \
  grep -qx 'trace 1 seed=424242 particles=1 smoke=0' "$WORK/program.trace"
"$TRACE" --seed 424242 --ticks "$ticks" --particles 1 --smoke 0 >"$WORK/tool.trace"
check "identical to nightbloom-trace's" cmp "$WORK/program.trace" "$WORK/tool.trace"
check "the overrides were not saved" test -z "$(registry | grep -E '^[EFG]=')"
finish
