// Options of the commands of calorix-host, declared once.
//
// Every option lives in CalculationOptions and has one row in the option table of options.cpp
// (its bit, names, help and check). A command declares the bits it uses; an option given
// before the command's name is honoured when the command uses it and refused ("does not
// apply to") when it does not. To add an option: a field here, a bit, a row in the table, the
// bit in the commands that use it, and its effect where the settings are made
// (EvaluationSettingsOf for the correlations' parameters).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/manager.h"

namespace CLI {
class App;
}

namespace calorix::host {

enum OptionBit : std::uint32_t {
    kOptFluid = 1u << 0,
    kOptModule = 1u << 1,
    kOptRefTemp = 1u << 2,
    kOptFormat = 1u << 3,
    kOptCorrelations = 1u << 4,
    kOptFlash = 1u << 5,
    kOptNormalise = 1u << 6,
    kOptEdition = 1u << 7,
    kOptRef = 1u << 8,
    kOptStrict = 1u << 9,
    kOptDelimiter = 1u << 10,
    kOptOutputUnits = 1u << 11,
    kOptMethaneOrigin = 1u << 12,
    kOptGergModel = 1u << 13,
};

struct CalculationOptions {
    std::string fluid;                    // --fluid FILE
    std::string module;                   // --module PATH
    std::string refTemp;                  // --ref-temp 15|0 (empty: not given, 15)
    std::string format;                   // --format table|json|csv (empty: the command's default)
    std::string correlations = "iso6976"; // --correlations
    bool flash = false;                   // --flash
    bool normalise = false;               // --normalise
    std::string edition = "1995";         // --edition 1995|2016
    std::string ref;                      // --ref COMB/MET (2016)
    bool strict = false;                  // --strict: a batch with a bad row is refused whole
    std::string delimiter;                // --delimiter of a CSV batch (empty: ',')
    std::string outputUnits = "si";       // --output-units si|us
    std::string methaneOrigin = "fossil"; // --methane-origin fossil|non-fossil (CO2EAR6)
    std::string gergModel = "gerg2008";   // --gerg-model gerg2008|gerg2008-h2 (the GERG-2008 classes)
};

// Declares the options of `bits` on `command`, bound to `options`.
void AddOptions(CLI::App& command, CalculationOptions& options, std::uint32_t bits);

// The first option given on `app` itself (not on a subcommand) outside `bits`, as written on
// the command line ("--flash"); empty when there is none.
std::string OptionOutside(const CLI::App& app, std::uint32_t bits);

// The settings that a correlation evaluation takes from the options; false, with the
// problem, for an edition and reference temperatures that do not go together.
bool EvaluationSettingsOf(const CalculationOptions& options, EvaluationSettings& settings, std::string& problem);

}  // namespace calorix::host
