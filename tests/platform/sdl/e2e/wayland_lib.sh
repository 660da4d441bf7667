# The program on Wayland with no X server: a headless sway (wlroots' headless backend and
# pixman renderer, no Xwayland) with two outputs, HEADLESS-1 at 1280x720 and HEADLESS-2 at
# 1024x768 with scale 2 (512x384 in the desktop's units). Sway refuses to run as root, so
# it and everything under test run as a user this makes (nightbloom-wl, removed again
# whatever happens), with a private XDG_RUNTIME_DIR and copies of the
# programs in a private folder under /tmp that the user can reach.
# Sourced after lib.sh by a test that runs as root: it skips (77) otherwise.
#   as_user CMD...        runs CMD as the user in the session (no DISPLAY)
#   wl_run NAME [VAR=VALUE...] ARGS...
#                         the program in the background as the user, with those variables;
#                         its id in $last_pid, its output in $WORK/NAME.out and .err
#   key KEY               a key press through a virtual keyboard (wtype)
#   shot OUTPUT FILE      a screenshot of one output (grim), copied to $WORK/FILE
#   png_stats FILE        nb-png-probe's figures of $WORK/FILE into p_KEY variables
#   views                 the windows sway shows: "pid app_id fullscreen output name" lines
: "${PNGPROBE:?}"
if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root (sway runs as a user it makes)"; exit 77; fi
for tool in sway swaymsg swayidle grim wtype setpriv useradd flock python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-debian.sh installs it)"; exit 1; }
done

# One session at a time on this machine: the user is shared by every build tree.
exec 8>/tmp/nightbloom-wayland-test.lock
flock -w $((120 * slower)) 8 || { echo "FAIL: another run holds the lock"; exit 1; }
# The name is this test's own: a user or folder of that name is left from a run that was
# killed outright, and is removed at the end of this one.
wl_user=nightbloom-wl
rm -rf /tmp/nightbloom-wl.*
if ! id "$wl_user" >/dev/null 2>&1; then
  useradd --system --user-group --no-create-home --home-dir /nonexistent \
          --shell /usr/sbin/nologin "$wl_user" || { echo "FAIL: cannot make the user $wl_user"; exit 1; }
fi
wl_dir=$(mktemp -d /tmp/nightbloom-wl.XXXXXX)
chmod 755 "$wl_dir"
mkdir -p "$wl_dir/bin" "$wl_dir/run" "$wl_dir/home" "$wl_dir/shots"
cp "$NB" "$wl_dir/bin/nightbloom"
chmod 755 "$wl_dir/bin" "$wl_dir/bin/nightbloom"
chown "$wl_user:" "$wl_dir/run" "$wl_dir/home" "$wl_dir/shots"
chmod 700 "$wl_dir/run"
BIN="$wl_dir/bin/nightbloom"
export XDG_CONFIG_HOME="$wl_dir/home/config"
mkdir -p "$XDG_CONFIG_HOME"
chown "$wl_user:" "$XDG_CONFIG_HOME"
# The sanitizers' suppressions must be readable by the user too.
lsan_options=${LSAN_OPTIONS:-}
if [[ $lsan_options =~ suppressions=([^:]*) ]] && [ -f "${BASH_REMATCH[1]}" ]; then
  cp "${BASH_REMATCH[1]}" "$wl_dir/lsan.supp"
  # SDL 2.26's Wayland driver keeps buffers of what the compositor told it about outputs
  # and seats past SDL_Quit: a program that only starts and quits SDL's video on this sway
  # reports the same leaks. The X tests still see every library's leaks but those above.
  printf 'leak:libSDL2-2.0.so\nleak:libwayland-client.so\n' >>"$wl_dir/lsan.supp"
  chmod 644 "$wl_dir/lsan.supp"
  lsan_options=${lsan_options/${BASH_REMATCH[1]}/$wl_dir/lsan.supp}
fi

cat >"$wl_dir/sway.config" <<EOT
xwayland disable
output HEADLESS-1 resolution 1280x720 position 0 0
output HEADLESS-2 resolution 1024x768 position 1280 0 scale 2
default_border none
EOT
chmod 644 "$wl_dir/sway.config"

user_pids() {
  local p state
  for p in $(pgrep -u "$wl_user"); do
    state=$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null) || continue
    [ "$state" != Z ] && echo "$p"
  done
}
finish_wayland() {
  cleanup
  local p
  # Whatever still runs as the user was started by this test: ended by its id.
  for p in $(user_pids); do
    echo "note: ending $p ($(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null))"
    kill "$p" 2>/dev/null
  done
  for _ in $(seq 1 30); do [ -z "$(user_pids)" ] && break; sleep 0.1; done
  for p in $(user_pids); do kill -9 "$p" 2>/dev/null; done
  cp "$wl_dir/sway.log" "$WORK/" 2>/dev/null
  rm -rf "$wl_dir"
  for _ in $(seq 1 50); do [ -z "$(pgrep -u "$wl_user")" ] && break; sleep 0.1; done
  userdel "$wl_user" 2>/dev/null || echo "note: $wl_user not removed"
}
trap finish_wayland EXIT

