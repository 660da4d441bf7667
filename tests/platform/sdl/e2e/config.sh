#!/usr/bin/env bash
# The configuration run (/c and --settings) of the real program on a desktop with a window
# manager, driven with xdotool as a user would: OK saves the changed settings as REG_DWORD
# values; Cancel, Esc and the close box save nothing; Video Config opens the device dialog
# over the configuration dialog, whose OK saves the device choice at once (REG_SZ of 40
# bytes) even when the configuration dialog is cancelled afterwards, and whose Cancel saves
# nothing; the next /s runs in the chosen mode. A signal ends the run within a second with
# nothing saved, and so does the dialog's window destroyed by another program; a window of
# the program that vanishes under it never ends it with an X error.
# Screenshots of both dialogs go to config-dialog.png and device-dialog.png in $WORK.
source "$(dirname "$0")/lib.sh"
start_xvfb 1280x1024
start_wm
file="$XDG_CONFIG_HOME/nightbloom/registry.ini"

# The dialogs' sizes and the centres of their controls, in dialog units: clicks land on
# the client area scaled by its size in pixels, whatever the font makes of a unit.
config_title="Nightbloom Configuration" config_size="169 177"
ok="137 14" cancel="137 30" video_config="137 59" particles="120 97" smoke="120 114"
use_sound="40 132"
device_title="Select a Direct3D Driver" device_size="179 84"
device_ok="90 72" device_cancel="148 72" modes="105 50"

# Waits up to SECONDS for the visible window named TITLE of process PID; prints its number.
wait_dialog() {  # pid title seconds
  local limit=$(($3 * slower * 10)) tenths=0 window
  while [ $tenths -lt $limit ]; do
    window=$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && { echo "$window"; return 0; }
    alive "$1" || return 1
    sleep 0.1; tenths=$((tenths + 1))
  done
  return 1
}
has_focus() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
gone() { ! xwininfo -id "$1" >/dev/null 2>&1 || ! xwininfo -id "$1" | grep -q 'IsViewable'; }

# The client area of a window on the screen: ox oy (its corner), cw ch (its size).
geometry() {
  eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "ox=" $NF}
    /Absolute upper-left Y/ {print "oy=" $NF} /Width:/ {print "cw=" $NF} /Height:/ {print "ch=" $NF}')"
}
click() {  # window "width height" "x y" (dialog units)
  local dw dh x y
  read -r dw dh <<<"$2"
  read -r x y <<<"$3"
  geometry "$1"
  xdotool mousemove --sync $((ox + x * cw / dw)) $((oy + y * ch / dh)) click 1
  sleep 0.2
}
# The window manager's close box: at the right end of the title bar above the client area.
click_close_box() {  # window
  local ry
  geometry "$1"
  ry=$(xwininfo -id "$1" | awk '/Relative upper-left Y/ {print $NF}')
  xdotool mousemove --sync $((ox + cw - 8)) $((oy - ry / 2)) click 1
}
# The program's windows on the screen (the dialogs, and the menu of an open list).
shown() { xdotool search --all --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
# Opens a drop-down list with a click and picks an item with the keys given.
pick() {  # window size centre keys...
  local window=$1 size=$2 centre=$3 before; shift 3
  before=$(shown)
  click "$window" "$size" "$centre"
  wait_until 5 bash -c "[ \$(xdotool search --all --onlyvisible --pid $pid 2>/dev/null | wc -l) -gt $before ]" ||
    { fail "the list did not open"; return 1; }
  sleep 0.2
  xdotool key --delay 150 "$@" Return
  wait_until 5 bash -c "[ \$(xdotool search --all --onlyvisible --pid $pid 2>/dev/null | wc -l) -le $before ]" ||
    fail "the list did not close"
}

# Starts NAME with ARGS and waits for its configuration dialog: sets pid and config.
open_config() {  # name args...
  local name=$1; shift
  run "$name" "$@"
  pid=$last_pid
  config=$(wait_dialog "$pid" "$config_title" 10) || { fail "$name: no configuration dialog"; return 1; }
  wait_until 5 has_focus "$config" || fail "$name: the configuration dialog did not get the focus"
  sleep 0.3
}
open_device_dialog() {
  click "$config" "$config_size" "$video_config"
  device=$(wait_dialog "$pid" "$device_title" 10) || { fail "no device dialog"; return 1; }
  wait_until 5 has_focus "$device" || fail "the device dialog did not get the focus"
  sleep 0.3
}
ended_cleanly() {  # what: the process of open_config ends on its own with 0
  wait_exit "$pid" 5
  check "$1 (exit $code)" test "$code" -eq 0
}
unchanged() { cmp -s "$WORK/before.ini" "$file"; }
keep() { cp "$file" "$WORK/before.ini"; }

say "OK saves the changed settings, each a REG_DWORD of 4 bytes"
if open_config ok /c; then
  "$PROBE" shot root "$WORK/config-dialog.png"
  stats "$config"
  check "the dialog is drawn (${s_width}x$s_height, $s_lit pixels lit)" \
    test "$s_width" -gt 200 -a "$s_lit" -gt 10000 -a "$s_distinct_green" -gt 32
  click "$config" "$config_size" "$use_sound"
  pick "$config" "$config_size" "$particles" Up Up
  pick "$config" "$config_size" "$smoke" Up
  click "$config" "$config_size" "$ok"
  ended_cleanly "OK ends the run"
fi
for line in "E=dword:00000000" "F=dword:00000000" "G=dword:00000001"; do
  check "$line" has_line "$line"
done
check "nothing else saved" test "$(registry | grep -c '=')" -eq 3
keep

say "Cancel, Esc and the close box save nothing"
for way in cancel esc close_box; do
  # --settings is the same run as /c.
  args=/c; [ $way = cancel ] && args=--settings
  open_config "$way" $args || continue
  click "$config" "$config_size" "$use_sound"
  pick "$config" "$config_size" "$particles" Down
  case $way in
    cancel) click "$config" "$config_size" "$cancel" ;;
    esc) xdotool key Escape ;;
    close_box) click_close_box "$config" ;;
  esac
  ended_cleanly "$way ends the run"
  check "$way saved nothing" unchanged
