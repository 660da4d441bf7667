#!/usr/bin/env bash
# --fps: the frames per second and the CPU share are printed in the bottom-left corner of
# the picture (white on a dark panel, four pixels from the edges at 640 x 480), and the
# show itself does not change: its trace is still the trace tool's for the same seed.
source "$(dirname "$0")/lib.sh"
: "${TRACE:?}"
start_xvfb 800x600
host_start 640 480  # the default mode, 640 x 480 x 16, fills it one to one

# The ink of "FPS:" and "CPU:", row by row, at the start of the panel's two lines.
fps_ink=(11111011110001111000000 10000010001010000001100 10000010001010000001100
         11110011110001110000000 10000010000000001001100 10000010000000001001100
         10000010000011110000000)
cpu_ink=(01110011110010001000000 10001010001010001001100 10000010001010001001100
         10000011110010001000000 10000010000010001001100 10001010000010001001100
         01110010000001110000000)
# The panel of two lines is 20 rows high, its text starts two pixels in: the first line's
# glyphs take rows 458-464, the second's 467-473, from column 6.
white_rows() {  # png top -> 7 lines of 0/1 over 23 columns, 1 where the pixel is pure white
  convert "$1" -crop "23x7+6+$2" +repage txt:- |
    awk -F'[,: ]+' 'NR > 1 { row[$2] = row[$2] ($0 ~ /#FFFFFF/ ? 1 : 0) } END { for (y = 0; y < 7; y++) print row[y] }'
}
shows_figures() {  # png
  [ "$(white_rows "$1" 458)" = "$(printf '%s\n' "${fps_ink[@]}")" ] &&
    [ "$(white_rows "$1" 467)" = "$(printf '%s\n' "${cpu_ink[@]}")" ]
}

NIGHTBLOOM_SEED=8086 NIGHTBLOOM_TRACE="$WORK/fps.trace" run fps --window-id "$host_window" --fps --particles high --smoke high
wait_lit "$host_window" 3000 5
sleep 1.5  # the first whole second is counted
"$PROBE" shot "$host_window" "$WORK/fps.png"
check "the show runs ($s_lit pixels lit)" test "$s_lit" -gt 3000
check "'FPS:' and 'CPU:' in the bottom-left corner" shows_figures "$WORK/fps.png"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
check "SIGTERM ends it (exit $code)" test "$code" -eq 0
ticks=$(grep -c '^tick ' "$WORK/fps.trace")
check "it ran a while ($ticks ticks)" test "$ticks" -gt 60
"$TRACE" --seed 8086 --ticks "$ticks" --particles 2 --smoke 2 >"$WORK/tool.trace"
check "the show is the trace tool's, figures or not" cmp "$WORK/fps.trace" "$WORK/tool.trace"

run plain --window-id "$host_window" -no-fps
wait_lit "$host_window" 3000 5
sleep 1.5
"$PROBE" shot "$host_window" "$WORK/plain.png"
no_figures() { ! shows_figures "$1"; }
check "without --fps the corner holds the show only" no_figures "$WORK/plain.png"
kill -TERM "$last_pid"; wait_exit "$last_pid" 2
finish
