# Shared by the end-to-end tests of the Linux program: a private Xvfb, a private settings
# directory and audio file per test, programs started in the background and ended by
# their process ids only, waits with time limits, and screen statistics through nb-x-probe.
# Sourced by each test with: NB=<nightbloom> PROBE=<nb-x-probe> [TRACE=<nightbloom-trace>]
# and WORK=<a directory of its own>. Every wait is bounded; nothing here waits forever.
set -uo pipefail

: "${NB:?}" "${PROBE:?}" "${WORK:?}"
rm -rf "$WORK"
mkdir -p "$WORK/config"
export XDG_CONFIG_HOME="$WORK/config"
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK/audio.raw"
export NO_AT_BRIDGE=1
unset NIGHTBLOOM_SEED NIGHTBLOOM_TRACE NIGHTBLOOM_HARDWARE_DEVICE NIGHTBLOOM_PACING XSCREENSAVER_WINDOW

# A sanitizer build runs several times slower and checks for leaks at every exit: its
# build sets NB_SLOWER, which stretches every time limit (a second becomes NB_SLOWER).
slower=${NB_SLOWER:-1}
second_ms=$((1000 * slower))

started=()   # every process this test started, by id
xvfb_pid=
failures=0

cleanup() {
  local pid
  for pid in "${started[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      kill -9 "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
  done
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT

say() { echo "-- $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else fail "$what"; fi
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; files in $WORK"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# A private X server of the given size; DISPLAY points at it afterwards. It must not reset
# when its last client leaves: a program started in that moment would find no server.
start_xvfb() {  # WxH
  local file="$WORK/display" waited=0
  : >"$file"  # a later server of the same test must not find the number of the one before
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$file" >"$WORK/xvfb.log" 2>&1 &
  xvfb_pid=$!
  while [ ! -s "$file" ] && [ $waited -lt 100 ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1; waited=$((waited + 1))
  done
  [ -s "$file" ] || { echo "Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1; }
  export DISPLAY=":$(tr -d '[:space:]' <"$file")"
}

# The openbox window manager on that server, for tests of dialogs: frames with close boxes,
# and the keyboard focus where a desktop puts it. Its settings are the system's defaults.
start_wm() {
  local tenths=0
  XDG_CONFIG_HOME="$WORK/wm" openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  started+=("$!")
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    [ $tenths -ge 100 ] && { echo "openbox did not start"; cat "$WORK/openbox.log"; exit 1; }
    sleep 0.1; tenths=$((tenths + 1))
  done
}

# Starts the program in the background: run NAME ARGS... ; its id goes to $last_pid, its
# output to $WORK/NAME.out and .err.
last_pid=
declare -A err_of  # process id -> its error stream's file
run() {
  local name=$1; shift
  "$NB" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  last_pid=$!
  started+=("$last_pid")
  err_of[$last_pid]="$WORK/$name.err"
}

alive() { kill -0 "$1" 2>/dev/null; }

# Waits up to SECONDS for a process of this test to end; its exit code goes to $code (124
# when it did not end in time). Not in a subshell: only this shell can wait for its child.
code=
wait_exit() {  # pid seconds
  local pid=$1 limit=$(($2 * slower)) ticks=0
  while alive "$pid" && [ $ticks -lt $((limit * 20)) ]; do sleep 0.05; ticks=$((ticks + 1)); done
  if alive "$pid"; then code=124; return; fi
  wait "$pid"; code=$?
  # The leak checker's own thread can crash while it stops a loaded process's threads at
  # exit; that is the sanitizer failing, not the program (whose leaks end with 23 and a
  # report, and its memory errors with a report of their own).
  local err=${err_of[$pid]:-}
  if [ "$code" -eq 1 ] && [ -n "$err" ] && grep -q '^Tracer caught signal' "$err" &&
     grep -q 'LeakSanitizer has encountered a fatal error' "$err" &&
     ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error' "$err"; then
    echo "note: the leak checker crashed at the exit of $pid (see $err); counted as a clean end"
    code=0
  fi
}

# Moves the pointer by dx, dy from where it is, in absolute terms: relative moves of the
# X test extension are accelerated by the server.
move_by() {  # dx dy
  local x y
  eval "$(xdotool getmouselocation --shell | grep -E '^[XY]=')"
  xdotool mousemove $((X + $1)) $((Y + $2))
}

# Waits up to SECONDS until the process shows a window; prints its number.
wait_window() {  # pid seconds
  local pid=$1 limit=$(($2 * slower)) tenths=0 window=
  while [ $tenths -lt $((limit * 10)) ]; do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$window" ] && { echo "$window"; return 0; }
    alive "$pid" || return 1
    sleep 0.1; tenths=$((tenths + 1))
  done
  { echo "no window of $pid after $limit s; the windows on $DISPLAY:"; xwininfo -root -tree
    if command -v gdb >/dev/null; then gdb -p "$pid" -batch -ex "thread apply all bt" 2>&1 | grep -E '^#|^Thread'; fi; } >"$WORK/no-window.$pid.txt" 2>&1
  return 1
}

# key=value statistics of what a window (or root) shows, into the shell variables s_KEY.
# A window that cannot be read gives -1 everywhere, so that every check on it fails.
stats() {  # target
  local line out
  for line in width height lit hash lit_left lit_top lit_right lit_bottom distinct_red \
              distinct_green distinct_blue; do
    eval "s_$line=-1"
  done
  out=$("$PROBE" stats "$1") || return 1
  for line in $out; do eval "s_$line"; done
}

# Waits until TARGET shows at least PIXELS lit pixels, up to SECONDS; the statistics of
# the last look stay in s_* either way.
wait_lit() {  # target pixels seconds
  local tenths=0
  while [ $tenths -lt $(($3 * slower * 10)) ]; do
    stats "$1"
    [ "$s_lit" -ge "$2" ] && return 0
    sleep 0.1; tenths=$((tenths + 1))
  done
  return 1
}

# Whether TARGET shows another picture than the one whose hash is given (the show moves).
picture_changed() {  # target hash
  stats "$1"
  [ "$s_hash" != "$2" ] && [ "$s_hash" != -1 ]
}

# Waits until a command succeeds, up to SECONDS.
wait_until() {  # seconds command...
  local limit=$(($1 * slower * 10)) tenths=0; shift
  until "$@"; do
    [ $tenths -ge $limit ] && return 1
    sleep 0.1; tenths=$((tenths + 1))
  done
}

# A window of another program, driven through a pipe: host_start W H sets host_window;
# host_do COMMAND sends resize/destroy/quit to the latest one.
host_window=
hosts=0
host_start() {
  hosts=$((hosts + 1))
  local pipe="$WORK/host$hosts.in" out="$WORK/host$hosts.out" tries=0
  mkfifo "$pipe"
  "$PROBE" host "$1" "$2" <"$pipe" >"$out" 2>&1 &
  started+=("$!")
  exec 7>"$pipe"
  while [ ! -s "$out" ] && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
  host_window=$(head -n 1 "$out")
}
host_do() { echo "$*" >&7; sleep 0.2; }

# The saved device choice as the program's key file holds it.
write_choice() {  # device mode
  mkdir -p "$XDG_CONFIG_HOME/nightbloom"
  cat >"$XDG_CONFIG_HOME/nightbloom/registry.ini" <<EOT
[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]
A=sz:40:Primary Display Driver
B=sz:40:display
C=sz:40:$1
D=sz:40:$2
EOT
}
registry() { cat "$XDG_CONFIG_HOME/nightbloom/registry.ini" 2>/dev/null; }
has_line() { registry | grep -qxF "$1"; }
