#!/usr/bin/env bash
# calorix-host.exe under Wine and the native calorix-host give the same bytes for the same
# arguments: JSON and CSV, with and without --flash, for the embedded gas and each fluid file;
# a batch of the fluid files (several worker threads); and a fluid file read from, and an SVG
# written into, a folder whose name is outside the code page. Every class takes part except the
# line-condition classes (GERG-2008, AGA8 DETAIL): their equations run on the C library's exp
# and log, which differ between the two platforms in the last bit, so they are compared to a
# relative 1e-12 instead.
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
# calorix-host.exe under Wine with a time limit, so that a hang fails the test in minutes.
windows_host() {
    local status=0
    timeout -k 10 180 /usr/lib/wine/wine64 "$windows" "$@" || status=$?
    [ $status -ne 124 ] || echo "calorix-host.exe $*: no end within 180 s" >&2
    return $status
}
# Every class word but the line-condition ones, for the byte comparison.
exact=$("$native" correlations | awk '$1 !~ /GERG2008$|Detail$/ {printf "%s%s", sep, $1; sep=","}')
line="ZGERG2008,LineDensityGERG2008,SoundSpeedGERG2008,IsentropicExpGERG2008,ZDetail,LineDensityDetail"
# Both programs with the arguments "$@"; their output and exit status must be the same.
compare() {
    local n w
    "$native" "$@" >native.out 2>native.err && n=0 || n=$?
    windows_host "$@" >windows.out 2>windows.err && w=0 || w=$?
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
            args=(--format "$format" --correlations "$exact")
            [ -n "$fluid" ] && args+=(--fluid "$fluid")
            [ -n "$flash" ] && args+=("$flash")
            compare "${args[@]}"
        done
    done
done

# The line-condition values of each fluid, as given, with --flash and by GERG-2008 with the
# 2021 hydrogen binaries: the same fields, numbers within 1e-12 of each other.
for fluid in "${fluids[@]}"; do
    for variant in "" --flash --gerg-model=gerg2008-h2; do
        args=(--format csv --correlations "$line")
        [ -n "$fluid" ] && args+=(--fluid "$fluid")
        [ -n "$variant" ] && args+=("$variant")
        "$native" "${args[@]}" >native.out 2>/dev/null || true
        windows_host "${args[@]}" >windows.out 2>/dev/null || true
        if ! python3 - native.out windows.out <<'PY'
import csv, sys
rows = [list(csv.reader(open(name, newline=""))) for name in sys.argv[1:]]
def same(a, b):
    try:
        x, y = float(a), float(b)
    except ValueError:
        return a == b
    return abs(x - y) <= 1e-12 * max(abs(x), abs(y))
sys.exit(0 if rows[0] and len(rows[0]) == len(rows[1]) and all(
    len(r) == len(s) and all(same(a, b) for a, b in zip(r, s)) for r, s in zip(*rows)) else 1)
PY
        then
            echo "DIFFERENT line-condition values for ${args[*]}" >&2
            diff native.out windows.out | head -10 >&2 || true
            failed=1
        fi
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
    compare batch --fluid "$folder/batch.json" --format "$format" --correlations "$exact"
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
