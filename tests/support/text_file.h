// Whole files as bytes, for tests that check what was written to disk.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace testfiles
