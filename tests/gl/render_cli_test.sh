#!/usr/bin/env bash
# nightbloom-render as a user runs it: bad options and unwritable paths give one line on
# stderr and exit code 2 without writing anything; good options write the PNG files with
# frame numbers before the extension, of the asked size.
#   render_cli_test.sh RENDER WORKDIR
set -uo pipefail
render=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
failures=0

expect_usage_error() {
  local err lines
  err=$("$render" "$@" 2>&1 >/dev/null)
  local code=$?
  lines=$(printf '%s\n' "$err" | grep -c .)
  if [ "$code" -ne 2 ] || [ "$lines" -ne 1 ]; then
    echo "FAIL: nightbloom-render $* -> exit $code, $lines error lines: $err" >&2
    failures=$((failures + 1))
  fi
}

expect_usage_error --seed 1 --out "$work/a.png"                        # no --ticks
expect_usage_error --ticks 1 --out "$work/a.png"                       # no --seed
expect_usage_error --seed 1 --ticks 1                                  # no --out
expect_usage_error --seed 1 --ticks 1 --out "$work/a.png" --colour 2  # unknown option
expect_usage_error --seed 1 --ticks 1 --out "$work/a.png" --frames     # missing value
expect_usage_error --seed x1 --ticks 1 --out "$work/a.png"
expect_usage_error --seed 1 --ticks -5 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --particles 3 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --smoke 9 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --size 640 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --size 0x480 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --depth 24 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --frames 0 --out "$work/a.png"
expect_usage_error --seed 1 --ticks 1 --out "$work/missing/dir/a.png"
if [ -n "$(ls -A "$work")" ]; then
  echo "FAIL: a rejected run left files: $(ls "$work")" >&2
  failures=$((failures + 1))
fi

if ! "$render" --seed 5 --ticks 300 --size 64x48 --depth 16 --frames 2 --out "$work/f.png" >/dev/null; then
  echo "FAIL: a good run failed" >&2
  failures=$((failures + 1))
fi
for f in f-0001.png f-0002.png; do
  # PNG signature, then IHDR with width 64 and height 48.
  header=$(od -An -tx1 -N24 "$work/$f" 2>/dev/null | tr -d ' \n')
  if [ "$header" != "89504e470d0a1a0a0000000d494844520000004000000030" ]; then
    echo "FAIL: $f is not a 64 x 48 PNG ($header)" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "render command line: all checks passed"
exit $((failures > 0))
