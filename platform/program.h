// What a program (the host, a test) sets up before it uses components: the COM apartment of
// its main thread, and standard streams that write bytes as they are given.
#pragma once

#include <string>
#include <vector>

#include "platform/com.h"

namespace platform {

// The calling thread's single-threaded apartment for the life of the object (Windows:
// CoInitializeEx, then CoUninitialize; elsewhere there is nothing to enter).
class ComApartment {
public:
    ComApartment() noexcept;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Status() const noexcept { return m_status; }

private:
    HRESULT m_status;
};

// The program's arguments in UTF-8 (Windows: from the UTF-16 command line, so that a path
// outside the code page arrives whole; elsewhere argv as given).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard output and error without line-end translation (Windows writes CR LF otherwise).
void UseBinaryStandardStreams() noexcept;

}  // namespace platform
