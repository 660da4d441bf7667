#!/usr/bin/env bash
# What a user of the installed Nightbloom sees, on the X display in DISPLAY (a private one,
# see installer_test.sh) and in the Wine prefix in WINEPREFIX: the Start-menu entry
# "Nightbloom Settings" opens the configuration dialog, which Esc closes; the saver runs /s
# from the system folder as Windows starts it, two screenshots a second apart show the show
# (not the desktop), and a key ends it. Screenshots go to WORK. Every wait is bounded; the
# saver, which this script starts, is ended by its process id if it outlives the test.
#   run_installed.sh LOADER WORK LINK SAVER_PATH
loader=$1 work=$2 link=$3 saver=$4
measure=$(cd "$(dirname "$0")/../../platform/win32/e2e" && pwd)/check.py
saver_pid=
end_saver() { [ -n "$saver_pid" ] && { kill -KILL "$saver_pid" 2>/dev/null; wait "$saver_pid" 2>/dev/null; }; }
trap end_saver EXIT
fail() { echo "FAIL: $*"; exit 1; }

windows() { xwininfo -root -tree 2>/dev/null; }
# Waits at most $2 tenths of a second until command $1 succeeds.
wait_until() {
  local tries=0
  until eval "$1"; do
    [ $tries -ge "$2" ] && return 1
    sleep 0.1; tries=$((tries + 1))
  done
}

echo "== the Start-menu entry \"Nightbloom Settings\""
"$loader" start /unix "$link" </dev/null >>"$work/wine.log" 2>&1
wait_until 'windows | grep -q "\"Nightbloom Configuration\""' 600 ||
  fail "it opened no configuration dialog within 60 s"
sleep 0.5
import -window root "$work/settings-from-start-menu.png"
echo "ok   it opens the configuration dialog (settings-from-start-menu.png)"
xdotool key Escape
wait_until '! windows | grep -q "\"Nightbloom Configuration\""' 100 || fail "Esc did not close the dialog"
echo "ok   ... and Esc closes it"

echo "== $saver /s"
NIGHTBLOOM_TRACE="Z:${work//\//\\}\\saver.trace" "$loader" "$saver" /s </dev/null >>"$work/wine.log" 2>&1 &
saver_pid=$!
wait_until 'grep -q "^tick 60 " "$work/saver.trace" 2>/dev/null || ! kill -0 $saver_pid 2>/dev/null' 600
grep -q '^tick 60 ' "$work/saver.trace" 2>/dev/null || fail "the saver ran no second of its show within 60 s"
import -window root "$work/installed-saver-1.png"
sleep 1
import -window root "$work/installed-saver-2.png"
for shot in 1 2; do
  coloured=$(python3 "$measure" coloured "$work/installed-saver-$shot.png" 0 0 640 480)
  [ "${coloured:-0}" -ge 150 ] || fail "installed-saver-$shot.png shows no show ($coloured coloured pixels)"
done
changed=$(python3 "$measure" differ "$work/installed-saver-1.png" "$work/installed-saver-2.png" 0 0 640 480)
[ "${changed:-0}" -ge 2000 ] || fail "the two screenshots barely differ ($changed pixels)"
echo "ok   it shows the show: $coloured coloured pixels, $changed changed in a second (installed-saver-*.png)"
xdotool key x
wait_until '! kill -0 $saver_pid 2>/dev/null' 50 || fail "a key did not end the saver within 5 s"
wait "$saver_pid"
rc=$?
saver_pid=
echo "ok   a key ends it (exit code $rc)"
