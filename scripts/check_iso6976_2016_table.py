#!/usr/bin/env python3
"""Checks calorific/iso6976_2016_table.h against chemistry: every molar mass equals the sum of
the atomic weights of ISO 6976:2016 Table A.2 over the component's formula, every hydrogen count
matches the formula, the 15.55 degC columns lie between (and near the interpolation of) their
15 and 20 degC neighbours, hydrogen, helium and neon have s = -0.01, keys are sorted.
Exit status 0 when all hold; the findings otherwise."""
import pathlib
import re
import sys

ATOMIC_WEIGHT = {"C": 12.0107, "H": 1.00794, "N": 14.0067, "O": 15.9994, "S": 32.065,
                 "He": 4.002602, "Ne": 20.1797, "Ar": 39.948}
FORMULA = {
    67561: "CH4O", 71432: "C6H6", 74828: "CH4", 74840: "C2H6", 74851: "C2H4", 74862: "C2H2",
    74908: "CHN", 74931: "CH4S", 74986: "C3H8", 75150: "CS2", 75285: "C4H10", 75832: "C6H14",
    78784: "C5H12", 79298: "C6H14", 95476: "C8H10", 96140: "C6H14", 96377: "C6H12", 100414: "C8H10",
    106978: "C4H10", 106989: "C4H8", 106990: "C4H6", 107835: "C6H14", 108872: "C7H14", 108883: "C7H8",
    109660: "C5H12", 109671: "C5H10", 110543: "C6H14", 110827: "C6H12", 111659: "C8H18",
    111842: "C9H20", 112403: "C12H26", 115071: "C3H6", 115117: "C4H8", 124185: "C10H22",
    124389: "CO2", 142825: "C7H16", 287923: "C5H10", 463490: "C3H4", 463581: "COS",
    463821: "C5H12", 590181: "C4H8", 590192: "C4H6", 624646: "C4H8", 629505: "C13H28",
    629594: "C14H30", 629629: "C15H32", 630080: "CO", 1120214: "C11H24", 1333740: "H2",
    1640897: "C7H14", 1678917: "C8H16", 7440019: "Ne", 7440371: "Ar", 7440597: "He",
    7446095: "O2S", 7664417: "H3N", 7727379: "N2", 7732185: "H2O", 7782447: "O2", 7783064: "H2S",
}
ROW = re.compile(r"\{(\d+), \{([-0-9.]+), (\d+), \{([^}]*)\}, \{([^}]*)\}\}\}")


def atoms(formula):
    return {e: int(n or 1) for e, n in re.findall(r"([A-Z][a-z]?)(\d*)", formula)}


def main():
    header = pathlib.Path(__file__).resolve().parent.parent / "calorific" / "iso6976_2016_table.h"
    rows = [(int(k), float(m), int(h), [float(v) for v in s.split(",")], [float(v) for v in g.split(",")])
            for k, m, h, s, g in ROW.findall(header.read_text())]
    problems = []
    if len(rows) != len(FORMULA):
        problems.append(f"{len(rows)} rows, expected {len(FORMULA)}")
    if [r[0] for r in rows] != sorted(FORMULA):
        problems.append("keys not sorted or not the expected ones")
    for key, molar_mass, hydrogen, s, gross in rows:
        a = atoms(FORMULA.get(key, ""))
        computed = sum(ATOMIC_WEIGHT[e] * n for e, n in a.items())
        if abs(computed - molar_mass) > 5e-6:
            problems.append(f"{key}: molar mass {molar_mass} != {computed:.6f} from the atomic weights")
        if a.get("H", 0) != hydrogen:
            problems.append(f"{key}: {hydrogen} hydrogen atoms, formula has {a.get('H', 0)}")
        if not min(s[1], s[3]) <= s[2] <= max(s[1], s[3]):
            problems.append(f"{key}: s(15.55) outside s(15)..s(20)")
        if not min(gross[1], gross[3]) <= gross[2] <= max(gross[1], gross[3]) or \
                abs(gross[2] - (gross[1] + (gross[3] - gross[1]) * 0.55 / 5)) > 0.015:
            problems.append(f"{key}: gross(15.55) does not fit between 15 and 20 degC")
        if key in (1333740, 7440597, 7440019) and s != [-0.01] * 4:
            problems.append(f"{key}: summation factors {s}, not -0.01")
    print("\n".join(problems) or f"{len(rows)} rows agree with the atomic weights and each other")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
