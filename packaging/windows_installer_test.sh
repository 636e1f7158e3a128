#!/usr/bin/env bash
# The Windows installer as a user runs it, in a fresh Wine prefix, silently:
# - installers made from broken stages (no varbank2.dll; a varbank2.dll that does not load; a
#   Calorix.dll that is no module) stop with status 2 and a log beside them, and leave nothing
#   installed or registered;
# - an install into a folder of the user's (/D), then the installer again without /D: the
#   upgrade goes into that folder, not into Program Files;
# - the broken Calorix.dll over that install: status 2, a log, and the installed copy works as
#   before;
# - an install into Program Files with /D: the copy moves, its earlier folder is gone;
# - the version strings of every installed file, the installer and the uninstaller in one form,
#   and the uninstaller describing itself as such;
# - every class and the automation calculator registered and created from a script;
# - the silent uninstaller, after which no file, no key of ours (the calculator's included) and
#   no entry is left, and
#   HKCR\CLSID is.
# Every Wine program has a time limit, so that a hang fails the test in minutes.
#   windows_installer_test.sh <Windows build folder>   (built with its tests, and makensis)
set -euo pipefail
build=$(realpath "$1")
packaging=$(dirname "$(realpath "$0")")
data=$build/tests/windows   # client.vbs and the identifier lists, written by tests/windows
scratch=$build/installer/test
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml="
fail() { echo "FAIL: $*" >&2; exit 1; }
limit=180
wine() {
    local status=0
    timeout -k 10 $limit /usr/lib/wine/wine64 "$@" || status=$?
    [ $status -ne 124 ] || echo "wine64 $*: no end within $limit s" >&2
    return $status
}
# Waits for every process of the prefix (the uninstaller copies itself out and runs from there).
settle() { timeout -k 10 $limit /usr/lib/wine/wineserver -w || fail "the prefix did not settle within $limit s"; }

cmake --build "$build" --target calorix_installer >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
makensis=$(sed -n 's/^CALORIX_MAKENSIS:FILEPATH=//p' "$build/CMakeCache.txt")
setup=$build/installer/calorix-$version-win64-setup.exe
stage=$build/installer/stage
[ -f "$setup" ] || fail "no installer $setup"
# The one form of the version strings, Calorix.dll's: "38, 0, 0, 0".
IFS=. read -r major minor patch <<<"$version"
version_string="$major, $minor, $patch, 0"

rm -rf "$scratch"
mkdir -p "$scratch"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT

# Installers of broken stages: the same script and uninstaller, one thing wrong in the files.
broken() {
    local name=$1 dir=$scratch/$1
    mkdir -p "$dir"
    cp -r "$stage" "$dir/stage"
    case $name in
        no-varbank2) rm "$dir/stage/varbank2.dll" ;;
        bad-varbank2) echo "not a module" >"$dir/stage/varbank2.dll" ;;
        bad-calorix) echo "not a module" >"$dir/stage/Calorix.dll" ;;
    esac
    cmake -DSTAGE="$dir/stage" -DOUTFILE="$scratch/calorix-$name-setup.exe" -DSCRIPT="$build/installer/calorix.nsi" \
          -DWORK="$dir" -DMAKENSIS="$makensis" -DUNINSTALLER="$build/installer/work/uninstall.exe" \
          -DQUICK=ON -P "$packaging/make_installer.cmake" >/dev/null
}
for name in no-varbank2 bad-varbank2 bad-calorix; do broken $name; done

wine wineboot --init
cp "$data/client.vbs" "$WINEPREFIX/drive_c/client.vbs"
cp "$data/calculator_version.vbs" "$WINEPREFIX/drive_c/calculator.vbs"
registry=$WINEPREFIX/system.reg
program_files="$WINEPREFIX/drive_c/Program Files/Calorix"
own_folder="$WINEPREFIX/drive_c/Gas Tools/Calorix"
uninstall_key='^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Calorix\]'
files=(uninstall.exe)
while IFS= read -r f; do files+=("$f"); done < <(cd "$stage" && find . -type f -printf '%P\n')

