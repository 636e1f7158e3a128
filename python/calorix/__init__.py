"""Natural-gas properties from the Calorix correlations, for scripts and notebooks.

The same work as the program calorix-host, in-process: fluids with units in their key names,
the host's certified Peng-Robinson flash, every correlation class of the module Calorix.so
(heating values, densities, Wobbe indexes, dew points, ...), batches on every core and
dew-point envelopes. The values are those calorix-host prints, bit for bit: they come from the
same code through the same module.

    import calorix
    gas = calorix.Fluid.default()                 # a pipeline natural gas at 5000 kPa, 15 degC
    results = calorix.evaluate(gas, "iso6976")
    results["HHV"]["overall"]                     # MJ/m3 (results.units["HHV"])

The module Calorix.so is found beside this package (an installed package), else in the build
tree; $CALORIX_MODULE or load_module(path) name another.
"""

import functools as _functools
import os as _os
import warnings as _warnings

try:
    from . import _calorix
except ImportError as _error:
    # The native part serves the one version of Python it was built for, which its file name says.
    import importlib.machinery as _machinery
    import pathlib as _pathlib
    import sys as _sys
    _here = _pathlib.Path(__file__).parent
    _built = sorted(p.name for p in _here.glob("_calorix.*"))
    if not _built or any((_here / ("_calorix" + s)).exists() for s in _machinery.EXTENSION_SUFFIXES):
        raise
    raise ImportError(f"calorix: the native part {', '.join(_built)} was built for another version of Python "
                      f"than this one ({_sys.version.split()[0]})") from _error

__all__ = [
    "__version__", "CalculationError", "Fluid", "FluidError", "Results", "batch", "components", "correlations",
    "envelope", "evaluate", "evaluate_frame", "flash", "load_module", "module_path", "plot_envelope",
]

#: The version of Calorix this package was built from (the version of calorix-host).
__version__ = _calorix.version

Fluid = _calorix.Fluid
CalculationError = _calorix.CalculationError
CalculationError.__doc__ = "A calculation that gave no sound answer (a flash that failed, no dew point at all)."
CalculationError.__module__ = __name__
Fluid.__module__ = __name__


def _made(parsed):
    fluid, warnings = parsed
    for warning in warnings:
        _warnings.warn(warning, stacklevel=3)
    return fluid


def _from_dict(d, normalise=False, source="fluid"):
    """A fluid from a dict with the keys of calorix-host's fluid files.

    Keys: "temperature_C" (or "temperature_K", "temperature_F"), "pressure_kPa" (or
    "pressure_bar", "pressure_MPa", "pressure_psia"), optional "molar_flow_kmol_h",
    "components" (a list of {"name": ...} or {"cas": ..., "mw": ...}), "mole_fractions" (or
    "mole_percent"), optional "phases" ([{"slot", "fraction", "mole_fractions"}]) and "id".
    The composition may instead be {component name or CAS number: fraction}, such as
    ``{"methane": 0.9, "ethane": 0.1}``, without "components". NumPy arrays and scalars are taken
    wherever lists and numbers are. ``normalise`` scales a composition that does not sum to 1
    instead of refusing it. ``source`` names the fluid in messages.

    Raises ValueError with calorix-host's message (source, field, problem) for a bad fluid (NaN
    is "not a number (NaN)" in its field); lesser problems (unknown keys, a sum slightly off 1)
    are issued as warnings.
    """
    return _made(_calorix.fluid_from_object(d, source, normalise))


def _from_json(path, normalise=False):
    """A fluid from a JSON file of calorix-host (``--fluid FILE``); see Fluid.from_dict for the keys.

    Raises ValueError with calorix-host's message, naming the file, the field and the problem.
    """
    return _made(_calorix.read_fluid(_os.fspath(path), normalise))


def _default():
    """calorix-host's embedded default fluid: a pipeline natural gas of twelve components at
    5000 kPa, 15 degC and 1000 kmol/h."""
    return _made(_calorix.parse_fluid(_calorix.default_fluid_json(), "(default fluid)", False))


Fluid.from_dict = staticmethod(_from_dict)
Fluid.from_json = staticmethod(_from_json)
Fluid.default = staticmethod(_default)


