#!/usr/bin/env bash
# The Windows program over hours of show, under Wine: nightbloom.scr /s runs for the given
# time and, every interval, soak_probe (a small Windows program of the test tree) reads its
# private bytes, open handles and GDI objects; the script adds the resident memory of its
# Wine process as Linux sees it and the show's ticks per second (from its trace). Prints the
# table and each figure's trend per hour (least-squares slope over the samples after the
# first 30 s). With --check it fails (exit 1) when handles or GDI objects grew after the
# first 30 s, or private bytes grew by more than --bound MiB (default 4).
#   bench/program/soak-windows.sh SCR PROBE [--minutes N | --seconds N] [--interval S]
#                                 [--check] [--bound MIB] [--use-display]
#     SCR, PROBE     the nightbloom.scr and soak_probe.exe of one build (win32 or win64)
#     --minutes N    how long (default 30); --seconds N for short runs
#     --interval S   seconds between samples (default 60)
#     --use-display  run on $DISPLAY in the Wine prefix that cmake/wine-run.sh uses (as the
#                    tests do); otherwise on a private Xvfb, in the prefix
#                    $NIGHTBLOOM_WINEPREFIX or ~/.nightbloom-wine-soak
# 32-bit programs run where this machine runs them; a 64-bit build runs under 64-bit Wine
# alone (NIGHTBLOOM_WINE64_ONLY=1), as its tests do.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
wine_run="$here/../../cmake/wine-run.sh"

usage="usage: soak-windows.sh SCR PROBE [--minutes N | --seconds N] [--interval S] [--check] [--bound MIB] [--use-display]"
case ${1:-} in
  -h|--help) echo "$usage"; exit 0 ;;
  '') echo "$usage" >&2; exit 2 ;;
esac
[ $# -ge 2 ] || bad_usage "SCR and PROBE are needed ($usage)"
scr=$1 probe=$2
shift 2
seconds=1800 interval=60 check=0 bound=4 use_display=0
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) whole_number --minutes "${2:-}"; seconds=$((60 * $2)); shift 2 ;;
    --seconds) whole_number --seconds "${2:-}"; seconds=$2; shift 2 ;;
    --interval) whole_number --interval "${2:-}"; interval=$2; shift 2 ;;
    --bound) whole_number --bound "${2:-}"; bound=$2; shift 2 ;;
    --check) check=1; shift ;;
    --use-display) use_display=1; shift ;;
    *) bad_usage "unknown argument '$1' ($usage)" ;;
  esac
done
[ -f "$scr" ] || bad_usage "SCR '$scr' is not a file"
[ -f "$probe" ] || bad_usage "PROBE '$probe' is not a file"
case $(file -b "$scr") in
  PE32+*) arch=x86_64; export NIGHTBLOOM_WINE64_ONLY=1 ;;
  PE32*) arch=i686 ;;
  *) bad_usage "SCR '$scr' is not a Windows program" ;;
esac
[ "$interval" -le "$seconds" ] || bad_usage "--interval must not exceed the run's length"
warmup=30

work=$(mktemp -d)
xvfb_pid= saver_pid= probe_pid=
cleanup() {
  # The saver ends as a user ends it; only if it will not is it killed.
  if [ -n "$saver_pid" ] && kill -0 "$saver_pid" 2>/dev/null; then
    xdotool key x 2>/dev/null
    for _ in $(seq 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$saver_pid" 2>/dev/null
    wait "$saver_pid" 2>/dev/null
  fi
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null && wait "$probe_pid" 2>/dev/null
  # Wine's background processes of the prefix leave by themselves once its programs are gone.
  WINEPREFIX=$("$wine_run" --prefix) timeout 30 wineserver -w 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [ $use_display -eq 0 ]; then
  export NIGHTBLOOM_WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-$HOME/.nightbloom-wine-soak}
  [ "$arch" = x86_64 ] && NIGHTBLOOM_WINEPREFIX+=64
  start_xvfb 1280x1024
else
  [ -n "${DISPLAY:-}" ] || bad_usage "--use-display needs DISPLAY"
fi
"$wine_run" --init || exit 1
"$wine_run" "$arch" reg delete 'HKCU\Software\Lumenfold Software\Nightbloom' /f >/dev/null 2>&1
xdotool mousemove 320 240

# The saver, its show traced so that its ticks can be counted. Its Linux process is the
# Windows process (wine-run.sh ends in exec).
trace=$work/soak.trace
NIGHTBLOOM_TRACE="Z:$trace" "$wine_run" "$arch" "$scr" /s >"$work/saver.log" 2>&1 &
saver_pid=$!
last_tick() { tail -c 4096 "$trace" 2>/dev/null | sed -n 's/^tick \([0-9]*\) .*/\1/p' | tail -n 1; }
for _ in $(seq 600); do
  [ "$(last_tick)" ] && break
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.1
done
[ "$(last_tick)" ] || { echo "$bench_name: the saver did not start its show:" >&2; tail -n 5 "$work/saver.log" >&2; exit 1; }
echo "$bench_name: nightbloom.scr ($arch) for $seconds s, a sample every $interval s" >&2

"$wine_run" "$arch" "$probe" nightbloom.scr "$seconds" "$interval" >"$work/probe" 2>&1 &
probe_pid=$!
# Each sample as it comes, with what Linux sees of the process and the show's ticks.
: >"$work/samples"
while IFS= read -r line; do
  line=${line%$'\r'}
  case $line in
    '# '*) sources=${line#\# } ;;
    [0-9]*)
      rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$saver_pid/status" 2>/dev/null)
      echo "$line ${rss:-0} $(last_tick)" >>"$work/samples" ;;
  esac
