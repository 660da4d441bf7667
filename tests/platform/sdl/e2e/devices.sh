#!/usr/bin/env bash
# Both devices draw the show: the hardware device (listed on Xvfb's software OpenGL only
# because NIGHTBLOOM_HARDWARE_DEVICE=1 asks for it) renders in the window's own context and
# draws into the window itself; the software device renders headless and copies its frames
# in. Each keeps its saved choice (no fallback happened), and a 32-bit mode shows far more
# colours than a 5-6-5 one could.
source "$(dirname "$0")/lib.sh"
start_xvfb 1024x768

say "the hardware device, 640 x 480 x 32"
write_choice "Direct3D HAL" "640 x 480 x 32"
NIGHTBLOOM_HARDWARE_DEVICE=1 run hal /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
sleep 1
wait_lit root 10000 5
"$PROBE" shot root "$WORK/hal.png"
check "the hardware device draws the show" test "$s_lit" -gt 10000
check "... into the whole screen (4:3 on 4:3)" test "$s_lit_left" -lt 30 -a "$s_lit_right" -gt 990 -a "$s_lit_top" -lt 60
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "it ends on SIGTERM (exit $code)" test "$code" -eq 0
check "and it was the device that started: no fallback" has_line "C=sz:40:Direct3D HAL"

say "the software device, 1024 x 768 x 32"
write_choice "RGB Emulation" "1024 x 768 x 32"
run rgb /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
sleep 1
wait_lit root 10000 5
"$PROBE" shot root "$WORK/rgb.png"
check "the software device draws the show" test "$s_lit" -gt 10000
many_greens() { stats root; test "$s_distinct_green" -gt 64; }
check "soon more greens than 5-6-5 has" wait_until 8 many_greens
echo "     ($s_distinct_green greens)"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "it ends on SIGTERM (exit $code)" test "$code" -eq 0
check "the choice stays" has_line "D=sz:40:1024 x 768 x 32"

say "a hardware choice where the device is not listed falls back to the software device"
write_choice "Direct3D HAL" "640 x 480 x 32"
run fallback /s
wait_window "$last_pid" 10 >/dev/null || fail "no window"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "it ran and ended (exit $code)" test "$code" -eq 0
check "the software device was saved in its place" has_line "C=sz:40:RGB Emulation"
finish
