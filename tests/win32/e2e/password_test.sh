#!/usr/bin/env bash
# nightbloom.scr /a on an NT-type Windows (Wine reports one): the password change has no
# provider to hand over to; the program shows nothing and exits with 0.
source "$(dirname "$0")/lib.sh"

reset_registry
xdotool mousemove 1000 700
sleep 0.3
screenshot "$NB_WORK/before.png"
start_saver /a
shown=0
for _ in $(seq 50); do
  running "$saver_pid" || break
  program_window_shown Nightbloom && shown=1
  sleep 0.1
done
wait_exit "$saver_pid" 10 || fail "/a did not end within 15 s"
[ "$exit_code" -eq 0 ] || fail "/a exit code $exit_code, not 0"
[ "$shown" -eq 0 ] || fail "/a showed a window"
screenshot "$NB_WORK/after.png"
changed=$(check differ "$NB_WORK/before.png" "$NB_WORK/after.png" 0 0 1024 768)
[ "$changed" -eq 0 ] || fail "the desktop changed ($changed pixels)"
note "exit code 0, no window, the desktop unchanged"
echo "ok"
