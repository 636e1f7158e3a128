#!/usr/bin/env python3
"""Checks the AR5 and AR6 tables of co2e/gwp_tables.h: keys strictly ascending, every key one
of the AR4 table, the AR5 table holding every AR4 gas and AR6 every AR4 gas but dimethyl ether,
and a handful of factors against the figures the reports print (IPCC AR5 WG1 Table 8.A.1,
100-year, without climate-carbon feedbacks; IPCC AR6 WG1 Table 7.SM.7, 100-year).
Exit status 0 when all hold; the findings otherwise."""
import pathlib
import re
import sys

# CAS key -> (AR5, AR6) as printed.
PRINTED = {
    74828: (28, 29.8),         # methane (AR6: fossil origin)
    10024972: (265, 273),      # nitrous oxide
    124389: (1, 1),            # carbon dioxide
    2551624: (23500, 24300),   # sulphur hexafluoride
    7783542: (16100, 17400),   # nitrogen trifluoride
    811972: (1300, 1530),      # HFC-134a
    75467: (12400, 14600),     # HFC-23
    75730: (6630, 7380),       # PFC-14
    75694: (4660, 6230),       # CFC-11
    425887: (301, 328),        # HFE-254cb1
}
LEFT_OUT_OF_AR6 = {115106}     # dimethyl ether


def table(text, name):
    body = re.search(r"std::array<GwpRow, (\d+)> " + name + r"\{\{(.*?)\}\};", text, re.S)
    rows = [(int(k), float(v)) for k, v in re.findall(r"\{(\d+), ([0-9.]+)\}", body.group(2))]
    return int(body.group(1)), rows


def main():
    text = (pathlib.Path(__file__).resolve().parent.parent / "co2e" / "gwp_tables.h").read_text()
    problems = []
    _, ar4 = table(text, "kAr4Table")
    ar4_keys = [k for k, _ in ar4]
    for column, name, expected_keys in ((0, "kAr5Table", ar4_keys),
                                        (1, "kAr6Table", [k for k in ar4_keys if k not in LEFT_OUT_OF_AR6])):
        size, rows = table(text, name)
        keys = [k for k, _ in rows]
        if size != len(rows):
            problems.append(f"{name}: declared {size} rows, holds {len(rows)}")
        if any(a >= b for a, b in zip(keys, keys[1:])):
            problems.append(f"{name}: keys not strictly ascending")
        if keys != expected_keys:
            problems.append(f"{name}: keys differ from the AR4 table's: {sorted(set(keys) ^ set(expected_keys))}")
        factors = dict(rows)
        for key, printed in PRINTED.items():
            if factors.get(key) != printed[column]:
                problems.append(f"{name}: {key} is {factors.get(key)}, the report prints {printed[column]}")
    if not re.search(r"kAr6NonFossilMethane = 27\.0;", text):
        problems.append("non-fossil methane is not 27.0 (AR6 Table 7.SM.7)")
    print("\n".join(problems) or "AR5 and AR6 tables agree with the AR4 keys and the printed figures")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
