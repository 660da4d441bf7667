#!/usr/bin/env bash
# nightbloom.scr /a on an NT-type Windows (Wine reports one): the password change is handed
# to MPR.DLL's PwdChangePasswordA, which on such a system asks nothing (Wine's only notes
# the call); the program shows nothing of its own and exits with 0.
source "$(dirname "$0")/lib.sh"

reset_registry
xdotool mousemove 1000 700
start_saver /a
shown=0 seen=
# Looked for every 100 ms while it runs: a window (or message box) of the program, or a
# change of the display mode.
for _ in $(seq 50); do
  running "$saver_pid" || break
  if program_window_shown Nightbloom; then
    shown=1
    seen=$(xwininfo -root -tree | grep '"nightbloom.scr"')
  fi
  size=$(desktop_size)
  [ -z "$size" ] || [ "$size" = 1024x768 ] || { shown=1; seen="the desktop at $size"; }
  sleep 0.1
done
wait_exit "$saver_pid" 10 || fail "/a did not end within 15 s"
[ "$exit_code" -eq 0 ] || fail "/a exit code $exit_code, not 0"
[ "$shown" -eq 0 ] || fail "/a showed a window: $seen"
size=$(desktop_size)
[ -z "$size" ] || [ "$size" = 1024x768 ] || fail "the display mode changed ($size)"
note "exit code 0, no window shown, the display mode untouched"
echo "ok"
