// The black-box tests of the built DLL. The executable doubles as the
// "separate process" of the activation test: started with
// --activate-band it creates the band through the registry and exits.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "dll/activation_child.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kActivateBandArgument) == 0) {
        return RunActivationChild();
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
