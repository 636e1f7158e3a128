"""What the DataFrame and Dask tests share: fluids as a pandas DataFrame with the columns of
calorix-host's CSV batch, the same fluids through `calorix-host batch`, and the comparison of
evaluate_frame's result with its CSV, value by value and bit for bit."""

import csv
import math
import os
import random
import subprocess

import pandas as pd

HOST = os.environ["CALORIX_HOST"]
KEYS = ("overall", "vapour", "hc_liquid", "aqueous", "phase3")


def gas_frame(count, seed, water=False):
    """Pipeline gases (some with water when ``water``) at -10 to 40 degC and 5 to 90 bar; index
    labels are the CSV line numbers the rows get in write_csv (2, 3, ...)."""
    rng = random.Random(seed)
    names = ["methane", "ethane", "propane", "n-butane", "n-hexane", "nitrogen", "124-38-9"] + (["water"] if water else [])
    rows = []
    for i in range(count):
        x = [rng.uniform(70, 95)] + [rng.uniform(0, 6) for _ in names[1:]]
        if water:
            x[-1] = rng.choice([0.0, 0.05, 0.5])
        rows.append({"id": f"gas {i}", "temperature_C": rng.uniform(-10, 40), "pressure_bar": rng.uniform(5, 90),
                     **{n: v / sum(x) for n, v in zip(names, x)}})
    return pd.DataFrame(rows, index=range(2, count + 2))


def write_csv(frame, path):
    """The frame as calorix-host's CSV batch, every number written so that it reads back the same."""
    with open(path, "w", newline="") as out:
        out.write(",".join(frame.columns) + "\n")
        for row in frame.itertuples(index=False):
            out.write(",".join(v if isinstance(v, str) else repr(float(v)) for v in row) + "\n")


def host_batch(frame, tmp_path, *args):
    """calorix-host batch on the frame's fluids: per fluid (in order) either the input error's
    message without its "file:line: " or {class: CSV record}."""
    path = tmp_path / "fluids.csv"
    write_csv(frame, path)
    run = subprocess.run([HOST, "batch", "--fluid", str(path), *args], capture_output=True, text=True)
    assert run.returncode in (0, 1, 2), run.stderr
    fluids = {}
    for record in csv.DictReader(run.stdout.splitlines()):
        number = int(record["fluid"])
        if record["status"].startswith("input error: "):
            fluids[number] = record["status"].split(": ", 2)[2]
        else:
            fluids.setdefault(number, {})[record["class"]] = record
    return [fluids[n] for n in sorted(fluids)]


def same(value, cell):
    """A value of the frame against a cell of the CSV: bit for bit, or both missing."""
    if cell == "":
        return math.isnan(value)
    return value == float(cell)


def assert_frame_equals_host(result, frame, host, phases):
    """evaluate_frame's result (with ``phases`` or without) against host_batch's records."""
    assert len(result) == len(host) == len(frame)
    assert list(result.index) == list(frame.index)
    for label, expected in zip(frame.index, host):
        status = result.loc[label, ("status", "") if phases else "status"]
        if isinstance(expected, str):
            assert status == f"input error: row {label}: {expected}", label
            continue
        for word, record in expected.items():
            if not phases:
                assert same(result.loc[label, word], record["overall"]), (label, word)
                continue
            assert result.loc[label, (word, "status")] == record["status"], (label, word)
            for key in KEYS:
                assert same(result.loc[label, (word, key)], record[key]), (label, word, key)
                assert result.loc[label, (word, f"{key}_status")] == record[f"{key}_status"], (label, word, key)
                assert result.loc[label, (word, f"{key}_reason")] == record[f"{key}_reason"], (label, word, key)
        all_ok = all(r["status"] == "ok" for r in expected.values())
        assert (status == "ok") == all_ok, (label, status)
