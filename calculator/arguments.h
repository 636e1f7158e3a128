// The arguments of the automation calculator, read without COM: lists given as cells (an
// Excel range, an array, or comma-separated text), the options text, and the fluid they make.
// Errors are one line naming the argument or the fluid field and the problem, as the command
// line says them ("mole_fractions: fractions sum to 0.9, not 1; give normalise=1 to scale
// them").
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/manager.h"

namespace calorix::calculator {

// A refused argument, or a calculation that gave no sound value; the message is one line.
class CalculatorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One cell of a list: empty, a number or a text.
using Cell = std::variant<std::monostate, double, std::string>;

// The cells of a text list: items separated by semicolons when there is one, else by commas;
// spaces around items are dropped. With commas, a bare number before a name joins it again
// ("2,2-dimethylbutane, methane" is two names). An empty text is an empty list.
std::vector<Cell> SplitTextList(std::string_view text);

// Component names (or CAS numbers) and their mole fractions, read from two lists of cells:
// two ranges of one shape pair cell by cell, other lists must hold as many entries (trailing
// empty cells aside). Positions where both cells are empty are left out (a range chosen
// longer than the data); an empty fraction beside a component is 0; a fraction may be a
// number or a number written as text.
struct Composition {
    std::vector<std::string> components;
    std::vector<double> moleFractions;
};
Composition ReadComposition(const std::vector<Cell>& components, const std::vector<Cell>& fractions);

// A number argument (temperature_C, pressure_kPa): a number, or a number written as text.
double NumberArgument(const Cell& cell, std::string_view field);

// What the options text chooses: "ref=25/0; flash=1; methane-origin=non-fossil". Items are
// separated by semicolons (or commas), names compare without regard to case:
//   ref=COMB/MET              the 2016 classes' combustion and metering temperatures (15/15)
//   ref-temp=15|0             the 1995 classes' reference temperature (15)
//   flash=0|1                 the host's flash first, every phase its own value (0)
//   methane-origin=fossil|non-fossil   CO2EAR6 (fossil)
//   gerg-model=gerg2008|gerg2008-h2    the GERG-2008 classes' model (gerg2008; gerg2008-h2 is
//                             GERG-2008 with the 2021 hydrogen binaries)
//   normalise=0|1             scale a composition that does not sum to 1 (0)
//   molar-flow=F              the fluid's molar flow, kmol/h, for the CO2-equivalent classes (1)
struct CalculatorOptions {
    host::RunChoices choices;
    host::EvaluationSettings settings;   // made from the choices
    bool normalise = false;
    double molarFlowKmolPerH = 1.0;
};
CalculatorOptions ParseOptions(std::string_view text);

// The fluid of a composition at temperature_C and pressure_kPa, checked as a fluid file is.
host::Fluid MakeFluid(const Composition& composition, double temperatureC, double pressureKPa,
                      const CalculatorOptions& options);

// A message of the host that names a command-line option (--ref, --normalise) in the words of
// the options text (ref, normalise=1).
std::string InOptionWords(std::string message);

}  // namespace calorix::calculator
