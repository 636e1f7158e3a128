// Calorix.Calculator from JScript: every method with script arrays, results read through
// VBArray, and the errors' descriptions. The last line says whether all went well (Wine's
// cscript ends with status 0 even after a script error).
var failures = 0;
function check(ok, what) {
    if (!ok) {
        WScript.Echo("FAIL: " + what);
        failures++;
    }
}
function errorOf(f, expected) {
    try {
        f();
        check(false, "no error, expected " + expected);
    } catch (e) {
        check(e.description.indexOf(expected) === 0, "expected '" + expected + "', got '" + e.description + "'");
    }
}

var c = new ActiveXObject("Calorix.Calculator");
check(c.Version.length > 0, "Version");
var names = ["methane", "ethane", "propane", "isobutane", "n-butane", "isopentane", "n-pentane", "n-hexane", "nitrogen", "124-38-9"];
var fractions = [0.895, 0.05, 0.02, 0.004, 0.005, 0.002, 0.0015, 0.0015, 0.01, 0.011];
var v = c.Value("HHV2016", names, fractions, 15, 5000, "ref=25/0");
WScript.Echo("Value HHV2016 " + v);
check(v > 38 && v < 46, "HHV2016 " + v);
check(c.Value("HHV2016", names.join(","), fractions.join(","), 15, 5000, "ref=25/0") === v, "text lists");

var pv = new VBArray(c.PhaseValues("HHV2016", names, fractions, 15, 5000, "ref=25/0")).toArray();
check(pv.length === 5 && pv[0] === v && pv[1] === v, "phase values " + pv);
check(pv[2] === undefined && pv[4] === undefined, "absent phases Empty");

var f = new VBArray(c.Flash(["methane", "propane", "n-hexane", "n-octane", "water"], [0.8, 0.08, 0.05, 0.04, 0.03], 10, 3000));
check(f.dimensions() === 2 && f.ubound(1) === 5, "flash table");
check(f.getItem(2, 0) === "vapour" && f.getItem(0, 2) === "methane", "flash headers");
check(Math.abs(f.getItem(2, 1) + f.getItem(3, 1) + f.getItem(4, 1) - 1) < 1e-9, "phase fractions sum to 1");

var t = new VBArray(c.Components());
check(t.getItem(0, 0) === "name" && t.ubound(1) > 20, "components table");
t = new VBArray(c.Correlations());
var found = false;
for (var i = 1; i <= t.ubound(1); i++)
    if (t.getItem(i, 0) === "ZGERG2008") found = t.getItem(i, 1) === "Calorix.ZGERG2008.1" && t.getItem(i, 3) === "-";
check(found, "ZGERG2008 among the correlations");

var typo = names.slice(0);
typo[0] = "methan";
errorOf(function () { c.Value("HHV2016", typo, fractions, 15, 5000); },
        "components[0]: unknown component 'methan' (did you mean 'methane'?)");
errorOf(function () { c.Value("HHV2016", names, [0.5, 0.5], 15, 5000); }, "mole_fractions: 2 entries for 10 components");
errorOf(function () { c.Value("HHV2016", names, fractions, 15, -1); }, "pressure_kPa: must be positive");
errorOf(function () { c.Value("HHV2016", names, fractions, 15, 5000, "falsh=1"); }, "options: unknown option 'falsh'");

if (failures === 0) WScript.Echo("calculator script ok");
WScript.Quit(failures);
