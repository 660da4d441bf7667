#!/usr/bin/env bash
# Runs a command on an X server of its own: a private Xvfb (the display number chosen by
# the server itself), optionally with the openbox window manager on it, so that windows get
# frames with close boxes and the keyboard focus goes where a desktop would put it. The
# command runs with a time limit; afterwards the window manager and the server, and only
# they, are ended by their process ids.
#   with_private_x.sh [--wm] [--limit SECONDS] -- COMMAND [ARG...]
set -u

wm=0
limit=120
while [ $# -gt 0 ]; do
  case $1 in
    --wm) wm=1; shift ;;
    --limit) limit=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "usage: with_private_x.sh [--wm] [--limit SECONDS] -- COMMAND..." >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "with_private_x.sh: no command" >&2; exit 2; }
for tool in Xvfb xprop timeout; do
  command -v "$tool" >/dev/null || { echo "with_private_x.sh: $tool is not installed" >&2; exit 1; }
done
if [ $wm -eq 1 ] && ! command -v openbox >/dev/null; then
  echo "with_private_x.sh: openbox is not installed" >&2; exit 1
fi

work=$(mktemp -d)
xvfb_pid='' wm_pid='' command_pid=''
cleanup() {
  if [ -n "$command_pid" ]; then kill "$command_pid" 2>/dev/null; wait "$command_pid" 2>/dev/null; fi
  if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "with_private_x.sh: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset WAYLAND_DISPLAY
export GDK_BACKEND=x11

if [ $wm -eq 1 ]; then
  # openbox reads its defaults from /etc/xdg; a private config home keeps the user's out.
  XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "with_private_x.sh: openbox did not start:" >&2; cat "$work/openbox.log" >&2; exit 1
  fi
fi

# In the background, so that a TERM sent to this script is handled at once.
timeout --kill-after=5 "$limit" "$@" &
command_pid=$!
wait "$command_pid"
rc=$?
command_pid=''
[ $rc -eq 124 ] && echo "with_private_x.sh: '$*' took longer than $limit s" >&2
exit $rc
