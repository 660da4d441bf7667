#!/usr/bin/env bash
# Runs one cross-built Windows program under Wine:
#   wine-run.sh <i686|x86_64> <program.exe> [args...]
#   wine-run.sh --init            (only prepare the prefix)
#   wine-run.sh --prefix          (print the prefix this machine uses)
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so ctest and add_test() call it for every test program.
# Keeps Wine quiet and non-interactive: its own prefix (created once, under a lock, with the
# settings of wine-prefix.reg: no crash dialog, a virtual desktop), no debug channels, no
# Mono/Gecko installer, sound to ALSA's null device. Exits with the program's status.
# On a machine that runs no 32-bit programs (scripts/runs-32bit.sh; NIGHTBLOOM_WINE64_ONLY=1
# forces it), 32-bit Wine cannot start: the prefix is a separate one, made and run by 64-bit
# Wine alone, and i686 programs are refused.
# Environment: NIGHTBLOOM_WINEPREFIX (default ~/.nightbloom-wine, or ~/.nightbloom-wine64 where
# only 64-bit Wine runs), NIGHTBLOOM_WINEDEBUG, NIGHTBLOOM_WINE_AUDIO=system to use the
# machine's sound device, NIGHTBLOOM_WINE64_ONLY.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine64_only=0
"$here/../scripts/runs-32bit.sh" --quiet || wine64_only=1
if [ $wine64_only -eq 1 ]; then
  export WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine64}
else
  export WINEPREFIX=${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine}
fi
export WINEDEBUG=${NIGHTBLOOM_WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A 64-bit prefix runs both 32-bit and 64-bit programs.
export WINEARCH=win64

# The loader of 64-bit programs, and the one that prepares the prefix where 32-bit programs
# cannot run ('wine' would start the 32-bit loader first).
wine64=wine
[ -x /usr/lib/wine/wine64 ] && wine64=/usr/lib/wine/wine64
if [ $wine64_only -eq 1 ]; then
  boot_loader=$wine64
else
  boot_loader=wine
fi

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
      # Wine maps / to Z:.
      if ! { DISPLAY= "$boot_loader" wineboot --init &&
             DISPLAY= "$boot_loader" regedit /S "Z:${settings//\//\\}" &&
             wineserver -w; } </dev/null >"$log" 2>&1; then
        echo "wine-run.sh: preparing the Wine prefix failed:" >&2
        tail -n 20 "$log" >&2
        exit 1
      fi
      echo "$wanted" >"$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

case ${1:-} in
  --init) prepare_prefix; exit 0 ;;
  --prefix) echo "$WINEPREFIX"; exit 0 ;;
esac

if [ $# -lt 2 ]; then
  echo "usage: $0 <i686|x86_64> <program.exe> [args...] | --init" >&2
  exit 2
fi
arch=$1
shift

case $arch in
  i686)
    if [ $wine64_only -eq 1 ]; then
      echo "wine-run.sh: cannot run the 32-bit $(basename "${1:-program}") here:" \
           "$("$here/../scripts/runs-32bit.sh" | sed 's/^no: //')" >&2
      exit 2
    fi
    loader=wine ;;
  x86_64) loader=$wine64 ;;
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
