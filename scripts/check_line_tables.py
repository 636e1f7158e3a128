#!/usr/bin/env python3
"""Checks lineprops/gerg2008_table.h and lineprops/detail_table.h: term counts per equation
form and departure function, the 210 binary rows of GERG-2008 in (i, j) order, the DETAIL
binary rows sorted with i < j, 58 DETAIL terms, and a handful of published values.
Exit status 0 when all hold; the findings otherwise."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent / "lineprops"


def array(text, name):
    m = re.search(r"std::array<[^,]+, (\d+)> " + name + r"\{\{?(.*?)\}?\};", text, re.S)
    return int(m.group(1)), m.group(2)


def main():
    gerg = (ROOT / "gerg2008_table.h").read_text()
    detail = (ROOT / "detail_table.h").read_text()
    problems = []
    counts = {"kMethaneN": 24, "kNitrogenN": 24, "kEthaneN": 24, "kCarbonDioxideN": 22, "kHydrogenN": 14,
              "kWaterN": 16, "kHeliumN": 12, "kPropaneN": 12, "kDecaneN": 12, "kArgonN": 12,
              "kMethaneEthaneDeparture": 12, "kMethanePropaneDeparture": 9, "kMethaneNitrogenDeparture": 9,
              "kMethaneCarbonDioxideDeparture": 6, "kNitrogenCarbonDioxideDeparture": 6,
              "kNitrogenEthaneDeparture": 6, "kMethaneHydrogenDeparture": 4, "kGeneralizedDeparture": 10}
    for name, n in counts.items():
        declared, body = array(gerg, name)
        numbers = re.findall(r"\{" if "Departure" in name else r"-?\d+\.\d+(?:e-?\d+)?", body)
        if declared != n or len(numbers) != n:
            problems.append(f"{name}: declared {declared}, holds {len(numbers)}, expected {n}")
    pairs = [(int(i), int(j)) for i, j in re.findall(r"\{(\d+), (\d+), [0-9.]+, [0-9.]+, [0-9.]+, [0-9.]+\}",
                                                     array(gerg, "kBinaryReducing")[1])]
    if pairs != [(i, j) for i in range(21) for j in range(i + 1, 21)]:
        problems.append(f"GERG-2008 binary rows: {len(pairs)}, not the 210 pairs in order")
    for value in ("0.57335704239162", "-2.5127658213357e-03", "0.998721377, 1.013950311, 0.99809883, 0.979273013",
                  "5.5527385721943e-05", "0.771035405688", "16.04246, 190.564, 10.139342719"):
        if value not in gerg:
            problems.append(f"GERG-2008: {value} missing")
    terms = re.findall(r"\{(-?[0-9.e-]+), (\d), (\d), (-?[0-9.]+), [01], [01], [01], [01], [01]\},  // (\d+)",
                       detail)
    if [int(t[4]) for t in terms] != list(range(1, 59)):
        problems.append(f"DETAIL: {len(terms)} terms, not 1..58 in order")
    rows = [(int(i), int(j)) for i, j in re.findall(r"\{(\d+), (\d+), [0-9.]+, [0-9.]+, [0-9.]+, [0-9.]+\},",
                                                    detail)]
    if rows != sorted(set(rows)) or any(i >= j for i, j in rows):
        problems.append("DETAIL binary rows not sorted with i < j")
    for value in ("{0.1538326, 1, 0, 0.0", "{0.002850908, 9, 2, 0.0", "151.3183, 0.4619255",
                  "{2, 17, 0.849408, 1.0, 1.0, 1.67309}"):
        if value not in detail:
            problems.append(f"DETAIL: {value} missing")
    print("\n".join(problems) or f"GERG-2008 and DETAIL tables hold their counts, order and sample values")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
