#!/usr/bin/env bash
# The program as XScreenSaver starts its hacks: --root without XSCREENSAVER_WINDOW covers
# the root window (with the options hacks are commonly given, which it takes and ignores)
# and follows the screen's size,
# a window number in decimal works as well as in hexadecimal, a variable that names no
# window is refused instead of drawing over the whole screen, and a show that cannot
# start says so on the error stream and ends by itself: nobody would answer a message box.
source "$(dirname "$0")/lib.sh"
start_xvfb 800x600

say "-root without XSCREENSAVER_WINDOW: the root window"
before=$("$PROBE" children root | wc -l)
run root -root -install -visual default -mono -no-fps
covers_screen() { "$PROBE" children root | awk -v w="$1" -v h="$2" '$2 == w && $3 == h && $4 == 0 && $5 == 0' | grep -q .; }
check "a child of the root window covers the screen" wait_until 5 covers_screen 800 600
wait_lit root 5000 5
"$PROBE" shot root "$WORK/root.png"
check "the show is on the screen ($s_lit pixels lit)" test "$s_lit" -gt 5000
check "... over all of it: 4:3 in 800 x 600 fills it" test "$s_lit_left" -lt 80 -a "$s_lit_right" -gt 720
hash=$s_hash; sleep 0.5
check "it moves" picture_changed root "$hash"
start=$(date +%s%N)
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
took=$(( ($(date +%s%N) - start) / 1000000 ))
check "SIGTERM ends it (exit $code)" test "$code" -eq 0
check "within a second (${took} ms)" test "$took" -lt "$second_ms"
check "its child of the root window went with it" test "$("$PROBE" children root | wc -l)" -eq "$before"

say "XSCREENSAVER_WINDOW in decimal"
host_start 320 240
XSCREENSAVER_WINDOW=$((host_window)) run decimal --root
wait_lit "$host_window" 1000 5
check "the show is in window $((host_window)) ($s_lit pixels lit)" test "$s_lit" -gt 1000
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "SIGTERM ends it (exit $code)" test "$code" -eq 0

say "XSCREENSAVER_WINDOW that names no window"
before=$("$PROBE" children root | wc -l)
for value in junk 0 ""; do
  XSCREENSAVER_WINDOW=$value run "junk$value" --root
  wait_exit "$last_pid" 5
  check "'$value' refused with exit 2 (exit $code)" test "$code" -eq 2
  check "... saying why" grep -q "XSCREENSAVER_WINDOW is '$value', not an X window number" "$WORK/junk$value.err"
done
check "nothing was drawn on the screen" test "$("$PROBE" children root | wc -l)" -eq "$before"
DISPLAY= XSCREENSAVER_WINDOW=junk run nodisplay --root
wait_exit "$last_pid" 5
check "refused before anything starts, display or not (exit $code)" test "$code" -eq 2

say "a show that cannot start"
# Without EGL's vendor libraries there is no OpenGL to draw with.
__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json XSCREENSAVER_WINDOW=$host_window run broken --root
wait_exit "$last_pid" 10
check "it ends by itself with 1: nothing was shown (exit $code)" test "$code" -eq 1
check "the reason is on the error stream" grep -q "Enumeration failed" "$WORK/broken.err"
check "no X error on the way out" test -z "$(grep -i 'x error' "$WORK/broken.err")"
check "no window was left on the screen" test "$("$PROBE" children root | wc -l)" -eq "$before"
check "nor in the window it was given" test -z "$("$PROBE" children "$host_window")"

say "the screen's size changes under -root"
# Last: after this RandR change (xrandr complains about the output and sizes the screen
# anyway) the server offers no display that a new program could open.
run resized -root
check "a child of the root window covers the screen" wait_until 5 covers_screen 800 600
xrandr --fb 640x480 >/dev/null 2>&1
stats root
check "the screen is 640 x 480 now" test "$s_width" -eq 640 -a "$s_height" -eq 480
check "the show's child follows it" wait_until 3 covers_screen 640 480
sleep 0.3
wait_lit root 3000 3
check "the show fills the smaller screen (lit up to column $s_lit_right)" \
  test "$s_lit_right" -gt 580 -a "$s_lit_right" -lt 640 -a "$s_lit_left" -lt 60
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "SIGTERM ends it (exit $code)" test "$code" -eq 0
finish
