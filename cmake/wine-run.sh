#!/usr/bin/env bash
# Runs one cross-built Windows program under Wine:
#   wine-run.sh <i686|x86_64> <program.exe> [args...]
#   wine-run.sh --init            (only prepare the prefix)
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so ctest and add_test() call it for every test program.
# Keeps Wine quiet and non-interactive: its own prefix (created once, under a lock, when it is
# missing), no debug channels, no Mono/Gecko installer and no crash dialog, which would block a
# run on a display. Exits with the program's status.
set -euo pipefail

export WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine}
export WINEDEBUG=${NIGHTBLOOM_WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A 64-bit prefix runs both 32-bit and 64-bit programs.
export WINEARCH=win64

ready="$WINEPREFIX/.nightbloom-ready"

prepare_prefix() {
  [ -f "$ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      echo "wine-run.sh: preparing Wine prefix $WINEPREFIX (once; this takes a while)" >&2
      log="$WINEPREFIX.init.log"
      # No display while booting: nothing may pop up, and nothing needs to. A crashing test
      # prints its backtrace and ends instead of waiting on a dialog.
      if ! { DISPLAY= wineboot --init &&
             DISPLAY= wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
             wineserver -w; } </dev/null >"$log" 2>&1; then
        echo "wine-run.sh: preparing the Wine prefix failed:" >&2
        tail -n 20 "$log" >&2
        exit 1
      fi
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

if [ "${1:-}" = "--init" ]; then
  prepare_prefix
  exit 0
fi

if [ $# -lt 2 ]; then
  echo "usage: $0 <i686|x86_64> <program.exe> [args...] | --init" >&2
  exit 2
fi
arch=$1
shift

case $arch in
  i686) loader=wine ;;
  x86_64)
    loader=wine
    [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64
    ;;
  *) echo "wine-run.sh: unknown architecture '$arch' (want i686 or x86_64)" >&2; exit 2 ;;
esac
if ! command -v "$loader" >/dev/null 2>&1; then
  echo "wine-run.sh: '$loader' not found; run scripts/setup-debian.sh" >&2
  exit 127
fi

prepare_prefix
# Start the prefix's background processes here, detached from our output: if the test program
# started them, they would inherit its stdout, and ctest would wait for them to exit.
"$loader" wineboot </dev/null >/dev/null 2>&1 || true
exec "$loader" "$@"
