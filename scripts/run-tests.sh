#!/usr/bin/env bash
# The one test command: prepares the machine, then configures, builds and runs every test of the
# dev, asan and win32 presets (the win32 tests under Wine, including the trace parity check of
# the Windows build against the native one), and fuzzes each fuzz target for a short while
# (the fuzz preset). The native presets include the failure sweep and the short soak. Tests
# that need an X display get a private Xvfb, started here and stopped at the end. Exits
# non-zero if any step fails, after a summary.
#   scripts/run-tests.sh [preset...]     (default: dev asan win32 fuzz; win64 also works)
#   NIGHTBLOOM_FUZZ_SECONDS=N            seconds per fuzz target (default 20)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
if [ $# -gt 0 ]; then presets=("$@"); else presets=(dev asan win32 fuzz); fi
logs="$root/build/logs"

stage_names=() stage_results=() stage_seconds=()
tests_passed=0 tests_failed=0 any_failed=0

record() {  # name result seconds
  stage_names+=("$1"); stage_results+=("$2"); stage_seconds+=("$3")
  [ "$2" = ok ] || any_failed=1
}

# Runs one step, timing it; a step with a log file keeps its output there and shows its first
# errors and its tail only when it fails.
step() {  # name log|- command...
  local name=$1 log=$2; shift 2
  local start=$SECONDS rc
  echo "==> $name"
  if [ "$log" = - ]; then
    "$@"; rc=$?
  else
    "$@" >"$log" 2>&1; rc=$?
    if [ $rc -ne 0 ]; then
      echo "---- first errors in $log ----"
      grep -E -m 12 -B 2 -A 6 '(error|Error|ERROR|undefined reference)' "$log"
      echo "---- last lines of $log ----"; tail -n 15 "$log"; echo "----"
    fi
  fi
  if [ $rc -eq 0 ]; then record "$name" ok $((SECONDS - start)); else record "$name" "FAILED ($rc)" $((SECONDS - start)); fi
  return $rc
}

xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  # Let Wine's background processes of this run go; end them if they will not.
  if command -v wineserver >/dev/null 2>&1; then
    export WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine}
    timeout 30 wineserver -w 2>/dev/null || { [ "${CI:-}" = true ] && wineserver -k 2>/dev/null; }
  fi
}
trap cleanup EXIT

start_xvfb() {
  local display_file
  display_file=$(mktemp)
  # -displayfd picks a free display number itself and writes it once the server accepts clients;
  # -noreset keeps it from resetting, and refusing connections meanwhile, whenever its last
  # client leaves between two tests.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" >"$logs/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local waited=0
  while [ ! -s "$display_file" ] && [ $waited -lt 100 ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1; waited=$((waited + 1))
  done
  if [ ! -s "$display_file" ]; then
    echo "Xvfb did not start (see $logs/xvfb.log)"; rm -f "$display_file"; return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
  rm -f "$display_file"
  xdpyinfo >/dev/null 2>&1 || { echo "Xvfb on $DISPLAY does not answer"; return 1; }
  echo "Xvfb on $DISPLAY (pid $xvfb_pid)"
}

# Counts what ctest printed in its closing line, so the summary adds up over all presets.
run_ctest() {  # preset log
  local preset=$1 log=$2 rc line total failed
  ctest --preset "$preset" -j "$jobs" --no-tests=error 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    tests_passed=$((tests_passed + total - failed)); tests_failed=$((tests_failed + failed))
  elif [ $rc -ne 0 ]; then
    tests_failed=$((tests_failed + 1))
  fi
  return $rc
}

# Windows programs must run on a bare system: every DLL they import has to be one that the
# system provides (Wine's own set stands in for it), never a mingw runtime DLL.
check_system_dlls() {  # preset
  local dir="$root/build/$1" objdump dlldir known f dll checked=0 bad=0
  case $1 in
    win64) objdump=x86_64-w64-mingw32-objdump; dlldir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows ;;
    *) objdump=i686-w64-mingw32-objdump; dlldir=/usr/lib/i386-linux-gnu/wine/i386-windows ;;
  esac
  known=$(ls "$dlldir" | tr '[:upper:]' '[:lower:]')
  while IFS= read -r -d '' f; do
    checked=$((checked + 1))
    while read -r dll; do
      if ! grep -qxF "$(tr '[:upper:]' '[:lower:]' <<<"$dll")" <<<"$known"; then
        echo "${f#"$root"/} imports $dll, which is not a system DLL"; bad=1
      fi
    done < <("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
  done < <(find "$dir" \( -name '*.exe' -o -name '*.scr' -o -name '*.dll' \) -not -path '*/CMakeFiles/*' -print0)
  if [ $checked -eq 0 ]; then echo "no Windows programs found in $dir"; return 1; fi
  [ $bad -eq 0 ] && echo "$checked Windows programs import system DLLs only"
  return $bad
}

mkdir -p "$logs"
total_start=$SECONDS

step "setup" - bash "$root/scripts/setup-debian.sh" </dev/null || { echo "setup failed; nothing else can run"; exit 1; }
step "start Xvfb" - start_xvfb || true

native_trace="$root/build/dev/tools/trace/nightbloom-trace"
for preset in "${presets[@]}"; do
  if [ "$preset" = fuzz ]; then
    # Builds the fuzz preset itself; a crash or a broken check in any target fails the step.
    if step "fuzz: ${NIGHTBLOOM_FUZZ_SECONDS:-20} s per target" - \
         bash "$root/scripts/fuzz.sh" --seconds "${NIGHTBLOOM_FUZZ_SECONDS:-20}"; then
      tests_passed=$((tests_passed + 1))
    else
      tests_failed=$((tests_failed + 1))
    fi
    continue
  fi
  extra=()
  if [ "$preset" = win32 ] || [ "$preset" = win64 ]; then
    if [ -x "$native_trace" ]; then
      extra=(-DNIGHTBLOOM_NATIVE_TRACE="$native_trace")
    else
      echo "note: no native trace at $native_trace; the $preset build runs without the parity check"
      extra=(-DNIGHTBLOOM_NATIVE_TRACE=)
    fi
  fi
  if ! step "$preset: configure" "$logs/$preset-configure.log" cmake --preset "$preset" "${extra[@]}"; then
    tests_failed=$((tests_failed + 1)); continue
  fi
  if ! step "$preset: build" "$logs/$preset-build.log" cmake --build --preset "$preset" -j "$jobs"; then
    tests_failed=$((tests_failed + 1)); continue
  fi
  if [ "$preset" = win32 ] || [ "$preset" = win64 ]; then
    step "$preset: system DLLs" - check_system_dlls "$preset" || tests_failed=$((tests_failed + 1))
  fi
  step "$preset: test" - run_ctest "$preset" "$logs/$preset-test.log"
done

echo
echo "================ summary ================"
for i in "${!stage_names[@]}"; do
  printf '  %-22s %-12s %5ss\n' "${stage_names[$i]}" "${stage_results[$i]}" "${stage_seconds[$i]}"
done
printf '  %-22s %-12s %5ss\n' "total" "" $((SECONDS - total_start))
echo "  logs: $logs"
if [ $any_failed -ne 0 ] && [ $tests_failed -eq 0 ]; then tests_failed=1; fi
# Closing line: test entries of all presets; a stage that failed before its tests counts as one.
echo "tests: $tests_passed passed, $tests_failed failed"
[ $any_failed -eq 0 ]
