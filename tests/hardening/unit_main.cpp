// The hardening tests that link the band's code. The module handle is the
// executable's, which carries the same resources; the host registers the
// tooltip class, as the shell does; band objects come from the checking heap.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "band/desk_band.h"
#include "hardening/hardening.h"
#include "hardening/poison_heap.h"
#include "server/module.h"

int main(int argc, char** argv) {
    g_hInstance = GetModuleHandleW(nullptr);
    poison_heap::GuardSizes(sizeof(CDeskBand), 0);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    SetUnhandledExceptionFilter(hardening::ReportCrash);
    hardening::PrintSeed("hardening_unit_tests");
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    const poison_heap::Report report = poison_heap::Check();
    std::printf("[ counts ] checking heap: %llu band objects on guarded pages (%llu freed), "
                "%llu freed blocks checked, %llu written after free, %llu freed twice\n",
                static_cast<unsigned long long>(report.guardedAllocations),
                static_cast<unsigned long long>(report.guardedFrees),
                static_cast<unsigned long long>(report.quarantined),
                static_cast<unsigned long long>(report.writtenAfterFree),
                static_cast<unsigned long long>(report.doubleFrees));
    if (report.writtenAfterFree != 0 || report.doubleFrees != 0) {
        result = 1;
    }
    hardening::PrintSeed("hardening_unit_tests");
    return result;
}
