#!/usr/bin/env bash
# The level of the real program's sound: the saver of a fixed seed at High/High for 10 s
# of show on SDL's disk audio driver (22050 Hz 16-bit stereo, as the program opens it),
# measured with nightbloom-mix and set against the offline mix of the same ticks. The
# program plays the same events with the same waves and voices, but starts each sound when
# the audio device next asks for samples (every 1024 frames) and, when the machine is
# busy, lets show time fall behind the clock. So the figures are compared with tolerances
# that allow for that: its RMS level over the show's own length (the same sound energy,
# however the sounds lie in time) within 1 dB; its peak, which depends on how the starts
# of sounds line up, within 4 dB; its loudness, which averages over time, within 1.5 LU
# when the program kept time (within 10%). Neither may clip.
source "$(dirname "$0")/lib.sh"
: "${MIX:?}"
seed=10     # the busiest of seeds 1 to 20
ticks=600   # 10.2 s of show
start_xvfb 640x480

figure() { awk -v k="$1:" '$1 == k { print $2; exit }' "$2"; }
# The RMS level of a measured file as if its sound had filled only the show's FRAMES: its
# own RMS level plus the level of its length over those.
show_rms() {  # file frames
  awk -v rms="$(figure rms "$1")" -v f="$2" '$1 == "audio:" { n = $6 } END { printf "%.2f", rms + 10 * log(n / f) / log(10) }' "$1"
}
within() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
last_tick() { grep '^tick ' "$1" 2>/dev/null | tail -n 1 | cut -d' ' -f2; }
reached() { local t; t=$(last_tick "$1"); [ -n "$t" ] && [ "$t" -ge "$2" ]; }

say "the saver's sound, seed $seed, High/High"
SDL_DISKAUDIOFILE="$WORK/saver.raw" NIGHTBLOOM_SEED=$seed NIGHTBLOOM_TRACE="$WORK/saver.trace" \
  run saver /s --sound --particles high --smoke high
wait_window "$last_pid" 10 >/dev/null || fail "no window"
check "the show started" wait_until 20 reached "$WORK/saver.trace" 30
began=$(date +%s%N)
check "the show ran $ticks ticks" wait_until 40 reached "$WORK/saver.trace" "$ticks"
ended=$(date +%s%N)
kill -TERM "$last_pid"; wait_exit "$last_pid" 5
check "ended (exit $code)" test "$code" -eq 0

ran=$(last_tick "$WORK/saver.trace")
[ -n "$ran" ] || { fail "the program wrote no trace"; finish; }
"$MIX" --measure "$WORK/saver.raw" --rate 22050 --channels 2 >"$WORK/saver.txt" 2>&1
"$MIX" --seed "$seed" --ticks "$ran" >"$WORK/mix.txt" 2>&1
sed 's/^/  program: /' "$WORK/saver.txt"
sed 's/^/  offline: /' "$WORK/mix.txt"
sounds=$(grep -c '^sound ' "$WORK/saver.trace")
check "the offline mix plays the $sounds sounds the program raised in $ran ticks" \
  grep -q "^mix: seed $seed, particles 2, smoke 2, $ran ticks, $sounds sounds" "$WORK/mix.txt"
frames=$(( (ran * 17 * 22050 + 500) / 1000 ))
r_program=$(show_rms "$WORK/saver.txt" "$frames"); r_mix=$(show_rms "$WORK/mix.txt" "$frames")
check "RMS over the show within 1 dB of the offline mix ($r_program, $r_mix dBFS)" within "$r_program" "$r_mix" 1
p_program=$(figure peak "$WORK/saver.txt"); p_mix=$(figure peak "$WORK/mix.txt")
check "peak within 4 dB of the offline mix ($p_program, $p_mix dBFS)" within "$p_program" "$p_mix" 4
# Show time against the clock while the ticks from 30 to $ticks ran (polled every 0.1 s).
pace=$(( (ticks - 30) * 17 * 100000000 / (ended - began) ))
l_program=$(figure loudness "$WORK/saver.txt"); l_mix=$(figure loudness "$WORK/mix.txt")
if [ "$pace" -ge 90 ] && [ "$pace" -le 110 ]; then
  check "loudness within 1.5 LU of the offline mix ($l_program, $l_mix LUFS)" within "$l_program" "$l_mix" 1.5
else
  echo "note: show time ran at $pace% of the clock; loudness ($l_program, $l_mix LUFS) not compared"
fi
for who in saver mix; do
  worst=$(awk '$1 == "worst" { print $3 }' "$WORK/$who.txt")
  check "$who: at most 10 clipped samples in any 100 ms ($worst)" at_most "$worst" 10
done
finish
