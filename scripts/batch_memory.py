#!/usr/bin/env python3
"""Peak memory of a calorix-host batch: writes N random natural gases to a CSV file, runs
`calorix-host batch` on it with the output thrown away, and prints the child's peak resident set
size (ru_maxrss) with the time taken.

    scripts/batch_memory.py build/release/bin/calorix-host 100000 [extra calorix-host options]
"""
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

COMPONENTS = ["methane", "ethane", "propane", "n-butane", "isobutane", "n-pentane", "nitrogen", "carbon dioxide"]


def write_fluids(path, count):
    rng = random.Random(19)
    with open(path, "w", encoding="ascii") as out:
        out.write("id,temperature_C,pressure_bar," + ",".join(COMPONENTS) + "\n")
        for i in range(count):
            heavy = [rng.randrange(0, 40000) for _ in COMPONENTS[1:]]  # millionths
            fractions = [1000000 - sum(heavy)] + heavy
            out.write(f"f{i},{rng.uniform(-10, 40):.2f},{rng.uniform(10, 100):.1f},"
                      + ",".join(f"{x / 1e6:.6f}" for x in fractions) + "\n")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    program, count, extra = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    with tempfile.TemporaryDirectory() as folder:
        fluids = os.path.join(folder, "fluids.csv")
        write_fluids(fluids, count)
        start = time.monotonic()
        with open(os.devnull, "wb") as sink:
            status = subprocess.call([program, "batch", "--fluid", fluids, *extra], stdout=sink, stderr=sink)
        seconds = time.monotonic() - start
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    print(f"{count} fluids, options {' '.join(extra) or '(none)'}: exit status {status}, "
          f"peak resident memory {peak_kib / 1024:.1f} MiB, {seconds:.1f} s")


if __name__ == "__main__":
    main()
