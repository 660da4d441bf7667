#!/usr/bin/env bash
# --monitors each where SDL sees one display (Xvfb): the ordinary saver, with no second
# process, and the same trace as the trace tool's; the choice stored in the key file is
# taken when the command line gives none, and a stored value that is no choice is said
# once and the default used.
source "$(dirname "$0")/lib.sh"
: "${TRACE:?}"
start_xvfb 800x600

one_run() {  # name, then the program's arguments
  local name=$1; shift
  NIGHTBLOOM_SEED=99 NIGHTBLOOM_TRACE="$WORK/$name.trace" run "$name" "$@"
  pid=$last_pid
  wait_window "$pid" 10 >/dev/null || fail "$name: no window"
  wait_lit root 20000 10
  check "$name: the show is on the screen ($s_lit pixels lit)" test "$s_lit" -ge 20000
  check "$name: no other show was started" test -z "$(pgrep -P "$pid")"
  xdotool key Escape
  wait_exit "$pid" 5
  check "$name: a key ends it (exit $code)" test "$code" -eq 0
  ticks=$(grep -c '^tick ' "$WORK/$name.trace")
  "$TRACE" --seed 99 --ticks "$ticks" --particles 2 --smoke 2 >"$WORK/tool.trace"
  check "$name: its trace is nightbloom-trace's ($ticks ticks)" cmp "$WORK/$name.trace" "$WORK/tool.trace"
}

say "--monitors each on one display"
one_run each --fullscreen --monitors each

say "the stored choice"
mkdir -p "$XDG_CONFIG_HOME/nightbloom"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nMonitors=dword:00000001\n' \
  >"$XDG_CONFIG_HOME/nightbloom/registry.ini"
one_run stored --fullscreen
check "stored: taken without a word" test -z "$(grep Monitors "$WORK/stored.err")"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nMonitors=dword:00000007\n' \
  >"$XDG_CONFIG_HOME/nightbloom/registry.ini"
one_run bad --fullscreen
check "bad: said once on stderr" test "$(grep -c 'stored Monitors' "$WORK/bad.err")" -eq 1
check "bad: kept as it was" has_line "Monitors=dword:00000007"
finish
