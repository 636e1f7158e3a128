#!/usr/bin/env bash
# Calorix.dll in the real COM runtime, from a fresh Wine prefix: regsvr32 registers it, a
# VBScript client creates every class by its ProgID and reads the interface name through
# IDispatch's type information, and regsvr32 /u removes every key it wrote.
#   registration_test.sh <folder of Calorix.dll> <client.vbs> <identifiers> <scratch folder>
# <identifiers> lists the module's GUIDs, one a line: none may be left in the registry.
set -euo pipefail
bin=$1 script=$2 identifiers=$3 scratch=$4
wine=/usr/lib/wine/wine64
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml="

rm -rf "$scratch"
mkdir -p "$scratch/module"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
cp "$bin/Calorix.dll" "$bin/varbank2.dll" "$scratch/module/"
cp "$script" "$scratch/client.vbs"
$wine wineboot --init

fail() { echo "FAIL: $*" >&2; exit 1; }
# The machine's registry of the prefix, once Wine has written it to disk.
registry=$WINEPREFIX/system.reg
flush() { /usr/lib/wine/wineserver -w; }

cd "$scratch/module"
$wine regsvr32 /s Calorix.dll || fail "regsvr32 Calorix.dll exited with $?"
flush
grep -qi 'Calorix 1.0 Type Library' "$registry" || fail "the type library was not registered"

# From the module's folder, where the system's search finds varbank2.dll, as it finds a
# simulator's own copy in the simulator's folder.
output=$($wine cscript //nologo ../client.vbs) || fail "the script client failed: $output"
grep -q 'every class created' <<<"$output" || fail "the script client failed: $output"

$wine regsvr32 /s /u Calorix.dll || fail "regsvr32 /u Calorix.dll exited with $?"
flush
left=$(grep -i -F -e 'Calorix' -f "$identifiers" "$registry" || true)
[ -z "$left" ] || fail "keys left after unregistering: $left"
grep -q '^\[Software\\\\Classes\\\\CLSID\]' "$registry" || fail "HKCR\\CLSID is gone"
echo "registered, created by ProgID and unregistered cleanly"
