#!/usr/bin/env bash
# Prepares a Debian 12 machine to build and test Nightbloom: native toolchain, mingw-w64 cross
# compilers, Wine (32- and 64-bit, with 32-bit Mesa so that DirectDraw/Direct3D work under it),
# Xvfb with xdotool and a window manager (openbox) for the desktop tests, the font the dialogs are
# laid out in, the SDL2/GTK 3/GL/libpng development packages, XScreenSaver (its daemon and
# settings program, for the hack's test) with what the Debian package and its test use, clang 14
# with the libFuzzer and sanitizer runtimes, and a private Wine prefix. Safe to run
# again: it installs only what is missing, updates the package lists only when it has to
# install, and never asks a question (CI runs it without a terminal).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  build-essential cmake ninja-build g++ pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  xvfb xauth x11-utils x11-xserver-utils imagemagick xdotool openbox fonts-liberation python3 bc
  libsdl2-dev libsdl2-mixer-dev libgtk-3-dev libpng-dev
  libegl-dev libgl1-mesa-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  xscreensaver dpkg-dev file groff-base libxml2-utils desktop-file-utils libxdamage-dev
  clang-14 libclang-rt-14-dev llvm-14
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo -n "$@"
  else
    echo "setup-debian.sh: needs root (or sudo) to install packages" >&2
    exit 1
  fi
}

export DEBIAN_FRONTEND=noninteractive
apt_opts=(-y -q -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold
          -o DPkg::Lock::Timeout=300)

need_update=0
if [ "$(dpkg --print-architecture)" = "amd64" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture (for 32-bit Wine)"
  as_root dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  [ "${status:0:2}" = "ii" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  need_update=1
fi
if [ $need_update -eq 1 ]; then
  as_root apt-get "${apt_opts[@]}" update
fi
if [ ${#missing[@]} -gt 0 ]; then
  as_root apt-get "${apt_opts[@]}" install "${missing[@]}"
else
  echo "setup: all ${#packages[@]} packages present"
fi

for tool in cmake ctest g++ i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix \
            i686-w64-mingw32-windres wine wineboot wineserver Xvfb xdpyinfo xdotool openbox flock \
            xrandr cpack dpkg-shlibdeps xscreensaver xscreensaver-command xscreensaver-settings setpriv unshare \
            clang++-14; do
  command -v "$tool" >/dev/null 2>&1 || { echo "setup: '$tool' is still missing" >&2; exit 1; }
done

# The first start of a Wine prefix takes a while; do it here, once, not inside a test.
"$root/cmake/wine-run.sh" --init
echo "setup: ready (Wine prefix ${NIGHTBLOOM_WINEPREFIX:-${HOME:-/root}/.nightbloom-wine})"
