// calorix-host: the reference host program. See host/cli/cli.h for the command line.
#include <iostream>
#include <string>
#include <vector>

#include "host/cli/cli.h"
#include "platform/program.h"

int main(int argc, char** argv) {
    platform::ComApartment apartment;
    platform::UseBinaryStandardStreams();
    const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const auto& a : arguments) pointers.push_back(a.c_str());
    return calorix::host::RunHostProgram(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr);
}
