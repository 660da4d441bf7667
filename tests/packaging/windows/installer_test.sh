#!/usr/bin/env bash
# The installer of one architecture on a Windows of that architecture: a fresh Wine prefix
# made here (64: a 64-bit Windows run by 64-bit Wine alone; 32: a 32-bit Windows, where this
# machine runs 32-bit programs, else the test is skipped), whose user already has another
# screensaver and Nightbloom settings of their own. Silent install, as an administrator
# deploys it; then what it left: the saver in the system folder the Screen Saver settings
# read, the desktop settings naming it, the entry in the list of installed programs, the
# Start-menu entry; the uninstaller's own identity. 64 also: the 32-bit installer refuses
# a 64-bit Windows (where 32-bit programs run), an install that cannot write the saver fails
# and leaves nothing, the Start-menu entry opens the settings, the installed saver runs /s
# from the system folder (screenshots), installing again leaves one entry. Then the silent
# uninstall that the entry names: every file and entry gone, the
# previous screensaver back, the user's settings kept; 64 also when the previous
# screensaver has gone meanwhile. Ends everything it started, and only that: the Wine
# processes of its own prefix, which it removes.
#   installer_test.sh 64|32 PACKAGES_DIR SOURCE_DIR WORK_DIR VERSION
# Exit 77: skipped (32 on a machine that runs no 32-bit programs).
ARCH=$1 packages=$2 SOURCE=$3 WORK=$4 VERSION=$5
rm -rf "$WORK"
mkdir -p "$WORK"
source "$(dirname "$0")/lib.sh"

case $ARCH in
  64) loader=/usr/lib/wine/wine64; [ -x "$loader" ] || loader=wine64; winearch=win64 ;;
  32)
    # The machine's own answer: the win64 tests force the 64-bit-only path for Wine's tests,
    # which is not what this test asks.
    if ! reason=$(env -u NIGHTBLOOM_WINE64_ONLY bash "$SOURCE/scripts/runs-32bit.sh"); then
      echo "skipped: ${reason#no: }"; exit 77
    fi
    loader=wine; winearch=win32 ;;
  *) echo "usage: installer_test.sh 64|32 PACKAGES_DIR SOURCE_DIR WORK_DIR VERSION" >&2; exit 2 ;;
esac
command -v "$loader" >/dev/null || { echo "FAIL: $loader is not installed (scripts/setup-debian.sh)"; exit 1; }
setup=$packages/nightbloom-$VERSION-win$ARCH-setup.exe
zip=$packages/nightbloom-$VERSION-windows.zip
[ -f "$setup" ] && [ -f "$zip" ] || { echo "FAIL: no packages in $packages (test windows_packages)"; exit 1; }

prefix=$WORK/prefix
# Wine's menu builder would copy the Start-menu entry into this machine's own menus.
export WINEPREFIX=$prefix WINEARCH=$winearch WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
export ALSA_CONFIG_PATH=$SOURCE/cmake/alsa-null.conf
# No display but a private one where a user's eyes are needed: the prefix's virtual desktop
# must not appear on the display other tests drive.
unset DISPLAY
started=()
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  # This prefix is the test's own.
  [ -d "$prefix" ] && { timeout 20 wineserver -k 2>/dev/null; rm -rf "$prefix"; }
}
trap cleanup EXIT
trap 'exit 143' TERM INT

win() { timeout 60 "$loader" "$@" </dev/null 2>>"$WORK/wine.log" | tr -d '\r'; }
# Waits (at most 60 s) until every program of the prefix has ended: an NSIS uninstaller
# runs on from a copy of itself after the one started has returned.
settle() { timeout 60 wineserver -w; }

drive=$prefix/drive_c
system=$drive/windows/system32
sysdir='C:\windows\system32'
saver_path="$sysdir\\nightbloom.scr"
desktop_key='HKCU\Control Panel\Desktop'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nightbloom'
setup_key='HKCU\Software\Lumenfold Software\Nightbloom Setup'
saver_key='HKCU\Software\Lumenfold Software\Nightbloom'
link="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Nightbloom Settings.lnk"
previous="$sysdir\\previous.scr"

# The data of value $2 of key $1 ("" for an empty one); status 1 when there is no such value.
value_of() {
  local found
  found=$(win reg query "$1" /v "$2") || return 1
  grep -q "^    $2    REG_" <<<"$found" || return 1
  sed -n "s/^    $2    REG_[A-Z_]*    //p" <<<"$found"
}
value_is() { [ "$(value_of "$1" "$2")" = "$3" ]; }
no_value() { ! value_of "$1" "$2" >/dev/null; }
no_key() { ! win reg query "$1" >/dev/null 2>&1; }
same_text() { [ "${1,,}" = "${2,,}" ]; }  # Windows paths: any case
# Every file of the Windows drive but Wine's scratch folders.
files_of_drive() {
  (cd "$drive" && find . \( -path ./windows/temp -o -path ./windows/logs -o -path './users/*/Temp' \
                         -o -path './users/*/AppData/Local/Temp' \) -prune -o -type f -print | LC_ALL=C sort)
}

