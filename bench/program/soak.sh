#!/usr/bin/env bash
# The Linux program's full-screen saver for a long while on a private Xvfb with Mesa, in its
# default mode (640x480x16, scaled) and in the screen's native mode (1920x1080x32): every
# interval (a minute by default) its resident memory, open descriptors, threads, CPU share
# (all threads; 100% is one core) and frames per second over the interval, then the table
# and each figure's trend per hour (the least-squares slope over the samples).
# With --check it is a test: it fails when the descriptors or the threads ever grow past
# their first count, or the resident memory grows by more than the bound (KiB) from its
# first sample after the first 30 s (the start-up's allocations are done by then).
#   bench/program/soak.sh NIGHTBLOOM [--minutes N | --seconds N] [--every SECONDS]
#                         [--modes default,native] [--screen WxH] [--check KIB]
#   (defaults: 60 minutes, every 60 s, both modes, 1920x1080, no check)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: soak.sh NIGHTBLOOM [--minutes N | --seconds N] [--every SECONDS] [--modes default,native] [--screen WxH] [--check KIB]"
case ${1:-} in
  -h|--help) echo "$usage"; exit 0 ;;
  ''|-*) echo "$usage" >&2; exit 2 ;;
esac
program=$1; shift
seconds=3600 every=60 modes=default,native screen=1920x1080 bound=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || bad_usage "$1 needs a value ($usage)"
  case $1 in
    --minutes) whole_number --minutes "$2"; seconds=$(($2 * 60)) ;;
    --seconds) whole_number --seconds "$2"; seconds=$2 ;;
    --every) whole_number --every "$2"; every=$2 ;;
    --modes) [[ $2 =~ ^(default|native)(,(default|native))*$ ]] ||
               bad_usage "--modes takes default, native or both, not '$2'"; modes=$2 ;;
    --screen) screen_size --screen "$2"; screen=$2 ;;
    --check) whole_number --check "$2"; bound=$2 ;;
    *) bad_usage "unknown argument '$1' ($usage)" ;;
  esac
  shift 2
done
executable NIGHTBLOOM "$program"
[ "$every" -le "$seconds" ] || bad_usage "--every ($every s) is longer than the run ($seconds s)"
settle=30  # seconds after which memory must stop growing

work=$(mktemp -d)
xvfb_pid= saver_pid=
cleanup() {
  if [ -n "$saver_pid" ]; then kill "$saver_pid" 2>/dev/null; wait "$saver_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$screen"
export XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy NIGHTBLOOM_SEED=20240601
unset NIGHTBLOOM_PACING NIGHTBLOOM_STATS NIGHTBLOOM_TRACE

field() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status" 2>/dev/null; }
descriptors() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
frames() { wc -l <"$work/frames.log"; }

failed=0
soak() {  # name mode
  local name=$1 mode=$2 table="$work/$1.table"
  choose_mode "$mode"
  : >"$work/frames.log"
  NIGHTBLOOM_FRAME_LOG="$work/frames.log" "$program" --fullscreen >/dev/null 2>"$work/$name.err" &
  saver_pid=$!
  echo "$name mode ($mode) on $screen: $((seconds / 60)) min $((seconds % 60)) s, a sample every $every s, $(nproc) cores"
  printf '%8s %10s %5s %8s %7s %6s\n' time_s rss_kib fds threads cpu_% fps | tee "$table"
  local start ticks0 frames0 at=0 next now t f
  start=$(date +%s%N); ticks0=$(ticks "$saver_pid"); frames0=$(frames)
  while [ $at -lt "$seconds" ]; do
    next=$((at + every))
    # Sleep to the sample's time on the clock, whatever the sampling itself took.
    now=$(( ($(date +%s%N) - start) / 1000000 ))
    [ $((next * 1000 - now)) -gt 0 ] && sleep "$(awk -v ms=$((next * 1000 - now)) 'BEGIN { printf "%.3f", ms / 1000 }')"
    if ! kill -0 "$saver_pid" 2>/dev/null; then
      echo "soak.sh: $program ended after $at s; the end of what it said:" >&2
      tail -n 5 "$work/$name.err" >&2
      wait "$saver_pid" 2>/dev/null; saver_pid=
      failed=1; return
    fi
    now=$(( ($(date +%s%N) - start) / 1000000 ))
    t=$(ticks "$saver_pid"); f=$(frames)
    printf '%8d %10d %5d %8d %7.1f %6.1f\n' "$next" "$(field "$saver_pid" VmRSS)" \
      "$(descriptors "$saver_pid")" "$(field "$saver_pid" Threads)" \
      "$(awk -v d=$((t - ticks0)) -v hz="$hz" -v ms=$((now - at * 1000)) 'BEGIN { print 100 * d / hz / (ms / 1000) }')" \
      "$(awk -v d=$((f - frames0)) -v ms=$((now - at * 1000)) 'BEGIN { print d / (ms / 1000) }')" | tee -a "$table"
    ticks0=$t; frames0=$f; at=$next
  done
  kill -TERM "$saver_pid"
  for _ in $(seq 1 100); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$saver_pid" 2>/dev/null && { echo "soak.sh: $program did not end within 5 s of SIGTERM" >&2; failed=1; }
  wait "$saver_pid" 2>/dev/null; saver_pid=

  # Least-squares slope of each column against time, per hour.
  awk 'NR > 1 { n++; x = $1 / 3600; sx += x; sxx += x * x
                for (c = 2; c <= 6; c++) { y[c] += $c; xy[c] += x * $c } }
       END {
         if (n < 2) { print "trend per hour: too few samples"; exit }
         d = n * sxx - sx * sx
         for (c = 2; c <= 6; c++) { s[c] = (n * xy[c] - sx * y[c]) / d; if (s[c] > -0.005 && s[c] < 0.005) s[c] = 0 }
         printf "trend per hour: rss %+.1f KiB, fds %+.2f, threads %+.2f, cpu %+.2f %%, fps %+.2f\n",
                s[2], s[3], s[4], s[5], s[6] }' "$table"
  [ -n "$bound" ] || return
  # The test: no descriptor or thread more than at the first sample; memory after the
  # start-up within the bound.
  if ! awk -v settle="$settle" -v bound="$bound" '
       NR == 2 { fds = $3; threads = $4 }
       NR > 1 && $3 > fds { printf "descriptors grew: %d at %d s, %d at first\n", $3, $1, fds; bad = 1 }
       NR > 1 && $4 > threads { printf "threads grew: %d at %d s, %d at first\n", $4, $1, threads; bad = 1 }
       NR > 1 && $1 >= settle && base == "" { base = $2; from = $1 }
       NR > 1 && base != "" && $2 - base > bound {
         printf "memory grew by %d KiB from %d s to %d s (bound %d KiB)\n", $2 - base, from, $1, bound; bad = 1 }
       END { if (base == "") { print "no sample after the first " settle " s"; bad = 1 }
             exit bad }' "$table"; then
    echo "soak.sh: FAILED in the $name mode" >&2
    failed=1
  else
    echo "check: no growth of descriptors or threads; memory within $bound KiB of its size at $settle s"
  fi
}

IFS=, read -r -a chosen <<<"$modes"
for name in "${chosen[@]}"; do
  case $name in
    default) soak default "640 x 480 x 16" ;;
    native) soak native "${screen%x*} x ${screen#*x} x 32" ;;
  esac
done
exit $failed
