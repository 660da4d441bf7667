#!/usr/bin/env bash
# The preview (/p ID, the window number in decimal or hexadecimal): picture 400 fills a
# child of window ID, which follows its size; the preview ends with exit 0 when that window
# is destroyed, or within a second of SIGTERM.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600
host_start 300 200

run preview /p "$((host_window))"
wait_lit "$host_window" 50000 5
"$PROBE" shot "$host_window" "$WORK/preview.png"
check "the picture fills the window" \
  test "$s_lit" -gt 50000 -a "$s_lit_left" -eq 0 -a "$s_lit_top" -eq 0 -a "$s_lit_right" -eq 299 -a "$s_lit_bottom" -eq 199
host_do resize 380 240
wait_lit "$host_window" 80000 3
check "and follows its size, stretched" test "$s_lit_right" -eq 379 -a "$s_lit_bottom" -eq 239 -a "$s_lit" -gt 80000
host_do destroy
wait_exit "$last_pid" 2
check "it ends with 0 when the window goes (exit $code)" test "$code" -eq 0

say "a hexadecimal window number, ended by SIGTERM"
host_do quit
host_start 200 150
run hex /p "$host_window"
wait_lit "$host_window" 20000 5
check "the picture is there" test "$s_lit" -gt 20000
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "SIGTERM ends it (exit $code)" test "$code" -eq 0

say "a window number that names no window"
run none /p 123456
wait_exit "$last_pid" 5
check "ends at once with 0" test "$code" -eq 0
check "no X errors" test -z "$(grep -h 'X Error\|X error' "$WORK"/*.err)"
finish
