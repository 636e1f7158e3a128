#!/usr/bin/env python3
"""Throughput of calorix.dask.evaluate on a local Dask cluster of 1, 2, ... worker processes (one
thread each, loopback only), against calorix.evaluate_frame in this process on one thread.
Run by hand on the optimised build:

    cmake --build --preset release --target calorix_python
    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_dask_bench.py [--fluids 40000]
        [--workers 1,2] [--partitions 16] [--correlations iso6976]

Each figure is the best of --repeat runs, after a first run that starts the workers' Python
and loads the module in each.
"""

import argparse
import time

import calorix

NAMES = ["methane", "ethane", "propane", "n-butane", "isobutane", "nitrogen", "carbon dioxide"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--fluids", type=int, default=40000)
    parser.add_argument("--workers", default="1,2")
    parser.add_argument("--partitions", type=int, default=16)
    parser.add_argument("--correlations", default="iso6976")
    parser.add_argument("--repeat", type=int, default=2)
    args = parser.parse_args()

    import dask.dataframe as dd
    import numpy as np
    import pandas as pd
    from distributed import Client, LocalCluster

    import calorix.dask

    rng = np.random.default_rng(34)
    x = rng.uniform(0, 5, (args.fluids, len(NAMES)))
    x[:, 0] = rng.uniform(75, 95, args.fluids)
    frame = pd.DataFrame(x / x.sum(axis=1, keepdims=True), columns=NAMES)
    frame.insert(0, "temperature_C", rng.uniform(-5, 40, args.fluids))
    frame.insert(1, "pressure_kPa", rng.uniform(100, 9000, args.fluids))

    def best(run):
        times = []
        for attempt in range(args.repeat):
            start = time.perf_counter()
            run(attempt)
            times.append(time.perf_counter() - start)
        return min(times)

    def fluids(attempt):
        # Other temperatures on each attempt: the same graph again could find the results of the
        # one before still held by the cluster.
        shifted = frame.assign(temperature_C=frame["temperature_C"] + 1e-6 * attempt)
        return dd.from_pandas(shifted, npartitions=args.partitions)

    print(f"{args.fluids} fluids, correlations {args.correlations!r}, {args.partitions} partitions")
    calorix.evaluate_frame(frame.head(8), args.correlations)
    one = best(lambda _: calorix.evaluate_frame(frame, args.correlations, threads=1))
    print(f"{'this process, one thread':28s} {args.fluids / one:9.0f} fluids/s")
    for workers in (int(w) for w in args.workers.split(",")):
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                          dashboard_address=None) as cluster, Client(cluster):
            calorix.dask.evaluate(fluids(-1), correlations=args.correlations).compute()
            seconds = best(lambda attempt: calorix.dask.evaluate(fluids(attempt), correlations=args.correlations).compute())
        print(f"{f'{workers} worker processes':28s} {args.fluids / seconds:9.0f} fluids/s  "
              f"{one / seconds:4.2f}x one thread")


if __name__ == "__main__":
    main()
