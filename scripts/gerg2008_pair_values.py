#!/usr/bin/env python3
"""Check values of GERG-2008 for every binary pair with parameters of its own, from NIST's public
AGA8 code: scripts/gerg2008_pair_values.py NIST_AGA8_C_DIR > tests/unit/data/gerg2008_pairs.csv

NIST_AGA8_C_DIR is a local copy of the folder AGA8CODE/C of NIST's repository usnistgov/AGA8
(GERG2008.cpp, GERG2008.h); nothing is downloaded. The pairs are those of
lineprops/gerg2008_table.h whose reducing parameters are not all 1 or that have a departure
function. Each is taken equimolar at a state in GERG-2008's range where the mixture is a single
gas-like phase and its residual part weighs much: 300 K and 30 MPa where both components are
above their critical temperatures there, else 450 K and 10 MPa where both critical temperatures
are below 450 K, else 600 K and 2 MPa. A small program of ours, compiled with NIST's
GERG2008.cpp, solves its gas root (DensityGERG, flag 0) and gives density, compressibility
factor, speed of sound and isobaric heat capacity, written with 17 significant digits."""
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
DRIVER = r"""
#include <cstdio>
#include <string>
#include <vector>
#include "GERG2008.h"
int main() {
    SetupGERG();
    int i, j;
    double t, p;
    while (std::scanf("%d %d %lf %lf", &i, &j, &t, &p) == 4) {
        std::vector<double> x(22, 0.0);
        x[i + 1] = 0.5;
        x[j + 1] = 0.5;
        double d = 0, pp, z, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt, kappa, a;
        int ierr = 0;
        std::string herr;
        DensityGERG(0, t, p, x, d, ierr, herr);
        if (ierr != 0) { std::printf("%d,%d,%.17g,%.17g,fail\n", i, j, t, p); continue; }
        PropertiesGERG(t, d, x, pp, z, dpdd, d2pdd2, d2pdtd, dpdt, u, h, s, cv, cp, w, g, jt, kappa, a);
        std::printf("%d,%d,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g\n", i, j, t, p, d, z, w, cp);
    }
}
"""


def own_pairs():
    table = (ROOT / "lineprops" / "gerg2008_table.h").read_text()
    reducing = re.findall(r"\{(\d+), (\d+), ([0-9.]+), ([0-9.]+), ([0-9.]+), ([0-9.]+)\}", table)
    pairs = {(int(i), int(j)) for i, j, *values in reducing if any(float(v) != 1.0 for v in values)}
    body = table[table.index("kDeparturePairs{{"):]
    pairs |= {(int(i), int(j)) for i, j in re.findall(r"\{(\d+), (\d+), [0-9.]+, k\w+Departure\}", body)}
    critical = [float(t) for t in re.findall(r'\{"[0-9-]+", "[^"]+", [0-9.]+, ([0-9.]+), ', table)]
    return sorted(pairs), critical


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    nist = pathlib.Path(sys.argv[1]).resolve()
    pairs, critical = own_pairs()
    states = []
    for i, j in pairs:
        hottest = max(critical[i], critical[j])
        t, p = (300.0, 30000.0) if hottest < 280 else (450.0, 10000.0) if hottest < 430 else (600.0, 2000.0)
        states.append(f"{i} {j} {t} {p}")
    with tempfile.TemporaryDirectory() as work:
        source = pathlib.Path(work) / "pairs.cpp"
        source.write_text(DRIVER)
        program = pathlib.Path(work) / "pairs"
        subprocess.run(["g++", "-std=c++17", "-O2", "-w", f"-I{nist}", str(source), str(nist / "GERG2008.cpp"),
                        "-o", str(program)], check=True)
        out = subprocess.run([str(program)], input="\n".join(states) + "\n", capture_output=True, text=True,
                             check=True).stdout
    print("# GERG-2008 equimolar binary mixtures, gas root, from NIST's AGA8 code (GERG2008.cpp) by")
    print("# scripts/gerg2008_pair_values.py: component numbers of lineprops/gerg2008_table.h,")
    print("# T (K), p (kPa), molar density (mol/l), Z, speed of sound (m/s), cp (J/(mol K))")
    print("i,j,temperature_K,pressure_kPa,density_mol_l,z,speed_of_sound_m_s,cp_J_molK")
    sys.stdout.write(out)


if __name__ == "__main__":
    main()
