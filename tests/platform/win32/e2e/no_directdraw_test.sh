#!/usr/bin/env bash
# Without DirectDraw (Wine's DLL override disables DDRAW.DLL) nightbloom.scr /s shows its
# message box instead of failing to load; dismissing it ends the program with 0.
source "$(dirname "$0")/lib.sh"

reset_registry
xdotool mousemove 512 384
WINEDLLOVERRIDES="mscoree,mshtml,ddraw=" start_saver /s
wait_window Nightbloom 30 || fail "no message box appeared (see $NB_WORK/saver.log)"
sleep 0.5
screenshot "$NB_WORK/message.png"
note "the message box is up"
running "$saver_pid" || fail "the program ended before the message box was dismissed"
xdotool key Return
wait_exit "$saver_pid" 5 || fail "dismissing the message box did not end the program"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code, not 0"
note "dismissed: exit code 0"
echo "ok"
