#!/usr/bin/env bash
# Signals. A message box up at start-up (no OpenGL to draw with: "Enumeration failed")
# goes with the program on SIGTERM or SIGINT, leaving neither the process that shows it nor
# its window, and the exit code says that nothing was shown. One request that arrives twice
# at once (`timeout` signals the process and its group) ends the program cleanly, as one
# does.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600

# Top-level windows named Nightbloom on the screen (xdotool does not read the name SDL's
# message box sets).
box_windows() {
  local window count=0
  for window in $(xwininfo -root -children | awk '/^ +0x[0-9a-f]+ "Nightbloom":/ { print $1 }'); do
    xwininfo -id "$window" 2>/dev/null | grep -q IsViewable && count=$((count + 1))
  done
  echo "$count"
}
box_up() { [ "$(box_windows)" -ge 1 ]; }

say "a message box is up when the signal comes"
for signal in TERM INT; do
  __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json run "box$signal" --fullscreen
  pid=$last_pid
  if ! wait_until 10 box_up; then
    fail "SIG$signal: no message box came up"; continue
  fi
  helper=$(pgrep -P "$pid" | head -n 1)
  check "the box is shown by a process of the program's ($helper)" test -n "$helper"
  start=$(date +%s%N)
  kill -"$signal" "$pid"
  wait_exit "$pid" 2
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  # A second on an idle machine; the bound only allows for a busy one (the box used to
  # hold the program until someone clicked it).
  check "SIG$signal ends the box and the program at once (${took} ms, exit $code)" \
    test "$code" -ne 124 -a "$took" -lt $((2 * second_ms))
  check "... with exit code 1: nothing was shown" test "$code" -eq 1
  check "... the box's process is gone" bash -c "[ -z '$helper' ] || ! kill -0 '$helper' 2>/dev/null"
  check "... and its window" test "$(box_windows)" -eq 0
  check "... the reason stays on the error stream" grep -q "Enumeration failed" "$WORK/box$signal.err"
done

say "one request arriving twice at once"
# The way `timeout` ends a program: the signal to the process and to its group. Both come
# before the program has taken the first, or right after: either way one request.
for round in 1 2 3 4 5; do
  run "twice$round"
  pid=$last_pid
  wait_window "$pid" 10 >/dev/null || { fail "round $round: no window"; continue; }
  kill -TERM "$pid"; kill -TERM "$pid"
  sleep 0.02; kill -TERM "$pid"
  wait_exit "$pid" 2
  check "round $round: the program ends cleanly (exit $code)" test "$code" -eq 0
done
for round in 1 2 3; do
  timeout --preserve-status -s TERM "$((2 * slower))" "$NB" >"$WORK/timeout$round.out" 2>"$WORK/timeout$round.err"
  code=$?
  check "timeout -s TERM, round $round: exit $code, the program's own" test "$code" -eq 0
done

finish
