#!/usr/bin/env bash
# GERG-2008 and DETAIL against NIST's public AGA8 code, measured side by side in one run:
#   scripts/bench_line_conditions.sh [NIST_AGA8_C_DIR]
# NIST_AGA8_C_DIR is a local copy of the folder AGA8CODE/C of NIST's repository usnistgov/AGA8
# (GERG2008.cpp, Detail.cpp); nothing is downloaded. It is compiled with the same optimised
# flags into line_conditions_bench (build/line-bench), which then runs both codes on the same
# pipeline gas at 288.15 K and 5 MPa, with the mixture kept between calls and set up on every
# call, and prints each model's CPU time over NIST's. Without the argument only Calorix's
# engines run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
nist=""
if [ $# -ge 1 ]; then
    nist=$(cd "$1" && pwd)
    for f in GERG2008.cpp GERG2008.h Detail.cpp Detail.h; do
        [ -f "$nist/$f" ] || { echo "$nist/$f: missing (give the folder AGA8CODE/C)" >&2; exit 2; }
    done
fi
build="$root/build/line-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALORIX_BUILD_PYTHON=OFF \
      -DCALORIX_NIST_AGA8_DIR="$nist" >/dev/null
cmake --build "$build" --target line_conditions_bench -j2 >/dev/null
json="$build/line_conditions_bench.json"
# Wall and CPU time both suffer on a shared machine: the load is printed beside the figures.
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bin/line_conditions_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json
python3 - "$json" <<'PY'
import json, sys
runs = {b["run_name"]: b["cpu_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
print("\nmedian CPU time (ns); Calorix over NIST")
for model in ("Gerg2008", "Detail"):
    for case in ("MixtureKept", "SetUpEveryCall"):
        ours, nist = runs.get(f"BM_{model}_{case}"), runs.get(f"BM_Nist{model}_{case}")
        ratio = f"{ours / nist:.2f}x" if ours and nist else "-"
        print(f"{model:9} {case:15} {ours or 0:9.0f} {nist or 0:9.0f}  {ratio}")
PY
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
