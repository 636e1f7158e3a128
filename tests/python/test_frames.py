"""DataFrames in and out, batches that survive bad fluids, and fluids from NumPy values and
{component: fraction} compositions: the values are calorix-host's, bit for bit."""

import math
import re
import warnings

import numpy as np
import pandas as pd
import pytest

import calorix
from host_batch import KEYS, assert_frame_equals_host, gas_frame, host_batch


def test_a_frame_with_bad_rows_equals_the_command_lines_batch(tmp_path):
    frame = gas_frame(16, seed=34, water=True)
    frame.loc[5, "pressure_bar"] = -3.0                                  # each refused by both, the others go on
    frame.loc[9, "methane"] = 0.2                                        # sums to far less than 1
    frame.loc[14, "ethane"] = -0.01
    host = host_batch(frame, tmp_path, "--correlations", "all", "--flash")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")   # fractions a little off 1 by the refused row's change
        result = calorix.evaluate_frame(frame, "all", flash=True, phases=True, threads=2)
    assert_frame_equals_host(result, frame, host, phases=True)
    assert any(result[(w, "aqueous_status")].eq("ok").any() for w in ("HHV", "Density"))   # the flash found water
    overall = calorix.evaluate_frame(frame, "all", flash=True, threads=1)
    assert_frame_equals_host(overall, frame, host, phases=False)
    assert list(overall.columns) == [c["word"] for c in calorix.correlations() if c["served"]] + ["status"]
    assert overall.attrs["units"]["HHV"] == "MJ/m3"


def test_2016_classes_references_and_us_units_equal_the_command_line(tmp_path):
    frame = gas_frame(40, seed=5)
    host = host_batch(frame, tmp_path, "--edition", "2016", "--ref", "25/0")
    result = calorix.evaluate_frame(frame, "iso6976", edition=2016, ref=(25, 0))
    assert_frame_equals_host(result, frame, host, phases=False)
    us = host_batch(frame, tmp_path, "--correlations", "all", "--output-units", "us")
    assert_frame_equals_host(calorix.evaluate_frame(frame, "all", units="us"), frame, us, phases=False)


def test_percent_cas_numbers_numpy_and_the_id_column():
    frame = gas_frame(30, seed=7)
    dicts = [{"temperature_C": r.temperature_C, "pressure_bar": r.pressure_bar,
              "mole_percent": {c: 100.0 * r[c] for c in frame.columns[3:]}}
             for _, r in frame.iterrows()]
    percent = frame.copy()
    percent[frame.columns[3:]] *= 100.0
    result = calorix.evaluate_frame(percent.drop(columns="id"), "HHV,Density", percent=True)
    for label, d in zip(frame.index, dicts):
        one = calorix.evaluate(d, "HHV,Density")
        assert result.loc[label, "HHV"] == one["HHV"]["overall"] and result.loc[label, "Density"] == one["Density"]["overall"]
    # The same fluid from a NumPy array, NumPy scalars and a {component: fraction} mapping.
    r = frame.iloc[0]
    names = list(frame.columns[3:])
    fluid = calorix.Fluid.from_dict({"id": r["id"], "temperature_C": np.float32(r.temperature_C),
                                     "pressure_bar": np.float64(r.pressure_bar),
                                     "components": [{"name": n} if n[0].isalpha() else {"cas": n} for n in names],
                                     "mole_fractions": r[names].to_numpy(dtype=float)})
    mapped = calorix.Fluid.from_dict({"temperature_C": float(np.float32(r.temperature_C)), "pressure_bar": r.pressure_bar,
                                      "mole_fractions": {n: r[n] for n in names}})
    assert fluid.to_dict()["components"] == mapped.to_dict()["components"] and fluid.id == "gas 0"
    assert calorix.evaluate(fluid, "iso6976") == calorix.evaluate(mapped, "iso6976")


@pytest.mark.parametrize("change, status", [
    ({"methane": math.nan}, "input error: row 2: methane: not a number (NaN)"),
    ({"ethane": "0,05"}, "input error: row 2: ethane: '0,05' is not a number"),
    ({"temperature_C": math.inf}, "input error: row 2: temperature_C: not a finite number"),
    ({"temperature_C": None}, "input error: row 2: temperature_C: not a number (NaN)"),
])
def test_a_bad_cell_gives_its_row_a_status_and_the_others_go_on(change, status):
    frame = gas_frame(3, seed=1).astype(object)
    for column, value in change.items():
        frame.loc[2, column] = value
    result = calorix.evaluate_frame(frame, "HHV")
    assert list(result["status"]) == [status, "ok", "ok"]
    assert math.isnan(result.loc[2, "HHV"]) and result.loc[3, "HHV"] > 30
    with pytest.raises(ValueError, match=re.escape(status.removeprefix("input error: "))):
        calorix.evaluate_frame(frame, "HHV", strict=True)