done

say "Video Config: the device dialog over the configuration dialog; its OK saves at once"
if open_config video_ok /c && open_device_dialog; then
  check "the device dialog belongs to the configuration dialog" \
    bash -c "xprop -id $device WM_TRANSIENT_FOR | grep -q '$(printf '0x%x' "$config")\$'"
  pick "$device" "$device_size" "$modes" Down   # 640 x 480 x 16, the default, to x 32
  sleep 0.3
  "$PROBE" shot root "$WORK/device-dialog.png"
  stats "$device"
  check "the device dialog is drawn (${s_width}x$s_height)" test "$s_width" -gt 200 -a "$s_lit" -gt 5000
  click "$device" "$device_size" "$device_ok"
  check "the device dialog closed" wait_until 5 gone "$device"
  check "the configuration dialog is still there" alive "$pid"
  for line in "A=sz:40:Primary Display Driver" "B=sz:40:display" "C=sz:40:RGB Emulation" \
              "D=sz:40:640 x 480 x 32"; do
    check "$line, saved at once" has_line "$line"
  done
  check "... and the settings untouched" bash -c "grep -E '^[EFG]=' '$file' | cmp -s - <(grep -E '^[EFG]=' '$WORK/before.ini')"
  click "$config" "$config_size" "$use_sound"
  click "$config" "$config_size" "$cancel"
  ended_cleanly "Cancel of the configuration dialog ends the run"
  check "the device choice stays after the Cancel" has_line "D=sz:40:640 x 480 x 32"
  check "the settings stay as they were" bash -c "grep -E '^[EFG]=' '$file' | cmp -s - <(grep -E '^[EFG]=' '$WORK/before.ini')"
fi
keep

say "Cancel in the device dialog saves nothing"
if open_config video_cancel /c && open_device_dialog; then
  pick "$device" "$device_size" "$modes" Up     # 1280 x 1024 x 32
  click "$device" "$device_size" "$device_cancel"
  check "the device dialog closed" wait_until 5 gone "$device"
  check "nothing saved" unchanged
  xdotool key Escape
  ended_cleanly "Esc then ends the run"
  check "still nothing saved" unchanged
fi

