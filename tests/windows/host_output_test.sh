#!/usr/bin/env bash
# calorix-host.exe under Wine and the native calorix-host give the same bytes for the same
# arguments: JSON and CSV, with and without --flash, for the embedded gas and each fluid file;
# a batch of the fluid files (several worker threads); and a fluid file read from, and an SVG
# written into, a folder whose name is outside the code page.
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
# Both programs with the arguments "$@"; their output and exit status must be the same.
compare() {
    local n w
    "$native" "$@" >native.out 2>native.err && n=0 || n=$?
    /usr/lib/wine/wine64 "$windows" "$@" >windows.out 2>windows.err && w=0 || w=$?
    if [ "$n" != "$w" ] || ! cmp -s native.out windows.out; then
        echo "DIFFERENT for $*: exit $n and $w" >&2
        diff native.out windows.out | head -20 >&2 || true
        head -3 windows.err >&2
        failed=1
    elif [ ! -s native.out ]; then
        echo "no output for $* (exit $n): $(head -3 native.err)" >&2
        failed=1
    fi
}
for fluid in "${fluids[@]}"; do
    for format in json csv; do
        for flash in "" --flash; do
            args=(--format "$format" --correlations all)
            [ -n "$fluid" ] && args+=(--fluid "$fluid")
            [ -n "$flash" ] && args+=("$flash")
            compare "${args[@]}"
        done
    done
done

# The fluid files, each twice, as one batch in a folder named outside the code page.
folder="Газ Tools"
mkdir -p "$folder"
{
    echo "["
    sep=""
    for f in "${fluids[@]:1}" "${fluids[@]:1}"; do
        printf '%s' "$sep"
        cat "$f"
        sep=","
    done
    echo "]"
} >"$folder/batch.json"
for format in json csv; do
    compare batch --fluid "$folder/batch.json" --format "$format" --correlations all
done
last=${fluids[-1]}
if [ -n "$last" ]; then
    cp "$last" "$folder/"
    # calorix-host.exe runs second: the plot left in the folder is its own.
    compare envelope --fluid "$folder/$last" --svg "$folder/plot.svg" --points 6
    "$native" envelope --fluid "$folder/$last" --svg native.svg --points 6 >/dev/null 2>&1 || true
    if [ ! -s "$folder/plot.svg" ] || ! cmp -s native.svg "$folder/plot.svg"; then
        echo "DIFFERENT or no SVG written into $folder" >&2
        failed=1
    fi
fi
[ $failed -eq 0 ] && echo "calorix-host and calorix-host.exe agree byte for byte"
exit $failed
