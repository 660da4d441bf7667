#!/usr/bin/env bash
# Without arguments the show runs in an ordinary window: mouse moves and clicks do not end
# it; Esc, q and the close box do; so do SIGINT and SIGTERM, within a second, and the window
# destroyed by another program. Hidden, it waits; shown again, it draws again. Its frames
# never outpace the display.
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768

NIGHTBLOOM_STATS=1 run window
window=$(wait_window "$last_pid" 10) || fail "no window"
check "an 800 x 600 window" test "$(xdotool getwindowgeometry "$window" | grep -c 'Geometry: 800x600')" -eq 1
xdotool mousemove --window "$window" 100 100; sleep 0.1
xdotool mousemove --window "$window" 400 400 click 1; sleep 0.1
xdotool click 3; sleep 2
xdotool mousemove --window "$window" 20 20 click 1
xdotool key space; sleep 0.5
check "moves, clicks and other keys leave it running" alive "$last_pid"
wait_lit "$window" 5000 3
"$PROBE" shot "$window" "$WORK/window.png"
check "the show is in it" test "$s_lit" -gt 5000 -a "$s_width" -eq 800
say "hidden by another program, and shown again"
xdotool windowunmap "$window"; sleep 0.5
check "it waits while it cannot be seen" alive "$last_pid"
xdotool windowmap "$window"
wait_lit "$window" 5000 3
check "and draws again once it can ($s_lit pixels lit)" wait_until 3 picture_changed "$window" "$s_hash"
# Unmapping took the keyboard focus with it (no window manager here to give it back).
xdotool windowfocus "$window" mousemove --window "$window" 100 100 key Escape
wait_exit "$last_pid" 2
check "Esc ends it (exit $code)" test "$code" -eq 0
fps=$(sed -n 's/.*: \([0-9.]*\) frames per second/\1/p' "$WORK/window.err")
check "never more frames than the display refreshes (60 Hz here): $fps per second" \
  awk -v f="${fps:-0}" 'BEGIN { exit !(f > 0 && f <= 61) }'

for way in q close INT TERM vanish; do
  run "$way"
  window=$(wait_window "$last_pid" 10) || fail "no window"
  xdotool mousemove --window "$window" 200 200
  start=$(date +%s%N)
  case $way in
    q) xdotool key q ;;
    close) "$PROBE" close "$window" ;;
    vanish) xdotool windowclose "$window" ;;  # destroyed by another program
    *) kill -"$way" "$last_pid" ;;
  esac
  wait_exit "$last_pid" 2
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  check "$way ends it (exit $code) within a second (${took} ms)" test "$code" -eq 0 -a "$took" -lt "$second_ms"
done
check "no X errors" test -z "$(grep -h 'X Error\|X error' "$WORK"/*.err)"
finish
