#!/usr/bin/env python3
"""Near-critical reference splits for the host flash's tests, from a separate solver.

Uses the model of scripts/flash_reference.py (the host's constants, interaction parameters and
alpha functions; roots by a grid scan, lowest Gibbs energy), not the host's code or method:
- the mixture critical point by Heidemann and Khalil's criteria (AIChE J. 26, 1980) in
  temperature and volume: the smallest eigenvalue of the Hessian of the Helmholtz energy
  (n dln f_i/dn_j) is 0 and so is the cubic form along its eigenvector, derivatives by
  central differences;
- the split of each state near it by successive substitution on K-values, then Newton's method
  on ln K with the Rachford-Rice share (Jacobian by differences), accepted when it is not the
  trivial solution, lowers the Gibbs energy below the feed's and no nearly pure trial phase
  lies below the tangent plane.
Prints the critical point of each mixture and a C++ table row for every state within 1.5 K
and 200 kPa of it: the share of the phase y (richer in the lighter components) of a split, or
1.0 for one phase stable against every nearly pure trial phase; states whose split lies within
2e-8 of the feed's tangent plane are left out (the flash's check of a trial between -1e-8 and
-1e-11 is tested at the phase boundary instead). tests/host/near_critical_test.cpp holds the
rows. With --boundaries, the temperature of the phase boundary at a pressure just below three of
the critical points instead: split() bisected in temperature to 2e-5 K between a state of the
table with a split and one without (the rows of kBoundaries).

Run: python3 scripts/near_critical_reference.py [--boundaries]
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import flash_reference  # noqa: E402
from flash_reference import R, SQ2, load_components, solve  # noqa: E402


class Model(flash_reference.Model):
    """The reference model with the real roots of the cubic in closed form (Cardano, the
    trigonometric form for three roots), each polished by Newton steps: the grid scan of the
    reference script is too slow for the thousands of evaluations near a critical point."""

    def roots(self, x):
        a = sum(x[i] * x[j] * self.a[i][j] for i in range(self.n) for j in range(self.n))
        b = sum(x[i] * self.b[i] for i in range(self.n))
        A, B = a * self.p / (R * self.t) ** 2, b * self.p / (R * self.t)
        c2, c1, c0 = B - 1, A - 3 * B * B - 2 * B, B ** 3 + B * B - A * B
        q = (3 * c1 - c2 * c2) / 9
        r = (9 * c2 * c1 - 27 * c0 - 2 * c2 ** 3) / 54
        disc = q ** 3 + r * r
        if disc > 0:
            s = math.sqrt(disc)
            zs = [math.copysign(abs(r + s) ** (1 / 3), r + s) + math.copysign(abs(r - s) ** (1 / 3), r - s) - c2 / 3]
        else:
            th = math.acos(max(-1.0, min(1.0, r / math.sqrt(-q ** 3))))
            zs = [2 * math.sqrt(-q) * math.cos((th + 2 * math.pi * k) / 3) - c2 / 3 for k in range(3)]
        f = lambda z: ((z + c2) * z + c1) * z + c0
        out = []
        for z in zs:
            for _ in range(3):
                df = (3 * z + 2 * c2) * z + c1
                if df != 0:
                    z -= f(z) / df
            if z > B:
                out.append(z)
        return a, b, A, B, sorted(out)


def min_tm(m, x):
    """The reference's check, with room for the slow substitution near a critical point."""
    return flash_reference.min_tm(m, x, 2000)


D1, D2 = 1 + SQ2, 1 - SQ2


def ln_f_tv(m, t, v, n):
    """ln f_i (kPa) at temperature t, volume v (m3) and mole numbers n (kmol), model m at t."""
    nt = sum(n)
    b = sum(n[i] * m.b[i] for i in range(m.n))
    d = sum(n[i] * n[j] * m.a[i][j] for i in range(m.n) for j in range(m.n))
    log_term = math.log((v + D1 * b) / (v + D2 * b))
    dl = D1 / (v + D1 * b) - D2 / (v + D2 * b)
    out = []
    for i in range(m.n):
        si = sum(n[j] * m.a[i][j] for j in range(m.n))
        res = (-math.log(1 - b / v) + nt * m.b[i] / (v - b)
               - (2 * si / (2 * SQ2 * b * R * t) - d * m.b[i] / (2 * SQ2 * b * b * R * t)) * log_term
               - d / (2 * SQ2 * b * R * t) * m.b[i] * dl)
        out.append(math.log(n[i] * R * t / v) + res)
    return out