echo "== a fresh $ARCH-bit Windows"
start=$SECONDS
if ! { timeout 240 "$loader" wineboot --init &&
       timeout 60 "$loader" regedit /S "Z:${SOURCE//\//\\}\\cmake\\wine-prefix.reg" &&
       settle; } </dev/null >"$WORK/prefix.log" 2>&1; then
  echo "FAIL: the Wine prefix could not be made"; tail -n 20 "$WORK/prefix.log"; exit 1
fi
echo "     made in $((SECONDS - start)) s"
# The user had chosen another screensaver, kept inactive, and set Nightbloom up before.
printf 'MZ another screensaver\n' >"$system/previous.scr"
win reg add "$desktop_key" /v SCRNSAVE.EXE /d "$previous" /f >/dev/null
win reg add "$desktop_key" /v ScreenSaveActive /d 0 /f >/dev/null
for setting in E:0 F:1 G:0; do
  win reg add "$saver_key" /v "${setting%:*}" /t REG_DWORD /d "${setting#*:}" /f >/dev/null
done
user_settings() { win reg query "$saver_key" | grep -E '^    [A-G]    '; }
settings_before=$(user_settings)
files_before=$(files_of_drive)
unzip -p "$zip" "nightbloom-$VERSION-windows/$ARCH-bit/nightbloom.scr" >"$WORK/expected.scr"

if [ "$ARCH" = 64 ]; then
  if env -u NIGHTBLOOM_WINE64_ONLY bash "$SOURCE/scripts/runs-32bit.sh" --quiet && command -v wine >/dev/null; then
    echo "== the 32-bit installer on this 64-bit Windows"
    timeout 60 wine "Z:$packages/nightbloom-$VERSION-win32-setup.exe" /S </dev/null 2>>"$WORK/wine.log"
    rc=$?
    settle
    check "it refuses (exit code 2, got $rc)" test $rc -eq 2
    check "... and changes no file" test "$(files_of_drive)" = "$files_before"
    check "... nor the desktop settings" value_is "$desktop_key" SCRNSAVE.EXE "$previous"
  else
    echo "== (the 32-bit installer cannot run here: no 32-bit programs)"
  fi
fi

install() {  # [expected exit code]
  local rc
  timeout 120 "$loader" "Z:$setup" /S </dev/null 2>>"$WORK/wine.log"
  rc=$?
  settle
  check "the installer ends with exit code ${1:-0} (got $rc)" test $rc -eq "${1:-0}"
}

if [ "$ARCH" = 64 ]; then
  # As when the saver runs from the file an upgrade must replace (which Wine, unlike
  # Windows, would allow): the install must fail, not skip the file.
  echo "== silent install where nightbloom.scr cannot be written"
  mkdir "$system/nightbloom.scr"
  install 2
  check "no entry among the installed programs" no_key "$uninstall_key"
  check "no other file" test "$(files_of_drive)" = "$files_before"
  check "the desktop settings are unchanged" value_is "$desktop_key" SCRNSAVE.EXE "$previous"
  rmdir "$system/nightbloom.scr"
fi

echo "== silent install"
install
check "nightbloom.scr is in the system folder, the $ARCH-bit program of the zip" cmp -s "$system/nightbloom.scr" "$WORK/expected.scr"
check "... as Windows sees $sysdir" grep -q yes <<<"$(win cmd /c "if exist $saver_path echo yes")"
if [ "$ARCH" = 64 ]; then
  check "... and not in SysWOW64" test ! -e "$drive/windows/syswow64/nightbloom.scr"
fi
check "the desktop settings name it (SCRNSAVE.EXE)" same_text "$(value_of "$desktop_key" SCRNSAVE.EXE)" "$saver_path"
check "... and make it active (ScreenSaveActive 1)" value_is "$desktop_key" ScreenSaveActive 1
check "the screensaver it replaced is kept for the uninstaller" value_is "$setup_key" PreviousScreenSaver "$previous"
check "... with its active flag" value_is "$setup_key" PreviousScreenSaveActive 0

