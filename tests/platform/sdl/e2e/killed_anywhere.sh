#!/usr/bin/env bash
# The program killed with SIGKILL at random moments, a hundred times: in the saver's
# start-up (which saves the device choice), in the show, in the settings dialog, and right
# after the dialog's OK (its save). After every kill the settings file is whole, the old
# one or the new one; and a last start reads the file without a word and removes the
# temporary files of the saves that were cut short.
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768
start_wm
folder="$XDG_CONFIG_HOME/nightbloom"
file="$folder/registry.ini"
runs=100

# The old file of a start-up: settings without a device choice. Its new file, and the old
# file of every other run, is what a start that saves its choice writes.
mkdir -p "$folder"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nE=dword:00000000\nF=dword:00000001\nG=dword:00000000\n' \
  >"$WORK/settings.ini"
cp "$WORK/settings.ini" "$file"
run first /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
cp "$file" "$WORK/chosen.ini"
check "a start saves its device choice" grep -q '^C=sz:40:RGB Emulation$' "$WORK/chosen.ini"

temporaries() { find "$folder" -name 'registry.ini.tmp-*' | wc -l; }
dialog_up() { xdotool search --onlyvisible --pid "$1" --name '^Nightbloom Configuration$' >/dev/null 2>&1; }
random_ms() { echo $((RANDOM % $1)); }
pause_ms() { sleep "$(awk -v ms="$1" 'BEGIN { printf "%.3f", ms / 1000 }')"; }

whole=0 left=0
declare -A kinds=()
for run in $(seq 1 $runs); do
  case $((run % 4)) in
    1) kind=start-up; cp "$WORK/settings.ini" "$file" ;;
    2) kind=show ;;
    3) kind=dialog ;;
    0) kind=save ;;
  esac
  [ "$kind" = start-up ] || cp "$WORK/chosen.ini" "$file"
  case $kind in
    start-up) run "kill$run" /s; pause_ms "$(random_ms $((600 * slower)))" ;;
    show) run "kill$run" /s
          wait_window "$last_pid" 10 >/dev/null; pause_ms "$(random_ms 500)" ;;
    dialog) run "kill$run" /c; pause_ms "$(random_ms $((1000 * slower)))" ;;
    save) run "kill$run" /c
          wait_until 10 dialog_up "$last_pid" && xdotool key Return
          pause_ms "$(random_ms 20)" ;;
  esac
  kill -KILL "$last_pid"; wait_exit "$last_pid" 2
  kinds[$kind]=$(( ${kinds[$kind]:-0} + 1 ))
  if cmp -s "$file" "$WORK/chosen.ini" || { [ "$kind" = start-up ] && cmp -s "$file" "$WORK/settings.ini"; }; then
    whole=$((whole + 1))
  else
    fail "run $run ($kind): the settings file is neither the old nor the new one"
    cp "$file" "$WORK/broken-$run.ini" 2>/dev/null
  fi
  [ -n "$(find "$folder" -name "registry.ini.tmp-$last_pid-*")" ] && left=$((left + 1))
done
echo "     ($runs kills: ${kinds[start-up]:-0} in start-ups, ${kinds[show]:-0} in shows, ${kinds[dialog]:-0} in dialogs, ${kinds[save]:-0} around saves; $left cut a save short, $(temporaries) temporary files are there now)"
check "after every kill the settings file was whole, the old or the new one ($whole of $runs)" test "$whole" -eq "$runs"

say "a start after all of it"
# Beside what the kills left, the temporary file of a save cut short in its middle, as a
# kill leaves it now and then (its process, the last one killed, is gone).
printf '[HKEY_CURRENT_USER\\Software\\Lumen' >"$file.tmp-$last_pid-0"
check "there are temporary files to remove ($(temporaries))" test "$(temporaries)" -ge 1
run last /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "it runs and ends (exit $code)" test "$code" -eq 0
check "it reads the file without a word" test ! -s "$WORK/last.err" -o -z "$(grep '^nightbloom:' "$WORK/last.err")"
check "no temporary file is left" test "$(temporaries)" -eq 0
check "the file is the one of the last save" cmp "$WORK/chosen.ini" "$file"
finish