say "the next /s runs in the chosen 640 x 480 x 32"
run saver /s
if wait_window "$last_pid" 10 >/dev/null; then
  wait_lit root 20000 5
  "$PROBE" shot root "$WORK/saver.png"
  letterboxed() {
    stats root
    test "$s_lit_left" -lt 40 -a "$s_lit_right" -gt 1240 -a "$s_lit_top" -ge 32 -a \
         "$s_lit_bottom" -le $((1024 - 33)) -a "$s_lit_bottom" -gt 700
  }
  check "the 4:3 picture fills the width, black bars of 32 rows above and below" wait_until 4 letterboxed
  many_greens() { stats root; test "$s_distinct_green" -gt 64; }
  check "32 bits: more greens than 5-6-5 has" wait_until 8 many_greens
  echo "     ($s_distinct_green greens; lit from row $s_lit_top to $s_lit_bottom)"
  xdotool key x
  wait_exit "$last_pid" 2
  check "a key ends it (exit $code)" test "$code" -eq 0
else
  fail "no saver window"
fi
check "the mode it started in is the saved one" has_line "D=sz:40:640 x 480 x 32"
keep

say "SIGTERM ends the run within a second with nothing saved"
for where in configuration device; do
  open_config "term_$where" /c || continue
  click "$config" "$config_size" "$use_sound"
  if [ $where = device ]; then
    open_device_dialog || continue
    pick "$device" "$device_size" "$modes" Up
  fi
  start=$(date +%s%N)
  kill -TERM "$pid"
  wait_exit "$pid" 2
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  check "SIGTERM with the $where dialog open: exit $code within a second (${took} ms)" \
    test "$code" -eq 0 -a "$took" -lt "$second_ms"
  check "nothing saved" unchanged
done

say "windows that vanish under the program"
# The program's own window (the hidden one the dialogs belong to) destroyed by another
# program: releasing it at the end is an X error, which must not end the program, and the
# dialog goes on meanwhile.
if open_config own_window /c; then
  own=
  # (xdotool's names match without regard to case, and GTK has a "nightbloom" window.)
  for window in $(xdotool search --all --pid "$pid" 2>/dev/null); do
    [ "$(xdotool getwindowname "$window")" = Nightbloom ] && own=$window
  done
  if [ -n "$own" ]; then
    xdotool windowclose "$own"
    click "$config" "$config_size" "$use_sound"
    pick "$config" "$config_size" "$smoke" Down
    click "$config" "$config_size" "$ok"
    ended_cleanly "OK ends the run"
    check "and saved what the user did" \
      bash -c "grep -qx 'E=dword:00000001' '$file' && grep -qx 'G=dword:00000002' '$file'"
    keep
  else
    fail "no window of the program's own to destroy"
  fi
fi
for which in configuration device; do
  open_config "vanish_$which" /c || continue
  click "$config" "$config_size" "$use_sound"
  target=$config
  if [ $which = device ]; then
    open_device_dialog || continue
    pick "$device" "$device_size" "$modes" Up
    target=$device
  fi
  start=$(date +%s%N)
  xdotool windowclose "$target"  # destroyed by another program
  if [ $which = configuration ]; then
    wait_exit "$pid" 2
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    check "the configuration dialog destroyed: the run ends (exit $code) within a second (${took} ms)" \
      test "$code" -eq 0 -a "$took" -lt "$second_ms"
  else
    check "the device dialog destroyed: the configuration dialog goes on" \
      bash -c "sleep 0.5; kill -0 $pid && xwininfo -id $config | grep -q IsViewable"
    wait_until 5 has_focus "$config" || xdotool windowactivate --sync "$config"
    xdotool key Escape
    ended_cleanly "Esc then ends the run"
  fi
  check "nothing saved" unchanged
done

complaints=$(grep -H 'X Error\|X error' "$WORK"/*.err)
check "no X error reported" test -z "$complaints"
[ -z "$complaints" ] || echo "$complaints"
# A dialog destroyed from outside makes GTK complain as it lets go of the window's frame
# clock; anywhere else, and about a widget used after it was gone, it must not.
complaints=$(grep -H 'CRITICAL' $(ls "$WORK"/*.err | grep -v /vanish_) /dev/null; grep -H 'GTK_IS_WIDGET' "$WORK"/*.err)
check "no complaints of the toolkit" test -z "$complaints"
[ -z "$complaints" ] || echo "$complaints"
finish
