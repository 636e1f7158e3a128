"""The Python package calorix against calorix-host: the same values bit for bit, the same
messages, batches equal to one fluid at a time, and the envelope plot."""

import json
import os
import random
import re
import subprocess
import warnings
from pathlib import Path

import pytest

import calorix

HOST = os.environ["CALORIX_HOST"]
DATA = Path(os.environ["CALORIX_TEST_DATA"])
WET_GAS = DATA / "wet_gas_two_phases.json"


def host(*args, check_status=(0,)):
    run = subprocess.run([HOST, *args], capture_output=True, text=True)
    assert run.returncode in check_status, run.stderr
    return run


def host_json(*args):
    # Exit status 1 when a class fails on the fluid: the document is still written.
    return json.loads(host("--format", "json", *args, check_status=(0, 1)).stdout)


def assert_same_as_host(results, document):
    """Every class of calorix-host's JSON, value by value (floats compared exactly)."""
    assert [c["class"] for c in document["correlations"]] == list(results)
    for c in document["correlations"]:
        word = c["class"]
        assert results.status[word]["status"] == c["status"], word
        assert results.units[word] == c["unit"], word
        for phase, shown in c["phases"].items():
            assert results.status[word][phase]["status"] == shown["status"], (word, phase)
            assert results.status[word][phase].get("reason") == shown.get("reason"), (word, phase)
            assert results[word][phase] == shown.get("value"), (word, phase)


def test_version_components_and_classes():
    assert host("--version").stdout.split() == ["calorix-host", calorix.__version__]
    names = [c["name"] for c in calorix.components()]
    assert "methane" in names and "water" in names
    listed = [line.split()[0] for line in host("correlations").stdout.splitlines()]
    classes = calorix.correlations()
    assert [c["word"] for c in classes] == listed
    hhv = next(c for c in classes if c["word"] == "HHV")
    assert hhv["unit"] == "MJ/m3" and hhv["iso6976_edition"] == 1995 and hhv["display_name"]


def test_default_gas_equals_the_command_line():
    results = calorix.evaluate(calorix.Fluid.default(), "all")
    assert_same_as_host(results, host_json("--correlations", "all"))
    assert results.ok and results.flash_problem is None
    assert results["HHV"]["overall"] > 30 and results["HHV"]["aqueous"] is None


def test_wet_gas_with_flash_equals_the_command_line():
    wet = calorix.Fluid.from_json(WET_GAS)
    results = calorix.evaluate(wet, "all", flash=True)
    document = host_json("--correlations", "all", "--flash", "--fluid", str(WET_GAS))
    assert_same_as_host(results, document)
    shown = document["fluid"]["phases"]
    assert {p["phase"]: p["fraction"] for p in results.fluid.phases} == {k: v["fraction"] for k, v in shown.items()}
    assert [p["phase"] for p in calorix.flash(wet)] == list(shown)


@pytest.mark.parametrize("edition, ref, host_args", [
    (2016, (25, 0), ["--edition", "2016", "--ref", "25/0"]),
    (2016, "20/20", ["--edition", "2016", "--ref", "20/20"]),
    (1995, 0, ["--ref-temp", "0"]),
])
def test_editions_and_references_equal_the_command_line(edition, ref, host_args):
    results = calorix.evaluate(calorix.Fluid.default(), "iso6976", edition=edition, ref=ref)
    assert_same_as_host(results, host_json(*host_args))


@pytest.mark.parametrize("ref, host_args, metering", [(None, [], 15.55), ((15, 0), ["--ref", "15/0"], 0.0)])
def test_us_units_equal_the_command_line(ref, host_args, metering):
    words = "HHV2016,WaterContentMg,SoundSpeedGERG2008,CO2EAR5,HCDewPt"
    wet = calorix.Fluid.from_json(WET_GAS)
    results = calorix.evaluate(wet, words, ref=ref, units="us")
    assert_same_as_host(results, host_json("--correlations", words, "--fluid", str(WET_GAS), "--output-units", "us",
                                           *host_args))
    assert results.units["WaterContentMg"] == "lb/MMscf" and results.units["SoundSpeedGERG2008"] == "ft/s"
    assert results.status["HHV2016"]["reference_temperature_C"] == metering
    assert calorix.batch([wet], words, ref=ref, units="us")[0] == results


