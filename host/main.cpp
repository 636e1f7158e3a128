// calorix-host: the reference host program. See host/cli.h for the command line.
#include <iostream>

#include "host/cli.h"
#include "platform/program.h"

int main(int argc, char** argv) {
    platform::ComApartment apartment;
    platform::UseBinaryStandardStreams();
    return calorix::host::RunHostProgram(argc, argv, std::cout, std::cerr);
}
