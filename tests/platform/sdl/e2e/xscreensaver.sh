#!/usr/bin/env bash
# Nightbloom under the real XScreenSaver: the daemon on a private Xvfb with a private home
# whose .xscreensaver lists only "GL: nightbloom --root". -activate brings the show up in
# the daemon's window, -deactivate and then a key press end it, the hack ends within a
# second of the daemon's SIGTERM and nothing of it is left behind. XScreenSaver's settings
# program reads the descriptor (given to it in a private mount namespace, the system's
# folder untouched), shows Nightbloom's settings and runs its preview.
# The daemon refuses to start hacks as root, so the daemon, its commands and the hack run
# as an unprivileged user the test makes (and removes again when it made it); making it,
# switching to it and the mount namespace need root: run as anyone else, the test is
# skipped (exit 77).
source "$(dirname "$0")/lib.sh"
descriptor=$(cd "$(dirname "$0")/../../../.." && pwd)/packaging/nightbloom.xml
if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root"; exit 77; fi
for tool in xscreensaver xscreensaver-command xscreensaver-settings setpriv unshare useradd; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-debian.sh installs it)"; exit 1; }
done

# One run at a time on this machine: the user is shared by the builds of every preset.
exec 9>/tmp/nightbloom-xscreensaver-test.lock
flock -w $((120 * slower)) 9 || { echo "FAIL: another run holds the lock"; exit 1; }
user=nightbloom-e2e
made_user=0
if ! id "$user" >/dev/null 2>&1; then
  useradd --system --user-group --no-create-home --home-dir /nonexistent \
          --shell /usr/sbin/nologin "$user" || { echo "FAIL: cannot make the user $user"; exit 1; }
  made_user=1
fi

# Processes of the test's user that still run (zombies waiting for their reaper do not).
user_pids() {
  local p state
  for p in $(pgrep -u "$user"); do
    state=$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null) || continue
    [ "$state" != Z ] && echo "$p"
  done
}
finish_user() {
  cleanup
  local p
  # Whatever the daemon left running was started by this test: ended by its id.
  for p in $(user_pids); do echo "note: ending $p ($(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null))"; kill -9 "$p" 2>/dev/null; done
  if [ $made_user -eq 1 ]; then
    for _ in $(seq 1 50); do [ -z "$(pgrep -u "$user")" ] && break; sleep 0.1; done
    userdel "$user" 2>/dev/null || echo "note: $user not removed"
  fi
}
trap finish_user EXIT

# The program where the user can run it, a home of its own, the descriptor's folder.
home="$WORK/home"
mkdir -p "$home" "$WORK/bin"
cp "$NB" "$WORK/bin/nightbloom"
hack="$WORK/bin/nightbloom"
chmod 755 "$WORK" "$WORK/bin" "$hack"
cat >"$home/.xscreensaver" <<EOT
mode:		one
selected:	0
timeout:	0:30:00
cycle:		0:00:00
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
grabDesktopImages:	False
programs:	\\
  GL: $hack --root \\n\\

EOT
chown -R "$user:" "$home"
as_user() {
  local pass=()
  local name
  for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -n "${!name:-}" ] && pass+=("$name=${!name}")
  done
  setpriv --reuid="$user" --regid="$user" --clear-groups \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" \
    XDG_CONFIG_HOME="$home/.config" SDL_AUDIODRIVER=dummy NO_AT_BRIDGE=1 "${pass[@]}" "$@"
}
# The hack's processes that run now: the program at our copy's path.
hack_pids() {
  local p
  for p in $(user_pids); do
    [ "$(readlink "/proc/$p/exe" 2>/dev/null)" = "$hack" ] && echo "$p"
  done
}
running() { local state; state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) && [ "$state" != Z ]; }
one_hack() { [ "$(hack_pids | wc -l)" -eq 1 ]; }
# Waits up to SECONDS for the process to end; how long it took goes to $took (ms).
took=
wait_gone() {  # pid seconds start-ns
  local limit=$(($2 * slower * 200))
  for _ in $(seq 1 $limit); do running "$1" || break; sleep 0.005; done
  took=$(( ($(date +%s%N) - $3) / 1000000 ))
  ! running "$1"
}

start_xvfb 1024x768
say "the daemon"
as_user xscreensaver -no-splash -verbose >"$WORK/daemon.log" 2>&1 &
launcher=$!  # the shell that waits for the daemon
started+=("$launcher")
daemon_up() { as_user xscreensaver-command -time >/dev/null 2>&1; }
check "xscreensaver runs as $user" wait_until 15 daemon_up
daemon=$(sed -n 's/^xscreensaver: .* running in process \([0-9]*\)$/\1/p' "$WORK/daemon.log" | head -n 1)
check "... in process $daemon" test "$(stat -c %U "/proc/$daemon" 2>/dev/null)" = "$user"
check "... and not as root" test -z "$(grep 'not launching hacks' "$WORK/daemon.log")"