wl_env=(PATH=/usr/local/bin:/usr/bin:/bin HOME="$wl_dir/home" XDG_RUNTIME_DIR="$wl_dir/run"
        XDG_CONFIG_HOME="$XDG_CONFIG_HOME" SDL_AUDIODRIVER=dummy NO_AT_BRIDGE=1)
for name in ASAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!name:-}" ] && wl_env+=("$name=${!name}")
done
[ -n "$lsan_options" ] && wl_env+=("LSAN_OPTIONS=$lsan_options")
# Started in the background, a function would be a shell of its own, not the command: the
# commands that go to the background start with "${user_exec[@]}" "${wl_env[@]}" instead.
user_exec=(setpriv --reuid="$wl_user" --regid="$wl_user" --clear-groups env -i)
as_user() {
  "${user_exec[@]}" "${wl_env[@]}" ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} \
    ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} "$@"
}

unset WAYLAND_DISPLAY SWAYSOCK
say "a headless sway with two outputs, the second at scale 2, as $wl_user"
"${user_exec[@]}" "${wl_env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=2 \
  WLR_LIBINPUT_NO_DEVICES=1 sway -c "$wl_dir/sway.config" >"$wl_dir/sway.log" 2>&1 &
started+=("$!")
sway_up() {
  local socket
  socket=$(ls "$wl_dir/run"/sway-ipc.*.sock 2>/dev/null | head -n 1)
  [ -n "$socket" ] || return 1
  SWAYSOCK=$socket WAYLAND_DISPLAY=$(cd "$wl_dir/run" && ls wayland-* 2>/dev/null | grep -v lock | head -n 1)
  [ -n "$WAYLAND_DISPLAY" ] && as_user swaymsg -t get_outputs >/dev/null 2>&1
}
session_env() { echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY" "SWAYSOCK=$SWAYSOCK"; }
wait_until 15 sway_up || { echo "FAIL: sway did not start"; cat "$wl_dir/sway.log"; exit 1; }
unset DISPLAY

wl_run() {  # name [var=value...] args...
  local name=$1 vars=(); shift
  while [ $# -gt 0 ] && [[ $1 =~ ^[A-Z_]+= ]]; do vars+=("$1"); shift; done
  "${user_exec[@]}" "${wl_env[@]}" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK" \
    "${vars[@]}" "$BIN" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  last_pid=$!
  started+=("$last_pid")
  err_of[$last_pid]="$WORK/$name.err"
}

# A key press through a virtual keyboard of its own, made a moment before the press so that
# the focused program has bound it and read its keymap.
key() { as_user timeout $((10 * slower)) wtype -s $((300 * slower)) -k "$1"; }

shot() {  # output file
  rm -f "$wl_dir/shots/$2"
  as_user grim -o "$1" "$wl_dir/shots/$2" 2>>"$WORK/grim.log" && cp "$wl_dir/shots/$2" "$WORK/$2"
}

png_stats() {  # file
  local line out
  for line in width height lit hash distinct blocky; do eval "p_$line=-1"; done
  out=$("$PNGPROBE" stats "$WORK/$1") || return 1
  for line in $out; do eval "p_$line"; done
}

# Waits up to SECONDS until OUTPUT shows at least PIXELS lit pixels; the last look's
# figures stay in p_* and its picture in $WORK/FILE.
wait_shot_lit() {  # output file pixels seconds
  local tenths=0
  while [ $tenths -lt $(($4 * slower * 4)) ]; do
    shot "$1" "$2" && png_stats "$2" && [ "$p_lit" -ge "$3" ] && return 0
    sleep 0.25; tenths=$((tenths + 1))
  done
  return 1
}

views() {
  as_user swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(node, output):
    if node.get("type") == "output":
        output = node["name"]
    if node.get("pid"):
        print(node["pid"], node.get("app_id"), node.get("fullscreen_mode"), output,
              node.get("inhibit_idle"), node.get("shell"), (node.get("name") or "").replace(" ", "_"))
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child, output)
walk(json.load(sys.stdin), None)'
}
# The view of a process: "fullscreen output inhibit_idle shell name", or nothing.
view_of() { views | awk -v p="$1" '$1 == p { print $3, $4, $5, $6, $7 }' | head -n 1; }
