#!/usr/bin/env bash
# The one test command: prepares the machine, then configures, builds and runs every test of the
# dev, asan, win32 and win64 presets (the Windows tests under Wine, including the trace parity
# check of the Windows builds against the native one), builds the release preset whole, and
# fuzzes each fuzz target for a short while (the fuzz preset). The native presets include the
# failure sweep and the short soak. Tests that need an X display get a private Xvfb, started
# here and stopped at the end. Exits non-zero if any step fails, after a summary.
#
# Wine: win32's tests run under 32-bit Wine; win64's always under 64-bit Wine alone, in a
# prefix of its own (the path of machines that run no 32-bit programs, so that it is taken on
# every machine). Where this machine runs no 32-bit programs (scripts/runs-32bit.sh), win32 is
# still built and its imports checked, but its tests run from the win64 build instead, and
# the summary says so.
#   scripts/run-tests.sh [--wine64-only] [--plan] [preset...]
#     (default presets: dev release asan win32 win64 fuzz; release is built, not tested)
#     --wine64-only   as if this machine ran no 32-bit programs (NIGHTBLOOM_WINE64_ONLY=1)
#     --plan          print what would run, and nothing else
#   NIGHTBLOOM_FUZZ_SECONDS=N            seconds per fuzz target (default 20)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
plan_only=0 presets=()
usage() { sed -n 's/^#   \(scripts\/run-tests.sh .*\)/usage: \1/p' "$0"; }
for arg in "$@"; do
  case $arg in
    --wine64-only) export NIGHTBLOOM_WINE64_ONLY=1 ;;
    --plan) plan_only=1 ;;
    -h|--help) usage; exit 0 ;;
    dev|release|asan|fuzz|win32|win64) presets+=("$arg") ;;
    *) echo "run-tests.sh: unknown argument '$arg' (presets: dev release asan win32 win64 fuzz)" >&2
       usage >&2; exit 2 ;;
  esac
done
[ ${#presets[@]} -gt 0 ] || presets=(dev release asan win32 win64 fuzz)

# Which Wine runs here. The answer decides whether win32's tests run, or win64's stand in.
wine32_reason=
if ! wine32_reason=$(bash "$root/scripts/runs-32bit.sh"); then
  wine32_reason=${wine32_reason#no: }
  [ -n "$wine32_reason" ] || { echo "run-tests.sh: cannot tell whether 32-bit programs run here" >&2; exit 2; }
else
  wine32_reason=
fi
has() { [[ " ${presets[*]} " == *" $1 "* ]]; }
if [ -n "$wine32_reason" ] && has win32 && ! has win64; then
  # The win64 build takes the place of win32's tests; put it right after win32.
  expanded=()
  for p in "${presets[@]}"; do expanded+=("$p"); [ "$p" = win32 ] && expanded+=(win64); done
  presets=("${expanded[@]}")
fi
# What each preset does: test (configure, build, run its tests), build (configure and build the
# whole tree), build-only (win32 where it cannot run), fuzz.
action() {
  case $1 in
    release) echo build ;;
    fuzz) echo fuzz ;;
    win32) if [ -n "$wine32_reason" ]; then echo build-only; else echo test; fi ;;
    *) echo test ;;
  esac
}
# win64 is run by 64-bit Wine alone everywhere: where 32-bit programs run, that is the test of
# the path that machines without them take.
wine_note() {
  if [ -n "$wine32_reason" ]; then
    echo "note: the 32-bit Windows programs were built (imports checked) but not run here: $wine32_reason; their tests ran from the win64 build under 64-bit Wine"
  else
    echo "note: Windows tests ran from both builds: win32 under 32-bit Wine, win64 under 64-bit Wine alone"
  fi
}

if [ $plan_only -eq 1 ]; then
  for p in "${presets[@]}"; do echo "$p: $(action "$p")"; done
  if has win32 || has win64; then wine_note; fi
  exit 0
