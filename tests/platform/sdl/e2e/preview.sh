#!/usr/bin/env bash
# The preview (/p ID, the window number in decimal or hexadecimal): picture 400 fills a
# child of window ID, which follows its size; the preview ends with exit 0 when that window
# is destroyed, or within a second of SIGTERM. A number that names no window, or none at
# all, is refused with exit 2.
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

say "a window number that names no window, or none at all"
run none /p 123456
wait_exit "$last_pid" 5
check "refused at once with 2, as --window-id refuses it (exit $code)" test "$code" -eq 2
check "... saying why" grep -q "no X window 0x1e240" "$WORK/none.err"
for args in "/p" "/p abc" "/p 0"; do
  # shellcheck disable=SC2086
  run bad $args
  wait_exit "$last_pid" 5
  check "'$args' is refused with 2, not run as the full-screen saver (exit $code)" test "$code" -eq 2
done
check "nothing else was put on the screen" test -z "$(xdotool search --onlyvisible --name Nightbloom 2>/dev/null)"
check "no X errors" test -z "$(grep -h 'X Error\|X error' "$WORK"/*.err)"
finish