# Everything installed in the folder $2, registered, listed, and every class created.
installed() {
    local f entry output
    for f in "${files[@]}"; do [ -f "$2/$f" ] || fail "$1: $f not installed in $2"; done
    entry=$(sed -n "/$uninstall_key/,/^\$/p" "$registry")
    [ -n "$entry" ] || fail "$1: no entry under installed programs"
    for value in '"DisplayName"="Calorix"' "\"DisplayVersion\"=\"$version\"" '"Publisher"="Calorix developers"' \
                 '"QuietUninstallString"=' '"UninstallString"=' '"EstimatedSize"=dword:'; do
        grep -qF "$value" <<<"$entry" || fail "$1: $value not in the installed programs' entry: $entry"
    done
    while read -r id; do grep -qiF "$id" "$registry" || fail "$1: $id not registered"; done <"$data/identifiers.txt"
    grep -qiF "$(head -n 1 "$data/host_identifiers.txt")" "$registry" || fail "$1: CORRMANLib not registered"
    while read -r id; do
        grep -qiF "$id" "$registry" || fail "$1: the calculator's $id not registered"
    done <"$data/calculator_identifiers.txt"
    # From the installed folder, where the system's search finds varbank2.dll.
    output=$(cd "$2" && wine cscript //nologo 'C:\client.vbs') || fail "$1: the script client: $output"
    grep -q 'every class created' <<<"$output" || fail "$1: the script client: $output"
    output=$(cd "$2" && wine cscript //nologo 'C:\calculator.vbs') || fail "$1: the calculator from a script: $output"
    grep -q '^Calorix.Calculator [0-9]' <<<"$output" || fail "$1: the calculator from a script: $output"
}

# No folder $2, no key of ours, no entry; HKCR\CLSID itself is kept.
nothing_left() {
    local left
    [ ! -e "$2" ] || fail "$1: left in $2: $(ls -A "$2")"
    left=$(grep -i -F -e 'Calorix' -e 'Correlation Manager' -f "$data/identifiers.txt" -f "$data/host_identifiers.txt" \
           -f "$data/calculator_identifiers.txt" "$registry" || true)
    [ -z "$left" ] || fail "$1: keys left: $left"
    grep -q '^\[Software\\\\Classes\\\\CLSID\]' "$registry" || fail "$1: HKCR\\CLSID is gone"
}

# The installer $1, silently, with the arguments after it. Through cmd, since /D= takes the rest
# of the command line as it is and Wine would quote a folder with a space.
run() {
    local setup=$1
    shift
    (cd "$(dirname "$setup")" && wine cmd /c "$(basename "$setup") /S $*")
}

# The installer $1 (with the arguments after it) fails with status 2, and its log, beside it,
# says $2 and then $3.
fails() {
    local setup=$1 reason=$2 outcome=$3 status=0 log text
    shift 3
    log=${setup%.exe}.log
    rm -f "$log"
    run "$setup" "$@" || status=$?
    settle
    [ $status -eq 2 ] || fail "$(basename "$setup"): exited with $status, not 2"
    [ -f "$log" ] || fail "$(basename "$setup"): no log $log"
    text=$(iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r')
    grep -qF "$reason" <<<"$text" || fail "$(basename "$setup"): the log does not say '$reason': $text"
    grep -qF "$outcome" <<<"$text" || fail "$(basename "$setup"): the log does not say '$outcome': $text"
}

# Stopped before anything is registered, and everything rolled back, on a fresh machine.
fails "$scratch/calorix-no-varbank2-setup.exe" "varbank2.dll is missing" "Nothing of Calorix is left installed."
nothing_left "no varbank2.dll" "$program_files"
fails "$scratch/calorix-bad-varbank2-setup.exe" "varbank2.dll cannot be loaded" "Nothing of Calorix is left installed."
nothing_left "a varbank2.dll that does not load" "$program_files"
fails "$scratch/calorix-bad-calorix-setup.exe" "Calorix.dll could not be registered" \
      "Nothing of Calorix is left installed."
nothing_left "a Calorix.dll that does not register" "$program_files"

# Into a folder of the user's, then again without /D: the upgrade stays there.
run "$setup" '/D=C:\Gas Tools\Calorix' || fail "the silent install into C:\\Gas Tools\\Calorix exited with $?"
settle
installed "install into C:\\Gas Tools\\Calorix" "$own_folder"
run "$setup" || fail "the upgrade exited with $?"
settle
installed "upgrade" "$own_folder"
[ ! -e "$program_files" ] || fail "the upgrade went into Program Files"

# A registration that fails on upgrade: the installed copy is put back, registered, and works.
fails "$scratch/calorix-bad-calorix-setup.exe" "Calorix.dll could not be registered" \
      "The installed copy in C:\\Gas Tools\\Calorix is as it was."
installed "after a failed upgrade" "$own_folder"
cmp -s "$stage/Calorix.dll" "$own_folder/Calorix.dll" || fail "the installed Calorix.dll was not put back"
[ ! -e "$program_files" ] || fail "the failed upgrade left files in Program Files"

# Moved into Program Files: nothing is left in the earlier folder.
run "$setup" '/D=C:\Program Files\Calorix' || fail "the install into Program Files exited with $?"
settle
installed "moved into Program Files" "$program_files"
[ ! -e "$own_folder" ] || fail "the earlier folder was left: $(ls -A "$own_folder")"

# The version strings of every file in one form, and what the two programs say they are.
version_strings() {
    python3 - "$1" <<'PY'
import struct, sys
# The string entries of a file's version resource (VS_VERSIONINFO: StringFileInfo, one
# StringTable of String entries, each a length, a value length, a type, a UTF-16 key and value,
# aligned on 32 bits), found by the block's key.
data = open(sys.argv[1], "rb").read()
def wide(at, end):
    text = []
    while at + 1 < end and data[at:at + 2] != b"\0\0":
        text.append(data[at:at + 2])
        at += 2
    return b"".join(text).decode("utf-16-le"), at + 2
align = lambda at: (at + 3) & ~3
block = data.find("StringFileInfo\0".encode("utf-16-le")) - 6
if block < 0:
    sys.exit("no version strings")
table = align(block + 6 + 30)
table_end = table + struct.unpack_from("<H", data, table)[0]
at = align(table + 6 + 18)
while at < table_end:
    length, value_length, _ = struct.unpack_from("<HHH", data, at)
    if length == 0:
        break
    key, value_at = wide(at + 6, at + length)
    value = wide(align(value_at), at + length)[0] if value_length else ""
    print(f"{key}={value}")
    at = align(at + length)
PY
}
programs=("$setup")
for f in "${files[@]}"; do
    case $f in *.exe|*.dll) programs+=("$program_files/$f") ;; esac
done
for path in "${programs[@]}"; do
    f=$(basename "$path")
    strings=$(version_strings "$path") || fail "$f: no version strings"
    for key in FileVersion ProductVersion; do
        grep -qxF "$key=$version_string" <<<"$strings" || fail "$f: $key is not '$version_string': $strings"
    done
    case $f in
        uninstall.exe) description="Calorix $version uninstaller" ;;
        *setup.exe) description="Calorix $version installer" ;;
        *) continue ;;
    esac
    grep -qxF "FileDescription=$description" <<<"$strings" || fail "$f: FileDescription is not '$description': $strings"
done

wine "C:\\Program Files\\Calorix\\uninstall.exe" /S || fail "the silent uninstall exited with $?"
settle
nothing_left "uninstalled" "$program_files"
echo "broken stages stopped and rolled back, upgraded in its own folder, a failed upgrade rolled back," \
     "moved, version strings in one form, uninstalled without a trace"
