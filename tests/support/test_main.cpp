// The main of every test program: GoogleTest inside the main thread's COM apartment.
#include <gtest/gtest.h>

#include "platform/program.h"

int main(int argc, char** argv) {
    platform::ComApartment apartment;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
