#!/usr/bin/env bash
# The Windows installer as a user runs it, in a fresh Wine prefix: a silent install into
# Program Files\Calorix, the files and the entry under installed programs, every class created
# by its ProgID from a script client; the same installer again over itself; the silent
# uninstaller, after which no file, no key of ours and no entry is left, and HKCR\CLSID is.
#   windows_installer_test.sh <Windows build folder>   (built with its tests, and makensis)
set -euo pipefail
build=$(realpath "$1")
data=$build/tests/windows   # client.vbs and the identifier lists, written by tests/windows
wine=/usr/lib/wine/wine64
scratch=$build/installer/test
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml="
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --build "$build" --target calorix_installer >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup=$build/installer/calorix-$version-win64-setup.exe
[ -f "$setup" ] || fail "no installer $setup"

rm -rf "$scratch"
mkdir -p "$scratch"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
$wine wineboot --init
cp "$data/client.vbs" "$WINEPREFIX/drive_c/client.vbs"
registry=$WINEPREFIX/system.reg
folder="$WINEPREFIX/drive_c/Program Files/Calorix"
uninstall_key='^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Calorix\]'
files=(Calorix.dll varbank2.dll calorix-host.exe README.md LICENSE uninstall.exe)

installed() {
    local f entry output
    for f in "${files[@]}"; do [ -f "$folder/$f" ] || fail "$1: $f not installed"; done
    entry=$(sed -n "/$uninstall_key/,/^\$/p" "$registry")
    [ -n "$entry" ] || fail "$1: no entry under installed programs"
    for value in '"DisplayName"="Calorix"' "\"DisplayVersion\"=\"$version\"" '"Publisher"="Calorix developers"' \
                 '"QuietUninstallString"=' '"UninstallString"=' '"EstimatedSize"=dword:'; do
        grep -qF "$value" <<<"$entry" || fail "$1: $value not in the installed programs' entry: $entry"
    done
    while read -r id; do grep -qiF "$id" "$registry" || fail "$1: $id not registered"; done <"$data/identifiers.txt"
    grep -qiF "$(head -n 1 "$data/host_identifiers.txt")" "$registry" || fail "$1: CORRMANLib not registered"
    # From the installed folder, where the system's search finds varbank2.dll.
    output=$(cd "$folder" && $wine cscript //nologo 'C:\client.vbs') || fail "$1: the script client: $output"
    grep -q 'every class created' <<<"$output" || fail "$1: the script client: $output"
}

$wine "$setup" /S || fail "the silent install exited with $?"
/usr/lib/wine/wineserver -w
installed "install"
$wine "$setup" /S || fail "the install over itself exited with $?"
/usr/lib/wine/wineserver -w
installed "install over itself"

# The uninstaller copies itself out of the folder and runs from there: wait for every process.
$wine "C:\\Program Files\\Calorix\\uninstall.exe" /S || fail "the silent uninstall exited with $?"
/usr/lib/wine/wineserver -w
[ ! -e "$folder" ] || fail "left after uninstalling: $(ls -A "$folder")"
left=$(grep -i -F -e 'Calorix' -e 'Correlation Manager' -f "$data/identifiers.txt" -f "$data/host_identifiers.txt" \
       "$registry" || true)
[ -z "$left" ] || fail "keys left after uninstalling: $left"
grep -q '^\[Software\\\\Classes\\\\CLSID\]' "$registry" || fail "HKCR\\CLSID is gone"
echo "installed silently, every class created, installed over itself, uninstalled without a trace"
