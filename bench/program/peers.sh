#!/usr/bin/env bash
# Nightbloom beside other screensavers, as XScreenSaver runs them (--root on a display of
# its own): for each screen size, one Xvfb, and in it, for the same number of seconds each,
# alternating, over several rounds: Nightbloom in its default mode (640 x 480 x 16, scaled
# to the screen), Nightbloom in the screen's native mode, and a peer hack when one is given.
# For each run: frames per second (counted alike for all, by nightbloom-frame-counter: the
# screen's updates), CPU seconds per second of show of the program (all its threads) and of
# the X server (which puts the frames on the screen), and the program's peak resident
# memory; then the means and the ratios Nightbloom / peer. Without a peer the ratios are
# taken against reference figures quoted for XScreenSaver's fireworkx at 1920 x 1080, which
# this script does not measure. Nightbloom runs paced, with particles, smoke and sound (on
# SDL's dummy audio device) on. Figures depend on the machine and on what else runs on it.
#   bench/program/peers.sh NIGHTBLOOM [--peer "COMMAND -root"] [--seconds N] [--rounds N]
#                          [--sizes "1920x1080 1280x720"] [--counter FRAME_COUNTER]
# (defaults: 10 seconds, 3 rounds, both sizes, the frame counter of NIGHTBLOOM's build tree)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage() { sed -n '/^#   bench/,/^# (defaults/p' "$0" | sed 's/^# \{0,1\}//'; }
case ${1:-} in
  -h|--help) usage; exit 0 ;;
  ''|-*) usage >&2; exit 2 ;;