@pytest.mark.parametrize("columns, message", [
    ({"meter": "M1"}, "columns: components[7]: unknown component 'meter'"),
    ({"pressure_psig": 10.0}, "columns: pressure_psig: unknown unit"),
])
def test_columns_that_refuse_every_row_refuse_the_frame(columns, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        calorix.evaluate_frame(gas_frame(2, seed=1).assign(**columns), "HHV")
    with pytest.raises(ValueError, match="temperature_C: missing"):
        calorix.evaluate_frame(gas_frame(2, seed=1).drop(columns="temperature_C"), "HHV")


def test_an_empty_frame_has_the_columns_of_a_full_one():
    empty = calorix.evaluate_frame(gas_frame(2, seed=1).head(0), "iso6976", phases=True)
    full = calorix.evaluate_frame(gas_frame(2, seed=1), "iso6976", phases=True)
    assert len(empty) == 0 and list(empty.columns) == list(full.columns)
    assert (empty.dtypes == full.dtypes).all()
    assert full[("HHV", "overall")].dtype == float and list(full.columns.get_level_values(1)[:len(KEYS)]) == list(KEYS)


def test_a_batch_gives_an_entry_for_each_bad_fluid_and_goes_on():
    gas = calorix.Fluid.default()
    good = {"id": "dry", "temperature_C": 10.0, "pressure_bar": 40.0, "mole_fractions": {"methane": 0.95, "ethane": 0.05}}
    bad = {"id": "no pressure", "temperature_C": 10.0, "mole_fractions": {"methane": 1.0}}
    inputs = [gas, good, bad, 42, {"temperature_C": math.nan}, dict(good, id="again")]
    out = calorix.batch(inputs, "iso6976", threads=2)
    assert [o.ok for o in out] == [True, True, False, False, False, True]
    assert out[0] == calorix.evaluate(gas, "iso6976") and out[1] == calorix.evaluate(good, "iso6976")
    assert out[5].fluid.id == "again"
    for index, entry_id in ((2, "no pressure"), (3, None), (4, None)):
        with pytest.raises(ValueError) as alone:
            calorix.Fluid.from_dict(inputs[index], source=f"fluids[{index}]")
        assert out[index] == calorix.FluidError(index, entry_id, str(alone.value))
    assert "pressure_kPa: missing" in out[2].message and "not a number (NaN)" in out[4].message
    with pytest.raises(ValueError, match=re.escape("fluids[2]: pressure_kPa: missing")):
        calorix.batch(inputs, "iso6976", strict=True)


def test_a_batch_of_dicts_equals_a_batch_of_fluids_on_any_number_of_threads():
    frame = gas_frame(200, seed=11)
    dicts = [{"id": r["id"], "temperature_C": r["temperature_C"], "pressure_bar": r["pressure_bar"],
              "mole_fractions": {c: r[c] for c in frame.columns[3:]}} for _, r in frame.iterrows()]
    fluids = [calorix.Fluid.from_dict(d) for d in dicts]
    one = calorix.batch(fluids, "iso6976", threads=1)
    for threads in (2, 5):
        many = calorix.batch(dicts, "iso6976", threads=threads)
        assert many == one and [m.status for m in many] == [o.status for o in one]
    frame_values = calorix.evaluate_frame(frame, "iso6976", threads=3)
    assert [r["HHV"]["overall"] for r in one] == list(frame_values["HHV"])


@pytest.mark.parametrize("fluid, message", [
    ({"temperature_C": math.nan, "pressure_kPa": 5000, "mole_fractions": {"methane": 1.0}},
     "fluid: temperature_C: not a number (NaN)"),
    ({"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}],
      "mole_fractions": np.array([np.nan])}, "fluid: mole_fractions[0]: not a number (NaN)"),
    ({"temperature_C": 15, "pressure_kPa": np.inf, "mole_fractions": {"methane": 1.0}},
     "fluid: pressure_kPa: not a finite number"),
    ({"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}],
      "mole_fractions": {"methane": 1.0}}, "mole_fractions: a composition by component beside \"components\""),
    ({"temperature_C": 15, "pressure_kPa": 5000, "mole_fractions": {"methan": 1.0}},
     "components[0]: unknown component 'methan' (did you mean 'methane'?)"),
])
def test_from_dict_names_the_field_of_a_bad_value(fluid, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        calorix.Fluid.from_dict(fluid)
