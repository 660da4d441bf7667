#!/usr/bin/env bash
# Sound of nightbloom.scr /s: with Wine's audio routed by ALSA into a file (16-bit stereo at
# 44100 Hz through ALSA's file plugin), the audio sounds at the moments the show raises
# its launch and burst sounds, and is silent before the first and in the gaps between
# them. With no audio device at all the saver runs its show silently.
source "$(dirname "$0")/lib.sh"

audio="$NB_WORK/audio.raw"
cat >"$NB_WORK/alsa-file.conf" <<CONF
</usr/share/alsa/alsa.conf>
pcm.!default { type plug; slave { pcm "nightbloom_file"; format S16_LE; channels 2; rate 44100 } }
pcm.nightbloom_file { type file; slave.pcm "null"; file "$audio"; format "raw" }
ctl.!default { type null }
CONF
cat >"$NB_WORK/alsa-none.conf" <<CONF
</usr/share/alsa/alsa.conf>
pcm.!default { type hw; card 31 }
ctl.!default { type hw; card 31 }
CONF

reset_registry
xdotool mousemove 320 240

echo "sound into a file"
trace="$NB_WORK/sound.trace"
timeline="$NB_WORK/timeline"
NIGHTBLOOM_WINE_AUDIO=system ALSA_CONFIG_PATH="$NB_WORK/alsa-file.conf" \
  NIGHTBLOOM_SEED=42 NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
wait_ticks "$trace" 2 30 || fail "the saver did not start its loop (see $NB_WORK/saver.log)"
# Wall time, ticks run and audio written, every 50 ms: ties the show's ticks to the audio.
start=$(date +%s.%N)
for _ in $(seq 120); do
  printf '%s %s %s\n' "$(echo "$(date +%s.%N) - $start" | bc)" "$(last_tick "$trace")" \
    "$(stat -c %s "$audio" 2>/dev/null || echo 0)" >>"$timeline"
  sleep 0.05
done
xdotool key space
wait_exit "$saver_pid" 5 || fail "the saver did not end on a key"
[ -s "$audio" ] || fail "no audio was written"
note "$(grep -c '^sound ' "$trace") sound events in $(last_tick "$trace") ticks"
check audio "$audio" 44100 2 "$timeline" "$trace" | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the audio does not follow the show's sound events"

echo "no audio device"
trace="$NB_WORK/silent.trace"
NIGHTBLOOM_WINE_AUDIO=system ALSA_CONFIG_PATH="$NB_WORK/alsa-none.conf" \
  WINEDLLOVERRIDES="mscoree,mshtml,winepulse.drv=" \
  NIGHTBLOOM_SEED=42 NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
wait_ticks "$trace" 150 40 || fail "the saver without an audio device did not run its show"
program_window_shown Nightbloom && [ "$(desktop_size)" != 640x480 ] && fail "a message box came up"
xdotool key space
wait_exit "$saver_pid" 5 || fail "the silent saver did not end on a key"
sounds=$(grep -c '^sound ' "$trace")
[ "$sounds" -gt 0 ] || fail "the show raised no sound events"
note "ran $(last_tick "$trace") ticks silently; the show raised $sounds sound events"
echo "ok"