fi

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
    local prefix
    for prefix in "$("$root/cmake/wine-run.sh" --prefix)" \
                  "$(NIGHTBLOOM_WINE64_ONLY=1 "$root/cmake/wine-run.sh" --prefix)"; do
      [ -d "$prefix" ] || continue
      WINEPREFIX=$prefix timeout 30 wineserver -w 2>/dev/null ||
        { [ "${CI:-}" = true ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null; }
    done
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
  local dir="$root/build/$1" objdump known f dll checked=0 bad=0
  case $1 in
    win64) objdump=x86_64-w64-mingw32-objdump ;;
    *) objdump=i686-w64-mingw32-objdump ;;
  esac
  # The system DLLs are named alike on both architectures; where 32-bit Wine is not installed,
  # the 64-bit set names them.
  known=$(ls /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows \
            2>/dev/null | tr '[:upper:]' '[:lower:]' | sort -u)
  [ -n "$known" ] || { echo "no Wine DLLs found to compare with"; return 1; }
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

no_warnings() {  # build log
  local count
  count=$(grep -c 'warning:' "$1")
  if [ "$count" -gt 0 ]; then
    echo "$count compiler warnings in $1:"; grep -m 10 -A 3 'warning:' "$1"; return 1
  fi
  echo "no compiler warnings"
}

mkdir -p "$logs"
total_start=$SECONDS

step "setup" - bash "$root/scripts/setup-debian.sh" </dev/null || { echo "setup failed; nothing else can run"; exit 1; }
step "start Xvfb" - start_xvfb || true

native_trace="$root/build/dev/tools/trace/nightbloom-trace"
for preset in "${presets[@]}"; do
  what=$(action "$preset")
  if [ "$what" = fuzz ]; then
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
  if [ "$preset" = release ]; then
    # The release preset does not make warnings errors (a user's build must not fail on a new
    # compiler's opinion), so its whole build is checked for them here.
    step "release: no warnings" - no_warnings "$logs/release-build.log" || tests_failed=$((tests_failed + 1))
  fi
  if [ "$preset" = win32 ] || [ "$preset" = win64 ]; then
    step "$preset: system DLLs" - check_system_dlls "$preset" || tests_failed=$((tests_failed + 1))
  fi
  [ "$what" = test ] || continue
  if [ "$preset" = win64 ]; then
    forced=${NIGHTBLOOM_WINE64_ONLY:-}
    export NIGHTBLOOM_WINE64_ONLY=1
    # Tests that only the win32 build runs where it can (the soak) run here in its place.
    if [ -n "$wine32_reason" ]; then export NIGHTBLOOM_WIN32_STAND_IN=1; else export NIGHTBLOOM_WIN32_STAND_IN=0; fi
    step "win64: Wine prefix" - "$root/cmake/wine-run.sh" --init &&
      step "$preset: test" - run_ctest "$preset" "$logs/$preset-test.log"
    unset NIGHTBLOOM_WIN32_STAND_IN
    if [ -n "$forced" ]; then NIGHTBLOOM_WINE64_ONLY=$forced; else unset NIGHTBLOOM_WINE64_ONLY; fi
  else
    step "$preset: test" - run_ctest "$preset" "$logs/$preset-test.log"
  fi
done
echo
echo "================ summary ================"
for i in "${!stage_names[@]}"; do
  printf '  %-22s %-12s %5ss\n' "${stage_names[$i]}" "${stage_results[$i]}" "${stage_seconds[$i]}"
done
printf '  %-22s %-12s %5ss\n' "total" "" $((SECONDS - total_start))
echo "  logs: $logs"
if has win32 || has win64; then echo "  $(wine_note)"; fi
if [ $any_failed -ne 0 ] && [ $tests_failed -eq 0 ]; then tests_failed=1; fi
# Closing line: test entries of all presets; a stage that failed before its tests counts as one.
echo "tests: $tests_passed passed, $tests_failed failed"
[ $any_failed -eq 0 ]
