#!/usr/bin/env bash
# Without DirectDraw (Wine's DLL override disables DDRAW.DLL) nightbloom.scr /s shows its
# message box instead of failing to load: caption "Nightbloom", the text of a failure
# without a message of its own, "Generic application error.", the error icon and one OK
# button; dismissing it ends the program with 0.
source "$(dirname "$0")/lib.sh"

reset_registry
xdotool mousemove 512 384
WINEDLLOVERRIDES="mscoree,mshtml,ddraw=" start_saver /s
wait_window Nightbloom 30 || fail "no message box appeared (see $NB_WORK/saver.log)"
box=$(dialog_controls Nightbloom 20) || fail "no dialog titled Nightbloom"
sleep 0.5
screenshot "$NB_WORK/message.png"
echo "$box" | sed 's/^/    /'
running "$saver_pid" || fail "the program ended before the message box was dismissed"

text=$(control_place "$box" 65535)
[ "${text#* * * * }" = "Generic application error." ] || fail "the message is '${text#* * * * }'"
buttons=$(awk '$1 == "control" && $3 == "Button" { print $9 }' <<<"$box")
[ "$buttons" = OK ] || fail "the buttons are '$(echo $buttons)', not one OK"
icon=$(control_place "$box" 1088)
[ -n "$icon" ] || fail "the message box has no icon"
# The error icon is the red one (a warning would be yellow, information blue).
read -r x y w h _ <<<"$icon"
reds=$(check red "$NB_WORK/message.png" "$x" "$y" "$w" "$h")
note "the message reads 'Generic application error.', one OK button; $reds red pixels in its icon"
[ "$reds" -ge 50 ] || fail "the icon at $x,$y is not the error icon (see message.png)"

xdotool key Return
wait_exit "$saver_pid" 5 || fail "dismissing the message box did not end the program"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code, not 0"
note "dismissed: exit code 0"
echo "ok"
