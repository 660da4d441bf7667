#!/usr/bin/env bash
# The level of nightbloom.scr's sound: the saver of a fixed seed at High/High for 10 s of
# show, its DirectSound output routed by Wine's ALSA driver into a file (16-bit stereo at
# 44100 Hz through ALSA's file plugin), measured with nightbloom-mix: it stays below full
# scale, and it holds as much sound as the offline mix of the same ticks: DirectSound sums
# the same waves in the same voices, only at other moments (Wine's mixer runs ahead of the
# clock into a file that nothing plays, which spreads the sounds apart in it).
source "$(dirname "$0")/lib.sh"
: "${NB_MIX:?}"
seed=10
ticks=600   # 10.2 s of show

audio="$NB_WORK/audio.raw"
# Only ALSA's built-in plugins, without the system's configuration: its hooks load plugin
# libraries that a machine may have for one architecture and not the other.
cat >"$NB_WORK/alsa-file.conf" <<CONF
pcm.!default { type plug; slave { pcm "nightbloom_file"; format S16_LE; channels 2; rate 44100 } }
pcm.nightbloom_file { type file; slave.pcm { type null }; file "$audio"; format "raw" }
ctl.!default { type null }
CONF
figure() { awk -v k="$1:" '$1 == k { print $2; exit }' "$2"; }
# Total energy in dB: the RMS level plus the level of the sample count (see the Linux test).
energy() {
  awk -v rms="$(figure rms "$1")" '$1 == "audio:" { n = $6 * $4 } END { printf "%.2f", rms + 10 * log(n) / log(10) }' "$1"
}

reset_registry  # High/High are the defaults
xdotool mousemove 320 240

echo "the saver's sound, seed $seed, High/High"
trace="$NB_WORK/saver.trace"
NIGHTBLOOM_WINE_AUDIO=system ALSA_CONFIG_PATH="$NB_WORK/alsa-file.conf" \
  NIGHTBLOOM_SEED=$seed NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
wait_ticks "$trace" "$ticks" 60 || fail "the saver did not run $ticks ticks (see $NB_WORK/saver.log)"
xdotool key space
wait_exit "$saver_pid" 5 || fail "the saver did not end on a key"
[ -s "$audio" ] || fail "no audio was written"
grep -q "^trace 1 seed=$seed particles=2 smoke=2" "$trace" || fail "the saver did not run at High/High"

ran=$(last_tick "$trace")
run_windows 60 "$NB_MIX" --measure "$(winpath "$audio")" --rate 44100 --channels 2 >"$NB_WORK/saver.txt"
run_windows 60 "$NB_MIX" --seed "$seed" --ticks "$ran" --rate 44100 >"$NB_WORK/mix.txt"
sed 's/^/  program: /' "$NB_WORK/saver.txt"
sed 's/^/  offline: /' "$NB_WORK/mix.txt"
grep -q '^peak: ' "$NB_WORK/saver.txt" || fail "the recording could not be measured"
peak=$(awk '$1 == "peak:" { gsub(/[()]/, "", $4); print $4 }' "$NB_WORK/saver.txt")
[ "$peak" -lt 32767 ] || fail "the sound reached full scale (peak $peak)"
e_program=$(energy "$NB_WORK/saver.txt"); e_mix=$(energy "$NB_WORK/mix.txt")
awk -v a="$e_program" -v b="$e_mix" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 1.5) }' ||
  fail "the energy of the sound ($e_program dB) is not within 1.5 dB of the offline mix's ($e_mix dB)"
note "peak $peak, energy $e_program dB against $e_mix dB offline, over $ran ticks"
echo "ok"
