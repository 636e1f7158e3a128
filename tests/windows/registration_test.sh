#!/usr/bin/env bash
# Calorix.dll in the real COM runtime, from a fresh Wine prefix: regsvr32 registers it, a
# VBScript client creates every class by its ProgID and reads the interface name through
# IDispatch's type information, and regsvr32 /u removes every key it wrote. Then the same
# prefix again with "calorix-host.exe register", which also registers the host's type library
# CORRMANLib, and "calorix-host.exe unregister" (twice: a second uninstall finds nothing left
# and succeeds). The module sits in a folder named outside the code page, so its path must
# reach the registry whole, and the script also runs from another folder, where the system's
# search does not find varbank2.dll and the module loads the one beside it.
#   registration_test.sh <folder of Calorix.dll> <client.vbs> <identifiers> <host identifiers>
#                        <scratch folder>
# <identifiers> lists the module's GUIDs, one a line: every one is registered, and none may be
# left in the registry after unregistering. <host identifiers> lists CORRMANLib's, its library
# id first: never written by Calorix.dll.
set -euo pipefail
bin=$1 script=$2 identifiers=$3 host_identifiers=$4 calculator_identifiers=$5 calculator_script=$6 scratch=$7
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml="

rm -rf "$scratch"
module="$scratch/Газ Tools"
mkdir -p "$module" "$scratch/elsewhere"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Every Wine program has a time limit, so that a hang fails the test in minutes.
wine() {
    local status=0
    timeout -k 10 180 /usr/lib/wine/wine64 "$@" || status=$?
    [ $status -ne 124 ] || echo "wine64 $*: no end within 180 s" >&2
    return $status
}
cp "$bin/Calorix.dll" "$bin/varbank2.dll" "$bin/calorix-host.exe" "$bin/CalorixCalc.dll" "$module/"
cp "$script" "$scratch/client.vbs"
cp "$calculator_script" "$scratch/calculator.vbs"
wine wineboot --init

fail() { echo "FAIL: $*" >&2; exit 1; }
host_library=$(head -n 1 "$host_identifiers")
[ -n "$host_library" ] || fail "no library id in $host_identifiers"
# The machine's registry of the prefix, once Wine has written it to disk.
registry=$WINEPREFIX/system.reg
flush() { timeout -k 10 180 /usr/lib/wine/wineserver -w; }
# Every identifier of the file $1 has a key in the registry.
all_registered() {
    local id
    while read -r id; do
        grep -qiF "$id" "$registry" || fail "$2: $id not registered"
    done <"$1"
}
# Nothing of the module or the host is left, and HKCR\CLSID itself is kept.
all_removed() {
    local left
    left=$(grep -i -F -e 'Calorix' -e 'Correlation Manager' -f "$identifiers" -f "$host_identifiers" \
        -f "$calculator_identifiers" "$registry" || true)
    [ -z "$left" ] || fail "$1: keys left after unregistering: $left"
    grep -q '^\[Software\\\\Classes\\\\CLSID\]' "$registry" || fail "$1: HKCR\\CLSID is gone"
}

cd "$module"
wine regsvr32 /s Calorix.dll || fail "regsvr32 Calorix.dll exited with $?"
flush
all_registered "$identifiers" regsvr32
grep -qi 'Calorix 1.0 Type Library' "$registry" || fail "the type library was not registered"
if grep -qiF "$host_library" "$registry"; then fail "Calorix.dll registered CORRMANLib"; fi

# From the module's folder, where the system's search finds varbank2.dll, as it finds a
# simulator's own copy in the simulator's folder.
output=$(wine cscript //nologo ../client.vbs) || fail "the script client failed: $output"
grep -q 'every class created' <<<"$output" || fail "the script client failed: $output"
# The module's path as written into the registry, in Wine's escaped UTF-16 (\x0413 ...).
grep -qiF 'Tools\\Calorix.dll' "$registry" || fail "the module's path is not in the registry"
grep -qF '?? Tools' "$registry" && fail "the module's path went through the code page"
# From another folder: the data server is found beside the module.
output=$(cd "$scratch/elsewhere" && wine cscript //nologo ../client.vbs) ||
    fail "the script client in another folder failed: $output"
grep -q 'every class created' <<<"$output" || fail "the script client in another folder failed: $output"

wine regsvr32 /s /u Calorix.dll || fail "regsvr32 /u Calorix.dll exited with $?"
flush
all_removed "regsvr32 /u"

# The host registers the module beside it and its own type library, and removes both again.
output=$(wine calorix-host.exe register) || fail "calorix-host.exe register failed: $output"
flush
all_registered "$identifiers" "calorix-host.exe register"
grep -qiF "$host_library" "$registry" && grep -qi 'Correlation Manager 1.0 Type Library' "$registry" ||
    fail "CORRMANLib was not registered"
all_registered "$calculator_identifiers" "calorix-host.exe register (the calculator)"
output=$(cd "$scratch/elsewhere" && wine cscript //nologo ../calculator.vbs) ||
    fail "the calculator client failed: $output"
grep -q '^Calorix.Calculator 3[0-9]\.' <<<"$output" || fail "the calculator client failed: $output"
output=$(wine calorix-host.exe unregister) || fail "calorix-host.exe unregister failed: $output"
flush
all_removed "calorix-host.exe unregister"
output=$(wine calorix-host.exe unregister) || fail "a second calorix-host.exe unregister failed: $output"
echo "registered, created by ProgID and unregistered cleanly, by regsvr32 and by calorix-host.exe (with the calculator)"