class Results(dict):
    """Values of one fluid: ``{class word: {"overall", "vapour", "hc_liquid", "aqueous", "phase3"}}``.

    A value is a float, or None where the phase is absent or its value was not computed; why
    is in ``status``. Attributes (made when first read):

    - ``status``: ``{word: {"status": "ok" or what failed, "overall": {"status": "ok" |
      "absent" | "not computed", "reason": ...}, ..., "display_name", "class_id",
      "result_type", for ISO 6976 classes "iso6976_edition", "reference_temperature_C",
      "combustion_temperature_C", for GERG-2008 classes "model"}}``, as in calorix-host's JSON
      output.
    - ``units``: ``{word: unit}`` ("MJ/m3", "kg/m3", "degC", ...; with ``units="us"`` "Btu/ft3",
      "lb/ft3", "degF", "lb/MMscf", "ft/s", ...).
    - ``fluid``: the fluid as calculated (with the flash's phases when ``flash=True``).
    - ``flash_problem``: why the flash failed, or None.
    - ``ok``: nothing failed (a value may still be missing for a reason, such as no dew point).
    - ``warnings``: what calorix-host warns about for the run and the fluid (also issued with
      the ``warnings`` module: by evaluate() each, by batch() a few of each kind, then a count).
    """

    def __init__(self, native):
        super().__init__(native.values())
        self._native = native

    status = _functools.cached_property(lambda self: self._native.status())
    units = _functools.cached_property(lambda self: self._native.units())
    fluid = _functools.cached_property(lambda self: self._native.fluid)
    flash_problem = property(lambda self: self._native.flash_problem)
    ok = property(lambda self: self._native.ok)
    warnings = _functools.cached_property(lambda self: self._native.warnings)

    def __repr__(self):
        return f"Results({dict.__repr__(self)})"


class FluidError:
    """The entry of batch() for an input that was refused: ``index`` (its place in the input),
    ``id`` (the fluid's "id", or None) and ``message`` (calorix-host's: source, field, problem).
    ``ok`` is False, as for a Results whose calculation failed."""

    __slots__ = ("index", "id", "message")
    ok = False

    def __init__(self, index, id, message):
        self.index, self.id, self.message = index, id, message

    def __eq__(self, other):
        return isinstance(other, FluidError) and (self.index, self.id, self.message) == (other.index, other.id,
                                                                                          other.message)

    def __str__(self):
        return self.message

    def __repr__(self):
        return f"FluidError(index={self.index!r}, id={self.id!r}, message={self.message!r})"


def _references(ref):
    """(ref, ref_temp) for calorix-host's --ref and --ref-temp from the ``ref`` argument."""
    if ref is None:
        return "", ""
    if isinstance(ref, (tuple, list)):
        if len(ref) != 2:
            raise ValueError(f"ref: expected (combustion, metering) degC, got {ref!r}")
        return "/".join(f"{float(t):g}" for t in ref), ""
    if isinstance(ref, str):
        return (ref, "") if "/" in ref else ("", ref)
    if isinstance(ref, (int, float)):
        return "", f"{float(ref):g}"
    raise ValueError(f"ref: expected 15 or 0, 'COMB/MET' or (COMB, MET), got {ref!r}")


def _fluid(fluid):
    return fluid if isinstance(fluid, Fluid) else Fluid.from_dict(fluid)


def _choices(correlations, flash, edition, ref, methane_origin, model, units):
    ref2016, ref1995 = _references(ref)
    if not isinstance(correlations, str):
        correlations = ",".join(correlations)
    return dict(correlations=correlations, flash=bool(flash), edition=str(edition), ref=ref2016, ref_temp=ref1995,
                methane_origin=methane_origin, gerg_model=model, units=str(units))


