#!/usr/bin/env bash
# Fuzzing campaign: builds the fuzz preset (clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each fuzz target in turn, one process at a time, starting from the
# committed seed corpus (tests/fuzz/corpus/<target>) and the corpus that earlier campaigns
# grew (build/fuzz/corpus/<target>, kept between runs). Prints the executions of every
# target and the inputs that crashed it (kept under build/fuzz/crashes/<target>/); exits 1
# if any target crashed or broke one of its checks.
#   scripts/fuzz.sh [--minutes N | --seconds N] [--runs N] [target...]
#     --minutes N, --seconds N   time per target (default: 10 minutes)
#     --runs N                   stop a target after N executions instead (or earlier, at
#                                the time limit when one is given as well)
#     target                     wave command_line dialog_template bitmap registry key_file
#                                program_args (default: all)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
all_targets=(wave command_line dialog_template bitmap registry key_file program_args)
seconds=600 runs= targets=() time_given=0

usage() { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; }
number() { [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -gt 0 ] || { echo "fuzz.sh: $1 needs a whole number above 0" >&2; exit 2; }; }

while [ $# -gt 0 ]; do
  case $1 in
    --minutes) [ $# -ge 2 ] || { echo "fuzz.sh: --minutes needs a value" >&2; exit 2; }
               number "$1" "$2"; seconds=$(($2 * 60)); time_given=1; shift 2 ;;
    --seconds) [ $# -ge 2 ] || { echo "fuzz.sh: --seconds needs a value" >&2; exit 2; }
               number "$1" "$2"; seconds=$2; time_given=1; shift 2 ;;
    --runs) [ $# -ge 2 ] || { echo "fuzz.sh: --runs needs a value" >&2; exit 2; }
            number "$1" "$2"; runs=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "fuzz.sh: unknown option '$1'" >&2; usage >&2; exit 2 ;;
    *) if [[ " ${all_targets[*]} " != *" $1 "* ]]; then
         echo "fuzz.sh: unknown target '$1' (targets: ${all_targets[*]})" >&2; exit 2
       fi
       targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

command -v clang++-14 >/dev/null 2>&1 || { echo "fuzz.sh: clang++-14 is missing (scripts/setup-debian.sh installs it)" >&2; exit 1; }
work="$root/build/fuzz"
mkdir -p "$work/logs"
echo "==> building the fuzz preset"
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } >"$work/logs/build.log" 2>&1; then
  tail -n 30 "$work/logs/build.log"; echo "fuzz.sh: the fuzz build failed ($work/logs/build.log)" >&2; exit 1
fi
limits=(-print_final_stats=1 -timeout=30 -rss_limit_mb=2048)
# Crash reports with file names and lines.
if command -v llvm-symbolizer-14 >/dev/null 2>&1; then
  export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer-14)}
fi
if [ -n "$runs" ]; then
  limits+=(-runs="$runs")
  [ $time_given -eq 1 ] && limits+=(-max_total_time="$seconds")
else
  limits+=(-max_total_time="$seconds")
fi

# Inputs in folder $1 that crashed, leaked, hung past the timeout or ran out of memory. A
# "slow unit" (one input over 10 s) is kept too but is no failure: on a loaded machine a
# stall makes them; a real hang ends as a timeout.
findings() { find "$1" -type f ! -name 'slow-unit-*' | wc -l; }

failed=0 crashed=0
printf '%-16s %14s %10s %8s  %s\n' target executions "exec/s" new crashes
for target in "${targets[@]}"; do
  program="$work/tests/fuzz/fuzz_$target"
  grown="$work/corpus/$target" crashes="$work/crashes/$target" log="$work/logs/$target.log"
  mkdir -p "$grown" "$crashes"
  before=$(findings "$crashes")
  "$program" "$grown" "$root/tests/fuzz/corpus/$target" "${limits[@]}" \
    -artifact_prefix="$crashes/" >"$log" 2>&1
  rc=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -n 1)
  found=$(($(findings "$crashes") - before))
  printf '%-16s %14s %10s %8s  %s\n' "$target" "${executions:-?}" "${speed:-?}" "${added:-?}" "$found"
  if [ $rc -ne 0 ] || [ "$found" -gt 0 ]; then
    failed=1
    [ "$found" -gt 0 ] && crashed=1
    echo "---- $target failed (exit $rc); from $log:"
    grep -E -m 20 'ERROR|runtime error|check failed|SUMMARY|Test unit written' "$log"
  fi
done
if [ $crashed -ne 0 ]; then
  echo "fuzz.sh: crashes found; inputs under $work/crashes/"
elif [ $failed -ne 0 ]; then
  echo "fuzz.sh: a target ended before its time or runs were up"
fi
exit $failed
