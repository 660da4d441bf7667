#!/usr/bin/env bash
# Runs the native trace program and the Windows one (through the given runner, e.g. Wine) with
# the same seed for all nine particle/smoke level pairs and requires byte-identical output.
# Carriage returns are removed from the Windows output first (a text-mode stdout would add
# them; that is reported but is not a difference in the show). On a difference it prints the
# first differing line of both and exits 1.
#   trace_parity.sh --native PATH --work DIR --seed S [--ticks N] [--full-every K] -- RUNNER... EXE
set -uo pipefail

native= work= seed= ticks=3000 every=1000
while [ $# -gt 0 ]; do
  case $1 in
    --native) native=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --ticks) ticks=$2; shift 2 ;;
    --full-every) every=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "trace_parity.sh: unknown option '$1'" >&2; exit 2 ;;
  esac
done
if [ -z "$native" ] || [ -z "$work" ] || [ -z "$seed" ] || [ $# -eq 0 ]; then
  echo "usage: trace_parity.sh --native PATH --work DIR --seed S [--ticks N] [--full-every K] -- RUNNER... EXE" >&2
  exit 2
fi
cross=("$@")
mkdir -p "$work"

# Prints the first line at which two files differ, reading both as streams.
first_difference() {
  awk -v A="$1" -v B="$2" 'BEGIN {
    for (n = 1; ; n++) {
      ra = (getline la < A); rb = (getline lb < B)
      if (ra <= 0 && rb <= 0) exit 0
      if (ra <= 0) la = "<end of output>"
      if (rb <= 0) lb = "<end of output>"
      if (ra <= 0 || rb <= 0 || la != lb) {
        printf "  first difference at line %d\n  native:  %s\n  windows: %s\n", n, la, lb
        exit 1
      }
    }
  }'
}

failed=0 crlf=0
for particles in 0 1 2; do
  for smoke in 0 1 2; do
    args=(--seed "$seed" --ticks "$ticks" --particles "$particles" --smoke "$smoke" --full-every "$every")
    name="seed $seed particles $particles smoke $smoke"
    base="$work/p${particles}_s${smoke}"
    if ! "$native" "${args[@]}" >"$base.native" 2>"$base.native.err"; then
      echo "FAIL $name: native trace exited with an error"; head -n 5 "$base.native.err"
      failed=$((failed + 1)); continue
    fi
    if ! "${cross[@]}" "${args[@]}" >"$base.windows.raw" 2>"$base.windows.err"; then
      echo "FAIL $name: Windows trace exited with an error"; head -n 5 "$base.windows.err"
      failed=$((failed + 1)); continue
    fi
    if grep -q $'\r' "$base.windows.raw"; then crlf=1; fi
    tr -d '\r' <"$base.windows.raw" >"$base.windows"
    if [ ! -s "$base.native" ]; then
      echo "FAIL $name: the native trace printed nothing"
      failed=$((failed + 1)); continue
    fi
    if cmp -s "$base.native" "$base.windows"; then
      echo "ok   $name: $(wc -l <"$base.native") identical lines"
      rm -f "$base".native* "$base".windows*
    else
      echo "FAIL $name: outputs differ (kept in $base.native and $base.windows)"
      first_difference "$base.native" "$base.windows"
      failed=$((failed + 1))
    fi
  done
done
if [ $crlf -eq 1 ]; then
  echo "note: the Windows trace ends its lines with CR LF; compared with CR removed"
fi
if [ $failed -ne 0 ]; then
  echo "trace parity seed $seed: $failed of 9 level pairs differ or failed"
  exit 1
fi
echo "trace parity seed $seed: all 9 level pairs identical"
