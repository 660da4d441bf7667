#!/usr/bin/env bash
# The show inside a window of another program (--window-id, and --root with
# XSCREENSAVER_WINDOW, as XScreenSaver runs its hacks):
# it appears there, follows the window's size with its aspect kept, takes no notice of the
# mouse, ends within a second of SIGTERM, and ends cleanly, with no X error, when the window
# is destroyed under it.
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768
host_start 400 300
check "the host window is there ($host_window)" test -n "$host_window"

run embedded --window-id "$host_window"
wait_lit "$host_window" 3000 5
check "it runs" alive "$last_pid"
"$PROBE" shot "$host_window" "$WORK/embedded.png"
check "the show is in the window ($s_lit pixels lit)" test "$s_lit" -gt 3000
check "all over it: the show's child covers the window" test "$("$PROBE" children "$host_window" | awk '{print $2 "x" $3 "+" $4 "+" $5}')" = 400x300+0+0
check "... and the stars reach its edges" test "$s_lit_left" -lt 60 -a "$s_lit_right" -gt 340 -a "$s_lit_top" -lt 80

child_size() { test "$("$PROBE" children "$host_window" | awk '{print $2 "x" $3}')" = "$1"; }
host_do resize 600 300
check "its child follows the new size" wait_until 3 child_size 600x300
sleep 0.3
wait_lit "$host_window" 3000 3
"$PROBE" shot "$host_window" "$WORK/resized.png"
check "4:3 in 600 x 300: black bars of 100 columns at each side" \
  test "$s_lit_left" -ge 100 -a "$s_lit_right" -le 499 -a "$s_lit" -gt 3000

xdotool mousemove 100 100; sleep 0.2
xdotool mousemove 300 250; sleep 0.2
xdotool mousemove 500 100; sleep 0.5
check "mouse moves over it change nothing" alive "$last_pid"
start=$(date +%s%N)
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
took=$(( ($(date +%s%N) - start) / 1000000 ))
check "SIGTERM ends it (exit $code)" test "$code" -eq 0
check "within a second (${took} ms)" test "$took" -lt "$second_ms"
check "the window is as it was, without the child" test -z "$("$PROBE" children "$host_window")"

say "--root inside the window XScreenSaver names"
XSCREENSAVER_WINDOW="$host_window" run root -root
sleep 0.5
wait_lit "$host_window" 3000 5
check "the show is in XSCREENSAVER_WINDOW ($s_lit pixels lit)" test "$s_lit" -gt 3000
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "SIGTERM ends it (exit $code)" test "$code" -eq 0

say "the window goes"
run vanishing --window-id "$host_window"
sleep 1.5
host_do destroy
wait_exit "$last_pid" 2
check "it ends when its window is destroyed (exit $code)" test "$code" -eq 0
check "no X errors" test -z "$(grep -h 'X Error\|X error' "$WORK"/*.err)"

say "no such window"
run missing --window-id 0x7ffffff
wait_exit "$last_pid" 5
check "refused with exit 2" test "$code" -eq 2
check "with a reason" grep -q "no X window 0x7ffffff" "$WORK/missing.err"
finish
