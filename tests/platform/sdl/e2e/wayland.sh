#!/usr/bin/env bash
# The Linux program on a Wayland desktop with no X server at all (wayland_lib.sh: a
# headless sway, HEADLESS-1 at 1280x720 and HEADLESS-2 at 1024x768 with scale 2): the show
# in a window; the saver full screen on the first output with the second black, holding no
# idle inhibitor, ended by a key within a second after its grace period, its trace the
# trace tool's; the hardware device; --monitors each with the show in its native mode on both outputs, the
# scaled one at its size in pixels and shown pixel for pixel, a key ending both; the
# swayidle recipe of the README (the show after its timeout, the screens turned off at a
# later one while it runs); the settings dialog; and the modes that need an X window
# refused in one line with exit code 2.
source "$(dirname "$0")/lib.sh"
: "${TRACE:?}"
source "$(dirname "$0")/wayland_lib.sh"

# Waits up to SECONDS for a process of the user (not a child of this shell) to end.
user_gone() {  # pid seconds
  local limit=$(($2 * slower * 20))
  for _ in $(seq 1 "$limit"); do
    [ -d "/proc/$1" ] && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ] || return 0
    sleep 0.05
  done
  return 1
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
has_view() { [ -n "$(view_of "$1")" ]; }
chown_config() { chown -R "$wl_user:" "$XDG_CONFIG_HOME"; }

say "the show in a window"
wl_run windowed
pid=$last_pid
check "it shows a window" wait_until 15 has_view "$pid"
view=$(view_of "$pid")
check "... of its own on Wayland ($view)" grep -q ' xdg_shell Nightbloom$' <<<"$view"
wait_shot_lit HEADLESS-1 windowed.png 2000 15
check "fireworks in it ($p_lit pixels lit)" test "$p_lit" -ge 2000
key Escape
wait_exit "$pid" 5
check "Esc ends it (exit $code)" test "$code" -eq 0

say "--fullscreen"
start=$(now_ms)
wl_run saver NIGHTBLOOM_SEED=424242 NIGHTBLOOM_TRACE="$wl_dir/shots/saver.trace" \
  --fullscreen --particles medium --smoke low
pid=$last_pid
full_on() { view_of "$pid" | grep -q "^1 $1 "; }
check "full screen on the first output" wait_until 15 full_on HEADLESS-1
view=$(view_of "$pid")
check "... holding no idle inhibitor ($view)" grep -q '^1 HEADLESS-1 False ' <<<"$view"
wait_shot_lit HEADLESS-1 saver-1.png 20000 15
check "the first output shows the show ($p_lit pixels lit)" test "$p_lit" -ge 20000
shot HEADLESS-2 saver-2.png && png_stats saver-2.png
check "the second output is black (${p_width}x${p_height}, $p_lit pixels lit)" \
  test "$p_lit" -eq 0 -a "$p_width" -eq 1024
# The key goes in once the grace period is over for sure, measured from the start.
while [ $(( $(now_ms) - start )) -lt $((2500 * slower)) ]; do sleep 0.1; done
key space
pressed=$(now_ms)
# The show is over when its process has ended or its window is gone, whichever is seen
# first: under the sanitizers the exit waits for their leak check. The process is looked
# at often, the compositor's tree (a slower question) every fifth time.
for i in $(seq 1 $((100 * slower))); do
  alive "$pid" || break
  [ $((i % 5)) -eq 0 ] && ! has_view "$pid" && break
  sleep 0.05
done
took=$(( $(now_ms) - pressed ))
wait_exit "$pid" 5
check "a key ends it (exit $code) within a second (${took} ms)" \
  test "$code" -eq 0 -a "$took" -lt "$second_ms"
ticks=$(grep -c '^tick ' "$wl_dir/shots/saver.trace")
"$TRACE" --seed 424242 --ticks "$ticks" --particles 1 --smoke 0 >"$WORK/tool.trace"
check "its trace is nightbloom-trace's ($ticks ticks)" \
  cmp "$wl_dir/shots/saver.trace" "$WORK/tool.trace"
check "... and it ran a while" test "$ticks" -gt 60

say "the hardware device, in the window's own EGL context"
write_choice "Direct3D HAL" "640 x 480 x 16"
chown_config
wl_run hardware NIGHTBLOOM_HARDWARE_DEVICE=1 --fullscreen
pid=$last_pid
check "full screen on the first output" wait_until 15 full_on HEADLESS-1
wait_shot_lit HEADLESS-1 hardware.png 20000 15
check "it shows the show ($p_lit pixels lit)" test "$p_lit" -ge 20000
sleep $((2 * slower))
key space
wait_exit "$pid" 5
check "a key ends it (exit $code)" test "$code" -eq 0
check "... which ran on the hardware device, no fallback" has_line "C=sz:40:Direct3D HAL"

say "--monitors each, in the native mode"
write_choice "RGB Emulation" "1280 x 720 x 32"
chown_config
wl_run each NIGHTBLOOM_SEED=777 NIGHTBLOOM_TRACE="$wl_dir/shots/each.trace" \
  --fullscreen --monitors each --particles high --smoke high
pid=$last_pid
extra_pid() { pgrep -u "$wl_user" -f -- "--extra-show" | head -n 1; }
extra_runs() { [ -n "$(extra_pid)" ]; }
check "a second show starts" wait_until 15 extra_runs
extra=$(extra_pid)
command=$(tr '\0' ' ' <"/proc/$extra/cmdline" 2>/dev/null)
check "... on the second output in its native mode, in pixels ($command)" \
  grep -q -- "--extra-show 1:1024x768x32:software --particles high --smoke high" <<<"$command"
