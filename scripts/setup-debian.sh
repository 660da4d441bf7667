#!/usr/bin/env bash
# Prepares a Debian 12 machine for Nightbloom. Two sets of packages:
#   --program   what building and running the Linux program needs: the compiler and CMake,
#               the SDL2, SDL2_mixer, GTK 3, GL/EGL and libpng development packages, Mesa's
#               drivers, and Xvfb with ImageMagick for a run without a screen. Nothing of Wine.
#   (default)   that, and what the tests add: GoogleTest and Google Benchmark, the mingw-w64
#               cross compilers, Wine with Mesa for DirectDraw/Direct3D under it, xdotool and
#               openbox for the desktop tests, the font the dialogs are laid out in,
#               XScreenSaver, PulseAudio (a sound server to take away), FFmpeg (libraries and
#               tools) for the video of nightbloom-render, what the packages' tests use
#               (lintian, NSIS, icoutils among them), clang 14 with the libFuzzer and
#               sanitizer runtimes, sway with swayidle, grim and wtype for the tests on Wayland;
#               then a private Wine prefix.
# Wine's 32-bit half (and the i386 architecture it comes from) is installed only where this
# machine runs 32-bit programs (scripts/runs-32bit.sh); elsewhere the prefix is prepared with
# 64-bit Wine alone. Safe to run again: it installs only what is missing, updates the
# package lists only when it has to install, and never asks a question (CI runs it without
# a terminal).
#   scripts/setup-debian.sh [--program]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program_only=0
case ${1:-} in
  "") ;;
  --program) program_only=1 ;;
  -h|--help) sed -n 's/^#   \(scripts\/setup-debian.sh .*\)/usage: \1/p' "$0"; exit 0 ;;
  *) echo "setup-debian.sh: unknown argument '$1' (usage: scripts/setup-debian.sh [--program])" >&2; exit 2 ;;
esac

program_packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libgtk-3-dev libpng-dev
  # SDL2_mixer's headers pull in JACK's; left to choose, apt takes the older JACK, which 32-bit
  # Wine's sound plugins conflict with, and a later install of one removes the other.
  libjack-jackd2-dev
  libegl-dev libgl1-mesa-dev libegl-mesa0 libgl1-mesa-dri
  xvfb xauth x11-utils imagemagick
)
test_packages=(
  ninja-build git python3 bc
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  libgles-dev x11-xserver-utils xdotool openbox fonts-liberation
  xscreensaver dpkg-dev file groff-base libxml2-utils desktop-file-utils libxdamage-dev lintian
  nsis icoutils unzip
  pulseaudio pulseaudio-utils
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  clang-14 libclang-rt-14-dev llvm-14
  sway swayidle grim wtype
)
# Wine's 32-bit loader, and 32-bit Mesa so that DirectDraw/Direct3D work under it.
# Its ALSA plugins too: the system's ALSA settings name them for every architecture.
wine32_packages=(wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libasound2-plugins:i386)

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

packages=("${program_packages[@]}")
wine32=0
if [ $program_only -eq 0 ]; then
  packages+=("${test_packages[@]}")
  if bash "$root/scripts/runs-32bit.sh" --quiet; then
    wine32=1
    packages+=("${wine32_packages[@]}")
  else
    echo "setup: $(bash "$root/scripts/runs-32bit.sh" | sed 's/^no: //'); Wine runs 64-bit programs only here"
  fi
fi

need_update=0
if [ $wine32 -eq 1 ] && [ "$(dpkg --print-architecture)" = "amd64" ] &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
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
  # The program's own set goes in without the packages Debian merely recommends: it needs
  # none of them, and they would double what a first run downloads.
  extra=()
  [ $program_only -eq 1 ] && extra=(--no-install-recommends)
  as_root apt-get "${apt_opts[@]}" install "${extra[@]}" "${missing[@]}"
else
  echo "setup: all ${#packages[@]} packages present"
fi

tools=(cmake g++ Xvfb xdpyinfo import convert)
if [ $program_only -eq 0 ]; then
  tools+=(ctest i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres
          x86_64-w64-mingw32-windres wineserver xdotool openbox flock xrandr cpack dpkg-shlibdeps
          xscreensaver xscreensaver-command xscreensaver-settings setpriv unshare clang++-14
          makensis wrestool icotool unzip)
fi
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "setup: '$tool' is still missing" >&2; exit 1; }
done
[ $program_only -eq 1 ] && { echo "setup: ready to build and run the Linux program"; exit 0; }

# The first start of a Wine prefix takes a while; do it here, once, not inside a test.
"$root/cmake/wine-run.sh" --init
echo "setup: ready (Wine prefix $("$root/cmake/wine-run.sh" --prefix))"