def test_gerg_model_equals_the_command_line_and_is_named(tmp_path):
    blend = {"temperature_C": 15, "pressure_bar": 80, "components": [{"name": "methane"}, {"name": "hydrogen"}],
             "mole_fractions": [0.8, 0.2]}
    path = tmp_path / "blend.json"
    path.write_text(json.dumps(blend))
    words = "ZGERG2008,SoundSpeedGERG2008,ZDetail"
    results = calorix.evaluate(blend, words, model="gerg2008-h2")
    assert_same_as_host(results, host_json("--correlations", words, "--gerg-model", "gerg2008-h2", "--fluid", str(path)))
    assert results.status["ZGERG2008"]["model"] == "GERG-2008 with the 2021 hydrogen binaries"
    assert "model" not in results.status["ZDetail"]
    assert calorix.evaluate(blend, words).status["SoundSpeedGERG2008"]["model"] == "GERG-2008"


def test_a_class_asked_for_by_a_word_is_under_that_word():
    """"WobbeIndex" (the 1995 class WobbleIndex) and "hhv" come back under the words asked for,
    with the values of the classes' own words, in every front end; a group's classes keep theirs."""
    gas = calorix.Fluid.default()
    with pytest.warns(UserWarning, match="taken as the class WobbleIndex"):
        asked = calorix.evaluate(gas, "WobbeIndex, hhv")
    own = calorix.evaluate(gas, "WobbleIndex,HHV")
    assert list(asked) == ["WobbeIndex", "hhv"]
    assert list(asked.values()) == list(own.values())
    assert list(asked.status.values()) == list(own.status.values()) and list(asked.status) == list(asked)
    assert list(asked.units) == list(asked)
    with pytest.warns(UserWarning, match="taken as the class WobbleIndex"):
        assert calorix.batch([gas], "WobbeIndex, hhv", threads=1)[0] == asked
    with pytest.warns(UserWarning, match="taken as the class WobbleIndex"):
        mixed = calorix.evaluate(gas, "iso6976,WobbeIndex")
    assert "WobbeIndex" in mixed and "WobbleIndex" not in mixed and "HHV" in mixed
    import pandas as pd
    frame = pd.DataFrame([{"temperature_C": 15.0, "pressure_kPa": 5000.0, "methane": 0.9, "ethane": 0.1}])
    with pytest.warns(UserWarning, match="taken as the class WobbleIndex"):
        table = calorix.evaluate_frame(frame, "WobbeIndex,hhv", phases=True)
    assert list(table.columns.get_level_values(0).unique()) == ["WobbeIndex", "hhv", "status"]
    assert table.attrs["units"] == {"WobbeIndex": "MJ/m3", "hhv": "MJ/m3"}


def test_flash_gives_each_phase_with_its_composition():
    phases = calorix.flash(calorix.Fluid.from_json(WET_GAS))
    assert {p["phase"] for p in phases} >= {"vapour", "aqueous"}
    assert sum(p["fraction"] for p in phases) == pytest.approx(1.0)
    for p in phases:
        assert sum(p["composition"].values()) == pytest.approx(1.0)
    aqueous = next(p for p in phases if p["phase"] == "aqueous")
    assert max(aqueous["composition"], key=aqueous["composition"].get) == "water"


BAD_FLUIDS = [
    {"pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1.0]},
    {"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methan"}], "mole_fractions": [1.0]},
    {"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}, {"name": "ethane"}],
     "mole_fractions": [0.5, 0.2]},
    {"temperature_C": 15, "pressure_kPa": -1, "components": [{"name": "methane"}], "mole_fractions": [1.0]},
    {"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "methane"}], "mole_fractions": [1.0],
     "phases": [{"slot": 7, "fraction": 1.0, "mole_fractions": [1.0]}]},
]


def test_line_values_say_where_they_lie_in_the_models_range(tmp_path):
    gas = {"temperature_C": 15, "pressure_bar": 50, "components": [{"name": "methane"}, {"name": "hydrogen"}],
           "mole_fractions": [0.8, 0.2]}
    path = tmp_path / "hydrogen.json"
    path.write_text(json.dumps(gas))
    words = "ZGERG2008,CpGERG2008,EnthalpyGERG2008,ZDetail,SoundSpeedDetail,JouleThomsonDetail"
    results = calorix.evaluate(calorix.Fluid.from_dict(gas), words)
    assert_same_as_host(results, host_json("--correlations", words, "--fluid", str(path)))
    assert results.status["ZGERG2008"]["status"] == "ok"
    assert results.status["SoundSpeedDetail"]["status"] == "ok (extended range: hydrogen 20 % above 10 %)"
    assert results["EnthalpyGERG2008"]["overall"] < 0 < results["CpGERG2008"]["overall"]


@pytest.mark.parametrize("fluid", BAD_FLUIDS)
def test_a_bad_fluid_raises_the_command_lines_message(fluid, tmp_path):
    path = tmp_path / "bad.json"
    path.write_text(json.dumps(fluid))
    refused = host("--fluid", str(path), check_status=(2,))
    with pytest.raises(ValueError) as from_file:
        calorix.Fluid.from_json(path)
    assert refused.stderr.strip() == f"calorix-host: {from_file.value}"
    with pytest.raises(ValueError) as from_dict:
        calorix.Fluid.from_dict(fluid)
    assert str(from_dict.value) == str(from_file.value).replace(str(path), "fluid")


