// What a run computes, chosen by words: the correlation classes of a selection ("iso6976",
// "all", "HHV,HCDewPt"), the evaluation settings of an edition and its reference temperatures,
// and where the correlation module is. The command line and the Python module choose through
// these, so that the same words mean the same run in both.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "host/manager/correlation_manager.h"
#include "host/manager/evaluate.h"

namespace calorix::host {

// The choices of a run, as written by a user.
struct RunChoices {
    bool flash = false;                    // the host's flash first
    std::string edition = "1995";          // "1995" or "2016": the eight classes "iso6976" means
    std::string ref;                       // "COMB/MET" of the 2016 classes (empty: 15/15; US: 15.55/15.55)
    std::string refTemp;                   // "15" or "0" of the 1995 classes (empty: not given, 15)
    std::string methaneOrigin = "fossil";  // "fossil" or "non-fossil" (CO2EAR6)
    std::string gergModel = "gerg2008";    // "gerg2008" or "gerg2008-h2" (GERG-2008 with the 2021 hydrogen binaries)
    bool usUnits = false;                  // US customary output: the 2016 pair defaults to 60 degF / 60 degF
};

// The settings of an evaluation; false, with the problem, for an edition and reference
// temperatures that do not go together or an unknown GERG-2008 model. A US run asks for its US
// bases: the 2016 pair 15.55/15.55 (60 degF / 60 degF) unless one is given, and the water content
// per m3 at 60 degF.
bool MakeEvaluationSettings(const RunChoices& choices, EvaluationSettings& settings, std::string& problem);

// The classes of a selection: words separated by commas (spaces around them and case ignored),
// each a class word, "all", or a group of the catalogue ("iso6976": its eight classes of the
// edition), as in "iso6976,RelativeDensity2016". `optional`: classes the module
// does not serve may be left out. False, with the problem ("unknown correlation class 'HVV'
// (did you mean 'HHV'?)"), on an unknown word. "WobbeIndex" is taken for the 1995 class
// WobbleIndex (whose word stays), with a note in `notes`. `asked`, when given, receives one name
// per class of `classes`: the word as written for a class asked for by a word ("WobbeIndex",
// "hhv"), the class's own word for one that came with "all" or a group.
bool SelectClasses(const std::string& selection, const IsoEdition& edition, std::vector<const CatalogueEntry*>& classes,
                   bool& optional, std::string& problem, std::vector<std::string>* notes = nullptr,
                   std::vector<std::string>* asked = nullptr);

// The correlation module (Calorix.so, Calorix.dll) beside the program or library this code is
// linked into (calorix-host, the Python extension), else in the first of `elsewhere` (folders
// relative to that one) that holds it; the one beside when none does.
std::string DefaultModulePath(std::span<const std::string> elsewhere = {});

}  // namespace calorix::host
