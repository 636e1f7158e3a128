#!/usr/bin/env bash
# Calorix.Calculator from VBScript and JScript through cscript, in the build's Wine prefix where
# "calorix-host.exe register" registered it: each script calls every method and prints
# "calculator script ok" as its last line when every check held.
#   calculator_scripts_test.sh <wine> <script>...
set -uo pipefail
wine=$1
shift
status=0
for script in "$@"; do
    # cscript takes the script's name in its own folder (Wine's cscript reads no Unix path).
    output=$(cd "$(dirname "$script")" && $wine cscript //nologo "$(basename "$script")" 2>&1)
    echo "$output"
    if ! tail -n 1 <<<"$output" | grep -q 'calculator script ok'; then
        echo "FAIL: $(basename "$script")" >&2
        status=1
    fi
done
exit $status
