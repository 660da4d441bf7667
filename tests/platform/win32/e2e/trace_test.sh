#!/usr/bin/env bash
# The real saver's trace equals the native nightbloom-trace's for the same seed and
# levels, for every tick the saver ran: once with the default levels and once with the
# levels the registry gives (particles Low, smoke Med), so the settings reach the show.
# A seed that is not a number is reported in a message box, and the saver does not start.
#   NB_NATIVE_TRACE  the native build's nightbloom-trace
source "$(dirname "$0")/lib.sh"
: "${NB_NATIVE_TRACE:?}"

run() {  # seed particles smoke seconds
  local seed=$1 particles=$2 smoke=$3 seconds=$4
  local trace="$NB_WORK/saver_$seed.trace" native="$NB_WORK/native_$seed.trace"
  xdotool mousemove 320 240
  NIGHTBLOOM_SEED=$seed NIGHTBLOOM_TRACE=$(winpath "$trace") start_saver /s
  wait_ticks "$trace" 2 30 || fail "the saver did not start its loop (see $NB_WORK/saver.log)"
  sleep "$seconds"
  wait_active Nightbloom 640 480 10 || fail "the saver is not the active full-size window"
  xdotool key space
  wait_exit "$saver_pid" 10 || fail "the saver did not end on a key"
  local ticks
  ticks=$(last_tick "$trace")
  [ "${ticks:-0}" -ge 100 ] || fail "the saver ran only ${ticks:-0} ticks"
  "$NB_NATIVE_TRACE" --seed "$seed" --ticks "$ticks" --particles "$particles" --smoke "$smoke" >"$native" ||
    fail "the native trace failed"
  if ! cmp -s "$native" "$trace"; then
    diff "$native" "$trace" | head -n 6
    fail "seed $seed: the saver's trace differs from the native one"
  fi
  note "seed $seed, particles $particles, smoke $smoke: $ticks ticks, $(wc -l <"$trace") identical lines"
}

reset_registry
run 20260101 2 2 6
run_windows 20 reg add "$saver_key" /v F /t REG_DWORD /d 0 /f >/dev/null
run_windows 20 reg add "$saver_key" /v G /t REG_DWORD /d 1 /f >/dev/null
run 4000000000 0 1 6
reset_registry

xdotool mousemove 512 384
NIGHTBLOOM_SEED=12x start_saver /s
wait_window Nightbloom 30 || fail "a bad seed brought no message box"
xdotool key Return
wait_exit "$saver_pid" 5 || fail "dismissing the message box did not end the program"
[ "$exit_code" -ne 0 ] || fail "a bad seed ended with exit code 0"
note "a bad seed: message box, exit code $exit_code"
echo "ok"
