#!/usr/bin/env bash
# Makes the Windows packages of this build tree with CPack (the installers for 64-bit and
# 32-bit Windows and the portable zip) into WORK/out, where the installer tests take them,
# and checks them: their names, that the zip holds exactly its two programs in folders
# named for their architecture with README.txt and LICENSE.txt, and what every program
# and installer says of itself (machine, version resource, icon, the name the Screen Saver
# settings show). Prints the packages' sizes.
#   packages_test.sh CPACK BUILD_DIR SOURCE_DIR WORK_DIR VERSION
cpack=$1 build=$2 SOURCE=$3 WORK=$4 VERSION=$5
rm -rf "$WORK"
mkdir -p "$WORK"
source "$(dirname "$0")/lib.sh"

if ! timeout 180 "$cpack" --config "$build/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1; then
  echo "FAIL: cpack did not make the packages"; tail -n 20 "$WORK/cpack.log"; exit 1
fi
out=$WORK/out
win64=nightbloom-$VERSION-win64-setup.exe win32=nightbloom-$VERSION-win32-setup.exe
zip=nightbloom-$VERSION-windows.zip
made=$(cd "$out" && ls *.exe *.zip 2>/dev/null | LC_ALL=C sort | tr '\n' ' ')
check "the packages are $win32, $win64 and $zip" test "$made" = "$win32 $win64 $zip "
for f in "$win64" "$win32" "$zip"; do
  [ -f "$out/$f" ] || { echo "FAIL: no $f"; exit 1; }
  printf '     %-36s %8d bytes\n' "$f" "$(stat -c %s "$out/$f")"
done

top=nightbloom-$VERSION-windows
listed=$(unzip -Z1 "$out/$zip" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')
check "the zip holds the two programs, README.txt and LICENSE.txt under $top/" \
  test "$listed" = "$top/32-bit/nightbloom.scr $top/64-bit/nightbloom.scr $top/LICENSE.txt $top/README.txt "
unzip -q "$out/$zip" -d "$WORK/zip"
z=$WORK/zip/$top
check "64-bit/nightbloom.scr is a 64-bit program" test "$(windows_files machine "$z/64-bit/nightbloom.scr")" = x86-64
check "32-bit/nightbloom.scr is a 32-bit program" test "$(windows_files machine "$z/32-bit/nightbloom.scr")" = i386
check "LICENSE.txt is the project's licence, with Windows line ends" \
  cmp <(tr -d '\r' <"$z/LICENSE.txt") "$SOURCE/LICENSE"
for text in README.txt LICENSE.txt; do
  check "$text: every line ends in CR LF" test "$(grep -c $'\r$' "$z/$text")" -eq "$(wc -l <"$z/$text")"
done
readme=$(tr -d '\r' <"$z/README.txt")
check "README.txt names the version" grep -q "^Nightbloom $VERSION " <<<"$readme"
check "README.txt says which one to take" grep -q '64-bit\\nightbloom.scr  *for 64-bit Windows' <<<"$readme"
check "... and how to install it" grep -q 'Right-click it and choose Install' <<<"$readme"

for arch in 64 32; do
  scr=$z/$arch-bit/nightbloom.scr
  check_identity "$scr" "$arch-bit nightbloom.scr"
  check "$arch-bit nightbloom.scr: listed as \"Nightbloom\" in the Screen Saver settings" \
    test "$(windows_files name "$scr")" = Nightbloom
done
check "the 64-bit installer is a 64-bit program" test "$(windows_files machine "$out/$win64")" = x86-64
check "the 32-bit installer is a 32-bit program" test "$(windows_files machine "$out/$win32")" = i386
check_identity "$out/$win64" "$win64"
check_identity "$out/$win32" "$win32"
finish