entry=$(win reg query "$uninstall_key")
echo "$entry" | sed -n 's/^    /     /p'
entry_value() { sed -n "s/^    $1    REG_[A-Z_]*    //p" <<<"$entry"; }
uninstaller=$(entry_value UninstallString)
uninstaller=${uninstaller#\"}; uninstaller=${uninstaller%\"}
unix_path() { local p=${1#[Cc]:\\}; printf '%s/%s' "$drive" "${p//\\//}"; }
check "the entry: DisplayName Nightbloom" test "$(entry_value DisplayName)" = Nightbloom
check "the entry: DisplayVersion $VERSION" test "$(entry_value DisplayVersion)" = "$VERSION"
check "the entry: Publisher $publisher" test "$(entry_value Publisher)" = "$publisher"
check "the entry: DisplayIcon is the saver's icon" same_text "$(entry_value DisplayIcon)" "$saver_path,0"
check "the entry: UninstallString names the uninstaller" test -f "$(unix_path "$uninstaller")"
check "the entry: QuietUninstallString is it with /S" test "$(entry_value QuietUninstallString)" = "\"$uninstaller\" /S"
check "the entry: InstallLocation holds it" test "$(unix_path "$(entry_value InstallLocation)")/Uninstall.exe" -ef "$(unix_path "$uninstaller")"
installed_bytes=$(( $(stat -c %s "$system/nightbloom.scr") + $(du -bs "$(dirname "$(unix_path "$uninstaller")")" | cut -f1) ))
size_kb=$(( $(entry_value EstimatedSize) ))
check "the entry: EstimatedSize ${size_kb} KiB is what was installed ($installed_bytes bytes)" \
  test $((size_kb * 1024)) -gt $((installed_bytes - 8192)) -a $((size_kb * 1024)) -lt $((installed_bytes + 8192))
check "the entry: NoModify and NoRepair" test "$(entry_value NoModify)$(entry_value NoRepair)" = 0x10x1
if [ "$ARCH" = 64 ]; then
  check "no entry among the 32-bit programs" no_key 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Nightbloom'
fi
check_identity "$(unix_path "$uninstaller")" "the uninstaller"

shortcut=$(windows_files link "$link" 2>&1)
check "the Start menu has \"Nightbloom Settings\"" test -f "$link"
check "... which runs the saver in the system folder" same_text "$(sed -n 's/^target=//p' <<<"$shortcut")" "$saver_path"
check "... with /c" grep -qxF 'arguments=/c' <<<"$shortcut"
check "... and shows its icon" same_text "$(sed -n 's/^icon=//p' <<<"$shortcut")" "$saver_path"

if [ "$ARCH" = 64 ]; then
  # What a user sees: on a private X server, in the prefix's virtual desktop.
  bash "$SOURCE/tests/platform/sdl/with_private_x.sh" --limit 150 -- \
    bash "$lib_dir/run_installed.sh" "$loader" "$WORK" "$link" "$saver_path"
  check "the Start-menu entry opens the settings and the installed saver runs /s (run_installed.sh)" test $? -eq 0
  settle

  echo "== installing again (an upgrade)"
  install
  entries=$(win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -c '^    DisplayName    REG_SZ    Nightbloom$')
  check "one Nightbloom entry among the installed programs (found $entries)" test "$entries" -eq 1
  check "the screensaver kept for the uninstaller is still the one replaced first" \
    value_is "$setup_key" PreviousScreenSaver "$previous"
fi

uninstall() {
  local quiet path rc
  quiet=$(value_of "$uninstall_key" QuietUninstallString)
  # "C:\...\Uninstall.exe" /S, run as Windows runs it.
  path=${quiet#\"}; path=${path%%\"*}
  timeout 60 "$loader" "$path" "${quiet##*\" }" </dev/null 2>>"$WORK/wine.log"
  rc=$?
  settle
  check "the uninstaller ends with exit code 0 (got $rc)" test $rc -eq 0
  check "every file it installed is gone, and no other" test "$(files_of_drive)" = "$files_before"
  [ "$(files_of_drive)" = "$files_before" ] || diff <(echo "$files_before") <(files_of_drive) | sed 's/^/     /'
  check "the entry among the installed programs is gone" no_key "$uninstall_key"
  check "the uninstaller's record is gone" no_key "$setup_key"
  check "the user's own settings are kept" test "$(user_settings | grep -E '^    [EFG]    ')" = "$settings_before"
}

echo "== silent uninstall"
uninstall
check "the previous screensaver is back" value_is "$desktop_key" SCRNSAVE.EXE "$previous"
check "... inactive, as it was" value_is "$desktop_key" ScreenSaveActive 0
if [ "$ARCH" = 64 ]; then
  check "the device choice the saver saved is kept" test "$(user_settings | grep -cE '^    [ABCD]    REG_SZ')" -eq 4

  echo "== uninstall after the previous screensaver has gone"
  win reg delete "$desktop_key" /v ScreenSaveActive /f >/dev/null
  files_before=$(files_of_drive | grep -vxF ./windows/system32/previous.scr)
  install
  rm -f "$system/previous.scr"
  uninstall
  check "no screensaver is named" no_value "$desktop_key" SCRNSAVE.EXE
  check "the active flag the installer made is gone" no_value "$desktop_key" ScreenSaveActive
fi
finish
