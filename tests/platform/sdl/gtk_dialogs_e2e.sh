#!/usr/bin/env bash
# The configuration run mode on a desktop, driven as a user would with xdotool: the real
# shell and dialog procedures over the GTK dialogs (nightbloom-gtk-dialog-driver), mouse
# clicks on the controls, the drop-down lists' menus, Tab, Enter, Esc and the window
# manager's close box. Checks what reaches the registry, what the procedures were told
# (the driver's log), that the device dialog is the configuration dialog's child, and
# saves screenshots of both dialogs. Needs a display with a window manager:
#   with_private_x.sh --wm -- gtk_dialogs_e2e.sh DRIVER OUTPUT_DIR
# Every driver it starts is waited for, and ended by its process id if it outlives its case.
set -u

driver=$1
out=$2
mkdir -p "$out"
rm -f "$out"/*.log "$out"/*.out "$out"/*.err "$out"/*.png

config_title="Nightbloom Configuration"
device_title="Select a Direct3D Driver"
failures=0
checks=0
case_name=''
pid=''

fail() { echo "FAIL [$case_name]: $*"; failures=$((failures + 1)); }
check() {  # description command...
  local what=$1; shift
  checks=$((checks + 1))
  "$@" || fail "$what"
}

on_exit() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi; }
trap on_exit EXIT

# The visible window with exactly this name.
find_window() {
  timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

wait_active() {  # window
  for _ in $(seq 100); do
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

wait_log() {  # extended regular expression
  for _ in $(seq 100); do
    grep -Eq "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the log never showed /$1/"
  return 1
}

count_log() { grep -Ec "$1" "$log" 2>/dev/null; }

handle_of() {  # title: the handle of the last dialog with this title
  grep "^created .* \"$1\"" "$log" | tail -n 1 | cut -d' ' -f2
}

# Screen position of a window's client area.
origin_of() {  # window
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}'
}

click_control() {  # window title id
  local handle rect x y w h ox oy
  handle=$(handle_of "$2")
  rect=$(awk -v h="$handle" -v id="$3" '$1 == "control" && $2 == h && $3 == id {print $5, $6, $7, $8; exit}' "$log")
  if [ -z "$rect" ]; then fail "no control $3 in \"$2\""; return 1; fi
  read -r x y w h <<<"$rect"
  read -r ox oy <<<"$(origin_of "$1")"
  xdotool mousemove --sync $((ox + x + w / 2)) $((oy + y + h / 2)) click 1
}

# The frame's close button: at the right end of the title bar above the client area.
click_close_box() {  # window
  local info ax ay ry w
  info=$(xwininfo -id "$1")
  ax=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  ay=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  ry=$(awk '/Relative upper-left Y/ {print $NF}' <<<"$info")
  w=$(awk '/Width:/ {print $NF}' <<<"$info")
  xdotool mousemove --sync $((ax + w - 8)) $((ay - ry / 2)) click 1
}

# Windows of the program on the screen: the dialogs and an open list's menu.
visible_windows() { xdotool search --onlyvisible --classname "$(basename "$driver")" 2>/dev/null | wc -l; }

# Opens a drop-down list with the mouse and picks an item with the keys given.
pick_from_list() {  # window title id keys...
  local window=$1 title=$2 id=$3 before; shift 3
  before=$(visible_windows)
  click_control "$window" "$title" "$id" || return 1
  for _ in $(seq 50); do
    [ "$(visible_windows)" -gt "$before" ] && break
    sleep 0.1
  done
  if [ "$(visible_windows)" -le "$before" ]; then fail "the list $id did not open"; return 1; fi
  sleep 0.2
  xdotool key --delay 150 "$@" Return
}

start() {  # case driver-options...
  case_name=$1; shift
  log="$out/$case_name.log"
  result="$out/$case_name.out"
  timeout 60 "$driver" --log "$log" "$@" >"$result" 2>"$out/$case_name.err" &
  pid=$!
  config=$(find_window "$config_title")
  if [ -z "$config" ]; then fail "the configuration dialog did not appear"; return 1; fi
  wait_active "$config" || fail "the configuration dialog did not get the focus"
  config_handle=$(handle_of "$config_title")
  wait_log "^message $config_handle init"
}

finish() {
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end"; kill "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null
  local status=$?
  pid=''
  check "exit 0" grep -qx 'exit 0' "$result"
  # Also what a sanitizer build says about the run (see the .err file).
  check "the process ended cleanly (status $status)" test "$status" -eq 0
}

saved() { grep -qx "$1" "$result"; }
nothing_saved() { ! grep -Eq '^[A-G] ' "$result"; }

not_uniform() {  # png: a picture with something on it
  [ -s "$1" ] && [ "$(convert "$1" -format '%[fx:standard_deviation > 0.01]' info:)" = 1 ]
}

# ---- OK saves the three settings as the user changed them.
if start ok_saves_changes --set E=1 --set F=2 --set G=2; then
  import -window root "$out/config-dialog.png"
  check "no notification before the user acts" test "$(count_log '^message .* command')" -eq 0
  click_control "$config" "$config_title" 1014
  wait_log "message $config_handle command 1014 0"
  pick_from_list "$config" "$config_title" 1010 Up Up && wait_log "message $config_handle command 1010 9"
  pick_from_list "$config" "$config_title" 1012 Up && wait_log "message $config_handle command 1012 9"
  check "one selection change for the particles" test "$(count_log "message $config_handle command 1010 1\$")" -eq 1
  click_control "$config" "$config_title" 1
  finish
  check "ended with OK" grep -qx "ended $config_handle 1" "$log"
  check "sound off saved" saved 'E dword 0'
  check "particles Low saved" saved 'F dword 0'
  check "smoke Med saved" saved 'G dword 1'
  check "no device choice saved" bash -c "! grep -Eq '^[A-D] ' '$result'"
  check "screenshot of the configuration dialog" not_uniform "$out/config-dialog.png"
fi

# ---- Cancel, Esc and the close box save nothing.
if start cancel_saves_nothing; then
  click_control "$config" "$config_title" 1014
  pick_from_list "$config" "$config_title" 1010 Up && wait_log "message $config_handle command 1010 9"
  click_control "$config" "$config_title" 2
  finish
  check "ended with Cancel" grep -qx "ended $config_handle 2" "$log"
  check "nothing saved" nothing_saved
fi
if start esc_saves_nothing; then
  click_control "$config" "$config_title" 1014
  wait_log "message $config_handle command 1014 0"
  xdotool key Escape
  finish
  check "Esc sent IDCANCEL" grep -qx "message $config_handle command 2 0" "$log"
  check "nothing saved" nothing_saved
fi
if start close_box_saves_nothing; then
  click_control "$config" "$config_title" 1014
  wait_log "message $config_handle command 1014 0"
  click_close_box "$config"
  finish
  check "the close box sent IDCANCEL" grep -qx "message $config_handle command 2 0" "$log"
  check "nothing saved" nothing_saved
fi

# ---- Enter from a drop-down list confirms: OK, Cancel and Video Config come first in the
# tab order, then the particles list, whose selection the arrow keys move.
if start enter_confirms; then
  xdotool key --delay 150 Tab Tab Tab Up
  wait_log "message $config_handle command 1010 9"
  xdotool key Return
  finish
  check "Enter sent IDOK" grep -qx "message $config_handle command 1 0" "$log"
  check "particles Med saved" saved 'F dword 1'
  check "sound and smoke saved as they were" bash -c "grep -qx 'E dword 1' '$result' && grep -qx 'G dword 2' '$result'"
fi

# ---- Video Config: the device dialog nested in the configuration dialog.
video_config() {  # device-button: 1 (OK) or 2 (Cancel)
  click_control "$config" "$config_title" 1009
  device=$(find_window "$device_title")
  if [ -z "$device" ]; then fail "the device dialog did not appear"; return 1; fi
  wait_active "$device" || fail "the device dialog did not get the focus"
  device_handle=$(handle_of "$device_title")
  wait_log "^message $device_handle init"
  check "the device dialog belongs to the configuration dialog" \
    bash -c "xprop -id '$device' WM_TRANSIENT_FOR | grep -q \"$(printf '0x%x' "$config")\$\""
  check "filling the lists did not notify" test "$(count_log "^message $device_handle command")" -eq 0
  # The mode list of the chosen device starts at 640 x 480 x 16; one down is the next mode.
  pick_from_list "$device" "$device_title" 1002 Down && wait_log "message $device_handle command 1002 9"
  sleep 0.3
  [ "$1" = 1 ] && import -window root "$out/device-dialog.png"
  check "one change and one end-ok for the user's pick, none for the lists' refill" \
    test "$(count_log "^message $device_handle command 100[0-2] ")" -eq 2
  check "the selection change came first" grep -q "^message $device_handle command 1002 1\$" "$log"
  click_control "$device" "$device_title" "$1"
  wait_log "^ended $device_handle $1\$"
}

if start video_config_ok --second-display; then
  video_config 1
  click_control "$config" "$config_title" 2
  finish
  check "driver saved" saved 'A sz 40 Primary Display Driver'
  check "driver name saved" saved 'B sz 40 display'
  check "device saved" saved 'C sz 40 RGB Emulation'
  check "the chosen mode saved" saved 'D sz 40 800 x 600 x 16'
  check "Cancel of the configuration dialog saved no settings" bash -c "! grep -Eq '^[EFG] ' '$result'"
  check "screenshot of both dialogs" not_uniform "$out/device-dialog.png"
fi

if start video_config_cancel; then
  video_config 2
  click_control "$config" "$config_title" 1
  finish
  check "no device choice saved" bash -c "! grep -Eq '^[A-D] ' '$result'"
  check "OK of the configuration dialog saved the settings" saved 'F dword 2'
fi

# ---- Without a display the dialog cannot be shown: the program goes on and ends.
case_name=no_display
log="$out/$case_name.log"
result="$out/$case_name.out"
env -u DISPLAY timeout 30 "$driver" --log "$log" >"$result" 2>"$out/$case_name.err"
status=$?
check "ends normally without a display" grep -qx 'exit 0' "$result"
check "the process ended cleanly (status $status)" test "$status" -eq 0
check "nothing shown" test "$(count_log '^created')" -eq 0
check "nothing saved" nothing_saved

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
