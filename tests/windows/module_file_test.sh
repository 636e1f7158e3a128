#!/usr/bin/env bash
# The file Calorix.dll: it exports exactly its four entry points and imports from system DLLs
# only (the C++ runtime is linked in).
#   module_file_test.sh <objdump> <Calorix.dll>
set -euo pipefail
objdump=$1 dll=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$dll")
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
    fail "exports: $exports"

system='^(advapi32|kernel32|msvcrt|ole32|oleaut32|user32|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports found"
while read -r name; do
    [[ $name =~ $system ]] || fail "imports $name, which is not a system DLL"
done <<<"$imports"
echo "exports: $exports; imports: $(tr '\n' ' ' <<<"$imports")"
