#!/usr/bin/env bash
# Two savers started at the same moment, a hundred times, both saving their device choice
# into the one settings file as they start: one on a 1024 x 768 screen, where the saved
# mode 1024 x 768 x 32 exists and is saved again, one on an 800 x 600 screen, where it does
# not and the default mode is saved instead. Every time the file is one of the two whole,
# and no temporary file is left.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600
small=$DISPLAY
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display-big" >"$WORK/xvfb-big.log" 2>&1 &
started+=("$!")
wait_until 10 test -s "$WORK/display-big" || { echo "the second Xvfb did not start"; exit 1; }
big=":$(tr -d '[:space:]' <"$WORK/display-big")"
folder="$XDG_CONFIG_HOME/nightbloom"
file="$folder/registry.ini"
rounds=100
mkdir -p "$folder"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nA=sz:40:Primary Display Driver\nB=sz:40:display\nC=sz:40:RGB Emulation\nD=sz:40:1024 x 768 x 32\n' \
  >"$WORK/start.ini"

# Starts the saver on a screen; its id in $last_pid.
saver() {  # name display
  DISPLAY=$2 run "$1" /s --no-sound --particles low --smoke low
}
# What each saves alone.
for screen in big small; do
  cp "$WORK/start.ini" "$file"
  saver "alone-$screen" "${!screen}"
  DISPLAY=${!screen} wait_window "$last_pid" 10 >/dev/null || fail "$screen: no window"
  kill -KILL "$last_pid"; wait_exit "$last_pid" 2
  cp "$file" "$WORK/$screen.ini"
done
check "on the big screen the saved mode stays" grep -qx 'D=sz:40:1024 x 768 x 32' "$WORK/big.ini"
check "on the small one the default mode is saved" grep -qx 'D=sz:40:640 x 480 x 16' "$WORK/small.ini"

whole=0 big_won=0 small_won=0
for round in $(seq 1 $rounds); do
  cp "$WORK/start.ini" "$file"
  saver "big$round" "$big"; one=$last_pid
  saver "small$round" "$small"; two=$last_pid
  DISPLAY=$big wait_window "$one" 10 >/dev/null || fail "round $round: no window on the big screen"
  DISPLAY=$small wait_window "$two" 10 >/dev/null || fail "round $round: no window on the small screen"
  kill -KILL "$one" "$two"; wait_exit "$one" 2; wait_exit "$two" 2
  if cmp -s "$file" "$WORK/big.ini"; then
    whole=$((whole + 1)); big_won=$((big_won + 1))
  elif cmp -s "$file" "$WORK/small.ini"; then
    whole=$((whole + 1)); small_won=$((small_won + 1))
  else
    fail "round $round: the file is neither one whole"
    cp "$file" "$WORK/broken-$round.ini"
  fi
done
echo "     (the last save was the big screen's $big_won times, the small one's $small_won times)"
check "the file was one of the two whole every time ($whole of $rounds)" test "$whole" -eq "$rounds"
check "no temporary file is left" test -z "$(find "$folder" -name 'registry.ini.tmp-*')"
finish
