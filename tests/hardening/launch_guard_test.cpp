// Where a click looks for the companion: beside the module, also in a
// directory with spaces and non-ASCII characters; nowhere when the module's
// path does not fit in 260 characters; and never in the current directory or
// on PATH, where programs of the same name lie in wait.
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "hardening/hardening.h"
#include "hardening/temp_copy.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "support/test_paths.h"
#include "support/companion_log.h"
#include "support/debug_output.h"
#include "support/directory_of_length.h"

namespace hardening {
namespace {

const std::wstring kCompanion = L"AppVantrelHelp.exe";

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

std::wstring TempBase(const std::wstring& leaf) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + leaf + std::to_wstring(GetCurrentProcessId());
}

class CompanionLaunch : public testing::Test {
  protected:
    // The band writes the companion's command line to the debugger output
    // just before it starts it: one line per start it attempts.
    void ClearDebug() { m_debug.Clear(); }
    size_t DebugLines() const { return m_debug.Lines().size(); }

    // Loads the module at `dll`, hosts a band at the bottom-left of the
    // screen and clicks it. The number of command lines the band wrote.
    size_t ClickBandOf(const std::wstring& dll) {
        ClearDebug();
        BandModule module(dll);
        EXPECT_TRUE(module.Loaded())
            << "cannot load the module from a path of " << dll.size() << " characters";
        if (!module.Loaded()) {
            return 0;
        }
        shell::HostWindow host({0, 560, 800, 600}, true);
        shell::BandSite* pSite = new shell::BandSite(host.Get());
        IDeskBand* pBand = nullptr;
        EXPECT_EQ(S_OK, module.CreateBand(IID_IDeskBand, &pBand));
        if (pBand != nullptr) {
            EXPECT_TRUE(SUCCEEDED(pSite->AddBand(pBand)));
            HWND hwnd = nullptr;
            pBand->GetWindow(&hwnd);
            Watchdog watchdog("a click on the band", 120000);
            SetCursorPos(16, 580);
            SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
            pSite->RemoveAll();
            EXPECT_EQ(0u, pBand->Release());
        }
        EXPECT_EQ(0u, pSite->Release());
        return DebugLines();
    }

    ComApartment m_apartment;
    support::CompanionLog m_log;
    support::DebugOutputCapture m_debug;
};

TEST_F(CompanionLaunch, StartsTheCompanionBesideAModuleInASpacedNonAsciiDirectory) {
    support::DirectoryOfLength dir(TempBase(L"Vantrel h\x00E4rdening \x00DF\x00E9 \x6D4B\x8BD5 "),
                                   0);
    ASSERT_TRUE(dir.Ok()) << "cannot make " << testing::PrintToString(dir.Path()) << ", error "
                          << GetLastError();
    ASSERT_TRUE(dir.CopyIn(BandDllPath(), L"VantrelDeskBand.dll"));
    ASSERT_TRUE(dir.CopyIn(BinDirectory() + kCompanion, kCompanion));
    EXPECT_EQ(1u, ClickBandOf(dir.File(L"VantrelDeskBand.dll")));
    const std::vector<std::wstring> exes = support::CompanionLog::Exes(m_log.WaitFor(1));
    ASSERT_EQ(1u, exes.size());
    EXPECT_TRUE(SamePath(dir.File(kCompanion), exes[0]))
        << "started " << std::string(exes[0].begin(), exes[0].end());
}

struct ModulePathCase {
    size_t moduleLength;
    bool starts;
};

// The module's own path must fit in 260 characters with its terminator:
// 259 does, 260 and 261 do not, and a module path that does not fit starts
// nothing, although the companion lies beside it and a cut-short module path
// would lead right to it.
TEST_F(CompanionLaunch, ModulePathOf259StartsAndOf260Or261StartsNothing) {
    const std::wstring dllName = L"VantrelDeskBand.dll";
    const ModulePathCase cases[] = {{259, true}, {260, false}, {261, false}};
    size_t started = 0;
    for (const ModulePathCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "module path of " << c.moduleLength << " characters");
        support::DirectoryOfLength dir(TempBase(L"vlen"), c.moduleLength - dllName.size() - 1);
        ASSERT_TRUE(dir.Ok());
        ASSERT_TRUE(dir.CopyIn(BandDllPath(), dllName));
        ASSERT_TRUE(dir.CopyIn(BinDirectory() + kCompanion, kCompanion));
        ASSERT_EQ(c.moduleLength, dir.File(dllName).size());
        EXPECT_EQ(c.starts ? 1u : 0u, ClickBandOf(dir.File(dllName)));
        if (c.starts) {
            const std::vector<std::wstring> exes =
                support::CompanionLog::Exes(m_log.WaitFor(++started));
            ASSERT_EQ(started, exes.size());
            EXPECT_TRUE(SamePath(dir.File(kCompanion), exes.back()));
        }
    }
}

// Programs of the companion's name in the current directory and on PATH,
// and beside this executable, are never started in its place: not when the
// module's directory lacks the companion, and not beside a band whose own
// companion starts.
TEST_F(CompanionLaunch, SameNamedProgramsInTheCurrentDirectoryOrOnPathAreNeverStarted) {
    support::DirectoryOfLength decoyCwd(TempBase(L"vdecoy-cwd"), 0);
    support::DirectoryOfLength decoyPath(TempBase(L"vdecoy-path"), 0);
    support::DirectoryOfLength lonely(TempBase(L"vlonely"), 0);
    support::DirectoryOfLength proper(TempBase(L"vproper"), 0);
    ASSERT_TRUE(decoyCwd.CopyIn(BinDirectory() + kCompanion, kCompanion));
    ASSERT_TRUE(decoyPath.CopyIn(BinDirectory() + kCompanion, kCompanion));
    ASSERT_TRUE(lonely.CopyIn(BandDllPath(), L"VantrelDeskBand.dll"));
    ASSERT_TRUE(proper.CopyIn(BandDllPath(), L"VantrelDeskBand.dll"));
    ASSERT_TRUE(proper.CopyIn(BinDirectory() + kCompanion, kCompanion));

    wchar_t oldCwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, oldCwd);
    std::wstring oldPath(32768, L'\0');
    oldPath.resize(GetEnvironmentVariableW(L"PATH", &oldPath[0], 32768));
    ASSERT_TRUE(SetCurrentDirectoryW(decoyCwd.Path().c_str()));
    SetEnvironmentVariableW(L"PATH", (decoyPath.Path() + L";" + oldPath).c_str());

    // The band tries its own directory, where nothing lies.
    const size_t lonelyLines = ClickBandOf(lonely.File(L"VantrelDeskBand.dll"));
    // Then a band whose companion is there: its start is the only one.
    const size_t properLines = ClickBandOf(proper.File(L"VantrelDeskBand.dll"));
    const std::vector<std::wstring> exes = support::CompanionLog::Exes(m_log.WaitFor(1));
    // Whatever the first click might have started has had the time the
    // second start took to turn up as well.
    PumpMessages();
    Sleep(1000);
    const std::vector<std::wstring> all = support::CompanionLog::Exes(m_log.Read());

    SetCurrentDirectoryW(oldCwd);
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());

    EXPECT_EQ(1u, lonelyLines);
    EXPECT_EQ(1u, properLines);
    ASSERT_EQ(1u, all.size());
    EXPECT_TRUE(SamePath(proper.File(kCompanion), all[0]))
        << "started " << std::string(all[0].begin(), all[0].end());
}

} // namespace
} // namespace hardening
