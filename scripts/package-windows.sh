#!/usr/bin/env bash
# Builds the Windows downloads into build/package/: the installers for 64-bit and 32-bit
# Windows (nightbloom-<version>-win64-setup.exe, ...-win32-setup.exe) and the portable zip
# (nightbloom-<version>-windows.zip). nightbloom.scr comes from the win32 and win64 cross
# builds (the tests' trees: configured here only when they do not exist yet); CPack makes
# the packages in the win64 tree, working in build/package-windows. Prints their paths.
#   scripts/package-windows.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
case $# in
  0) ;;
  *) case $1 in
       -h|--help) sed -n 's/^#   \(scripts\/package-windows.sh.*\)/usage: \1/p' "$0"; exit 0 ;;
       *) echo "package-windows.sh: no arguments expected, not '$*'" >&2; exit 2 ;;
     esac ;;
esac

bash scripts/setup-debian.sh </dev/null >/dev/null
for preset in win32 win64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target nightbloom_scr
done
rm -rf build/package-windows
NIGHTBLOOM_WIN32_SCR="$root/build/win32/src/platform/win32/nightbloom.scr" \
  cpack --config build/win64/CPackConfig.cmake -B "$root/build/package-windows"
mkdir -p build/package
rm -f build/package/nightbloom-*-win64-setup.exe build/package/nightbloom-*-win32-setup.exe \
      build/package/nightbloom-*-windows.zip
for made in build/package-windows/nightbloom-*; do
  cp "$made" build/package/
  echo "package: build/package/$(basename "$made") ($(stat -c %s "$made") bytes)"
done