def evaluate(fluid, correlations="all", flash=False, edition=1995, ref=None, methane_origin="fossil",
             model="gerg2008", units="si"):
    """Run correlations on a fluid; the values calorix-host prints for it.

    fluid: a Fluid, or a dict of a fluid file's keys (see Fluid.from_dict).
    correlations: "all" (every class the module serves), "iso6976" (the eight ISO 6976 classes
        of the edition), or class words: "HHV,HCDewPt" or ["HHV", "HCDewPt"] (case ignored;
        calorix.correlations() lists them).
    flash: replace the fluid's phases by the host's Peng-Robinson flash at its temperature and
        pressure first (else the fluid is taken as given: one vapour phase without "phases").
    edition: 1995 or 2016, the ISO 6976 edition that "iso6976" means.
    ref: reference temperatures of the ISO 6976 classes: 15 or 0 (degC) for the 1995 classes,
        "COMB/MET" or (COMB, MET) for the 2016 classes, such as (25, 0); None: 15 degC (the 2016
        classes with units="us": 15.55/15.55, 60 degF / 60 degF).
    methane_origin: "fossil" or "non-fossil", for the CO2-equivalent class.
    model: equation of the GERG-2008 classes: "gerg2008" (as published) or "gerg2008-h2"
        (GERG-2008 with the 2021 hydrogen binaries); each of their statuses names it ("model").
    units: "si" (the module's units), or "us": US customary units where the quantity has them
        (degF, Btu/ft3, lb/ft3, Btu/lb, Btu/lbmol, lb/h, ft/s; water content in lb/MMscf, per
        standard cubic foot at 60 degF), as calorix-host --output-units us.

    Returns Results: ``{word: {"overall", "vapour", "hc_liquid", "aqueous", "phase3"}}``
    with floats, None where the phase is absent or not computed (see Results.status); a class
    asked for by a word is under that word as written ("WobbeIndex", "hhv"), the classes of
    "all" and "iso6976" under their own words.
    Raises ValueError for an unknown class or a bad edition or ref, RuntimeError when the
    module cannot be loaded. A calculation that fails does not raise: its status says why.
    """
    native = _calorix.evaluate(_fluid(fluid),
                               **_choices(correlations, flash, edition, ref, methane_origin, model, units))
    results = Results(native)
    for warning in results.warnings:
        _warnings.warn(warning, stacklevel=2)
    return results


def _threads(threads):
    if threads is not None and int(threads) < 1:
        raise ValueError(f"threads: expected at least 1, got {threads!r}")
    return int(threads or 0)


def batch(fluids, correlations="all", flash=False, edition=1995, ref=None, methane_origin="fossil", model="gerg2008",
          threads=None, units="si", normalise=False, strict=False):
    """Evaluate many fluids on every core; a list in input order, one entry per fluid.

    fluids: Fluid objects or dicts (see Fluid.from_dict; a dict is read on the worker threads,
    its fluid named "fluids[i]" in messages). The other arguments are those of evaluate();
    ``threads``: worker threads, the calling one among them (None: one per hardware thread);
    ``normalise`` scales the compositions of dicts that do not sum to 1.

    Each entry is the Results of that fluid, equal to evaluate() of it (its ``warnings`` hold
    those of reading a dict), or a FluidError (``index``, ``id``, ``message``) for a dict that is
    no fluid: the others go on. ``strict=True`` reads every input first and raises ValueError at
    the first that is no fluid, naming it, before computing anything. The work runs without the
    GIL: other Python threads go on meanwhile, and Ctrl-C stops the batch.
    """
    # A warning that repeats is issued a few times, then summarised, as calorix-host batch does
    # (the native part tallies them as it takes the results).
    results, shown, summary = _calorix.batch(list(fluids), threads=_threads(threads), normalise=bool(normalise),
                                             strict=bool(strict), wrap=Results, refused=FluidError,
                                             **_choices(correlations, flash, edition, ref, methane_origin, model,
                                                        units))
    for number, warning in shown:
        _warnings.warn(f"fluid {number}: {warning}", stacklevel=2)
    for line in summary:
        _warnings.warn(line, stacklevel=2)
    return results


