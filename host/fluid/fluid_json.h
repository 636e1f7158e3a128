// Fluids of the command-line host, read from JSON:
//
//   {
//     "temperature_C": 15.0,                 required, above absolute zero; or temperature_K,
//                                            temperature_F (exactly one of the three)
//     "pressure_kPa": 5000.0,                required, absolute, above 0; or pressure_bar,
//                                            pressure_MPa, pressure_psia (exactly one)
//     "molar_flow_kmol_h": 1000.0,           optional (1.0), not negative
//     "components": [                        required, at least one
//       {"name": "methane"},                 a name of the host's list (or "C1", "CO2", ...)
//       {"cas": "74-84-0"},                  a CAS number of the host's list
//       {"name": "C7+", "cas": "142-82-5", "mw": 100.2}
//                                            "cas" and "mw" (kg/kmol) override the list; a
//                                            component not in the list needs both. Optional
//                                            for the flash: "tc_K", "pc_kPa", "omega" (else
//                                            those of the normal alkane of that molar mass)
//                                            and "class" (else 200, hydrocarbon)
//     ],
//     "mole_fractions": [...],               required, one finite number per component; or
//                                            "mole_percent" (exactly one of the two)
//     "phases": [                            optional; without it the fluid is one vapour
//       {"slot": 0, "fraction": 1.0,         phase equal to the overall composition.
//        "mole_fractions": [...]}            slot 0 vapour, 1 hydrocarbon liquid, 2 aqueous,
//                                            (or "mole_percent")
//     ]                                      3 other; fraction in [0, 1]
//   }
//
// Errors name the source, the field and the problem in one line. A composition whose sum is
// off 1 by more than kCompositionTolerance is refused unless FluidReadOptions::normalise asks
// to scale it (and a warning says so); a smaller deviation and unknown fields are warnings; a
// negative fraction, and a temperature or pressure that is not finite or beyond
// kMaxTemperatureC or kMaxPressureKPa, are errors. A component given twice, a name that disagrees with its CAS number and
// a plus fraction ("C7+") without "mw" are errors; a CAS number outside the host's list is
// priced by the heating-value correlations as an alkane of its molar mass, with a warning.
//
// A batch file is a JSON list of such objects, or a CSV file (fluid_csv.h).
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/fluid/fluid_model.h"

namespace calorix::host {

// A refused input. The message stays one line: control characters that came from the input
// (a name holding an escaped line break, say) are written as \n, \t or \xHH.
class FluidInputError : public std::runtime_error {
public:
    explicit FluidInputError(const std::string& message);
};

inline constexpr double kCompositionTolerance = 1e-3;
// Bounds of the conditions a fluid may be given at, far beyond any natural-gas process (so that a
// slip of unit or exponent, "pressure_bar": 1e308, is refused rather than computed).
inline constexpr double kMaxTemperatureC = 1000.0;
inline constexpr double kMaxPressureKPa = 1.0e6;  // 1000 MPa

struct FluidReadOptions {
    bool normalise = false;   // scale every composition to sum 1 instead of refusing it
    char delimiter = ',';     // separator of a CSV batch: ',', ';' or '\t'
};

struct ParsedFluid {
    Fluid fluid;
    std::vector<std::string> warnings;   // "source: field: problem"
};

// Parses a fluid; `source` names the input in messages (a file name). Throws FluidInputError.
ParsedFluid ParseFluidJson(std::string_view text, const std::string& source);
ParsedFluid ParseFluidJson(std::string_view text, const std::string& source, const FluidReadOptions& options);

// A fluid from a document already parsed (a CSV row's, or one made from Python's objects), read
// as ParseFluidJson reads the text of one: ParseFluidJson(doc.dump(), ...) gives the same fluid.
ParsedFluid ReadFluidDocument(const nlohmann::json& doc, const std::string& source, const FluidReadOptions& options);

// A fluid file or a batch: one object gives one fluid, a list one per element (named
// "source[i]" in messages).
std::vector<ParsedFluid> ParseFluidsJson(std::string_view text, const std::string& source,
                                         const FluidReadOptions& options);

// Reads and parses a file. Throws FluidInputError, also when the file cannot be read.
ParsedFluid ReadFluidFile(const std::string& path);
ParsedFluid ReadFluidFile(const std::string& path, const FluidReadOptions& options);

// The whole text of a file. Throws FluidInputError naming the path.
std::string ReadInputFile(const std::string& path);
// A file opened for reading, in binary. Throws FluidInputError naming the path.
std::ifstream OpenInputFile(const std::string& path);

// The embedded default: a pipeline natural gas of twelve components at 5000 kPa, 15 degC,
// 1000 kmol/h, one vapour phase.
std::string_view DefaultFluidJson() noexcept;

// Critical constants and acentric factor of the normal alkane of a molar mass, interpolated
// linearly between methane and n-decane (clamped at both ends).
Component EstimateAlkaneLike(double molarMassKgPerKmol);

}  // namespace calorix::host
