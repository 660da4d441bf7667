#!/usr/bin/env bash
# nightbloom.scr /c driven with the keyboard through xdotool: the configuration dialog is
# on screen; Cancel writes nothing; changed settings and OK write "E", "F", "G" as
# REG_DWORD; the device dialog opened from it saves another mode at once (even when the
# configuration dialog is then cancelled), and the next /s runs in that mode.
source "$(dirname "$0")/lib.sh"

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
screenshot "$NB_WORK/config.png"
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
sleep 0.3
# OK, Cancel, driver, device, mode: open the mode list, two entries down, choose, OK.
xdotool key Tab Tab Tab Tab F4
sleep 0.3
xdotool key Down Down Return
sleep 0.3
screenshot "$NB_WORK/device.png"
xdotool key Return
sleep 0.5
program_window_shown "Select a Direct3D Driver" && fail "OK did not close the device dialog"
xdotool key Escape
wait_exit "$saver_pid" 10 || fail "the configuration dialog did not close"
mode=$(run_windows 20 reg query "$saver_key" /v D | sed -nE 's/^ +D +REG_SZ +//p')
note "saved mode: $mode"
[[ "$mode" =~ ^[0-9]+\ x\ [0-9]+\ x\ [0-9]+$ ]] || fail "no mode saved"
[ "$mode" != "640 x 480 x 16" ] || fail "the mode did not change"
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
sleep 0.5
size=$(desktop_size)
screenshot "$NB_WORK/saver.png"
xdotool key space
wait_exit "$saver_pid" 5 || fail "the saver did not end on a key"
[ "$size" = "${width}x${height}" ] || fail "the saver ran at $size, not ${width}x${height}"
after=$(run_windows 20 reg query "$saver_key" /v D | sed -nE 's/^ +D +REG_SZ +//p')
[ "$after" = "$mode" ] || fail "the saver saved '$after' instead of '$mode'"
note "ran at $size and kept '$mode'"
reset_registry
echo "ok"
