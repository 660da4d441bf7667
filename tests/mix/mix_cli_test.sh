#!/usr/bin/env bash
# nightbloom-mix as a user runs it: bad options give one line on stderr and exit code 2
# without writing anything; a mix written with --out reads back, as a wave file and as raw
# samples, with the very figures the mix reported.
#   mix_cli_test.sh MIX WORKDIR
set -uo pipefail
mix=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

expect_refusal() {  # code args...
  local want=$1 out err code lines
  shift
  out=$("$mix" "$@" 2>"$work/err")
  code=$?
  err=$(cat "$work/err")
  lines=$(grep -c . "$work/err")
  if [ "$code" -ne "$want" ] || [ "$lines" -ne 1 ] || [ -n "$out" ]; then
    fail "nightbloom-mix $* -> exit $code, $lines error lines: $err"
  fi
}

expect_refusal 2 --seconds 1                                   # no --seed
expect_refusal 2 --seed 1                                      # neither --seconds nor --ticks
expect_refusal 2 --seed 1 --seconds 1 --ticks 5
expect_refusal 2 --seed 1 --seconds 0
expect_refusal 2 --seed 1 --seconds 1 --volume 3               # unknown option
expect_refusal 2 --seed 1 --seconds                            # missing value
expect_refusal 2 --seed 1 --seconds 1 --rate 7999
expect_refusal 2 --seed 1 --seconds 1 --rate 44101             # no exact conversion from 22050
expect_refusal 2 --seed 1 --seconds 1 --channels 3
expect_refusal 2 --seed 1 --seconds 1 --particles 3
expect_refusal 2 --seed 1 --seconds 86400 --rate 48000           # more than memory should hold
expect_refusal 2 --measure "$work/x.raw" --seed 1
expect_refusal 2 --seed 1 --seconds 1 --out "$work/missing/dir/a.wav"
[ -z "$(ls -A "$work" | grep -v '^err$')" ] || fail "a refused run left files: $(ls "$work")"
expect_refusal 1 --measure "$work/no-such-file.raw"
printf 'RIFF\004\000\000\000WAVE' >"$work/broken.wav"
expect_refusal 1 --measure "$work/broken.wav"
# A format record too short to hold the sample size, as the file's last bytes.
printf 'RIFF\046\000\000\000WAVEdata\004\000\000\000\000\000\000\000fmt \016\000\000\000\001\000\001\000\042\126\000\000\104\254\000\000\002\000' >"$work/short.wav"
expect_refusal 1 --measure "$work/short.wav"

# The figures of a recording: everything from "audio:" on, minus the mix's voice counts.
figures() { sed -n '/^audio:/,$p' "$1" | sed 's/, [0-9]* voices$//'; }

"$mix" --seed 3 --seconds 6 --out "$work/mix.wav" >"$work/mix.txt" || fail "mixing with --out failed"
grep -q '^mix: seed 3, particles 2, smoke 2, 353 ticks, ' "$work/mix.txt" || fail "unexpected report: $(head -n 1 "$work/mix.txt")"
[ ! -e "$work/mix.wav.part" ] || fail "the partial file was left behind"
size=$(stat -c %s "$work/mix.wav" 2>/dev/null || echo 0)
[ "$size" -eq $((44 + 6 * 22050 * 4)) ] || fail "mix.wav has $size bytes"
"$mix" --measure "$work/mix.wav" >"$work/wav.txt" || fail "measuring the wave file failed"
diff <(figures "$work/mix.txt") "$work/wav.txt" >&2 || fail "the wave file measures other than the mix"
tail -c +45 "$work/mix.wav" >"$work/mix.raw"
"$mix" --measure "$work/mix.raw" --rate 22050 --channels 2 >"$work/raw.txt" || fail "measuring raw samples failed"
diff "$work/wav.txt" "$work/raw.txt" >&2 || fail "the raw samples measure other than the wave file"
grep -q '^rms: -[0-9]' "$work/raw.txt" || fail "the mix is silent: $(cat "$work/raw.txt")"

"$mix" --seed 3 --seconds 2 --rate 48000 --channels 1 --out "$work/mix48.wav" >"$work/mix48.txt" ||
  fail "mixing at 48000 Hz mono failed"
grep -q '^audio: 48000 Hz, 1 channel, 96000 frames' "$work/mix48.txt" || fail "48000 Hz mono: $(cat "$work/mix48.txt")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; files in $work" >&2
  exit 1
fi
echo "all checks passed"
