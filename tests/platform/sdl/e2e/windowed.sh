#!/usr/bin/env bash
# Without arguments the show runs in an ordinary window: mouse moves and clicks do not end
# it; Esc, q and the close box do; so do SIGINT and SIGTERM, within a second.
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768

run window
window=$(wait_window "$last_pid" 10) || fail "no window"
check "an 800 x 600 window" test "$(xdotool getwindowgeometry "$window" | grep -c 'Geometry: 800x600')" -eq 1
xdotool mousemove --window "$window" 100 100; sleep 0.1
xdotool mousemove --window "$window" 400 400 click 1; sleep 0.1
xdotool click 3; sleep 2
xdotool mousemove --window "$window" 20 20 click 1
xdotool key space; sleep 0.5
check "moves, clicks and other keys leave it running" alive "$last_pid"
sleep 0.5
stats "$window"
"$PROBE" shot "$window" "$WORK/window.png"
check "the show is in it" test "$s_lit" -gt 5000 -a "$s_width" -eq 800
xdotool key Escape
wait_exit "$last_pid" 2
check "Esc ends it (exit $code)" test "$code" -eq 0

for way in q close INT TERM; do
  run "$way"
  window=$(wait_window "$last_pid" 10) || fail "no window"
  xdotool mousemove --window "$window" 200 200
  start=$(date +%s%N)
  case $way in
    q) xdotool key q ;;
    close) "$PROBE" close "$window" ;;
    *) kill -"$way" "$last_pid" ;;
  esac
  wait_exit "$last_pid" 2
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  check "$way ends it (exit $code) within a second (${took} ms)" test "$code" -eq 0 -a "$took" -lt 1000
done
finish
