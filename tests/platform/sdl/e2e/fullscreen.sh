#!/usr/bin/env bash
# The screensaver run (/s) with a saved 640 x 480 x 16 choice on a 1280 x 1024 screen: the
# picture fills the screen with its aspect kept (black bars above and below, 32 rows each)
# and holds colours of 5-6-5 steps only; the input rules end it as on Windows (mouse moves
# ignored during the 1.5 s grace period, a move of 5 pixels ignored after it and one of 6
# not, any key, any button); the device choice is in the key file with its exact types.
source "$(dirname "$0")/lib.sh"
start_xvfb 1280x1024
write_choice "RGB Emulation" "640 x 480 x 16"

say "mouse moves: grace period, 5 and 6 pixels"
xdotool mousemove 600 500
run moves /s
window=$(wait_window "$last_pid" 10) || { fail "no window"; finish; }
shown=$(date +%s%N)
xdotool mousemove 900 800                      # far, but within the grace period
sleep 0.6
check "a big move within the grace period is ignored" alive "$last_pid"
wait_lit root 20000 5                           # the show gets going
"$PROBE" shot root "$WORK/fullscreen.png"
check "the window covers the screen" test "$(xdotool getwindowgeometry "$window" | grep -c 'Geometry: 1280x1024')" -eq 1
check "the picture is there" test "$s_lit" -gt 20000
spans() {
  stats root
  test "$s_lit_left" -lt 40 -a "$s_lit_right" -gt 1240 -a "$s_lit_top" -lt 120 -a "$s_lit_bottom" -gt 700
}
check "the picture spans the width and most of the height" wait_until 4 spans
check "black bars above and below: 32 rows each" \
  test "$s_lit_top" -ge 32 -a "$s_lit_bottom" -le $((1024 - 33))
check "5-6-5 colours only ($s_distinct_red reds, $s_distinct_green greens, $s_distinct_blue blues)" \
  test "$s_distinct_red" -le 32 -a "$s_distinct_green" -le 64 -a "$s_distinct_blue" -le 32
# Well past the grace period of 1.5 s (counted from about when the window appeared).
while [ $(( ($(date +%s%N) - shown) / 1000000 )) -lt $((2000 * slower)) ]; do sleep 0.1; done
move_by 5 5
sleep 0.5
check "a move of 5 pixels along both axes is ignored" alive "$last_pid"
move_by 6 0
wait_exit "$last_pid" 2
check "a move of 6 pixels ends it (exit $code)" test "$code" -eq 0

say "the device choice in the key file"
for line in "A=sz:40:Primary Display Driver" "B=sz:40:display" "C=sz:40:RGB Emulation" \
            "D=sz:40:640 x 480 x 16"; do
  check "$line" has_line "$line"
done

say "a key, a button"
run key /s
window=$(wait_window "$last_pid" 10) || fail "no window"
xdotool mousemove 640 512
xdotool key x
wait_exit "$last_pid" 2
check "a key ends it at once (exit $code)" test "$code" -eq 0
run button /s
window=$(wait_window "$last_pid" 10) || fail "no window"
xdotool click 3
wait_exit "$last_pid" 2
check "a button ends it at once (exit $code)" test "$code" -eq 0
check "no X errors" test -z "$(grep -h 'X Error' "$WORK"/*.err)"
finish
