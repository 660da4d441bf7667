#!/usr/bin/env bash
# Runs one cross-built Windows program under Wine:
#   wine-run.sh <i686|x86_64> <program.exe> [args...]
#   wine-run.sh --init            (only prepare the prefix)
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so ctest and add_test() call it for every test program.
# Keeps Wine quiet and non-interactive: its own prefix (created once, under a lock, with the
# settings of wine-prefix.reg: no crash dialog, a virtual desktop), no debug channels, no
# Mono/Gecko installer, sound to ALSA's null device. Exits with the program's status.
# Environment: NIGHTBLOOM_WINEPREFIX (default ~/.nightbloom-wine), NIGHTBLOOM_WINEDEBUG,
# NIGHTBLOOM_WINE_AUDIO=system to use the machine's sound device.
set -euo pipefail

export WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine}
export WINEDEBUG=${NIGHTBLOOM_WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A 64-bit prefix runs both 32-bit and 64-bit programs.
export WINEARCH=win64

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
settings="$here/wine-prefix.reg"
ready="$WINEPREFIX/.nightbloom-ready"
# The marker holds the checksum of the settings applied, so changed settings are applied again.
wanted=$(md5sum <"$settings" | cut -d' ' -f1)

prepare_prefix() {
  [ "$(cat "$ready" 2>/dev/null)" = "$wanted" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ "$(cat "$ready" 2>/dev/null)" != "$wanted" ]; then
      echo "wine-run.sh: preparing Wine prefix $WINEPREFIX (once; this takes a while)" >&2
      log="$WINEPREFIX.init.log"
      # No display while preparing: nothing may pop up, and nothing needs to.
      if ! { DISPLAY= wineboot --init &&
             DISPLAY= wine regedit /S "$(winepath -w "$settings")" &&
             wineserver -w; } </dev/null >"$log" 2>&1; then
        echo "wine-run.sh: preparing the Wine prefix failed:" >&2
        tail -n 20 "$log" >&2
        exit 1
      fi
      echo "$wanted" >"$ready"
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
# Sound goes to a null device unless asked otherwise: works without a sound card, and quiet.
if [ "${NIGHTBLOOM_WINE_AUDIO:-null}" = null ]; then
  export ALSA_CONFIG_PATH="$here/alsa-null.conf"
fi
# Start the prefix's background processes here, detached from our output: if the test program
# started them, they would inherit its stdout, and ctest would wait for them to exit.
"$loader" wineboot </dev/null >/dev/null 2>&1 || true
exec "$loader" "$@"
