// The unit tests link the band's own code into this executable, so the module
// handle is the executable's, which carries the same resources.
#include <windows.h>

#include <gtest/gtest.h>

#include "server/module.h"

int main(int argc, char** argv) {
    g_hInstance = GetModuleHandleW(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
