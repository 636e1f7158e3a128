#include "host/manager/selection.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string_view>

#include <fmt/format.h>

#include "host/fluid/suggest.h"
#include "platform/library.h"

namespace calorix::host {

namespace {

std::string Trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

bool MakeEvaluationSettings(const RunChoices& choices, EvaluationSettings& settings, std::string& problem) {
    settings.flash = choices.flash;
    settings.usUnits = choices.usUnits;
    const std::string ref = choices.ref.empty() && choices.usUnits ? "15.55/15.55" : choices.ref;
    if (!ChooseIsoEdition(choices.edition, ref, choices.refTemp.empty() ? "15" : choices.refTemp,
                          !choices.refTemp.empty(), &settings.edition, &problem))
        return false;
    settings.refTempOption = RefTempOptionOf(settings.edition);
    settings.methaneOriginOption = choices.methaneOrigin == "non-fossil" ? 1 : 0;
    if (choices.gergModel != "gerg2008" && choices.gergModel != "gerg2008-h2") {
        problem = "GERG-2008 model '" + choices.gergModel +
                  "': expected gerg2008 or gerg2008-h2 (GERG-2008 with the 2021 hydrogen binaries)";
        return false;
    }
    settings.gergModelOption = choices.gergModel == "gerg2008-h2" ? 1 : 0;
    return true;
}

bool SelectClasses(const std::string& selection, const IsoEdition& edition, std::vector<const CatalogueEntry*>& classes,
                   bool& optional, std::string& problem, std::vector<std::string>* notes,
                   std::vector<std::string>* asked) {
    optional = false;
    std::vector<std::string> names;   // one per class: the word it was asked by, if any
    std::vector<bool> byWord;
    for (const CatalogueEntry* e : classes) {
        names.emplace_back(e->word);
        byWord.push_back(false);
    }
    // A class asked for by its word keeps the first word written for it, even when a group
    // brought it in before.
    auto add = [&](const CatalogueEntry* e, const std::string* word = nullptr) {
        const auto at = std::find(classes.begin(), classes.end(), e);
        if (at == classes.end()) {
            classes.push_back(e);
            names.emplace_back(word ? *word : std::string(e->word));
            byWord.push_back(word != nullptr);
            return;
        }
        const auto k = static_cast<std::size_t>(at - classes.begin());
        if (word && !byWord[k]) {
            names[k] = *word;
            byWord[k] = true;
        }
    };
    std::stringstream list(selection);
    std::string item;
    while (std::getline(list, item, ',')) {
        const std::string word = Trim(item);
        if (word.empty()) continue;
        const std::string lower = Lower(word);
        if (lower == "all") {
            for (const auto& e : Catalogue()) add(&e);
            optional = true;  // classes the module does not serve are left out with a warning
            continue;
        }
        // A group of the catalogue ("iso6976"): its classes of the chosen edition.
        bool group = false;
        for (const auto& e : Catalogue())
            if (e.InGroup(lower)) {
                group = true;
                if (e.iso6976Edition == 0 || e.iso6976Edition == edition.year) add(&e);
            }
        if (group) continue;
        const CatalogueEntry* e = FindCatalogueEntry(word);
        // The 1995 Wobbe index class keeps its historical word; the usual spelling finds it.
        if (!e && lower == "wobbeindex") {
            e = FindCatalogueEntry("WobbleIndex");
            if (notes) notes->push_back(fmt::format("'{}' taken as the class WobbleIndex (the ISO 6976:1995 Wobbe index; "
                                                    "WobbeIndex2016 is the 2016 one)", word));
        }
        if (!e) {
            std::vector<std::string_view> words;
            for (const auto& c : Catalogue()) words.emplace_back(c.word);
            const std::string suggestion = ClosestName(word, words);
            problem = fmt::format("unknown correlation class '{}'{}", word,
                                  suggestion.empty() ? "" : fmt::format(" (did you mean '{}'?)", suggestion));
            return false;
        }
        add(e, &word);
    }
    if (classes.empty()) {
        problem = "no correlation class given";
        return false;
    }
    if (asked) *asked = std::move(names);
    return true;
}

std::string DefaultModulePath(std::span<const std::string> elsewhere) {
    const std::string folder = platform::FolderOf(platform::ModuleFilePath());
    const std::string name = platform::LibraryFileName("Calorix");
    const std::string beside = platform::PathIn(folder, name);
    std::error_code ec;
    if (std::filesystem::exists(platform::FileSystemPath(beside), ec)) return beside;
    for (const auto& dir : elsewhere) {
        const auto there = platform::FileSystemPath(platform::PathIn(folder, dir + "/" + name)).lexically_normal();
        if (std::filesystem::exists(there, ec)) return platform::Utf8Path(there);
    }
    return beside;
}

}  // namespace calorix::host
