#!/usr/bin/env bash
# Sound through SDL2_mixer on SDL's disk audio driver: with sound on, the file holds the
# show's launches and bursts (samples that are not silence); with sound off nothing is
# played and the show runs; without an audio device the show runs silent.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600
nonzero() { test "$(tr -d '\000' <"$1" 2>/dev/null | head -c 64 | wc -c)" -gt 0; }

say "sound on"
SDL_DISKAUDIOFILE="$WORK/on.raw" NIGHTBLOOM_SEED=3 run on /s --sound
wait_window "$last_pid" 10 >/dev/null || fail "no window"
check "the audio file holds sound" wait_until 5 nonzero "$WORK/on.raw"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "ended (exit $code)" test "$code" -eq 0

say "sound off"
SDL_DISKAUDIOFILE="$WORK/off.raw" NIGHTBLOOM_SEED=3 run off /s --no-sound
wait_window "$last_pid" 10 >/dev/null || fail "no window"
check "the show runs" wait_lit root 1000 5
check "nothing was played" test ! -s "$WORK/off.raw"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "ended (exit $code)" test "$code" -eq 0

say "no audio device"
SDL_AUDIODRIVER=no-such-device NIGHTBLOOM_SEED=3 run silent /s --sound
wait_window "$last_pid" 10 >/dev/null || fail "no window"
check "the show runs, silent" wait_lit root 1000 5
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "ended (exit $code)" test "$code" -eq 0
finish