done < <(tail -n +1 -f --pid="$probe_pid" "$work/probe")
wait "$probe_pid"
probe_pid=
kill -0 "$saver_pid" 2>/dev/null || { echo "$bench_name: the saver ended during the soak" >&2; exit 1; }
[ -s "$work/samples" ] || { echo "$bench_name: no samples:" >&2; cat "$work/probe" >&2; exit 1; }

echo "sources: ${sources:-?}; RSS: /proc/PID/status VmRSS of the Wine process"
awk -v warmup="$warmup" -v check="$check" -v bound="$bound" '
  # seconds private handles gdi rss_kib tick
  { t[NR] = $1; v[1, NR] = $2 / 1048576; v[2, NR] = $3; v[3, NR] = $4; v[4, NR] = $5 / 1024; tick[NR] = $6 }
  END {
    printf "%7s %12s %8s %8s %9s %8s\n", "minute", "private MiB", "handles", "GDI", "RSS MiB", "ticks/s"
    for (i = 1; i <= NR; i++) {
      rate = i > 1 && t[i] > t[i - 1] ? (tick[i] - tick[i - 1]) / (t[i] - t[i - 1]) : 0
      printf "%7.1f %12.1f %8d %8d %9.1f %8s\n", t[i] / 60, v[1, i], v[2, i], v[3, i], v[4, i], (i > 1 ? sprintf("%.1f", rate) : "-")
    }
    split("private MiB,handles,GDI objects,RSS MiB", name, ",")
    first = 0
    for (i = 1; i <= NR; i++) if (t[i] >= warmup) { first = i; break }
    if (!first || NR - first < 1) { print "too few samples after the first " warmup " s for trends"; exit check }
    line = "trend per hour after " warmup " s:"
    for (k = 1; k <= 4; k++) {
      n = sx = sy = sxx = sxy = 0
      for (i = first; i <= NR; i++) { x = t[i] / 3600; n++; sx += x; sy += v[k, i]; sxx += x * x; sxy += x * v[k, i] }
      slope = (n * sxx - sx * sx) ? (n * sxy - sx * sy) / (n * sxx - sx * sx) : 0
      line = line sprintf(" %s %+.2f%s", name[k], slope, k < 4 ? "," : "")
    }
    print line
    if (!check) exit 0
    # Growth from the first sample after the warm-up to the end; a handle or object that
    # is open at one sample only is not growth, so the smallest of the last two counts.
    bad = 0
    for (k = 2; k <= 3; k++) {
      end = v[k, NR]; if (NR - 1 >= first && v[k, NR - 1] < end) end = v[k, NR - 1]
      if (end > v[k, first]) { printf "FAIL: %s grew from %d to %d\n", name[k], v[k, first], end; bad = 1 }
    }
    grown = v[1, NR] - v[1, first]
    if (grown > bound) { printf "FAIL: private bytes grew by %.1f MiB after %d s (bound %d MiB)\n", grown, warmup, bound; bad = 1 }
    if (!bad) printf "ok: no growth of handles or GDI objects; private bytes %+.1f MiB after %d s (bound %d MiB)\n", grown, warmup, bound
    exit bad
  }' "$work/samples"