def hessian(m, t, v, n):
    h = 1e-6
    q = [[0.0] * m.n for _ in range(m.n)]
    for j in range(m.n):
        up = n[:]
        dn = n[:]
        up[j] += h
        dn[j] -= h
        fu, fd = ln_f_tv(m, t, v, up), ln_f_tv(m, t, v, dn)
        for i in range(m.n):
            q[i][j] = (fu[i] - fd[i]) / (2 * h)
    return q


def det(q):
    a = [row[:] for row in q]
    n = len(a)
    s = 1.0
    for c in range(n):
        p = max(range(c, n), key=lambda k: abs(a[k][c]))
        if a[p][c] == 0:
            return 0.0
        if p != c:
            a[c], a[p] = a[p], a[c]
            s = -s
        s *= a[c][c]
        for k in range(c + 1, n):
            f = a[k][c] / a[c][c]
            for j in range(c, n):
                a[k][j] -= f * a[c][j]
    return s


def null_vector(q):
    """Vector u with Q u = 0 (Q singular): u_0 = 1, the first n-1 rows of Q u = 0."""
    n = len(q)
    if n == 1:
        return [1.0]
    m = [[q[i][j] for j in range(1, n)] + [-q[i][0]] for i in range(n - 1)]
    for c in range(n - 1):
        p = max(range(c, n - 1), key=lambda k: abs(m[k][c]))
        m[c], m[p] = m[p], m[c]
        for k in range(n - 1):
            if k != c:
                f = m[k][c] / m[c][c]
                for j in range(c, n):
                    m[k][j] -= f * m[c][j]
    u = [1.0] + [m[i][n - 1] / m[i][i] for i in range(n - 1)]
    s = math.sqrt(sum(x * x for x in u))
    return [x / s for x in u]


def spinodal_t(comps, z, v, t_hi):
    """Highest temperature below t_hi at which the Helmholtz Hessian at volume v is singular."""
    f = lambda t: det(hessian(Model(comps, t, 100.0), t, v, z))
    t, ft = t_hi, f(t_hi)
    while t > 30:
        t2 = t - 2.0
        f2 = f(t2)
        if (f2 > 0) != (ft > 0):
            lo, hi = t2, t
            for _ in range(60):
                mid = 0.5 * (lo + hi)
                if (f(mid) > 0) == (f2 > 0):
                    lo = mid
                else:
                    hi = mid
            return 0.5 * (lo + hi)
        t, ft = t2, f2
    raise RuntimeError("no spinodal")


def cubic_form(comps, z, v, t):
    m = Model(comps, t, 100.0)
    u = null_vector(hessian(m, t, v, z))
    s = 1e-3 * min(z)
    g = lambda e: sum(u[i] * f for i, f in enumerate(ln_f_tv(m, t, v, [z[i] + e * u[i] for i in range(m.n)])))
    return (g(s) - 2 * g(0.0) + g(-s)) / (s * s)


def critical_point(comps, z):
    tc = sum(z[i] * comps[i]["tc"] for i in range(len(z)))
    b = sum(z[i] * 0.077796073903888455 * R * comps[i]["tc"] / comps[i]["pc"] for i in range(len(z)))
    t_hi = 1.6 * tc
    c = lambda v: cubic_form(comps, z, v, spinodal_t(comps, z, v, t_hi))
    # The first sign change of the cubic form from the dilute side (further in, where the
    # eigenvector turns over, its sign flips as a whole), then bisection.
    hi = 6.0 * b
    c_hi = c(hi)
    while True:
        lo = hi - 0.1 * b
        c_lo = c(lo)
        if (c_lo > 0) != (c_hi > 0):
            break
        hi, c_hi = lo, c_lo
    for _ in range(40):
        mid = 0.5 * (lo + hi)
        c_mid = c(mid)
        if (c_mid > 0) == (c_lo > 0):
            lo, c_lo = mid, c_mid
        else:
            hi = mid
    v1 = 0.5 * (lo + hi)
    t = spinodal_t(comps, z, v1, t_hi)
    m = Model(comps, t, 100.0)
    a = sum(z[i] * z[j] * m.a[i][j] for i in range(m.n) for j in range(m.n))
    bm = sum(z[i] * m.b[i] for i in range(m.n))
    p = R * t / (v1 - bm) - a / (v1 * v1 + 2 * bm * v1 - bm * bm)
    return t, p


