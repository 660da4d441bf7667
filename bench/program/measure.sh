#!/usr/bin/env bash
# Frames per second and CPU use of the Linux program's full-screen saver on a private Xvfb
# with Mesa: for each display mode, paced (frames no faster than the display refreshes) and
# unpaced (NIGHTBLOOM_PACING=0). CPU is the time the processes used per second of show, in
# cores (2.0 = both cores busy): the program, and the X server that puts its frames on the
# screen. Figures depend on the machine and on whatever else runs on it.
#   bench/program/measure.sh NIGHTBLOOM [SECONDS] [SCREEN]   (defaults: 10, 1920x1080)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: measure.sh NIGHTBLOOM [SECONDS] [SCREEN]   (defaults: 10, 1920x1080)"
case ${1:-} in
  -h|--help) echo "$usage"; exit 0 ;;
  '') echo "$usage" >&2; exit 2 ;;
esac
[ $# -le 3 ] || bad_usage "too many arguments ($usage)"
program=$1
seconds=${2:-10}
screen=${3:-1920x1080}
executable NIGHTBLOOM "$program"
whole_number SECONDS "$seconds"
screen_size SCREEN "$screen"
warmup=3

work=$(mktemp -d)
xvfb_pid= saver_pid=
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null && wait "$saver_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$screen"
export XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy NIGHTBLOOM_SEED=20240601

# The saver gone before its figures are taken: say so, with the end of what it printed,
# rather than measure a process that no longer exists.
ended() {  # mode pacing when
  echo "measure.sh: $program ($1, pacing $2) ended $3; the end of its output:" >&2
  tail -n 5 "$work/err" >&2
  wait "$saver_pid" 2>/dev/null; saver_pid=
  exit 1
}

measure() {  # mode pacing
  choose_mode "$1"
  NIGHTBLOOM_PACING=$2 NIGHTBLOOM_STATS=1 "$program" --fullscreen 2>"$work/err" &
  saver_pid=$!
  sleep "$warmup"  # start-up and the first busy seconds are not measured
  kill -0 "$saver_pid" 2>/dev/null || ended "$1" "$2" "during its first $warmup s"
  local saver0 x0 start
  saver0=$(ticks "$saver_pid"); x0=$(ticks "$xvfb_pid"); start=$(date +%s%N)
  sleep "$seconds"
  local saver1 x1 took
  saver1=$(ticks "$saver_pid"); x1=$(ticks "$xvfb_pid"); took=$(( $(date +%s%N) - start ))
  kill -0 "$saver_pid" 2>/dev/null || ended "$1" "$2" "while it was measured"
  kill -TERM "$saver_pid"; wait "$saver_pid"; saver_pid=
  # Frames of the measured seconds only: the empty sky of the first ones draws faster.
  local fps
  fps=$(own_fps "$work/err" "$warmup" "$seconds" "?")
  awk -v mode="$1" -v paced="$2" -v fps="$fps" -v s="$((saver1 - saver0))" -v x="$((x1 - x0))" \
      -v hz="$hz" -v ns="$took" 'BEGIN {
    secs = ns / 1e9
    printf "%-18s %-7s %6s fps   nightbloom %.2f cores   Xvfb %.2f cores\n", mode,
           paced == 1 ? "paced" : "unpaced", fps, s / hz / secs, x / hz / secs }'
}

echo "screen $screen, $seconds s measured per run, $(nproc) cores"
for mode in "1920 x 1080 x 32" "640 x 480 x 16"; do
  for pacing in 1 0; do measure "$mode" "$pacing"; done
done
