#!/usr/bin/env bash
# The X server killed under the program: the full-screen show, the hack in the root window,
# the show in a window, and the settings dialog. Each time
# the program ends by itself within 2 s, with an exit status of its own (not a signal, no
# core dump), says so in one line on the error stream, and leaves the settings file as it
# was before the server went.
source "$(dirname "$0")/lib.sh"
file="$XDG_CONFIG_HOME/nightbloom/registry.ini"
write_choice "RGB Emulation" "640 x 480 x 16"
ulimit -c 0  # a crash would say so by its signal; no core file is needed to see it

for way in fullscreen root window settings; do
  say "$way"
  start_xvfb 800x600
  display=$DISPLAY
  case $way in
    fullscreen) run "$way" --fullscreen ;;
    root) run "$way" --root ;;
    window) run "$way" ;;
    settings) run "$way" --settings ;;
  esac
  pid=$last_pid
  if [ "$way" = settings ]; then
    wait_until 10 bash -c "xdotool search --onlyvisible --name '^Nightbloom Configuration\$' >/dev/null 2>&1" ||
      fail "no settings dialog"
  elif [ "$way" = root ]; then
    wait_lit root 2000 10 || fail "nothing drawn"
  else
    wait_window "$pid" 10 >/dev/null || fail "no window"
  fi
  sleep 0.5
  cp "$file" "$WORK/before.ini"
  start=$(date +%s%N)
  kill -KILL "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=
  wait_exit "$pid" 2
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  check "it ends by itself within 2 s (${took} ms, exit $code)" test "$code" -ne 124
  check "... with an exit status of its own, not a signal ($code)" test "$code" -gt 0 -a "$code" -lt 128
  check "... saying why in one line" \
    test "$(grep -c "^nightbloom: the connection to the X server $display was lost\$" "$WORK/$way.err")" -eq 1
  check "... and the settings file as it was" cmp -s "$WORK/before.ini" "$file"
done
check "no temporary file of a save left" test -z "$(ls "$XDG_CONFIG_HOME/nightbloom" | grep tmp)"
finish
