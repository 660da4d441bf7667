#!/usr/bin/env bash
# Builds the Debian package: the Windows program from the win32 cross build, the Linux
# program in a release build of its own without tests or benchmarks (build/package-tree:
# CPack builds the whole tree before it installs), and `cpack -G DEB` around both. Prints
# where the package is (build/package/nightbloom_<version>_<arch>.deb).
#   scripts/package-debian.sh [--no-windows]   (--no-windows: a package without nightbloom.scr)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${NIGHTBLOOM_JOBS:-2}
windows=1
usage() { sed -n 's/^#   \(scripts\/package-debian.sh .*\)/usage: \1/p' "$0"; }
case $# in
  0) ;;
  1) case $1 in
       --no-windows) windows=0 ;;
       -h|--help) usage; exit 0 ;;
       *) echo "package-debian.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
     esac ;;
  *) echo "package-debian.sh: at most one argument" >&2; usage >&2; exit 2 ;;
esac

bash scripts/setup-debian.sh </dev/null >/dev/null
scr=
if [ $windows -eq 1 ]; then
  # build/win32 is the tests' tree too: configure it only when it does not exist yet, with
  # the preset's own settings, so that the package does not change what `ctest --preset
  # win32` runs.
  [ -f build/win32/CMakeCache.txt ] || cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$jobs" --target nightbloom_scr
  scr="$root/build/win32/src/platform/win32/nightbloom.scr"
fi
cmake -S . -B build/package-tree -DCMAKE_BUILD_TYPE=Release -DNIGHTBLOOM_TESTS=OFF \
      -DNIGHTBLOOM_BENCH=OFF -DNIGHTBLOOM_WINDOWS_SCR="$scr" >/dev/null
cmake --build build/package-tree -j "$jobs"
rm -rf build/package/_CPack_Packages build/package/*.deb
(cd build/package-tree && cpack -G DEB -B "$root/build/package")
deb=$(ls build/package/*.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Package Version Architecture Depends
