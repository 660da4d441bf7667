#!/usr/bin/env bash
# A damaged key file: the saver runs with the defaults (not with the values readable before
# the damage), says so on stderr, keeps the damaged file as registry.ini.bad, and its first
# save (the device choice, at start) writes a valid file.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600
mkdir -p "$XDG_CONFIG_HOME/nightbloom"
file="$XDG_CONFIG_HOME/nightbloom/registry.ini"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nF=dword:00000000\nG=dword:00000000\nD=sz:4:640 x 480 x 16\n' >"$file"
cp "$file" "$WORK/original.ini"

NIGHTBLOOM_SEED=5 NIGHTBLOOM_TRACE="$WORK/saver.trace" run saver /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
sleep 1
kill -INT "$last_pid"; wait_exit "$last_pid" 2
check "it ran and ended on SIGINT (exit $code)" test "$code" -eq 0
check "the warning names the damage and the copy" \
  grep -q "registry.ini is damaged.*kept as .*registry.ini.bad" "$WORK/saver.err"
check "the damaged file is kept byte for byte" cmp "$WORK/original.ini" "$file.bad"
check "the defaults were in force, not the readable values" \
  grep -qx 'trace 1 seed=5 particles=2 smoke=2' "$WORK/saver.trace"
check "a valid file was written" has_line "C=sz:40:RGB Emulation"
check "... and nothing of the damaged one" test -z "$(registry | grep -E '^[FG]=')"

say "the next run reads it without a warning"
run again /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "ended (exit $code)" test "$code" -eq 0
check "no warning" test -z "$(grep damaged "$WORK/again.err")"
finish
