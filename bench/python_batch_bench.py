#!/usr/bin/env python3
"""Python's ways through many fluids, per fluid: a loop of calorix.evaluate(), calorix.batch() and
calorix.evaluate_frame() on one thread and on two (or --threads), from Fluid objects and from
dicts. Run by hand on the optimised build:

    cmake --build --preset release --target calorix_python
    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_batch_bench.py [--fluids 4000]
        [--correlations iso6976] [--threads 2] [--repeat 3]

Each figure is the best of --repeat runs: wall time per fluid, the processor time of all threads
per fluid, and the speed-up over one thread; a machine busy with other work shows less than its
cores can give. So each run is also taken apart with the scheduler's accounting of each thread
(/proc/self/task/*/schedstat, Linux): "alone" is the calling thread's time per fluid on a
processor plus the time it waited on the helpers rather than for a processor (and at least the
processor time of all threads shared among them), which is what a fluid takes when the run has
its processors to itself; "x alone" is the speed-up that gives over one thread.
"""

import argparse
import glob
import hashlib
import os
import random
import threading
import time
import warnings

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


def threads_time():
    """{thread id: (seconds on a processor, seconds waiting for one)} of this process's threads."""
    times = {}
    for task in glob.glob("/proc/self/task/*/schedstat"):
        try:
            with open(task) as f:
                on, waiting = f.read().split()[:2]
        except OSError:   # a thread that has just ended
            continue
        times[task.split("/")[4]] = (int(on) * 1e-9, int(waiting) * 1e-9)
    return times


def alone(before, after, wall):
    """What a run of `wall` seconds takes with its processors to itself: the calling thread's time
    on a processor plus the time it waited on the helpers (not for a processor), and at least the
    processor time of all threads shared among those that worked."""
    spent = {t: (after[t][0] - before[t][0], after[t][1] - before[t][1]) for t in after if t in before}
    work = sum(on for on, _ in spent.values())
    workers = sum(1 for on, _ in spent.values() if on > 0.01 * work)
    on, waiting = spent.get(str(os.getpid()), (wall, 0.0))
    return max(on + max(0.0, wall - on - waiting), work / max(workers, 1))


def best(repeat, run):
    """The shortest wall time of `repeat` runs, with the processor time (all threads) and the
    time alone (see above) of that run."""
    times = []
    for _ in range(repeat):
        threads = threads_time()
        start, cpu = time.perf_counter(), time.process_time()
        results = run()
        wall, cpu = time.perf_counter() - start, time.process_time() - cpu
        times.append((wall, cpu, alone(threads, threads_time(), wall)))
        del results   # the results are the caller's to keep: letting them go is not timed
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--fluids", type=int, default=4000)
    parser.add_argument("--correlations", default="iso6976")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    import pandas as pd

    warnings.simplefilter("ignore")   # the fluids' own (two phases without the flash), issued by every run
    rows = pipeline_gases(args.fluids)
    dicts = [{"id": r["id"], "temperature_C": r["temperature_C"], "pressure_kPa": r["pressure_kPa"],
              "mole_fractions": {n: r[n] for n in NAMES}} for r in rows]
    fluids = [calorix.Fluid.from_dict(d) for d in dicts]
    frame = pd.DataFrame(rows)
    corr = args.correlations
    calorix.batch(fluids[:8], corr, threads=args.threads)   # loads the module, makes the evaluators

    def per_fluid(label, run, one=None):
        seconds, cpu, by_itself = (t / args.fluids for t in best(args.repeat, run))
        gain = f"  {one[0] / seconds:4.2f}x one thread, {one[1] / by_itself:4.2f}x alone" if one else ""
        print(f"{label:32s} {seconds * 1e6:8.1f} us/fluid ({cpu * 1e6:6.1f} us of processor, "
              f"{by_itself * 1e6:6.1f} alone){gain}")
        return seconds, by_itself

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

    single = best(args.repeat, lambda: hashing(1))[0]
    together = best(args.repeat, lambda: hashing(args.threads))[0] / args.threads
    print(f"{'the machine, wholly parallel work':32s} {single / together:4.2f}x one thread on {args.threads}")


if __name__ == "__main__":
    main()
