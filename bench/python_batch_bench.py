#!/usr/bin/env python3
"""Python's ways through many fluids, per fluid: a loop of calorix.evaluate(), calorix.batch() and
calorix.evaluate_frame() on one thread and on two (or --threads), from Fluid objects and from
dicts. Run by hand on the optimised build:

    cmake --build --preset release --target calorix_python
    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_batch_bench.py [--fluids 4000]
        [--correlations iso6976] [--threads 2] [--repeat 3]

Each figure is the best of --repeat runs: wall time per fluid, the processor time of all threads
per fluid, and the speed-up over one thread; a machine busy with other work shows less than its
cores can give.
"""

import argparse
import hashlib
import random
import threading
import time

import calorix

NAMES = ["methane", "ethane", "propane", "n-butane", "isobutane", "nitrogen", "carbon dioxide"]


def pipeline_gases(count, seed=34):
    rng = random.Random(seed)
    rows = []
    for i in range(count):
        x = [rng.uniform(75, 95)] + [rng.uniform(0, 5) for _ in NAMES[1:]]
        rows.append({"id": f"gas {i}", "temperature_C": rng.uniform(-5, 40), "pressure_kPa": rng.uniform(100, 9000),
                     **{n: v / sum(x) for n, v in zip(NAMES, x)}})
    return rows


def best(repeat, run):
    """The shortest wall time of `repeat` runs, and the processor time (all threads) of that run."""
    times = []
    for _ in range(repeat):
        start, cpu = time.perf_counter(), time.process_time()
        run()
        times.append((time.perf_counter() - start, time.process_time() - cpu))
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--fluids", type=int, default=4000)
    parser.add_argument("--correlations", default="iso6976")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    import pandas as pd

    rows = pipeline_gases(args.fluids)
    dicts = [{"id": r["id"], "temperature_C": r["temperature_C"], "pressure_kPa": r["pressure_kPa"],
              "mole_fractions": {n: r[n] for n in NAMES}} for r in rows]
    fluids = [calorix.Fluid.from_dict(d) for d in dicts]
    frame = pd.DataFrame(rows)
    corr = args.correlations
    calorix.batch(fluids[:8], corr, threads=args.threads)   # loads the module, makes the evaluators

    def per_fluid(label, run, one=None):
        seconds, cpu = (t / args.fluids for t in best(args.repeat, run))
        gain = f"  {one / seconds:4.2f}x one thread" if one else ""
        print(f"{label:32s} {seconds * 1e6:8.1f} us/fluid ({cpu * 1e6:6.1f} us of processor){gain}")
        return seconds

    print(f"{args.fluids} fluids, correlations {corr!r}, calorix {calorix.__version__}")
    per_fluid("loop of evaluate(Fluid)", lambda: [calorix.evaluate(f, corr) for f in fluids])
    per_fluid("loop of evaluate(dict)", lambda: [calorix.evaluate(d, corr) for d in dicts])
    for label, items in (("Fluid", fluids), ("dict", dicts)):
        one = per_fluid(f"batch({label}), 1 thread", lambda: calorix.batch(items, corr, threads=1))
        per_fluid(f"batch({label}), {args.threads} threads", lambda: calorix.batch(items, corr, threads=args.threads),
                  one)
    one = per_fluid("evaluate_frame, 1 thread", lambda: calorix.evaluate_frame(frame, corr, threads=1))
    per_fluid(f"evaluate_frame, {args.threads} threads",
              lambda: calorix.evaluate_frame(frame, corr, threads=args.threads), one)

    # What the machine gives at the moment: work that is wholly parallel (hashing, without the GIL).
    block = bytes(1 << 20)

    def hashing(threads):
        workers = [threading.Thread(target=lambda: [hashlib.sha256(block).digest() for _ in range(200)])
                   for _ in range(threads)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()

    alone = best(args.repeat, lambda: hashing(1))[0]
    together = best(args.repeat, lambda: hashing(args.threads))[0] / args.threads
    print(f"{'the machine, wholly parallel work':32s} {alone / together:4.2f}x one thread on {args.threads}")


if __name__ == "__main__":
    main()
