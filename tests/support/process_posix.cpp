#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/process.h"

extern char** environ;

namespace testprocess {

int Run(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

unsigned long CurrentId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace testprocess
