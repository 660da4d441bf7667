#!/usr/bin/env bash
# nightbloom.scr /c driven with the keyboard through xdotool: the configuration dialog is
# on screen with picture 400 in it; Cancel writes nothing; changed settings and OK write
# "E", "F", "G" as REG_DWORD; the device dialog opened from it shows the mode chosen in it
# and saves that mode at once (even when the configuration dialog is then cancelled), and
# the next /s shows the show in that mode. The screenshots are looked at where the
# dialogs' controls are (e2e_helper reads their places and texts).
#   NB_PICTURE  resources/picture400.bmp
source "$(dirname "$0")/lib.sh"
: "${NB_PICTURE:?}"

open_dialog() {
  xdotool mousemove 1000 700
  start_saver /c
  wait_window "Nightbloom Configuration" 60 || fail "the configuration dialog did not appear"
  sleep 0.5
}

# Focus starts on OK; the tab order is OK, Cancel, Video Config, particles, smoke, sound.
change_settings() {
  xdotool key Tab Tab Tab Up Tab Up Up Tab space
  sleep 0.3
}

settings_of() { run_windows 20 reg query "$saver_key" | grep -E '^ +[EFG] ' | sed -E 's/ +/ /g; s/^ //'; }

reset_registry

echo "Cancel writes nothing"
open_dialog
change_settings
xdotool key Escape
wait_exit "$saver_pid" 10 || fail "Cancel did not close the dialog"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after Cancel"
run_windows 20 reg query "$saver_key" >/dev/null 2>&1 && fail "Cancel wrote to the registry"
note "no key after Cancel"

echo "OK writes the three settings"
open_dialog
box=$(dialog_controls "Nightbloom Configuration" 10) || fail "no dialog titled Nightbloom Configuration"
screenshot "$NB_WORK/config.png"
picture=$(awk '$1 == "control" && $4 == "bitmap" { print $2 }' <<<"$box")
[ -n "$picture" ] || fail "the configuration dialog has no picture"
read -r x y w h _ <<<"$(control_place "$box" "$picture")"
[ "${w}x$h" = 152x118 ] || fail "the picture is ${w}x$h, not picture 400's 152x118"
far=$(check same-as "$NB_WORK/config.png" "$x" "$y" "$w" "$h" "$NB_PICTURE" 12)
note "config.png: picture 400 at $x,$y; share of its pixels off by more than 12: $far"
python3 -c "import sys; sys.exit(0 if float('$far') <= 0.03 else 1)" ||
  fail "config.png does not show picture 400 where the dialog's picture is"
change_settings
xdotool key Return
wait_exit "$saver_pid" 10 || fail "OK did not close the dialog"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after OK"
written=$(settings_of)
echo "$written" | sed 's/^/    /'
expected=$'E REG_DWORD 0x0\nF REG_DWORD 0x1\nG REG_DWORD 0x0'
[ "$written" = "$expected" ] || fail "the settings written are not sound off, particles Med, smoke Low"
for name in E F G; do
  value_is "$name" 4 4 || fail "$name is not a 4-byte REG_DWORD"
done

echo "the device dialog saves another mode"
open_dialog
xdotool key Tab Tab space
wait_window "Select a Direct3D Driver" 20 || fail "the device dialog did not open"
before=$(dialog_controls "Select a Direct3D Driver" 10) || fail "no dialog titled Select a Direct3D Driver"
sleep 0.3
screenshot "$NB_WORK/device-before.png"
# OK, Cancel, driver, device, mode: open the mode list, two entries down, choose, OK.
xdotool key Tab Tab Tab Tab F4
sleep 0.3
xdotool key Down Down Return
sleep 0.3
chosen=$(dialog_controls "Select a Direct3D Driver" 10) || fail "the device dialog went"
screenshot "$NB_WORK/device.png"
# The mode box shows another mode than before, and only it changed on screen.
read -r _ _ _ _ old_mode <<<"$(control_place "$before" 1002)"
read -r x y w h shown_mode <<<"$(control_place "$chosen" 1002)"
changed=$(check differ "$NB_WORK/device-before.png" "$NB_WORK/device.png" "$x" "$y" "$w" "$h")
read -r dx dy dw dh _ <<<"$(control_place "$chosen" 1000)"
driver_changed=$(check differ "$NB_WORK/device-before.png" "$NB_WORK/device.png" "$dx" "$dy" "$dw" "$dh")
note "device.png: the mode box shows '$shown_mode' (was '$old_mode'), $changed pixels changed in it, $driver_changed in the driver box"
[ -n "$shown_mode" ] && [ "$shown_mode" != "$old_mode" ] || fail "the mode box does not show another mode"
[ "$changed" -ge 30 ] || fail "device.png does not show the mode box changed"
[ "$driver_changed" -eq 0 ] || fail "device.png shows the driver box changed too"
xdotool key Return
sleep 0.5
program_window_shown "Select a Direct3D Driver" && fail "OK did not close the device dialog"
xdotool key Escape
wait_exit "$saver_pid" 10 || fail "the configuration dialog did not close"
mode=$(run_windows 20 reg query "$saver_key" /v D | sed -nE 's/^ +D +REG_SZ +//p')
note "saved mode: $mode"
[[ "$mode" =~ ^[0-9]+\ x\ [0-9]+\ x\ [0-9]+$ ]] || fail "no mode saved"
[ "$mode" != "640 x 480 x 16" ] || fail "the mode did not change"
[ "$mode" = "$shown_mode" ] || fail "the saved mode '$mode' is not the one the dialog showed"
[ "$(settings_of)" = "$expected" ] || fail "cancelling the dialog changed the settings"
value_is D 1 40 || fail "D is not a 40-byte REG_SZ"

echo "the next /s runs in that mode"
width=${mode%% x *}
rest=${mode#* x }
height=${rest%% x *}
xdotool mousemove 100 100
trace="$NB_WORK/saver.trace"
NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
wait_ticks "$trace" 2 30 || fail "the saver did not start"
wait_active Nightbloom "$width" "$height" 10 || fail "the saver is not the active ${width}x${height} window"
sleep 1
size=$(desktop_size)
read -r ox oy <<<"$(desktop_origin)"
screenshot "$NB_WORK/saver.png"
xdotool key space
wait_exit "$saver_pid" 10 || fail "the saver did not end on a key"
[ "$size" = "${width}x${height}" ] || fail "the saver ran at $size, not ${width}x${height}"
coloured=$(check coloured "$NB_WORK/saver.png" "$ox" "$oy" "$width" "$height")
note "saver.png: $coloured coloured pixels in the ${width}x${height} screen"
[ "$coloured" -ge 150 ] || fail "saver.png shows no show in the ${width}x${height} mode"
after=$(run_windows 20 reg query "$saver_key" /v D | sed -nE 's/^ +D +REG_SZ +//p')
[ "$after" = "$mode" ] || fail "the saver saved '$after' instead of '$mode'"
note "ran at $size and kept '$mode'"
reset_registry
echo "ok"
