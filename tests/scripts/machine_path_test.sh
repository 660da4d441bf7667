#!/usr/bin/env bash
# What the test command plans on either kind of machine, what the 32-bit probe answers, and how
# the Wine runner treats a 32-bit program where only 64-bit Wine may run.
#   machine_path_test.sh SOURCE_DIR
set -uo pipefail
source=$1
failures=0
check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
plan() { env "$@" bash "$source/scripts/run-tests.sh" --plan; }
unset NIGHTBLOOM_WINE64_ONLY

# Forced: win32 is built but not run, win64 runs in its place, and the note says why.
forced=$(plan NIGHTBLOOM_WINE64_ONLY=1)
check "forced: win32 is only built" grep -qx 'win32: build-only' <<<"$forced"
check "forced: win64's tests run" grep -qx 'win64: test' <<<"$forced"
check "forced: the note says the 32-bit programs were not run, and why" \
  grep -qx 'note: the 32-bit Windows programs were built (imports checked) but not run here: NIGHTBLOOM_WINE64_ONLY=1 asks .*; their tests ran from the win64 build under 64-bit Wine' <<<"$forced"
check "the switch on the command line is the same as the variable" \
  test "$(bash "$source/scripts/run-tests.sh" --plan --wine64-only)" = "$forced"
only32=$(env NIGHTBLOOM_WINE64_ONLY=1 bash "$source/scripts/run-tests.sh" --plan win32)
check "forced, win32 alone: win64 is added to run its tests" \
  test "$(grep -v '^note' <<<"$only32")" = $'win32: build-only\nwin64: test'
check "release is built whole, not tested" grep -qx 'release: build' <<<"$forced"
check "a native run mentions no Wine" \
  test -z "$(bash "$source/scripts/run-tests.sh" --plan dev asan | grep '^note')"

# Unforced: the plan follows what the probe finds on this machine.
if bash "$source/scripts/runs-32bit.sh" --quiet; then
  echo "     this machine runs 32-bit programs"
  native=$(plan)
  check "32-bit machine: win32's tests run" grep -qx 'win32: test' <<<"$native"
  check "32-bit machine: the note says both builds ran" \
    grep -qx 'note: Windows tests ran from both builds: win32 under 32-bit Wine, win64 under 64-bit Wine alone' <<<"$native"
else
  echo "     this machine runs no 32-bit programs: $(bash "$source/scripts/runs-32bit.sh")"
  check "64-bit machine: the plan is the forced one but for the reason" \
    test "$(plan | grep -v '^note')" = "$(grep -v '^note' <<<"$forced")"
fi
check "the probe refuses a bad switch" test "$(NIGHTBLOOM_WINE64_ONLY=yes bash "$source/scripts/runs-32bit.sh" 2>/dev/null; echo $?)" = 2
check "the test command refuses an unknown preset" \
  test "$(bash "$source/scripts/run-tests.sh" --plan nonsense 2>/dev/null; echo $?)" = 2

# The runner: its own prefix for 64-bit Wine alone, and a clear refusal of 32-bit programs.
runner="$source/cmake/wine-run.sh"
p64=$(NIGHTBLOOM_WINE64_ONLY=1 NIGHTBLOOM_WINEPREFIX= "$runner" --prefix)
check "64-bit-only Wine has a prefix of its own" test "$p64" = "${HOME:-/root}/.nightbloom-wine64"
refusal=$(NIGHTBLOOM_WINE64_ONLY=1 "$runner" i686 some/where/saver.exe 2>&1 >/dev/null)
rc=$?
check "a 32-bit program is refused with exit status 2" test "$rc" -eq 2
check "... in one line that says why" \
  test "$refusal" = "wine-run.sh: cannot run the 32-bit saver.exe here: NIGHTBLOOM_WINE64_ONLY=1 asks to run as if 32-bit programs could not run"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