def rachford_rice(z, k):
    lo, hi = 1.0 / (1.0 - max(k)), 1.0 / (1.0 - min(k))
    f = lambda b: sum(z[i] * (k[i] - 1) / (1 + b * (k[i] - 1)) for i in range(len(z)))
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if f(mid) > 0:
            lo = mid
        else:
            hi = mid
    beta = 0.5 * (lo + hi)
    x = [z[i] / (1 + beta * (k[i] - 1)) for i in range(len(z))]
    y = [k[i] * x[i] for i in range(len(z))]
    return beta, x, y


def gibbs(m, x):
    lp, _ = m.ln_phi(x)
    return sum(x[i] * (math.log(x[i]) + lp[i]) for i in range(m.n))


def split(comps, z, t, p):
    """Vapour share, x, y and max |ln K| of the two-phase split, or None."""
    m = Model(comps, t, p)
    best = None
    for scale in (1.0, 0.5, 0.25, 0.1):
        lnk = [scale * w for w in m.wilson]
        for _ in range(300):  # substitution until the K-values settle somewhat
            k = [math.exp(v) for v in lnk]
            if not (min(k) < 1 < max(k)):
                break
            beta, x, y = rachford_rice(z, k)
            new = [a - b for a, b in zip(m.ln_phi(x)[0], m.ln_phi(y)[0])]
            change = max(abs(a - b) for a, b in zip(new, lnk))
            lnk = new
            if change < 1e-6:
                break
        for _ in range(30):  # Newton on ln K
            k = [math.exp(v) for v in lnk]
            if not (min(k) < 1 < max(k)) or max(abs(v) for v in lnk) < 1e-5:
                break

            def residual(lk):
                _, xx, yy = rachford_rice(z, [math.exp(v) for v in lk])
                return [lk[i] - (a - b) for i, (a, b) in enumerate(zip(m.ln_phi(xx)[0], m.ln_phi(yy)[0]))]

            r = residual(lnk)
            if max(abs(v) for v in r) < 1e-13:
                break
            jac = [[0.0] * m.n for _ in range(m.n)]
            for j in range(m.n):
                h = 1e-7 * max(1.0, abs(lnk[j]))
                up = lnk[:]
                up[j] += h
                ru = residual(up)
                for i in range(m.n):
                    jac[i][j] = (ru[i] - r[i]) / h
            d = solve(jac, [-v for v in r])
            step = 1.0
            while step > 1e-3:
                trial = [lnk[i] + step * d[i] for i in range(m.n)]
                kt = [math.exp(v) for v in trial]
                if min(kt) < 1 < max(kt) and max(abs(v) for v in residual(trial)) < max(abs(v) for v in r):
                    break
                step *= 0.5
            lnk = [lnk[i] + step * d[i] for i in range(m.n)]
        k = [math.exp(v) for v in lnk]
        if not (min(k) < 1 < max(k)) or max(abs(v) for v in lnk) < 1e-5:
            continue
        beta, x, y = rachford_rice(z, k)
        res = max(abs(math.log(x[i]) + a - math.log(y[i]) - b)
                  for i, (a, b) in enumerate(zip(m.ln_phi(x)[0], m.ln_phi(y)[0])))
        if not (0 < beta < 1) or res > 1e-10:
            continue
        g = beta * gibbs(m, y) + (1 - beta) * gibbs(m, x)
        if g >= gibbs(m, z) - 1e-14:
            continue
        if best is None or g < best[0]:
            best = (g, beta, x, y, max(abs(v) for v in lnk))
    if best is None:
        return None
    _, beta, x, y, lnk = best
    if min_tm(m, y if beta > 0.5 else x) < -1e-8:
        return None
    return beta, x, y, lnk


