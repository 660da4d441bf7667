#!/usr/bin/env bash
# The main job: installs what the Linux program needs (nothing of the tests, nothing of Wine),
# builds it (the program preset: release, without tests or benchmarks), then shows the fireworks.
# With a display (DISPLAY answers), it is the screensaver itself, full screen, until a key,
# a click or a mouse move. Without one, the saver runs for ten seconds on a private Xvfb;
# screenshots of it go to build/main-job/ and the frames per second are printed.
#   scripts/run-main.sh [--seed S] [--headless]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
seed=
headless=0
while [ $# -gt 0 ]; do
  case $1 in
    --seed)
      [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "run-main.sh: --seed needs a whole number" >&2; exit 2; }
      seed=$2; shift 2 ;;
    --headless) headless=1; shift ;;
    *) echo "usage: scripts/run-main.sh [--seed S] [--headless]" >&2; exit 2 ;;
  esac
done
out="$root/build/main-job"

bash "$root/scripts/setup-debian.sh" --program </dev/null

cmake --preset program >/dev/null
cmake --build --preset program -j "$jobs" --target nightbloom
program="$root/build/program/src/platform/sdl/nightbloom"
[ -n "$seed" ] && export NIGHTBLOOM_SEED=$seed

if [ $headless -eq 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "the saver on $DISPLAY: a key, a click or a mouse move ends it"
  exec "$program" --fullscreen
fi

# No screen: a private X server of a common size, the saver on it, screenshots, statistics.
rm -rf "$out"
mkdir -p "$out/config"
xvfb_pid= saver_pid=
cleanup() {
  if [ -n "$saver_pid" ] && kill -0 "$saver_pid" 2>/dev/null; then kill "$saver_pid"; wait "$saver_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
display_file="$out/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$display_file" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start (see $out/xvfb.log)" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
echo "no screen here: the saver runs for ten seconds on a private 1920x1080 Xvfb ($DISPLAY)"

XDG_CONFIG_HOME="$out/config" SDL_AUDIODRIVER=dummy NIGHTBLOOM_STATS=1 \
  "$program" --fullscreen >"$out/nightbloom.log" 2>&1 &
saver_pid=$!
start=$SECONDS
# Screenshots are grabbed raw (quick, so that they cost the show little) and made PNG
# files once it has ended.
grabs=()
for i in 1 2 3 4 5; do
  while [ $((SECONDS - start)) -lt $((2 * i)) ]; do sleep 0.1; done
  kill -0 "$saver_pid" 2>/dev/null || break
  grab="$out/screen-$i.bmp"
  import -display "$DISPLAY" -window root "$grab" 2>/dev/null && grabs+=("$grab")
done
if ! kill -0 "$saver_pid" 2>/dev/null; then
  echo "the saver ended early:" >&2; cat "$out/nightbloom.log" >&2; exit 1
fi
kill -TERM "$saver_pid"
wait "$saver_pid" || { echo "the saver failed:" >&2; cat "$out/nightbloom.log" >&2; exit 1; }
saver_pid=
shots=()
for grab in "${grabs[@]}"; do
  convert "$grab" "${grab%.bmp}.png" && rm -f "$grab" && shots+=("${grab%.bmp}.png")
done
echo "${#shots[@]} screenshots, one every two seconds:"
printf '  %s\n' "${shots[@]}"
grep -m 1 'frames per second' "$out/nightbloom.log" | sed 's/^nightbloom: /frames: /' || true
[ ${#shots[@]} -gt 0 ]