esac
program=$1
executable NIGHTBLOOM "$program"
shift
peer= seconds=10 rounds=3 sizes="1920x1080 1280x720" warmup=3
counter="${program%/src/platform/sdl/nightbloom}/bench/program/nightbloom-frame-counter"
while [ $# -gt 0 ]; do
  case $1 in
    --peer|--seconds|--rounds|--sizes|--counter)
      [ $# -ge 2 ] && [ -n "$2" ] || bad_usage "$1 needs a value" ;;&
    --peer) peer=$2; shift 2 ;;
    --seconds) whole_number "$1" "$2"; seconds=$2; shift 2 ;;
    --rounds) whole_number "$1" "$2"; rounds=$2; shift 2 ;;
    --sizes) read -ra items <<<"$2"
             [ ${#items[@]} -gt 0 ] || bad_usage "$1 needs a value"
             for item in "${items[@]}"; do screen_size "each of $1" "$item"; done
             sizes=$2; shift 2 ;;
    --counter) counter=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "peers.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
[ -x "$counter" ] || { echo "peers.sh: no frame counter at $counter (build nightbloom-frame-counter, or --counter)" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid= subject_pid= counter_pid=
stop() {  # pid: SIGTERM, then after 5 s SIGKILL; reaped either way
  local pid=$1
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
cleanup() {
  stop "$counter_pid"; stop "$subject_pid"; stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT
peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

# One run: starts the subject, lets it warm up, measures, ends it. Appends a line to the
# results: size subject round fps program_cores x_cores peak_mib own_fps
measure() {  # size subject round command...
  local size=$1 subject=$2 round=$3; shift 3
  "$@" >"$work/run.out" 2>"$work/run.err" &
  subject_pid=$!
  sleep "$warmup"
  if ! kill -0 "$subject_pid" 2>/dev/null; then
    echo "peers.sh: $subject ended before it was measured:" >&2; tail -n 5 "$work/run.err" >&2
    wait "$subject_pid" 2>/dev/null; subject_pid=; return 1
  fi
  local p0 x0 t0 p1 x1 t1 peak frames
  p0=$(ticks "$subject_pid"); x0=$(ticks "$xvfb_pid"); t0=$(date +%s%N)
  "$counter" "$seconds" >"$work/frames" &
  counter_pid=$!
  wait "$counter_pid"; counter_pid=
  p1=$(ticks "$subject_pid"); x1=$(ticks "$xvfb_pid"); t1=$(date +%s%N)
  peak=$(peak_kib "$subject_pid")
  stop "$subject_pid"; subject_pid=
  frames=$(sed -n 's/.*frames=\([0-9]*\).*/\1/p' "$work/frames")
  # Nightbloom counts its own frames too, second by second from its first one: those of the
  # measured seconds, to check the counter by.
  local own
  own=$(own_fps "$work/run.err" "$warmup" "$seconds" "-")
  awk -v size="$size" -v subject="$subject" -v round="$round" -v frames="${frames:-0}" \
      -v p="$((p1 - p0))" -v x="$((x1 - x0))" -v hz="$hz" -v ns="$((t1 - t0))" -v kib="$peak" \
      -v own="${own:--}" 'BEGIN {
    s = ns / 1e9
    printf "%s %s %s %.1f %.3f %.3f %.1f %s\n", size, subject, round, frames / s, p / hz / s, x / hz / s, kib / 1024, own
  }' >>"$work/results"
  tail -n 1 "$work/results" | awk '{ printf "  %-9s %-10s round %s: %6.1f fps  program %.2f cores  X %.2f cores  peak %6.1f MiB  (own count %s fps)\n", $1, $2, $3, $4, $5, $6, $7, $8 }'
}

export XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy NIGHTBLOOM_STATS=1 NO_AT_BRIDGE=1
unset XSCREENSAVER_WINDOW NIGHTBLOOM_PACING NIGHTBLOOM_TRACE NIGHTBLOOM_HARDWARE_DEVICE
echo "Nightbloom beside its peers: $seconds s measured per run after $warmup s, $rounds rounds, alternating;"
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the start"
echo "peer: ${peer:-none (quoted reference figures instead, not measured)}"
for size in $sizes; do
  start_xvfb "$size"
  native="${size/x/ x } x 32"
  echo "-- Xvfb ${size}x24 on $DISPLAY"
  for round in $(seq 1 "$rounds"); do
    export NIGHTBLOOM_SEED=$((1000 + round))
    choose_mode "640 x 480 x 16"
    measure "$size" default "$round" "$program" --root --particles high --smoke high --sound || exit 1
    choose_mode "$native"
    measure "$size" native "$round" "$program" --root --particles high --smoke high --sound || exit 1
    if [ -n "$peer" ]; then
      measure "$size" peer "$round" bash -c "exec $peer" || exit 1
    fi
  done
  stop "$xvfb_pid"; xvfb_pid=
done

echo
echo "Means over $rounds rounds (cores: CPU seconds per second of show):"
awk -v peer="$peer" '
  { key = $1 " " $2; n[key]++; fps[key] += $4; prog[key] += $5; x[key] += $6; mib[key] += $7
    if (!($1 in seen)) { seen[$1] = 1; order[++sizes] = $1 } }
  function row(label, k) {
    printf "  %-42s %6.1f %8.2f %6.2f %7.2f %9.1f\n", label, fps[k] / n[k], prog[k] / n[k], x[k] / n[k],
           (prog[k] + x[k]) / n[k], mib[k] / n[k]
  }
  function ratio(label, k, rfps, rprog, rx, rmib) {
    printf "  %-42s %6.2f %8.2f %6.2f %7.2f %9s\n", label, (fps[k] / n[k]) / rfps, (prog[k] / n[k]) / rprog,
           (x[k] / n[k]) / rx, ((prog[k] + x[k]) / n[k]) / (rprog + rx),
           (rmib > 0 ? sprintf("%.2f", (mib[k] / n[k]) / rmib) : "-")
  }
  END {
    for (i = 1; i <= sizes; i++) {
      s = order[i]
      printf "\n%s                                      fps  program      X   total  peak MiB\n", s
      row("Nightbloom, default mode (640x480x16)", s " default")
      row("Nightbloom, native mode (" s "x32)", s " native")
      if (peer != "") {
        row("peer: " substr(peer, 1, 36), s " peer")
        p = s " peer"
        printf "  ratio Nightbloom / peer\n"
        ratio("  default mode", s " default", fps[p] / n[p], prog[p] / n[p], x[p] / n[p], mib[p] / n[p])
        ratio("  native mode", s " native", fps[p] / n[p], prog[p] / n[p], x[p] / n[p], mib[p] / n[p])
      } else if (s == "1920x1080") {
        printf "  %-42s %6.1f %8.2f %6.2f %7.2f %9s\n", "fireworkx, QUOTED reference (not measured)", 43, 0.45, 0.10, 0.55, "-"
        printf "  ratio Nightbloom / quoted reference\n"
        ratio("  default mode", s " default", 43, 0.45, 0.10, 0)
        ratio("  native mode", s " native", 43, 0.45, 0.10, 0)
      } else {
        printf "  (no reference figures quoted at this size)\n"
      }
    }
  }' "$work/results"
