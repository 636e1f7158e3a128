// The command-line host, callable in-process (the program calorix-host is main() around it).
//
//   calorix-host [--fluid FILE] [--module PATH] [--edition 1995|2016] [--ref-temp 15|0] [--ref C/M]
//                [--format table|json|csv] [--correlations iso6976|all|WORD,...] [--flash]
//                [--normalise] [--output-units si|us] [--version]
//   calorix-host batch --fluid FILE [same options; --format csv|json] [--strict] [--delimiter ,|;|tab]
//   calorix-host envelope [--fluid FILE] [--pressures FROM,TO] [--pressure-unit kPa|bar|MPa|psia]
//                         [--points N] [--svg FILE] [--format table|csv|json] [--output-units si|us]
//   calorix-host register|unregister [--module PATH | PATH]   (and CalorixCalc beside the module)
//   calorix-host components | correlations
//
// Options are declared once (host/cli/options.h); one given before a command that does not use it
// is refused. Exit status: 0 success; 1 the module cannot be loaded, a correlation cannot be
// created, a calculation fails or gives no sound value, or (un)registration fails; 2 bad
// command line or bad fluid input (one line naming the file, the field and the problem). A
// batch streams: a bad row gives an error row and the others go on (exit status 2, the count on
// standard error), unless --strict refuses the whole batch before computing anything.
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