MIXTURES = [
    ("methane / propane", ["methane", "propane"], [0.7, 0.3]),
    ("methane / n-butane", ["methane", "n-butane"], [0.8, 0.2]),
    ("methane / ethane / propane", ["methane", "ethane", "propane"], [0.6, 0.25, 0.15]),
    ("methane / ethane / propane / n-butane", ["methane", "ethane", "propane", "n-butane"], [0.5, 0.2, 0.2, 0.1]),
    ("a rich natural gas", ["nitrogen", "carbon dioxide", "methane", "ethane", "propane", "isobutane", "n-butane",
                            "isopentane", "n-pentane", "n-hexane"],
     [0.01, 0.02, 0.80, 0.08, 0.05, 0.01, 0.015, 0.005, 0.005, 0.005]),
]


# Mixture, pressure, a temperature with a split and one without, from the table's states.
BOUNDARIES = [(0, 9924.8, 283.84, 284.59), (2, 8361.2, 275.57, 276.32), (3, 9242.6, 315.90, 316.65)]


def boundaries():
    rows = load_components()
    for mixture, p, t_split, t_none in BOUNDARIES:
        _, names, zin = MIXTURES[mixture]
        comps = [rows[n] for n in names]
        z = [v / sum(zin) for v in zin]
        assert split(comps, z, t_split, p) is not None and split(comps, z, t_none, p) is None
        while abs(t_none - t_split) > 2e-5:
            mid = 0.5 * (t_split + t_none)
            if split(comps, z, mid, p) is None:
                t_none = mid
            else:
                t_split = mid
        print("{%d, %.1f, %.5f}," % (mixture, p, 0.5 * (t_split + t_none)), flush=True)


def main():
    if "--boundaries" in sys.argv[1:]:
        boundaries()
        return
    rows = load_components()
    steps_t = [-1.5, -0.75, 0.0, 0.75, 1.5]
    steps_p = [-200.0, -120.0, -60.0, -30.0, -10.0, 0.0, 10.0, 100.0, 200.0]
    for name, names, zin in MIXTURES:
        comps = [rows[n] for n in names]
        z = [v / sum(zin) for v in zin]
        tc, pc = critical_point(comps, z)
        print("// %s: critical point %.4f K, %.2f kPa" % (name, tc, pc), flush=True)
        for dt in steps_t:
            for dp in steps_p:
                t, p = round(tc + dt, 2), round(pc + dp, 1)
                s = split(comps, z, t, p)
                if s is None:
                    m = Model(comps, t, p)
                    tm = min_tm(m, z)
                    if tm > -1e-10:  # one phase, stable against every nearly pure trial
                        print("{%d, %.2f, %.1f, 1.0},  // one phase, smallest tm %.1e" % (
                            MIXTURES.index((name, names, zin)), t, p, tm), flush=True)
                    else:
                        print("//   %.2f K %.1f kPa: no split found, tm %.1e" % (t, p, tm), flush=True)
                    continue
                beta, x, y, lnk = s
                m = Model(comps, t, p)
                lnz = [math.log(z[i]) + v for i, v in enumerate(m.ln_phi(z)[0])]
                minor = y if beta < 0.5 else x
                tm = sum(w * (math.log(w) + v - lnz[i]) for i, (w, v) in enumerate(zip(minor, m.ln_phi(minor)[0])))
                if tm > -2e-8:  # the flash counts a tangent-plane distance above -1e-8 as none
                    print("//   %.2f K %.1f kPa: a split whose feed lies within 2e-8 of its tangent plane (%.1e)"
                          % (t, p, tm), flush=True)
                    continue
                print("{%d, %.2f, %.1f, %.9f},  // max |ln K| %.3f" % (MIXTURES.index((name, names, zin)), t, p,
                                                                     beta, lnk), flush=True)


if __name__ == "__main__":
    main()
