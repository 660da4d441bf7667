# shellcheck shell=bash
# What bench/program/measure.sh and bench/program/peers.sh have in common; both source it.
# The functions that touch files use the caller's `work` (a temporary directory of its own),
# start_xvfb sets the caller's `xvfb_pid`, which the caller's clean-up ends.

bench_name=${0##*/}
hz=$(getconf CLK_TCK)

# A command line that cannot be used: one line on the standard error stream, and exit 2.
bad_usage() { echo "$bench_name: $*" >&2; exit 2; }
executable() {  # what path
  [ -f "$2" ] && [ -x "$2" ] || bad_usage "$1 '$2' is not an executable file"
}
whole_number() {  # what value
  [[ $2 =~ ^[1-9][0-9]*$ ]] || bad_usage "$1 must be a whole number above 0, not '$2'"
}
screen_size() {  # what value
  [[ $2 =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || bad_usage "$1 must be WIDTHxHEIGHT (e.g. 1920x1080), not '$2'"
}

# A private Xvfb of WxH at 24 bits per pixel; exports its DISPLAY. Xvfb picks a free display
# number itself (-displayfd), so these runs do not collide with other X servers. One that
# does not come up ends the script: nothing can be measured without it.
start_xvfb() {  # WxH
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "$bench_name: Xvfb did not start with a ${1}x24 screen:" >&2
    tail -n 5 "$work/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}

# CPU clock ticks (user + system, all threads) a process has used so far; 0 once it is gone.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Nightbloom's display device and mode, as its settings dialog saves them.
choose_mode() {  # mode, e.g. "640 x 480 x 16"
  mkdir -p "$XDG_CONFIG_HOME/nightbloom"
  printf '[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nA=sz:40:Primary Display Driver\nB=sz:40:display\nC=sz:40:RGB Emulation\nD=sz:40:%s\n' \
    "$1" >"$XDG_CONFIG_HOME/nightbloom/registry.ini"
}

# Nightbloom's own frame count (NIGHTBLOOM_STATS=1 prints the frames of each second, from its
# first one, on the standard error stream): the mean of the N seconds after the first FROM,
# so that the empty sky of the first seconds, which draws faster, is left out; MISSING when
# there is no count.
own_fps() {  # stderr-file from n missing
  sed -n 's/^nightbloom: frames in each second://p' "$1" |
    awk -v from="$2" -v n="$3" -v missing="$4" '{ for (i = from + 1; i <= from + n && i <= NF; i++) { s += $i; k++ } }
                                                END { if (k) printf "%.1f", s / k; else print missing }'
}
