#!/usr/bin/env bash
# Sound of nightbloom.scr /s: with Wine's audio routed by ALSA into a file (16-bit stereo at
# 44100 Hz through ALSA's file plugin), the audio sounds at the moments the show raises
# its launch and burst sounds, and is silent before the first and in the gaps between
# them. With no audio device at all the saver runs its show silently.
source "$(dirname "$0")/lib.sh"

# ALSA's own configuration is left out: its hooks load plugins that may exist for one
# architecture only (PulseAudio's), and a hook that fails leaves no default device at all.
# PulseAudio is left out of Wine as well, so the sound goes where these files say.
audio="$NB_WORK/audio.raw"
cat >"$NB_WORK/alsa-file.conf" <<CONF
pcm.!default { type plug; slave { pcm "nightbloom_file"; format S16_LE; channels 2; rate 44100 } }
pcm.nightbloom_file { type file; slave.pcm "nightbloom_null"; file "$audio"; format "raw" }
pcm.nightbloom_null { type null }
ctl.!default { type null }
CONF
cat >"$NB_WORK/alsa-none.conf" <<CONF
pcm.!default { type hw; card 31 }
ctl.!default { type hw; card 31 }
CONF
no_pulse="mscoree,mshtml,winepulse.drv="

reset_registry
xdotool mousemove 320 240

echo "sound into a file"
trace="$NB_WORK/sound.trace"
timeline="$NB_WORK/timeline"
NIGHTBLOOM_WINE_AUDIO=system ALSA_CONFIG_PATH="$NB_WORK/alsa-file.conf" WINEDLLOVERRIDES=$no_pulse \
  NIGHTBLOOM_SEED=42 NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
# The show's ticks against the audio written so far, from before the first tick to tick
# 350 (6 s of show): ties the ticks to the audio.
start_timeline "$trace" "$audio" 350 90 "$timeline"
wait_ticks "$trace" 2 30 || fail "the saver did not start its loop (see $NB_WORK/saver.log)"
stop_timeline
running "$saver_pid" || fail "the saver ended by itself"
wait_active Nightbloom 640 480 10 || fail "the saver is not the active full-size window"
xdotool key space
wait_exit "$saver_pid" 10 || fail "the saver did not end on a key"
[ -s "$audio" ] || fail "no audio was written"
note "$(grep -c '^sound ' "$trace") sound events in $(last_tick "$trace") ticks"
check audio "$audio" 44100 2 "$timeline" "$trace" | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the audio does not follow the show's sound events"

echo "no audio device"
trace="$NB_WORK/silent.trace"
NIGHTBLOOM_WINE_AUDIO=system ALSA_CONFIG_PATH="$NB_WORK/alsa-none.conf" WINEDLLOVERRIDES=$no_pulse \
  NIGHTBLOOM_SEED=42 NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
wait_ticks "$trace" 150 40 || fail "the saver without an audio device did not run its show"
program_window_shown Nightbloom && [ "$(desktop_size)" != 640x480 ] && fail "a message box came up"
wait_active Nightbloom 640 480 10 || fail "the silent saver is not the active full-size window"
xdotool key space
wait_exit "$saver_pid" 10 || fail "the silent saver did not end on a key"
sounds=$(grep -c '^sound ' "$trace")
[ "$sounds" -gt 0 ] || fail "the show raised no sound events"
note "ran $(last_tick "$trace") ticks silently; the show raised $sounds sound events"
echo "ok"
