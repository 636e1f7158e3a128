// The whole registry below HKEY_CLASSES_ROOT as a transaction sees it: key path -> its values
// ("name=data", '*' before the data of a value that is not a string), walked without recursion.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

using RegistryTree = std::map<std::string, std::vector<std::string>>;

inline bool ReadRegistryTree(const platform::RegistryTransaction& r, RegistryTree* tree) {
    tree->clear();
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        const std::string path = std::move(pending.back());
        pending.pop_back();
        std::vector<platform::RegistryValue> values;
        if (FAILED(r.EnumValues(path, &values))) return false;
        std::vector<std::string>& entry = (*tree)[path];
        for (const platform::RegistryValue& v : values) entry.push_back(v.name + "=" + (v.isString ? "" : "*") + v.data);
        std::vector<std::string> keys;
        if (FAILED(r.EnumSubkeys(path, &keys))) return false;
        for (const std::string& k : keys) pending.push_back(path.empty() ? k : path + "\\" + k);
    }
    return true;
}