def evaluate_frame(df, correlations="all", flash=False, edition=1995, ref=None, methane_origin="fossil",
                   model="gerg2008", threads=None, units="si", percent=False, normalise=False, phases=False,
                   strict=False):
    """Evaluate a pandas DataFrame of fluids, one per row; a DataFrame with the input's index.

    Columns, as the columns of calorix-host's CSV batch: an optional "id" (the fluid's label),
    the temperature and the pressure under a key of a fluid file (temperature_C, temperature_K
    or temperature_F; pressure_kPa, pressure_bar, pressure_MPa or pressure_psia, absolute), an
    optional "molar_flow_kmol_h", and one column per component, by name or CAS number, holding
    mole fractions (mole percent with ``percent=True``; ``normalise`` scales rows that do not sum
    to 1). Every other column is taken for a component: select the columns first
    (``df[[...]]``). A missing cell (NaN) is refused as "not a number (NaN)": an absent component
    is 0 (``df.fillna({"ethane": 0})``).

    The other arguments are those of batch(). Returns one column per class with its overall
    value (NaN where there is none; units in ``result.attrs["units"]``) and a column "status":
    "ok" when every class has its overall value, else why not, as calorix-host says it (an input
    error "input error: row LABEL: column: problem", the flash's failure, or "CLASS: reason" for
    each class without a value). With ``phases=True`` the columns are a MultiIndex: per class its
    values ("overall", "vapour", "hc_liquid", "aqueous", "phase3"), "status", and each phase's
    state and reason ("overall_status", "overall_reason", ...), then ("status", ""). A bad row
    gives its status and the others go on; ``strict=True`` raises ValueError at the first bad
    row, naming it, before computing anything. Raises ValueError for columns that would refuse
    every row (no temperature, a column that is no component). Warnings of reading the rows
    are issued as warnings.
    """
    import numpy as np
    import pandas as pd

    columns = [str(c) for c in df.columns]
    rows = [str(label) for label in df.index]
    values = np.full((len(rows), len(columns)), np.nan)
    problems = [""] * len(rows)
    ids = []
    for j, name in enumerate(columns):
        cells = df.iloc[:, j]
        if name == "id":
            ids = ["" if pd.isna(v) else str(v) for v in cells]
            continue
        try:
            values[:, j] = cells.to_numpy(dtype=float, na_value=np.nan)
        except (TypeError, ValueError):
            for i, cell in enumerate(cells):
                try:
                    values[i, j] = np.nan if pd.isna(cell) else float(cell)
                except (TypeError, ValueError):
                    problems[i] = problems[i] or f"row {rows[i]}: {name}: {cell!r} is not a number"
    native = _calorix.evaluate_frame(columns, values, ids, rows, problems, bool(percent), bool(normalise), bool(strict),
                                     bool(phases), threads=_threads(threads),
                                     **_choices(correlations, flash, edition, ref, methane_origin, model, units))
    words = native["classes"]
    if phases:
        keys = ("overall", "vapour", "hc_liquid", "aqueous", "phase3")
        shown = native["values"].reshape(len(rows), len(words), len(keys))
        data = {}
        details = iter(native["details"])
        for c, word in enumerate(words):
            for k, key in enumerate(keys):
                data[(word, key)] = shown[:, c, k]
            for _ in range(1 + 2 * len(keys)):
                _, key, texts = next(details)
                data[(word, key)] = np.array(texts, dtype=object)
        data[("status", "")] = np.array(native["status"], dtype=object)
        out = pd.DataFrame(data, index=df.index)
    else:
        out = pd.DataFrame(native["values"], index=df.index, columns=words)
        out["status"] = np.array(native["status"], dtype=object)
    out.attrs["units"] = dict(zip(words, native["units"]))
    for warning in native["warnings"]:
        _warnings.warn(warning, stacklevel=2)
    return out


def flash(fluid):
    """The host's Peng-Robinson flash of a fluid at its temperature and pressure.

    Returns the phases present, each a dict: "phase" ("vapour", "hc_liquid", "aqueous",
    "phase3"), "slot" (0 to 3), "fraction" (of the fluid's moles), "mole_fractions" (one per
    component, in the order of fluid.components) and "composition" ({component name: mole
    fraction}). Raises CalculationError when the flash cannot certify an answer.
    """
    return _calorix.flash(_fluid(fluid)).phases


