#!/usr/bin/env bash
# calorix-host.exe under Wine and the native calorix-host give the same bytes for the same
# arguments: JSON and CSV, with and without --flash, for the embedded gas and each fluid file.
#   host_output_test.sh <native calorix-host> <calorix-host.exe> <scratch folder> <fluid.json>...
# Exit status 77 (skipped) when the native program has not been built.
set -euo pipefail
native=$1 windows=$2 scratch=$3
shift 3
[ -x "$native" ] || { echo "no native calorix-host at $native: skipped"; exit 77; }

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
fluids=("")
for f in "$@"; do
    cp "$f" .
    fluids+=("$(basename "$f")")
done

failed=0
for fluid in "${fluids[@]}"; do
    for format in json csv; do
        for flash in "" --flash; do
            args=(--format "$format" --correlations all)
            [ -n "$fluid" ] && args+=(--fluid "$fluid")
            [ -n "$flash" ] && args+=("$flash")
            "$native" "${args[@]}" >native.out 2>native.err && n=0 || n=$?
            /usr/lib/wine/wine64 "$windows" "${args[@]}" >windows.out 2>windows.err && w=0 || w=$?
            if [ "$n" != "$w" ] || ! cmp -s native.out windows.out; then
                echo "DIFFERENT for ${args[*]}: exit $n and $w" >&2
                diff native.out windows.out | head -20 >&2 || true
                failed=1
            elif [ ! -s native.out ]; then
                echo "no output for ${args[*]} (exit $n): $(head -3 native.err)" >&2
                failed=1
            fi
        done
    done
done
[ $failed -eq 0 ] && echo "calorix-host and calorix-host.exe agree byte for byte"
exit $failed
