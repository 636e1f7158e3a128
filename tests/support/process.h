// Running a program as a child process, for tests that need a process of their own (a module
// that must not find what the parent has loaded, the end of a module's life).
#pragma once

#include <string>
#include <vector>

namespace testprocess {

// Runs the program with the arguments (no shell, no quoting needed) and waits for it. The
// exit status, or -1 when it could not be started or did not exit normally.
int Run(const std::string& program, const std::vector<std::string>& arguments);

// The identifier of this process, for names of scratch folders.
unsigned long CurrentId();

}  // namespace testprocess
