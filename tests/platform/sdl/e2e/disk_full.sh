#!/usr/bin/env bash
# The settings folder full, or read-only, when the program saves (a small file system in a
# mount namespace of the test's own, mounted over the folder): the saver's save of the
# device choice at start fails, the saver runs all the same, the old file stays whole, one
# line on the error stream says why, and no temporary file is left. OK in the settings
# dialog says it where the user looks, in a message box, and the run ends with 1 instead
# of the 0 of a save that worked.
source "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root (a mount namespace)"; exit 77; fi
start_xvfb 1024x768
start_wm
folder="$XDG_CONFIG_HOME/nightbloom"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nE=dword:00000000\nF=dword:00000001\n' \
  >"$WORK/before.ini"
mkdir -p "$folder"

# Runs the program in a mount namespace whose settings folder is a 64 KiB file system
# holding the old file, then made full or read-only. What the folder holds afterwards is
# copied to $WORK/NAME; the program's id goes to $pid once it runs.
pid=
in_namespace() {  # name full|readonly args...
  local name=$1 how=$2 tenths=0; shift 2
  mkdir -p "$WORK/$name"
  unshare --mount --propagation private -- bash -c '
    folder=$1 how=$2 out=$3; shift 3
    mount -t tmpfs -o size=64k,mode=0700 nightbloom-settings "$folder" || exit 90
    cp "$out/../before.ini" "$folder/registry.ini"
    if [ "$how" = full ]; then
      dd if=/dev/zero of="$folder/filler" bs=4k count=100 2>/dev/null
    else
      mount -o remount,ro "$folder" || exit 91
    fi
    "$@" >"$out/out" 2>"$out/err" &
    echo $! >"$out/pid"
    wait $!
    code=$?
    ls -A "$folder" >"$out/listing"
    cp "$folder/registry.ini" "$out/registry.ini"
    echo $code >"$out/code"  # last: the test reads the rest once this is there
  ' _ "$folder" "$how" "$WORK/$name" "$NB" "$@" &
  started+=("$!")
  while [ ! -s "$WORK/$name/pid" ] && [ $tenths -lt 50 ]; do sleep 0.1; tenths=$((tenths + 1)); done
  pid=$(cat "$WORK/$name/pid" 2>/dev/null)
  [ -n "$pid" ] && started+=("$pid")
  [ -n "$pid" ]
}
ended() {  # name: waits for the namespace's report; its exit code goes to $code
  wait_until 10 test -s "$WORK/$1/code" && code=$(cat "$WORK/$1/code") || code=124
}
box_up() {  # a top-level window named Nightbloom (SDL's message box) is on the screen
  local window
  for window in $(xwininfo -root -tree | awk '/^ +0x[0-9a-f]+ "Nightbloom":/ { print $1 }'); do
    xwininfo -id "$window" 2>/dev/null | grep -q IsViewable && return 0
  done
  return 1
}

say "the saver starts with the disk full"
if in_namespace saver full /s; then
  wait_window "$pid" 10 >/dev/null || fail "no window"
  check "the saver runs" wait_lit root 2000 5
  kill -TERM "$pid"
  ended saver
  check "it ends on SIGTERM as always (exit $code)" test "$code" -eq 0
  check "the old file is whole" cmp "$WORK/before.ini" "$WORK/saver/registry.ini"
  check "one line says why" \
    test "$(grep -c "could not be saved to .*registry.ini (No space left on device)" "$WORK/saver/err")" -eq 1
  check "no temporary file is left ($(tr '\n' ' ' <"$WORK/saver/listing"))" \
    test "$(grep -vcx 'registry.ini\|filler' "$WORK/saver/listing")" -eq 0
else
  fail "no namespace"
fi

for how in full readonly; do
  say "OK in the settings dialog, the folder $how"
  in_namespace "dialog-$how" "$how" --settings || { fail "no namespace"; continue; }
  if wait_until 10 bash -c "xdotool search --onlyvisible --pid $pid --name '^Nightbloom Configuration\$' >/dev/null"; then
    sleep 0.5
    xdotool key Return
  else
    fail "no settings dialog"
  fi
  check "a message box says it" wait_until 10 box_up
  "$PROBE" shot root "$WORK/dialog-$how.png"
  kill -TERM "$pid"   # a signal closes the box and ends the run
  ended "dialog-$how"
  check "the run ends with 1: the settings were not saved (exit $code)" test "$code" -eq 1
  check "the old file is whole" cmp "$WORK/before.ini" "$WORK/dialog-$how/registry.ini"
  check "the reason is on the error stream" grep -q "could not be saved" "$WORK/dialog-$how/err"
  check "no temporary file is left" \
    test "$(grep -vcx 'registry.ini\|filler' "$WORK/dialog-$how/listing")" -eq 0
done
finish
