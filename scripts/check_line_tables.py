#!/usr/bin/env python3
"""Checks lineprops/gerg2008_table.h, lineprops/gerg2008_hydrogen_table.h and
lineprops/detail_table.h: term counts per equation form and departure function, the 210 binary
rows of GERG-2008 in (i, j) order, the hydrogen model's four pairs and its normal-hydrogen
equation (the Planck-Einstein temperatures against the b_k printed by Leachman et al.), the
DETAIL binary rows sorted with i < j, 58 DETAIL terms, and a handful of published values.
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
    hydrogen = (ROOT / "gerg2008_hydrogen_table.h").read_text()
    problems = []
    for name, n in {"kResidual": 14, "kMethaneHydrogenDeparture": 8, "kNitrogenHydrogenDeparture": 8,
                    "kCarbonDioxideHydrogenDeparture": 6, "kCarbonMonoxideHydrogenDeparture": 4,
                    "kBinaryReducing": 4, "kDeparturePairs": 4}.items():
        declared, body = array(hydrogen, name)
        if declared != n or len(re.findall(r"\{", body)) != n:
            problems.append(f"hydrogen model {name}: declared {declared}, expected {n} rows")
    kinds = [(int(l), float(eta) > 0) for l, eta in
             re.findall(r"\{-?[0-9.]+, [0-9.]+, \d, (\d), ([0-9.]+),", array(hydrogen, "kResidual")[1])]
    if kinds != [(0, False)] * 7 + [(1, False)] * 2 + [(0, True)] * 5:
        problems.append("normal hydrogen: not 7 polynomial, 2 exponential and 5 Gaussian terms")
    tc = float(re.search(r"kCriticalTemperature_K = ([0-9.]+);", hydrogen).group(1))
    thetas = [float(v) for v in re.search(r"kIdealTheta_K\{([^}]*)\}", hydrogen).group(1).split(",")]
    printed_b = (-16.0205159149, -22.6580178006, -60.0090511389, -74.9434303817, -206.9392065168)
    if any(abs(-theta / tc - b) > 6e-11 for theta, b in zip(thetas, printed_b, strict=True)):
        problems.append("normal hydrogen: Planck-Einstein temperatures do not give the printed b_k")
    for value in ("-6.93643, 0.6844, 1, 0, 0, 0, 0, 0", "0.0557346, 2.986, 1, 0, 1.607, 1.662, 0.3967, 1.5445",
                  "kIdealA1 = -1.4579856475", "kIdealA2 = 1.888076782", "kCriticalDensity_mol_l = 15.508",
                  "{kMethane, kHydrogen, 1.001, 1.075, 1.033, 1.335}",
                  "{kCarbonMonoxide, kHydrogen, 1.037, 1.04, 1.078, 1.105}",
                  "{-8.67, 0.774, 1, 0, 0.154, 0.08, 0.374, 2.27}", "{-5.506, 1.114, 1, 0, 0.17, 1.55, 0.21, 0.21}",
                  "{-3.17, 2.28, 1, 0, 0.135, 0.14, 1.0, 1.7}", "{4.35, 0.091, 2, 0, 0.344, 0.773, 0.66, 2.23}"):
        if value not in hydrogen:
            problems.append(f"hydrogen model: {value} missing")
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
    print("\n".join(problems) or "GERG-2008, its hydrogen model and DETAIL tables hold their counts, order and sample values")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