@pytest.mark.parametrize("call, message", [
    (lambda gas: calorix.evaluate(gas, "HVV"), "did you mean 'HHV'"),
    (lambda gas: calorix.evaluate(gas, "iso6976", edition=2000), "neither 1995 nor 2016"),
    (lambda gas: calorix.evaluate(gas, "iso6976", edition=2016, ref=(30, 15)), "not a pair COMB/MET"),
    (lambda gas: calorix.evaluate(gas, "iso6976", ref=5), "neither 15 nor 0"),
    (lambda gas: calorix.envelope(gas, pressures_kPa=(500, 100)), "0 < FROM < TO"),
    (lambda gas: calorix.envelope(gas, points=1), "2 to 1000"),
    (lambda gas: calorix.batch([gas], threads=0), "at least 1"),
    (lambda gas: calorix.evaluate(gas, "HHV", units="imperial"), "expected 'si' or 'us'"),
    (lambda gas: calorix.evaluate(gas, "ZGERG2008", model="gerg2004"), "expected gerg2008 or gerg2008-h2"),
    (lambda gas: calorix.Fluid.from_dict({"temperature_C": object()}), "not a fluid of JSON values"),
])
def test_bad_arguments_raise_value_error(call, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        call(calorix.Fluid.default())


def test_a_module_that_cannot_be_loaded_raises_and_the_default_comes_back(tmp_path):
    in_use = calorix.module_path()
    with pytest.raises(RuntimeError, match="cannot load"):
        calorix.load_module(str(tmp_path / "Calorix.so"))
    assert calorix.module_path() == in_use
    assert calorix.load_module() == in_use


def test_a_batch_of_a_thousand_fluids_equals_one_at_a_time():
    rng = random.Random(24)
    names = ["methane", "ethane", "propane", "n-butane", "nitrogen", "carbon dioxide"]
    fluids = []
    for i in range(1000):
        x = [rng.uniform(70, 95)] + [rng.uniform(0, 6) for _ in names[1:]]
        fluids.append({"id": f"gas {i}", "temperature_C": rng.uniform(0, 40), "pressure_kPa": rng.uniform(100, 8000),
                       "components": [{"name": n} for n in names], "mole_fractions": [v / sum(x) for v in x]})
    batch = calorix.batch(fluids, "iso6976", threads=2)
    assert len(batch) == 1000
    for fluid, result in zip(fluids, batch):
        one = calorix.evaluate(fluid, "iso6976")
        assert result == one and result.status == one.status, fluid["id"]
        assert result.fluid.id == fluid["id"]


def test_a_batch_shows_a_repeated_warning_a_few_times_then_counts_it():
    """As calorix-host batch: the first three of a kind with their fluid's number, then one line
    with the count and the fluids, whichever thread evaluated them."""
    wet = json.loads(WET_GAS.read_text())
    wet.pop("phases", None)
    gas = json.loads(calorix._calorix.default_fluid_json())
    fluids = [wet, gas, wet, wet, gas, wet, wet] * 10
    for threads in (1, 2):
        with warnings.catch_warnings(record=True) as issued:
            warnings.simplefilter("always")
            results = calorix.batch(fluids, "HHV", threads=threads)
        first = results[0].warnings[0]
        assert "splits into" in first
        wet_numbers = [i + 1 for i, f in enumerate(fluids) if f is wet]
        assert [str(w.message) for w in issued] == [f"fluid {n}: {first}" for n in wet_numbers[:3]] + [
            f"{first} (and {len(wet_numbers) - 3} more such warnings, fluids "
            f"{', '.join(str(n) for n in wet_numbers[3:13])}, ...)"], threads


def test_every_front_end_gives_the_same_values_labels_and_warnings(tmp_path):
    """Fluids x front ends (calorix-host on one fluid and in a batch, evaluate() and batch()): the
    same values, the same labels (unit, display name, edition and reference temperatures) and
    the same warnings for each fluid."""
    wet = json.loads(WET_GAS.read_text())
    wet.pop("phases", None)
    fluids = [
        json.loads(calorix._calorix.default_fluid_json()),   # a gas: no warning
        wet,                                                  # splits into phases, no flash asked
        {"temperature_C": 15, "pressure_kPa": 5000, "components": [{"name": "n-decane"}],
         "mole_fractions": [1]},                              # no gas at the reference conditions
    ]
    choices = dict(correlations="iso6976,RelativeDensity2016,NetWobbeIndex2016", edition=2016, ref=(25, 0))
    args = ["--correlations", choices["correlations"], "--edition", "2016", "--ref", "25/0"]
    prefix = "calorix-host: warning: "

    def host_warnings(stderr, where):
        return [line[len(prefix) + len(where) + 2:] for line in stderr.splitlines()
                if line.startswith(prefix + where + ": ")]

    def from_document(correlations):
        return {c["class"]: (c["display_name"], c["unit"], c.get("iso6976_edition"),
                             c.get("combustion_temperature_C"), c.get("reference_temperature_C"),
                             {k: v.get("value") for k, v in c["phases"].items()}) for c in correlations}

    def from_results(results):
        return {word: (s["display_name"], results.units[word], s.get("iso6976_edition"),
                       s.get("combustion_temperature_C"), s.get("reference_temperature_C"),
                       {k: results[word][k] for k in ("overall", "vapour", "hc_liquid", "aqueous", "phase3")})
                for word, s in results.status.items()}

    batch_file = tmp_path / "fluids.json"
    batch_file.write_text(json.dumps(fluids))
    batch_run = host("batch", "--format", "json", "--fluid", str(batch_file), *args, check_status=(0, 1))
    batch_doc = json.loads(batch_run.stdout)
    with pytest.warns(UserWarning, match="splits into"):
        python_batch = calorix.batch(fluids, **choices)
    for i, fluid in enumerate(fluids):
        path = tmp_path / f"fluid{i}.json"
        path.write_text(json.dumps(fluid))
        single = host("--format", "json", "--fluid", str(path), *args, check_status=(0, 1))
        with warnings.catch_warnings(record=True) as issued:
            warnings.simplefilter("always")
            one = calorix.evaluate(fluid, **choices)
        assert [str(w.message) for w in issued] == one.warnings
        expected = from_document(json.loads(single.stdout)["correlations"])
        assert expected["NetWobbeIndex2016"][2:5] == (2016, 25, 0)
        assert from_document(batch_doc["fluids"][i]["correlations"]) == expected, i
        assert from_results(one) == expected, i
        assert from_results(python_batch[i]) == expected, i
        shown = host_warnings(single.stderr, str(path))
        assert one.warnings == shown == python_batch[i].warnings, i
        assert host_warnings(batch_run.stderr, f"{batch_file}[{i}]") == shown, i
        assert len(shown) == (0, 1, 1)[i], shown
    assert "splits into" in python_batch[1].warnings[0]
    assert "compression factor" in python_batch[2].warnings[0]


def test_envelope_equals_the_command_line():
    env = calorix.envelope(calorix.Fluid.from_json(WET_GAS), pressures_kPa=(500, 12000), points=8)
    document = host_json("envelope", "--fluid", str(WET_GAS), "--pressures", "500,12000", "--points", "8")
    assert env["pressure_kPa"] == [p["pressure_kPa"] for p in document["points"]]
    assert env["hc_dew_point_C"] == [p["hc_dew_point_C"] for p in document["points"]]
    assert env["water_dew_point_C"] == [p["water_dew_point_C"] for p in document["points"]]
    for key in ("cricondenbar", "cricondentherm"):
        shown = document[key]
        assert env[key] == (shown and {"pressure_kPa": shown["pressure_kPa"], "temperature_C": shown["temperature_C"]})


def test_plot_envelope_draws_a_picture(tmp_path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.image
    import matplotlib.pyplot as plt

    ax = calorix.plot_envelope(calorix.Fluid.from_json(WET_GAS), points=10)
    png = tmp_path / "envelope.png"
    ax.figure.savefig(png, dpi=80)
    plt.close(ax.figure)
    assert png.stat().st_size > 10_000
    pixels = matplotlib.image.imread(png)
    height, width = pixels.shape[:2]
    assert (width, height) == (560, 400)
    coloured = (abs(pixels[:, :, 0] - pixels[:, :, 2]) > 0.2).sum()   # the curves, not the black and grey of the axes
    assert coloured > 500


def test_every_public_function_has_a_docstring():
    for name in calorix.__all__:
        item = getattr(calorix, name)
        if callable(item):
            assert (item.__doc__ or "").strip(), name
    for method in ("from_dict", "from_json", "default", "to_dict"):
        assert getattr(calorix.Fluid, method).__doc__.strip(), method


def test_readme_example(tmp_path, monkeypatch):
    readme = Path(os.environ["CALORIX_README"]).read_text()
    section = readme.split("\n## Python", 1)[1].split("\n## ", 1)[0]
    blocks = re.findall(r"```python\n(.*?)```", section, re.S)
    assert blocks, "the README's Python section has no example"
    monkeypatch.chdir(tmp_path)
    for block in blocks:
        exec(compile(block, "README.md", "exec"), {})
