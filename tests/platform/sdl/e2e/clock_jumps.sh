#!/usr/bin/env bash
# The full-screen show stopped for 30 s and continued (as a machine that suspends), then its
# clocks jumping an hour forward and twice an hour back (a library preloaded into the
# program, CLOCK_SHIFT, moves every monotonic clock the program reads: SDL's ticks, the
# frame pacer's steady clock). Each time the show goes on at once: the next frame comes
# about as soon as frames come anyway on this machine (a frame's time on an idle one), the show
# runs at most two ticks per frame (no catching up), and in the second after the next the
# frames come on, never faster than the display refreshes. The times are the program's
# own (NIGHTBLOOM_FRAME_LOG: one line per frame, its clock and ticks).
source "$(dirname "$0")/lib.sh"
: "${CLOCK_SHIFT:?}"
start_xvfb 1024x768
log="$WORK/frames.log"
frames() { wc -l <"$log" 2>/dev/null || echo 0; }
show_for() {  # seconds: the show runs that long, and frames keep coming meanwhile
  local before
  before=$(frames)
  sleep "$1"
  [ "$(frames)" -ge $((before + 5 * $1)) ]
}

LD_PRELOAD="$CLOCK_SHIFT" NIGHTBLOOM_FRAME_LOG="$log" run show --fullscreen
pid=$last_pid
wait_window "$pid" 10 >/dev/null || { fail "no window"; finish; }
check "the show runs" wait_until 10 bash -c "[ \$(wc -l <'$log') -ge 30 ]"

say "stopped for 30 s, continued"
start=$(date +%s%N)
kill -STOP "$pid"
sleep 30
kill -CONT "$pid"
stopped_us=$(( ($(date +%s%N) - start) / 1000 ))
check "it draws again" show_for 3
say "the clock an hour forward, an hour back, another hour back"
for shift in USR1 USR2 USR2; do
  kill -"$shift" "$pid"
  check "it draws on after SIG$shift" show_for 3
done
kill -TERM "$pid"; wait_exit "$pid" 2
check "it ends on SIGTERM (exit $code)" test "$code" -eq 0

# The events in the program's clock: the gap between two frames that holds the stop (about
# stopped_us long) or a jump (an hour, either way). For each: the real time between the
# frames around it, and the frames in the second before it and in the second after the
# one that follows it; then the longest gap between ordinary frames (after the first
# second) and the most ticks any frame ran.
awk -v stopped="$stopped_us" -v hour=3600000000 '
  { t[NR] = $1; k[NR] = $2 }
  function count(from, to,   i, n) { n = 0; for (i = 1; i <= NR; i++) if (t[i] > from && t[i] <= to) n++; return n }
  END {
    for (i = 2; i <= NR; i++) {
      g = t[i] - t[i - 1]; kind = ""
      if (g > stopped / 2 && g < stopped * 2) { kind = "stop"; real = g - stopped }
      else if (g > hour / 2) { kind = "forward"; real = g - hour }
      else if (g < -hour / 2) { kind = "back"; real = g + hour }
      if (kind == "") { if (t[i] - t[1] > 1000000 && g > longest) longest = g; continue }
      printf "%s %.1f %d %d\n", kind, real / 1000, count(t[i - 1] - 1000000, t[i - 1]), count(t[i] + 1000000, t[i] + 2000000)
    }
    for (i = 2; i <= NR; i++) if (k[i] > most) most = k[i]
    printf "longest %.1f\nticks %d\n", longest / 1000, most
  }' "$log" >"$WORK/events.txt"
cat "$WORK/events.txt"
check "four events in the frame log (a stop, an hour forward, two back)" \
  test "$(grep -c '^stop\|^forward\|^back' "$WORK/events.txt")" -eq 4
# On a busy machine frames come late now and then, by a scheduling's whim; the frame after
# an event may be as late as those (twice the latest, for the whims), never waiting for a
# clock to catch up (an hour, or the rest of the run).
longest=$(awk '$1 == "longest" { print $2 }' "$WORK/events.txt")
while read -r kind real before after; do
  case $kind in stop|forward|back) ;; *) continue ;; esac
  check "$kind: the next frame $real ms after the event (ordinary frames: up to $longest ms apart)" \
    awk -v r="$real" -v l="$longest" 'BEGIN { exit !(r <= 2 * l) }'
  check "$kind: $after frames in the second after the next ($before in the one before): going on, never faster than the display" \
    test "$after" -ge 5 -a "$after" -le 62
done <"$WORK/events.txt"
most=$(awk '$1 == "ticks" { print $2 }' "$WORK/events.txt")
check "at most two ticks per frame, ever ($most)" test "${most:-9}" -le 2
finish
