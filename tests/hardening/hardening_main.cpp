// The hardening tests that drive the built DLL. The host registers the
// tooltip class, as the shell does, and the run's seed is printed first.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "hardening/hardening.h"

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    SetUnhandledExceptionFilter(hardening::ReportCrash);
    hardening::PrintSeed("hardening_tests");
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    hardening::PrintSeed("hardening_tests");
    return result;
}
