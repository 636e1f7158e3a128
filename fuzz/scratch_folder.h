// A folder of the fuzzing process's own for the registry files the targets write: on tmpfs
// where there is one, so that the fsync of every commit costs nothing.
#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/calorix-fuzz-XXXXXX");
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return folder;
}
