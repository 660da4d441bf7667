#!/usr/bin/env bash
# nightbloom.scr /p HWND: a test host (e2e_helper host) makes a 380 x 236 window, as the
# display settings panel makes its preview area, and starts the saver with its handle.
# Picture 400 (152 x 118) appears stretched to fill it (2.5 times wider, 2 times taller:
# the aspect is not kept). The comparison allows 12 levels per channel and 3% of pixels
# further off (the stretch may pick the neighbouring source column at a few edges).
# Closing the host window ends the saver with exit code 0.
# Two tests in one: NB_PREVIEW_CHECK=window checks the saver's child window that the host
# sees (class, full size, visible) and the exit; NB_PREVIEW_CHECK=pixels compares the
# host area with the picture. Wine shows nothing of what one process draws into a child
# window of another process's window (the parent's window surface lives in the other
# process), so under Wine the host area keeps its own white: the pixel test then ends as
# skipped (exit 77), and the adapter tests compare the preview's pixels in one process.
#   NB_PICTURE        resources/picture400.bmp
#   NB_PREVIEW_CHECK  window or pixels
source "$(dirname "$0")/lib.sh"
: "${NB_PICTURE:?}"
case ${NB_PREVIEW_CHECK:-} in
  window|pixels) ;;
  *) fail "NB_PREVIEW_CHECK must be window or pixels, not '${NB_PREVIEW_CHECK:-}'" ;;
esac

reset_registry
x=200 y=150 width=380 height=236
xdotool mousemove 1000 700
"${wine_run[@]}" "$NB_HELPER" host $x $y $width $height 4000 "$(winpath "$NB_SCR")" \
  >"$NB_WORK/host.log" 2>&1 &
host_pid=$!
started+=("$host_pid")
waited=0
until grep -qs "saver started" "$NB_WORK/host.log"; do
  [ $waited -ge 300 ] && fail "the host did not start the saver: $(cat "$NB_WORK/host.log")"
  running "$host_pid" || fail "the host ended early: $(cat "$NB_WORK/host.log")"
  sleep 0.1
  waited=$((waited + 1))
done
# The saver is the host's child process, but it is this test's too: find it by the unique
# window handle on its command line, so that it is ended whatever happens to the host.
hwnd=$(tr -d '\r' <"$NB_WORK/host.log" | sed -nE 's/^host ([0-9]+) saver started$/\1/p')
for _ in $(seq 50); do
  saver_pid=$(pgrep -f -n "nightbloom\\.scr /p $hwnd\$")
  [ -n "$saver_pid" ] && break
  sleep 0.1
done
[ -n "$saver_pid" ] || fail "no saver process runs with /p $hwnd"
started+=("$saver_pid")
if [ "$NB_PREVIEW_CHECK" = pixels ]; then
  # The first drawing comes once 100 ms have passed; give the saver's start a second more.
  sleep 1.5
  screenshot "$NB_WORK/preview.png"
  white=$(check same-as "$NB_WORK/preview.png" $x $y $width $height xc:white 0)
  if python3 -c "import sys; sys.exit(0 if float('$white') <= 0.01 else 1)"; then
    echo "SKIPPED: the host area is still the host's own white: this Wine does not show"
    echo "another process's drawing in it, so the picture cannot be compared here"
    exit 77
  fi
  far=$(check same-as "$NB_WORK/preview.png" $x $y $width $height "$NB_PICTURE" 12)
  note "share of pixels off by more than 12: $far"
  python3 -c "import sys; sys.exit(0 if float('$far') <= 0.03 else 1)" ||
    fail "the preview does not show picture 400 stretched to ${width}x${height}"
fi

wait_exit "$host_pid" 15 || fail "the host did not end"
tr -d '\r' <"$NB_WORK/host.log" | sed 's/^/    /'
grep -q "^child Class1 ${width}x${height} visible" <(tr -d '\r' <"$NB_WORK/host.log") ||
  fail "the saver did not make its visible ${width}x${height} child window in the host"
grep -q "saver exit 0" "$NB_WORK/host.log" || fail "the saver did not end with 0 when its window went"
[ "$exit_code" -eq 0 ] || fail "host exit code $exit_code"
note "closing the host ended the saver with 0"
echo "ok"
