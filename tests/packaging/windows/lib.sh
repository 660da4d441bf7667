# Shared by the tests of the Windows packages: the count of failed checks, and the identity
# that every Windows file of the project states (name, version, publisher and copyright in
# its version resource, and the application icon), read back from the file itself with
# windows_files.py and icoutils. Sourced; expects SOURCE (the source tree), VERSION and
# WORK (a scratch directory) to be set.
set -uo pipefail
lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failures=0

check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
finish() {
  if [ $failures -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$failures checks failed"; exit 1
}
windows_files() { python3 "$lib_dir/windows_files.py" "$@"; }

for tool in wrestool icotool convert python3 unzip; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup-debian.sh)"; exit 1; }
done

# What LICENSE says, as the files must state it.
licence_name=$(head -n 1 "$SOURCE/LICENSE")
copyright_line=$(grep -m 1 '^Copyright (c) ' "$SOURCE/LICENSE")
publisher=${copyright_line#Copyright (c) * }

# The pixels of every image of an icon file, one checksum per image in the file's order.
icon_images() {  # file.ico scratch-dir
  rm -rf "$2"; mkdir -p "$2"
  icotool -x -o "$2" "$1" 2>/dev/null || return 1
  local png
  for png in $(ls "$2"/*.png | LC_ALL=C sort); do
    printf '%s %s\n' "$(basename "$png" | grep -o '[0-9]*x[0-9]*x[0-9]*')" "$(convert "$png" rgba:- | md5sum | cut -d' ' -f1)"
  done
}
expected_icon=$(icon_images "$SOURCE/resources/icon101.ico" "$WORK/icons/expected")

# The file's icon (its first icon group, the one Explorer shows) is the application icon.
same_icon() {  # file
  local dir found
  dir="$WORK/icons/$(basename "$1" | tr . _)"
  mkdir -p "$dir"
  wrestool -x --type=14 "$1" 2>/dev/null >"$dir.ico" || return 1
  found=$(icon_images "$dir.ico" "$dir")
  [ -n "$found" ] && [ "$found" = "$expected_icon" ]
}

# Checks the version resource and the icon of a file; $2 names the file in the messages.
check_identity() {  # file label
  local info
  info=$(windows_files version "$1") || { check "$2: a version resource" false; return; }
  check "$2: version $VERSION.0 (file and product)" grep -qxF "fixed $VERSION.0 $VERSION.0" <<<"$info"
  check "$2: ProductName Nightbloom" grep -qxF "ProductName=Nightbloom" <<<"$info"
  check "$2: ProductVersion and FileVersion $VERSION" \
    test "$(grep -cxE "(Product|File)Version=${VERSION//./\\.}" <<<"$info")" -eq 2
  check "$2: CompanyName $publisher" grep -qxF "CompanyName=$publisher" <<<"$info"
  check "$2: LegalCopyright from LICENSE" grep -qxF "LegalCopyright=$copyright_line. $licence_name." <<<"$info"
  check "$2: a FileDescription" grep -qE '^FileDescription=.+' <<<"$info"
  check "$2: the application icon" same_icon "$1"
}
