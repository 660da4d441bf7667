#!/usr/bin/env bash
# Shows the Windows program running under Wine on this machine: builds nightbloom.scr (the
# win32 preset), starts a private X display and a Wine prefix of its own (Wine's desktop
# belongs to one X display, so the tests' prefix may be tied to another), runs the saver
# full screen (/s) for a while and takes screenshots of it, then the configuration dialog
# (/c), and ends everything it started. Pictures go to build/windows-run/. With --fps it
# also reports the frames per second that Wine's DirectDraw presented, second by second.
#   scripts/run-windows.sh [--seconds N] [--seed S] [--fps]
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=6 seed= fps=0
usage() { echo "usage: scripts/run-windows.sh [--seconds N] [--seed S] [--fps]"; }
value() { [ "$1" -ge 2 ] || { echo "run-windows.sh: $2 needs a value" >&2; exit 2; }; }
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) value $# "$1"
               [[ $2 =~ ^[1-9][0-9]*$ ]] ||
                 { echo "run-windows.sh: --seconds needs a whole number above 0, not '$2'" >&2; exit 2; }
               seconds=$2; shift 2 ;;
    # The program takes any seed that fits in 32 bits and refuses the rest.
    --seed) value $# "$1"
            [[ $2 =~ ^[0-9]{1,10}$ ]] && [ "$2" -le 4294967295 ] ||
              { echo "run-windows.sh: --seed needs a whole number 0..4294967295, not '$2'" >&2; exit 2; }
            seed=$2; shift 2 ;;
    --fps) fps=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run-windows.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
out="$root/build/windows-run"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log

bash "$root/scripts/setup-debian.sh" </dev/null >"$out/setup.log" 2>&1 ||
  { echo "setup failed, see $out/setup.log"; exit 1; }
echo "building nightbloom.scr (win32 preset)"
{ [ -f "$root/build/win32/CMakeCache.txt" ] || cmake --preset win32; } >"$out/build.log" 2>&1 &&
  cmake --build --preset win32 -j "${NIGHTBLOOM_JOBS:-2}" --target nightbloom_scr >>"$out/build.log" 2>&1 ||
  { echo "build failed, see $out/build.log"; exit 1; }
scr="$root/build/win32/src/platform/win32/nightbloom.scr"
wine_run=("$root/cmake/wine-run.sh" i686)
export NIGHTBLOOM_WINEPREFIX="${HOME:-/root}/.nightbloom-wine-show"
# The prefix is this script's alone: whatever of it still runs from an earlier show (on
# another X display) goes first.
WINEPREFIX=$NIGHTBLOOM_WINEPREFIX wineserver -k 2>/dev/null

xvfb_pid= saver_pid=
finish() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null && wait "$saver_pid" 2>/dev/null
  WINEPREFIX=$NIGHTBLOOM_WINEPREFIX timeout 20 wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap finish EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
rm -f "$display_file"
echo "X display $DISPLAY"

# Ends the saver the way a user does: a key press over its screen (Wine may have moved the
# pointer off it); one that does not end within 5 s is ended by its process id.
stop_saver() {
  xdotool mousemove 320 240 key space
  for _ in $(seq 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$saver_pid" 2>/dev/null
  wait "$saver_pid" 2>/dev/null
  saver_pid=
}

echo "running nightbloom.scr /s for $seconds s"
xdotool mousemove 320 240
debug=-all
[ "$fps" = 1 ] && debug=-all,+fps
env NIGHTBLOOM_WINEDEBUG=$debug ${seed:+NIGHTBLOOM_SEED=$seed} "${wine_run[@]}" "$scr" /s \
  >"$out/saver.log" 2>&1 &
saver_pid=$!
sleep 3
for i in $(seq 1 "$seconds"); do
  [ $((i % 2)) -eq 1 ] && import -window root -crop 640x480+0+0 "$out/saver-$i.png"
  sleep 1
done
stop_saver

if [ "$fps" = 1 ]; then
  # wined3d counts the frames DirectDraw hands to the screen and prints them every second.
  rates=$(grep -o 'update_frontbuffer .* @ approx [0-9.]*fps' "$out/saver.log" | grep -o '[0-9.]*fps' | tr -d 'fps')
  if [ -n "$rates" ]; then
    echo "frames per second, second by second: $(echo $rates)"
    echo "median: $(echo "$rates" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')"
  else
    echo "no frame rate reported (see $out/saver.log)"
  fi
fi

echo "opening nightbloom.scr /c"
"${wine_run[@]}" "$scr" /c >"$out/config.log" 2>&1 &
saver_pid=$!
sleep 4
import -window root -crop 640x480+0+0 "$out/config.png"
xdotool mousemove 320 240 key Escape
for _ in $(seq 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
kill "$saver_pid" 2>/dev/null
wait "$saver_pid" 2>/dev/null
saver_pid=

echo "pictures in $out:"
ls "$out"/*.png
