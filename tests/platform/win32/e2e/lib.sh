# Shared by the end-to-end tests of nightbloom.scr: runs the real program under Wine (the
# repository's prefix and virtual desktop, through cmake/wine-run.sh) on the X display the
# test command started, takes screenshots, sends input with xdotool, reads the registry,
# and ends exactly the processes it started, by process id, whatever way the test ends.
# Every wait is bounded. Sourced by the test scripts; expects in the environment:
#   NB_WINE_RUN   the Wine runner with its architecture ("…/wine-run.sh i686")
#   NB_SCR        the built nightbloom.scr
#   NB_HELPER     the built e2e_helper.exe
#   NB_WORK       a directory for this test's files (emptied first)
#   DISPLAY       the X display
# pipefail: a failing stage fails the pipe (so "grep -q" reads here-strings, never a pipe
# whose writer it may cut off).
set -uo pipefail

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
read -r -a wine_run <<<"${NB_WINE_RUN:?NB_WINE_RUN is not set}"
: "${NB_SCR:?}" "${NB_HELPER:?}" "${NB_WORK:?}"
saver_key='HKCU\Software\Lumenfold Software\Nightbloom'

rm -rf "$NB_WORK"
mkdir -p "$NB_WORK"
started=()

fail() {
  echo "FAIL: $*"
  # What the X server saw at that moment: where input went, and the windows on screen.
  {
    echo "--- pointer: $(xdotool getmouselocation 2>&1)"
    echo "--- focus: $(xdotool getwindowfocus 2>&1) $(xdotool getwindowfocus getwindowname 2>&1)"
    echo "--- windows:"
    xwininfo -root -tree 2>&1 | grep -E '^ +0x' | grep -v 'has no name' | head -n 30
  } | sed 's/^/  /'
  exit 1
}
note() { echo "  $*"; }

end_started() {
  local pid
  for pid in "${started[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${started[@]}"; do
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  started=()
}
trap end_started EXIT

[ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 || fail "no X display (DISPLAY='${DISPLAY:-}')"
for tool in xdotool xwininfo import convert python3; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing"
done

# Windows path of a Unix path (Wine maps / to Z:).
winpath() { printf 'Z:%s' "$1"; }

# Runs a Windows program to its end (at most $1 seconds) and prints its output.
run_windows() {
  local limit=$1
  shift
  timeout "$limit" "${wine_run[@]}" "$@" 2>/dev/null | tr -d '\r'
}

reset_registry() {
  run_windows 20 reg delete "$saver_key" /f >/dev/null 2>&1 || true
}

# True while any window of nightbloom.scr is on the virtual desktop.
program_windows_left() {
  xwininfo -root -tree | grep -q '("nightbloom.scr" "nightbloom.scr")'
}

# Lets the desktop settle after the previous program: its windows gone, and a moment for the
# desktop to take the focus back. A program started while the desktop still handles the last
# one's exit can lose the activation to it, and a full-screen program that loses the
# activation is minimized by DirectDraw.
settle() {
  local waited=0
  while program_windows_left && [ "$waited" -lt 50 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep 0.5
}

# Starts nightbloom.scr with the given arguments in the background; sets saver_pid.
start_saver() {
  settle
  "${wine_run[@]}" "$NB_SCR" "$@" >"$NB_WORK/saver.log" 2>&1 &
  saver_pid=$!
  started+=("$saver_pid")
}

# Waits at most $2 seconds for process $1 to end; sets exit_code. Fails on a timeout.
wait_exit() {
  local pid=$1 limit=$2 waited=0
  while kill -0 "$pid" 2>/dev/null; do
    [ "$waited" -ge $((limit * 10)) ] && return 1
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid"
  exit_code=$?
  return 0
}

# True while process $1 runs.
running() { kill -0 "$1" 2>/dev/null; }

# Waits at most $3 seconds until the trace file $1 holds tick $2.
wait_ticks() {
  local file=$1 tick=$2 limit=$3 waited=0
  until grep -q "^tick $tick " "$file" 2>/dev/null; do
    [ "$waited" -ge $((limit * 10)) ] && return 1
    running "$saver_pid" || return 1
    sleep 0.1
    waited=$((waited + 1))
  done
}

last_tick() { grep '^tick ' "$1" 2>/dev/null | tail -n 1 | cut -d' ' -f2; }

screenshot() { import -window root -display "$DISPLAY" "$1"; }

# Size of the Wine desktop window (the virtual desktop follows the display mode).
desktop_size() {
  xwininfo -root -tree | grep -m 1 '"Default - Wine desktop"' | grep -o '[0-9]*x[0-9]*+' | tr -d '+'
}

# Where the virtual desktop's top-left corner is on the X screen, as "X Y".
desktop_origin() {
  xwininfo -root -tree | grep -m 1 '"Default - Wine desktop"' |
    sed -nE 's/.* [0-9]+x[0-9]+\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2/p'
}

# Waits at most $2 seconds until the virtual desktop has the size $1 (the display mode).
wait_desktop() {
  local waited=0
  until [ "$(desktop_size)" = "$1" ]; do
    [ "$waited" -ge $(($2 * 10)) ] && return 1
    sleep 0.1
    waited=$((waited + 1))
  done
}

# A mapped top-level window of the program whose title is $1 and that is at least
# 100 x 50 pixels (the saver's own hidden windows are smaller).
program_window_shown() {
  local id size
  while read -r id size; do
    [ "${size%x*}" -ge 100 ] && [ "${size#*x}" -ge 50 ] || continue
    grep -q 'Map State: IsViewable' <<<"$(xwininfo -id "$id")" && return 0
  done < <(xwininfo -root -tree | grep "\"$1\": (\"nightbloom.scr\"" |
           sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+x[0-9]+)\+.*/\1 \2/')
  return 1
}

# Waits at most $2 seconds until program_window_shown "$1".
wait_window() {
  local waited=0
  until program_window_shown "$1"; do
    [ "$waited" -ge $(($2 * 10)) ] && return 1
    sleep 0.1
    waited=$((waited + 1))
  done
}

check() { python3 "$e2e_dir/check.py" "$@"; }

# Starts check.py's timeline sampler in the background (arguments as its own); sets
# timeline_pid. stop_timeline waits for it to end by itself, or ends it with "now".
start_timeline() {
  python3 "$e2e_dir/check.py" timeline "$@" &
  timeline_pid=$!
  started+=("$timeline_pid")
}
stop_timeline() {
  [ "${1:-}" = now ] && kill "$timeline_pid" 2>/dev/null
  wait "$timeline_pid" 2>/dev/null
  local kept=() pid
  for pid in "${started[@]}"; do [ "$pid" = "$timeline_pid" ] || kept+=("$pid"); done
  started=("${kept[@]}")
}

# Waits at most $4 seconds until the program's window titled $1 is on the X display and is
# the active window, shown, not minimized and $2 x $3 pixels: the state in which it takes
# input. Says what was active otherwise.
wait_active() {
  local state
  state=$(run_windows $(($4 + 20)) "$NB_HELPER" foreground "$1" "$2" "$3" "$4")
  if [ $? -eq 0 ] && program_window_shown "$1"; then return 0; fi
  note "active window: ${state:-none}"
  return 1
}

registry_values() { run_windows 20 "$NB_HELPER" values "$@"; }

# The program's dialog titled $1 and its controls, as e2e_helper's "controls" prints them
# (waiting at most $2 seconds for it).
dialog_controls() { run_windows $(($2 + 20)) "$NB_HELPER" controls "$1" "$2"; }

# From dialog_controls' output $1: the control whose id is $2, as "X Y W H" on the X screen
# (the desktop's origin added), then its text.
control_place() {
  local origin
  origin=$(desktop_origin)
  awk -v id="$2" -v ox="${origin% *}" -v oy="${origin#* }" '
    $1 == "control" && $2 == id {
      text = ""; for (i = 9; i <= NF; i++) text = text (i > 9 ? " " : "") $i
      print $5 + ox, $6 + oy, $7, $8, text; exit
    }' <<<"$1"
}

# True when the saver's registry value $1 has the type $2 (1 REG_SZ, 4 REG_DWORD) and is $3
# bytes long; says what it found otherwise.
value_is() {
  local found
  found=$(registry_values "$1")
  awk -v n="$1" -v t="$2" -v s="$3" '$1 == n && $2 == t && $3 == s { ok = 1 } END { exit !ok }' \
    <<<"$found" && return 0
  note "value $1: $(printf '%s' "$found" | od -c | head -n 3 | tr '\n' ' ')"
  return 1
}
