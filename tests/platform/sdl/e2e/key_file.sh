#!/usr/bin/env bash
# A damaged key file: the saver runs with the defaults (not with the values readable before
# the damage), says so on stderr, keeps the damaged file as registry.ini.bad (a second one
# as .bad.2), and its first save (the device choice, at start) writes a valid file. The
# file as a link into a folder of dotfiles is saved through, keeping the link and the
# permissions; a link to some other file leaves that file alone; a folder or a FIFO in
# the file's place neither stops the saver nor is touched.
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

# Runs the saver until its window shows, then ends it; its exit code goes to $code.
saver_run() {  # name
  run "$1" /s
  wait_window "$last_pid" 10 >/dev/null || fail "$1: no window"
  kill -TERM "$last_pid"; wait_exit "$last_pid" 2
}

say "a second damaged file keeps the first one's backup"
printf 'another damage\n' >"$file"
saver_run second
check "ended (exit $code)" test "$code" -eq 0
check "the first backup is untouched" cmp "$WORK/original.ini" "$file.bad"
check "the second is kept beside it" bash -c "printf 'another damage\n' | cmp - '$file.bad.2'"
check "the warning names it" grep -q "kept as .*registry.ini.bad.2" "$WORK/second.err"

say "the file a link into a folder of dotfiles"
rm -f "$file" "$file".bad*
mkdir -p "$WORK/dotfiles"
printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nF=dword:00000001\n' >"$WORK/dotfiles/nightbloom.ini"
chmod 640 "$WORK/dotfiles/nightbloom.ini"
ln -s "$WORK/dotfiles/nightbloom.ini" "$file"
saver_run linked
check "ended (exit $code)" test "$code" -eq 0
check "the link is still a link" test -L "$file"
check "the save went to its target" grep -qx "C=sz:40:RGB Emulation" "$WORK/dotfiles/nightbloom.ini"
check "... which kept what it held" grep -qx "F=dword:00000001" "$WORK/dotfiles/nightbloom.ini"
check "... and its permissions (640)" test "$(stat -c %a "$WORK/dotfiles/nightbloom.ini")" = 640
check "nothing else in the folders" \
  test "$(find "$WORK/dotfiles" "$XDG_CONFIG_HOME/nightbloom" -mindepth 1 | wc -l)" -eq 2

say "the file a link to a file that is not a settings file"
rm -f "$file"
printf 'root:x:0:0::/root:/bin/sh\n' >"$WORK/other.txt"
cp "$WORK/other.txt" "$WORK/other.orig"
ln -s "$WORK/other.txt" "$file"
saver_run foreign
check "ended (exit $code)" test "$code" -eq 0
check "that file is untouched" cmp "$WORK/other.orig" "$WORK/other.txt"
check "the link is kept as the backup" test -L "$file.bad"
check "a settings file of its own is written" bash -c "test ! -L '$file' && grep -qx 'C=sz:40:RGB Emulation' '$file'"

say "a folder or a FIFO in the file's place"
for kind in folder fifo; do
  rm -rf "$file" "$file".bad*
  if [ $kind = folder ]; then mkdir "$file"; else mkfifo "$file"; fi
  saver_run "$kind"
  check "$kind: the saver runs and ends (exit $code)" test "$code" -eq 0
  check "$kind: said on the error stream" grep -q "registry.ini cannot be read" "$WORK/$kind.err"
  check "$kind: left as it was" bash -c "if [ $kind = folder ]; then test -d '$file'; else test -p '$file'; fi"
  check "$kind: nothing moved aside" test ! -e "$file.bad"
done
finish