seed=$(tr '\0' '\n' <"/proc/$extra/environ" 2>/dev/null | sed -n 's/^NIGHTBLOOM_SEED=//p')
check "... with a sky of its own (seed $seed, derived from 777)" test -n "$seed" -a "$seed" != 777
check "... silent" grep -q -- "--no-sound" <<<"$command"
check "... and writing no trace" test -z "$(tr '\0' '\n' <"/proc/$extra/environ" | grep '^NIGHTBLOOM_TRACE=')"
both_full() { full_on HEADLESS-1 && view_of "$extra" | grep -q '^1 HEADLESS-2 '; }
check "each output has its show full screen" wait_until 15 both_full
wait_shot_lit HEADLESS-1 each-1.png 20000 15
check "the first output is lit ($p_lit pixels)" test "$p_lit" -ge 20000
wait_shot_lit HEADLESS-2 each-2.png 20000 15
check "the second output is lit ($p_lit pixels, ${p_width}x${p_height})" \
  test "$p_lit" -ge 20000 -a "$p_width" -eq 1024 -a "$p_height" -eq 768
# Blown up from 512x384, every 2x2 block would be one colour; pixel for pixel, far fewer.
check "... shown pixel for pixel ($p_blocky of 1000 lit blocks of one colour)" \
  test "$p_blocky" -lt 900
sleep $((2 * slower))
key space
wait_exit "$pid" 8
check "a key ends the first (exit $code)" test "$code" -eq 0
check "... and the second" user_gone "$extra" 3
ticks=$(grep -c '^tick ' "$wl_dir/shots/each.trace")
"$TRACE" --seed 777 --ticks "$ticks" --particles 2 --smoke 2 >"$WORK/tool.trace"
check "the chosen monitor's trace is nightbloom-trace's ($ticks ticks)" \
  cmp "$wl_dir/shots/each.trace" "$WORK/tool.trace"
check "the saved choice is still the first output's" has_line "D=sz:40:1280 x 720 x 32"
check "... the second show saved nothing" test -z "$(registry | grep -E '1024|display2')"

say "--monitors each kept in the key file"
echo "Monitors=dword:00000001" >>"$XDG_CONFIG_HOME/nightbloom/registry.ini"
wl_run stored --fullscreen
pid=$last_pid
check "the stored choice starts the second show" wait_until 15 extra_runs
extra=$(extra_pid)
check "... and the first" wait_until 15 full_on HEADLESS-1
sleep $((2 * slower))
key space
wait_exit "$pid" 8
check "a key ends both (exit $code)" test "$code" -eq 0
check "... the second too" user_gone "$extra" 3

say "the swayidle recipe"
rm -f "$XDG_CONFIG_HOME/nightbloom/registry.ini"
later="$wl_dir/shots/later"
resumed="$wl_dir/shots/resumed"
# The README's recipe with seconds for minutes; the headless outputs cannot really be
# turned off, so the later steps leave marks as well.
"${user_exec[@]}" "${wl_env[@]}" $(session_env) swayidle -w \
  timeout 2 "$BIN --fullscreen &" \
  timeout 6 "swaymsg 'output * dpms off'; touch $later" \
  resume "swaymsg 'output * dpms on'; touch $resumed" \
  >"$WORK/swayidle.log" 2>&1 &
idle_pid=$!
started+=("$idle_pid")
saver_pid() { pgrep -u "$wl_user" -fx -- "$BIN --fullscreen" | head -n 1; }
saver_runs() { [ -n "$(saver_pid)" ]; }
check "the show starts once the desktop is idle" wait_until 20 saver_runs
pid=$(saver_pid)
check "the later timeout fires while it runs" wait_until 20 test -e "$later"
check "... the show still running" test -d "/proc/$pid"
key space
check "a key ends the show" user_gone "$pid" 5
check "... and the screens come back" wait_until 5 test -e "$resumed"
kill "$idle_pid" 2>/dev/null

say "the settings dialog"
wl_run settings --settings
pid=$last_pid
check "it opens" wait_until 20 has_view "$pid"
view=$(view_of "$pid")
check "... on Wayland ($view)" grep -q 'xdg_shell Nightbloom_Configuration$' <<<"$view"
wait_shot_lit HEADLESS-1 settings.png 50000 10
check "... and can be seen ($p_lit pixels lit, $p_distinct colours)" \
  test "$p_lit" -ge 50000 -a "$p_distinct" -ge 50
# GTK takes a new keyboard a while after the show would: the key again if it went unseen.
for _ in 1 2 3; do
  key Escape
  wait_exit "$pid" 3
  [ "$code" -ne 124 ] && break
done
check "Esc cancels it (exit $code)" test "$code" -eq 0
check "... saving nothing" test -z "$(registry | grep -E '^[EFG]=')"

say "no X server: the modes that draw into X windows"
for args in "--root" "--window-id 0x200001" "/p 123"; do
  # shellcheck disable=SC2086
  as_user "$BIN" $args >"$WORK/nox.out" 2>"$WORK/nox.err"
  code=$?
  check "'nightbloom $args' is refused with 2 (exit $code)" test "$code" -eq 2
  check "... in one line saying why" \
    test "$(wc -l <"$WORK/nox.err")" -eq 1 -a -n "$(grep 'no X display' "$WORK/nox.err")"
done
finish
