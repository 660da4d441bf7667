#!/usr/bin/env bash
# Builds the Debian package of this build tree (with a stand-in for the Windows program,
# which comes from another build), unpacks it into a scratch root with dpkg and checks
# the package's fields, where every file landed, that nothing else came along, that the
# program runs from there, that the licence and the changelog are there in Debian's forms,
# and that lintian finds no error in it (its warnings are listed).
#   package_test.sh CPACK BUILD_DIR SOURCE_DIR WORK_DIR VERSION DEBIAN_VERSION
set -uo pipefail
cpack=$1 build=$2 source=$3 work=$4 version=$5 debian_version=$6
rm -rf "$work"
mkdir -p "$work"
failures=0
check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# Any bytes do: the package must carry exactly these.
printf 'MZ stand-in for nightbloom.scr %s\n' "$RANDOM" >"$work/stand-in.scr"
if ! NIGHTBLOOM_WINDOWS_SCR="$work/stand-in.scr" timeout 180 \
     "$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  echo "FAIL: cpack did not make the package"; tail -n 20 "$work/cpack.log"; exit 1
fi
arch=$(dpkg --print-architecture)
deb="$work/out/nightbloom_${debian_version}_${arch}.deb"
check "one package, named nightbloom_${debian_version}_${arch}.deb" \
  test -f "$deb" -a "$(ls "$work/out"/*.deb | wc -l)" -eq 1
[ -f "$deb" ] || exit 1

field() { dpkg-deb -f "$deb" "$1"; }
check "Package: nightbloom" test "$(field Package)" = nightbloom
check "Version: $debian_version" test "$(field Version)" = "$debian_version"
check "Architecture: $arch" test "$(field Architecture)" = "$arch"
depends=$(field Depends)
echo "     Depends: $depends"
for lib in libc6 libstdc++6 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libgtk-3-0 libglib2.0-0 libx11-6 \
           libegl1 libegl-mesa0 libgl1-mesa-dri; do
  check "depends on $lib" grep -qE "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends"
done
check "every file belongs to root" test -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"

dpkg -x "$deb" "$work/root"
r="$work/root/usr"
expected="usr/bin/nightbloom
usr/libexec/xscreensaver/nightbloom
usr/share/applications/nightbloom.desktop
usr/share/doc/nightbloom/changelog.Debian.gz
usr/share/doc/nightbloom/copyright
usr/share/icons/hicolor/128x128/apps/nightbloom.png
usr/share/icons/hicolor/32x32/apps/nightbloom.png
usr/share/man/man6/nightbloom.6.gz
usr/share/nightbloom/windows/nightbloom.scr
usr/share/xscreensaver/config/nightbloom.xml"
landed=$(cd "$work/root" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
check "these files and no others" test "$landed" = "$expected"
[ "$landed" = "$expected" ] || diff <(echo "$expected") <(echo "$landed")

check "the program is executable" test -x "$r/bin/nightbloom" -a ! -L "$r/bin/nightbloom"
check "XScreenSaver's hack is a relative link to it" \
  test "$(readlink "$r/libexec/xscreensaver/nightbloom")" = ../../bin/nightbloom
check "... that resolves inside the root" \
  test "$(readlink -f "$r/libexec/xscreensaver/nightbloom")" = "$(readlink -f "$r/bin/nightbloom")"
check "the program runs from there" \
  test "$("$r/libexec/xscreensaver/nightbloom" --version)" = "nightbloom $version"
check "... and knows the hack's options" grep -q -- '--root' <("$r/bin/nightbloom" --help)
check "the descriptor is the project's" cmp "$source/packaging/nightbloom.xml" "$r/share/xscreensaver/config/nightbloom.xml"
if command -v xmllint >/dev/null; then
  check "... and well-formed XML" xmllint --noout "$r/share/xscreensaver/config/nightbloom.xml"
fi
check "the desktop entry is the project's" cmp "$source/packaging/nightbloom.desktop" "$r/share/applications/nightbloom.desktop"
if command -v desktop-file-validate >/dev/null; then
  check "... and valid" desktop-file-validate "$r/share/applications/nightbloom.desktop"
fi
for size in 32 128; do
  icon="$r/share/icons/hicolor/${size}x${size}/apps/nightbloom.png"
  check "the ${size}x${size} icon" cmp "$source/resources/nightbloom-$size.png" "$icon"
  check "... is ${size} x ${size}" grep -q "PNG image data, $size x $size" <(file "$icon")
done
page=$(gzip -dc "$r/share/man/man6/nightbloom.6.gz")
check "the manual page is in section 6, of this version" \
  grep -q "^\.TH NIGHTBLOOM 6 \"[A-Z][a-z]* [0-9]*\" \"Nightbloom $version\"" <<<"$page"
check "... with nothing left unfilled" test -z "$(grep -F '@' <<<"$page")"
check "... and formats without warnings" \
  test -z "$(gzip -dc "$r/share/man/man6/nightbloom.6.gz" | groff -man -ww -z 2>&1)"
check "the Windows program is the one given" cmp "$work/stand-in.scr" "$r/share/nightbloom/windows/nightbloom.scr"

doc="$r/share/doc/nightbloom"
check "the copyright file is the project's, in Debian's machine-readable format" \
  cmp "$source/packaging/debian/copyright" "$doc/copyright"
check "... names the licence of LICENSE" grep -qx 'License: Expat' "$doc/copyright"
# The licence's text (the last paragraph of the copyright file) is LICENSE's, after its title
# and copyright lines.
licence_text=$(tac "$doc/copyright" | sed '/^License: Expat$/q' | tac | tail -n +2 | sed 's/^ \.$//; s/^ //')
check "... with LICENSE's text" test "$licence_text" = "$(tail -n +5 "$source/LICENSE")"
gzip -dc "$doc/changelog.Debian.gz" >"$work/changelog"
changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>/dev/null)
check "the changelog reads, and its newest entry is this version" \
  test "$changelog_version" = "$debian_version"

if command -v lintian >/dev/null; then
  lintian --allow-root --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
  errors=$(grep -c '^E: ' "$work/lintian.log")
  check "lintian finds no error" test "$errors" -eq 0
  grep -E '^[EW]: ' "$work/lintian.log" | sed 's/^/     lintian: /'
else
  check "lintian is installed" false
fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed; files in $work"; exit 1; fi
echo "all checks passed"
