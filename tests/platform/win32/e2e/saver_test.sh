#!/usr/bin/env bash
# nightbloom.scr /s: the display goes to the chosen mode (640 x 480 x 16 by default); two
# screenshots a second apart show the show, not the desktop; a 40-pixel mouse move within
# the 1500 ms grace period leaves it running, one after the grace period ends it; a key
# and a mouse button each end it; the device choice is saved as four 40-byte REG_SZ
# values. Input goes only to a saver window that is up, full-size and active.
source "$(dirname "$0")/lib.sh"

reset_registry
xdotool mousemove 320 240

echo "run 1: mode, pictures, mouse rules"
# The grace period starts with the loop, which the trace shows, but the saver takes input
# only between its passes: a move tells something only when the ticks that followed it
# show it was taken within a second of the first tick. A busy machine may not allow that
# (the first frame is slow), so up to three starts are tried; a saver that ends on every
# early move never gets there.
for attempt in 1 2 3; do
  trace="$NB_WORK/run1-$attempt.trace"
  timeline="$NB_WORK/run1-$attempt.timeline"
  NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
  start_timeline "$trace" /dev/null 1000000 60 "$timeline"
  sent=$(check send-at "$trace" 2 30 xdotool mousemove_relative 40 0) ||
    fail "the saver did not start its loop (see $NB_WORK/saver.log)"
  wait_ticks "$trace" $(($(last_tick "$trace") + 3)) 5
  stop_timeline now
  if taken=$(check taken "$timeline" "$sent"); then
    note "a 40-pixel move $taken"
    running "$saver_pid" || fail "a mouse move within the grace period ended the saver"
    wait_active Nightbloom 640 480 10 || fail "a mouse move within the grace period ended the saver"
    note "a 40-pixel move within the grace period: still running"
    break
  fi
  note "attempt $attempt: a 40-pixel move $taken; starting again"
  xdotool key x
  wait_exit "$saver_pid" 10 || fail "the saver did not end on a key"
  [ "$attempt" -lt 3 ] || fail "no move was taken within a second of the saver's start in three attempts"
  xdotool mousemove 320 240
done

[ "$(desktop_size)" = 640x480 ] || fail "the desktop is $(desktop_size), not 640x480"
# Wine's virtual desktop shows other programs its X depth; the size is the mode's, and the
# depth the saver started in is the one it saves (checked below).
mode=$(run_windows 20 "$NB_HELPER" mode)
[ "${mode%x*}" = 640x480 ] || fail "the display mode is '$mode', not 640 x 480"
note "display mode ${mode%x*} as other programs see it"

screenshot "$NB_WORK/saver1.png"
sleep 1
screenshot "$NB_WORK/saver2.png"
for shot in saver1 saver2; do
  coloured=$(check coloured "$NB_WORK/$shot.png" 0 0 640 480)
  note "$shot.png: $coloured coloured pixels"
  [ "$coloured" -ge 150 ] || fail "$shot.png shows no show (only $coloured coloured pixels)"
done
changed=$(check differ "$NB_WORK/saver1.png" "$NB_WORK/saver2.png" 0 0 640 480)
note "pixels that changed in one second: $changed"
[ "$changed" -ge 2000 ] || fail "the two screenshots barely differ ($changed pixels)"
running "$saver_pid" || fail "the saver ended by itself"

# The grace period is over: the next move of more than 5 pixels ends the saver.
wait_active Nightbloom 640 480 10 || fail "the saver is not the active full-size window"
xdotool mousemove_relative -- -40 0
wait_exit "$saver_pid" 10 || fail "a 40-pixel move after the grace period did not end the saver"
note "a 40-pixel move after the grace period ended it"
# The desktop gets its own mode back (or is gone already, with the last program).
size=$(desktop_size)
[ -z "$size" ] || [ "$size" = 1024x768 ] || { sleep 1; size=$(desktop_size); }
[ -z "$size" ] || [ "$size" = 1024x768 ] || fail "the desktop was not given back its mode ($size)"

values=$(run_windows 20 reg query "$saver_key")
echo "$values" | sed 's/^/    /'
for name in A B C D; do
  grep -Eq "^ +$name +REG_SZ +[^ ]" <<<"$values" || fail "no REG_SZ value $name in the registry"
done
grep -Eq '^ +D +REG_SZ +640 x 480 x 16$' <<<"$values" || fail "the saved mode is not 640 x 480 x 16"
for name in A B C D; do
  value_is "$name" 1 40 || fail "value $name is not a 40-byte REG_SZ"
done
note "A..D are REG_SZ of 40 bytes each"

for input in key button; do
  echo "run: a $input ends it"
  trace="$NB_WORK/$input.trace"
  NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
  wait_ticks "$trace" 2 30 || fail "the saver did not start its loop"
  wait_desktop 640x480 5 || fail "the display did not switch to 640 x 480"
  wait_active Nightbloom 640 480 10 || fail "the saver is not the active full-size window"
  # Within the grace period or not: keys and buttons count at once.
  if [ "$input" = key ]; then xdotool key x; else xdotool click 1; fi
  wait_exit "$saver_pid" 10 || fail "a $input did not end the saver"
  note "ended by a $input after $(last_tick "$trace") ticks"
done
echo "ok"
