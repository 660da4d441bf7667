#!/usr/bin/env bash
# What --monitors each costs: the saver on both outputs of a headless sway on Wayland (the
# end-to-end tests' session: HEADLESS-1 at 1280x720, HEADLESS-2 at 1024x768 with scale 2,
# pixman rendering, no X), in the default mode (640x480x16 on each output, scaled) and in
# the native mode (each output at its own size in pixels: 1280x720 and 1024x768), paced as
# the program runs. For each monitor's process: frames per second (its own count, the
# first seconds of emptier sky left out), CPU in cores (1.0 = one core busy) and CPU
# milliseconds per frame (the figure that holds best when other work shares the cores); and
# the compositor's CPU. Runs as root: sway refuses root, so the session runs as the tests'
# user (tests/platform/sdl/e2e/wayland_lib.sh makes it and removes it again).
#   bench/program/monitors.sh NIGHTBLOOM [SECONDS]   (default: 10)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"

usage="usage: monitors.sh NIGHTBLOOM [SECONDS]   (default: 10)"
case ${1:-} in
  -h|--help) echo "$usage"; exit 0 ;;
  '') echo "$usage" >&2; exit 2 ;;
esac
[ $# -le 2 ] || bad_usage "too many arguments ($usage)"
program=$(readlink -f "$1")
seconds=${2:-10}
executable NIGHTBLOOM "$program"
whole_number SECONDS "$seconds"
[ "$(id -u)" -eq 0 ] || bad_usage "needs root (sway runs as a user it makes)"
warmup=3

# The tests' session, reused as it is: lib.sh for its waits and clean-up, wayland_lib.sh for
# the user and sway. Their checks print nothing here.
e2e="$here/../../tests/platform/sdl/e2e"
export NB=$program PROBE=/bin/true PNGPROBE=/bin/true NB_SLOWER=1
export WORK
WORK=$(mktemp -d)
source "$e2e/lib.sh" >/dev/null
source "$e2e/wayland_lib.sh" >/dev/null
trap 'finish_wayland; rm -rf "$WORK"' EXIT

# The per-second counts one process printed (NIGHTBLOOM_STATS=1), averaged as own_fps does.
fps_of() {  # stderr-file who
  sed -n "s/^$2: frames in each second://p" "$1" |
    awk -v from="$warmup" -v n="$seconds" '{ for (i = from + 1; i <= from + n && i <= NF; i++) { s += $i; k++ } }
                                           END { if (k) printf "%.1f", s / k; else print "-" }'
}
# CPU in cores over the measured seconds, from the clock ticks before and after.
cores() { awk -v a="$1" -v b="$2" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", (b - a) / hz / s }'; }

sway_pid=$(pgrep -u "$wl_user" -x sway | head -n 1)
row() { printf '%-34s %-26s %6s %7s %9s\n' "$@"; }
per_frame() { awk -v c="$1" -v f="$2" 'BEGIN { if (f > 0) printf "%.1f", c * 1000 / f; else print "-" }'; }
row "mode" "monitor" "fps" "cores" "ms/frame"
for mode in "640 x 480 x 16" "1280 x 720 x 32"; do
  choose_mode "$mode"
  chown -R "$wl_user:" "$XDG_CONFIG_HOME"
  wl_run each NIGHTBLOOM_STATS=1 NIGHTBLOOM_SEED=20240601 --fullscreen --monitors each
  pid=$last_pid
  extra=
  for _ in $(seq 1 100); do
    extra=$(pgrep -P "$pid" | head -n 1)
    [ -n "$extra" ] && break
    sleep 0.1
  done
  [ -n "$extra" ] || { echo "monitors.sh: no second show; the end of its output:" >&2; tail -n 5 "$WORK/each.err" >&2; exit 1; }
  sleep "$warmup"
  before=("$(ticks "$pid")" "$(ticks "$extra")" "$(ticks "$sway_pid")")
  sleep "$seconds"
  after=("$(ticks "$pid")" "$(ticks "$extra")" "$(ticks "$sway_pid")")
  kill "$pid"
  wait_exit "$pid" 10
  [ "$code" -eq 0 ] || { echo "monitors.sh: the saver ended with $code" >&2; exit 1; }
  name="default, 640x480x16 scaled"
  [ "$mode" = "640 x 480 x 16" ] || name="native, each output's own size"
  fps=("$(fps_of "$WORK/each.err" nightbloom)" "$(fps_of "$WORK/each.err" "nightbloom (display 2)")")
  use=("$(cores "${before[0]}" "${after[0]}")" "$(cores "${before[1]}" "${after[1]}")")
  row "$name" "HEADLESS-1 1280x720" "${fps[0]}" "${use[0]}" "$(per_frame "${use[0]}" "${fps[0]}")"
  row "" "HEADLESS-2 1024x768 (2x)" "${fps[1]}" "${use[1]}" "$(per_frame "${use[1]}" "${fps[1]}")"
  row "" "the compositor (sway)" "" "$(cores "${before[2]}" "${after[2]}")" ""
done