def envelope(fluid, pressures_kPa=None, points=40):
    """Hydrocarbon and water dew-point curves of a fluid (calorix-host envelope).

    Each point is one calculation of the HCDewPt and WaterDewPt correlations at that pressure,
    for the fluid's overall composition. pressures_kPa: (FROM, TO) (default 100 kPa to
    max(15000 kPa, 1.2 times the fluid's pressure)); points: 2 to 1000, evenly spaced.

    Returns a dict: "pressure_kPa" (list), "hc_dew_point_C" and "water_dew_point_C" (lists,
    None where there is no dew point), "cricondenbar" and "cricondentherm" ({"pressure_kPa",
    "temperature_C"}, or None when not reached in the range). Raises CalculationError when no
    pressure has a dew point.
    """
    pressures = None if pressures_kPa is None else tuple(float(p) for p in pressures_kPa)
    if pressures is not None and len(pressures) != 2:
        raise ValueError(f"pressures_kPa: expected (FROM, TO), got {pressures_kPa!r}")
    return _calorix.envelope(_fluid(fluid), pressures, int(points))


def plot_envelope(fluid, ax=None, pressures_kPa=None, points=40):
    """Draw a fluid's dew-point envelope with matplotlib; returns the axes.

    Temperature (degC) on x, pressure (kPa) on y: the hydrocarbon and water dew-point curves,
    the cricondenbar and cricondentherm, and the fluid's own point. ``ax``: the axes to draw on
    (default: a new figure's). matplotlib is imported only here.
    """
    fluid = _fluid(fluid)
    env = envelope(fluid, pressures_kPa, points)
    if ax is None:
        import matplotlib.pyplot as plt
        _, ax = plt.subplots(figsize=(7, 5))

    def curve(key):
        pairs = [(p, t) for t, p in zip(env[key], env["pressure_kPa"]) if t is not None]
        if key == "hc_dew_point_C":   # the cricondenbar and cricondentherm lie on this curve
            pairs += [(e["pressure_kPa"], e["temperature_C"]) for e in (env["cricondenbar"], env["cricondentherm"])
                      if e and e["temperature_C"] is not None]
        pairs.sort()
        return [t for _, t in pairs], [p for p, _ in pairs]

    ax.plot(*curve("hc_dew_point_C"), "-", color="tab:blue", label="hydrocarbon dew point")
    ax.plot(*curve("water_dew_point_C"), "--", color="tab:cyan", label="water dew point")
    for key, marker in (("cricondenbar", "^"), ("cricondentherm", ">")):
        point = env[key]
        if point and point["temperature_C"] is not None:
            ax.plot(point["temperature_C"], point["pressure_kPa"], marker, color="tab:red",
                    label=f"{key} {point['pressure_kPa']:.0f} kPa, {point['temperature_C']:.1f} °C")
    ax.plot(fluid.temperature_C, fluid.pressure_kPa, "o", color="black", label="the fluid")
    ax.set_xlabel("temperature / °C")
    ax.set_ylabel("pressure / kPa")
    ax.set_title(f"Dew points of {fluid.id or 'the fluid'}")
    ax.grid(True, alpha=0.3)
    ax.legend(fontsize="small")
    return ax


def components():
    """The host's component list: dicts with "cas", "name", "mw" (kg/kmol), "tc_K", "pc_kPa",
    "omega" (acentric factor) and "class" (200-299 hydrocarbons, 120 water, ...)."""
    return _calorix.components()


def correlations():
    """The correlation classes of the module: dicts with "word" (what evaluate() takes),
    "prog_id", "display_name", "class_id", "result_type", "unit", "iso6976_edition" (1995,
    2016 or None), "family" ("iso6976", "water", "co2e", "line"), "quantity", "groups" (the
    selection words that take the class, ["iso6976"]), "parameters" (the tagged names of its
    options, ["RefConditions"]) and "served" (False for a class the module cannot create): the
    class catalogue's facts."""
    return _calorix.correlations()


def load_module(path=None):
    """Load the correlation module at ``path`` (default: $CALORIX_MODULE, else Calorix.so beside
    this package or in the build tree) for every later call; returns its path. Raises
    RuntimeError when it cannot be loaded. Without a call the default is loaded on first use."""
    return _calorix.load_module(path)


def module_path():
    """The path of the correlation module in use (loading the default one if none is yet)."""
    return _calorix.module_path()