say "-activate"
as_user xscreensaver-command -activate >>"$WORK/commands.log" 2>&1
check "the daemon starts the hack" wait_until 10 one_hack
pid=$(hack_pids | head -n 1)
window=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p')
check "as 'nightbloom --root'" test "$(tr '\0' ' ' <"/proc/$pid/cmdline")" = "$hack --root "
check "in the window the daemon names ($window)" test -n "$window"
covers() { "$PROBE" children "$window" | awk -v w="$1" '$2 " " $3 == w && $4 == 0 && $5 == 0' | grep -q .; }
check "the show's child covers it" wait_until 5 covers "1024 768"
wait_lit root 20000 10
"$PROBE" shot root "$WORK/daemon.png"
check "fireworks on the screen ($s_lit pixels lit)" test "$s_lit" -gt 20000
hash=$s_hash; sleep 0.5
check "they move" picture_changed root "$hash"

say "-deactivate"
start=$(date +%s%N)
as_user xscreensaver-command -deactivate >>"$WORK/commands.log" 2>&1
wait_gone "$pid" 5 "$start"
check "the hack ends within a second of the daemon's signal (${took} ms after -deactivate)" \
  test "$took" -lt "$second_ms"
check "... ended by the daemon's SIGTERM" grep -q "killing pid $pid" "$WORK/daemon.log"
only_daemon() { [ "$(user_pids)" = "$daemon" ]; }
check "nothing of it is left: the daemon is all that runs" wait_until 3 only_daemon
check "... and its child window is gone" test -z "$("$PROBE" children "$window" 2>/dev/null)"

say "-activate, then a key"
as_user xscreensaver-command -activate >>"$WORK/commands.log" 2>&1
check "the daemon starts the hack again" wait_until 10 one_hack
pid=$(hack_pids | head -n 1)
wait_lit root 20000 10
check "the show is back ($s_lit pixels lit)" test "$s_lit" -gt 20000
# The daemon takes no notice of input for a moment after it blanked (the key that asked
# for it must not undo it): a key goes in after a pause, and again if it went unnoticed.
sleep 3
for attempt in 1 2 3 4 5; do
  start=$(date +%s%N)
  xdotool key shift
  wait_gone "$pid" 1 "$start" && break
done
ended_in_time() { ! running "$pid" && [ "$took" -lt "$second_ms" ]; }
check "a key ends it within a second (${took} ms after key press $attempt)" ended_in_time
check "nothing of it is left" wait_until 3 only_daemon

say "the settings program"
mkdir -p "$WORK/config"
cp -a /usr/share/xscreensaver/config/. "$WORK/config/"
cp "$descriptor" "$WORK/config/nightbloom.xml"
chmod -R a+rX "$WORK/config"
unshare --mount --propagation private -- bash -c \
  'mount --bind "$1" /usr/share/xscreensaver/config && shift && exec "$@"' _ "$WORK/config" \
  setpriv --reuid="$user" --regid="$user" --clear-groups \
  env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$home/.config" \
  SDL_AUDIODRIVER=dummy NO_AT_BRIDGE=1 ${ASAN_OPTIONS:+ASAN_OPTIONS=$ASAN_OPTIONS} \
  ${LSAN_OPTIONS:+LSAN_OPTIONS=$LSAN_OPTIONS} xscreensaver-settings --debug >"$WORK/settings.log" 2>&1 &
settings=$!
started+=("$settings")
previews() { for p in $(hack_pids); do grep -q -- '--window-id' "/proc/$p/cmdline" && echo "$p"; done; }
one_preview() { [ "$(previews | wc -l)" -eq 1 ]; }
check "it runs the preview" wait_until 15 one_preview
preview=$(previews | head -n 1)
args=$(tr '\0' ' ' <"/proc/$preview/cmdline" 2>/dev/null)
check "as the descriptor's command, in its own window ($args)" \
  grep -qE "^$hack --root --window-id 0x[0-9A-Fa-f]+ $" <<<"$args"
pane=$(sed -E 's/.*--window-id (0x[0-9A-Fa-f]+).*/\1/' <<<"$args")
wait_lit "$pane" 500 10
check "the preview pane shows the show ($s_lit pixels lit)" test "$s_lit" -gt 500
check "it read the descriptor" grep -q 'reading /usr/share/xscreensaver/config/nightbloom.xml' "$WORK/settings.log"
check "... without a complaint" \
  test -z "$(grep -iE 'parser error|warning|unknown|unrecognized' "$WORK/settings.log")"
settings_window() { xdotool search --name '^XScreenSaver: Nightbloom Settings$' >/dev/null; }
check "it made Nightbloom's settings dialog from it" settings_window
"$PROBE" shot root "$WORK/settings.png"
check "the settings program is still up" running "$settings"
kill -TERM "$settings"; wait_exit "$settings" 5
check "the settings program ends on SIGTERM (exit $code)" test "$code" -ne 124
check "... and its preview with it" wait_until 3 only_daemon

say "the end"
as_user xscreensaver-command -exit >>"$WORK/commands.log" 2>&1
wait_exit "$launcher" 10
check "the daemon ends on -exit (exit $code)" test "$code" -eq 0
check "nothing of the test's user runs any more" test -z "$(user_pids)"
check "no word from the program, no sanitizer report" \
  test -z "$(grep -hE '^nightbloom:|ERROR: (Address|Leak)Sanitizer|runtime error' "$WORK/daemon.log" "$WORK/settings.log")"
finish
