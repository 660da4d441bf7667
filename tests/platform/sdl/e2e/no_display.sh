#!/usr/bin/env bash
# Without a display: a clear message on stderr and exit code 1, since nothing could be
# shown (the shell itself ends every start-up failure with 0). Bad command lines and
# environment switches: exit 2 with a reason.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

for args in "/s" "" "--fullscreen" "/p 123" "/c" "--settings"; do
  # shellcheck disable=SC2086
  run nodisplay $args
  wait_exit "$last_pid" 10
  check "'nightbloom $args' ends with 1 (exit $code)" test "$code" -eq 1
  check "... saying there is no display" grep -q "no display" "$WORK/nodisplay.err"
done
run nodisplay /s
wait_exit "$last_pid" 10
check "the start-up failure's own message follows" grep -q "^Nightbloom: Generic application error." "$WORK/nodisplay.err"

"$NB" --help >"$WORK/help.out" 2>&1
check "--help works anywhere" grep -q -- "--window-id" "$WORK/help.out"
"$NB" --version >"$WORK/version.out" 2>&1
check "--version" grep -qE '^nightbloom [0-9]+\.[0-9]+' "$WORK/version.out"
for bad in "--bogus" "--particles lots" "/s /c" "--window-id" "/p" "/p abc" "/p 0"; do
  # shellcheck disable=SC2086
  "$NB" $bad >"$WORK/bad.out" 2>"$WORK/bad.err"
  check "'$bad' is refused with 2" test $? -eq 2
  check "... with a reason" grep -q "^nightbloom: " "$WORK/bad.err"
done
NIGHTBLOOM_SEED=abc "$NB" /s >"$WORK/bad.out" 2>"$WORK/bad.err"
check "a bad NIGHTBLOOM_SEED is refused with 2" test $? -eq 2
NIGHTBLOOM_PACING=maybe "$NB" /s >"$WORK/bad.out" 2>"$WORK/bad.err"
check "a bad NIGHTBLOOM_PACING is refused with 2" test $? -eq 2
finish
