// The command-line host, callable in-process (the program calorix-host is main() around it).
//
//   calorix-host [--fluid FILE] [--module PATH] [--ref-temp 15|0] [--format table|json|csv]
//                [--correlations iso6976|all|WORD,...] [--flash] [--edition 1995|2016 [--ref COMB/MET]]
//   calorix-host register [MODULE]
//   calorix-host unregister [MODULE]
//
// Exit status: 0 success; 1 the module cannot be loaded, a correlation cannot be created or a
// calculation fails, or (un)registration fails; 2 bad command line or bad fluid input.
#pragma once

#include <ostream>
#include <string>

namespace calorix::host {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;

int RunHostProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Folder of the running program, without the trailing separator.
std::string ProgramFolder();

}  // namespace calorix::host
