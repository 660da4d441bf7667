#!/usr/bin/env bash
# Frames per second and CPU use of the Linux program's full-screen saver on a private Xvfb
# with Mesa: for each display mode, paced (frames no faster than the display refreshes) and
# unpaced (NIGHTBLOOM_PACING=0). CPU is the time the processes used per second of show, in
# cores (2.0 = both cores busy): the program, and the X server that puts its frames on the
# screen. Figures depend on the machine and on whatever else runs on it.
#   bench/program/measure.sh NIGHTBLOOM [SECONDS] [SCREEN]   (defaults: 10, 1920x1080)
set -uo pipefail

program=${1:?usage: measure.sh NIGHTBLOOM [SECONDS] [SCREEN]}
seconds=${2:-10}
screen=${3:-1920x1080}
work=$(mktemp -d)
xvfb_pid= saver_pid=
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null && wait "$saver_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
export XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy NIGHTBLOOM_SEED=20240601
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }  # user + system clock ticks
hz=$(getconf CLK_TCK)

measure() {  # mode pacing
  mkdir -p "$XDG_CONFIG_HOME/nightbloom"
  printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nA=sz:40:Primary Display Driver\nB=sz:40:display\nC=sz:40:RGB Emulation\nD=sz:40:%s\n' \
    "$1" >"$XDG_CONFIG_HOME/nightbloom/registry.ini"
  NIGHTBLOOM_PACING=$2 NIGHTBLOOM_STATS=1 "$program" --fullscreen 2>"$work/err" &
  saver_pid=$!
  sleep 3  # start-up and the first busy seconds are not measured
  local saver0 x0 start
  saver0=$(ticks "$saver_pid"); x0=$(ticks "$xvfb_pid"); start=$(date +%s%N)
  sleep "$seconds"
  local saver1 x1 took
  saver1=$(ticks "$saver_pid"); x1=$(ticks "$xvfb_pid"); took=$(( $(date +%s%N) - start ))
  kill -TERM "$saver_pid"; wait "$saver_pid"; saver_pid=
  # Frames of the measured seconds only: the empty sky of the first ones draws faster.
  local fps
  fps=$(sed -n 's/^nightbloom: frames in each second://p' "$work/err" |
        awk -v from=3 -v n="$seconds" '{ for (i = from + 1; i <= from + n && i <= NF; i++) { s += $i; k++ } }
                                       END { if (k) printf "%.1f", s / k; else print "?" }')
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
