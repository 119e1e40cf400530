// bandhost.exe running for one test: started with a log file, ready once it
// says so, driven through its command channel, closed at the end.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bandhost/command.h"
#include "presence/processes.h"

namespace presence {

class BandHost {
  public:
    explicit BandHost(const std::wstring& options = L"") : m_logPath(TempFile(L"bh")) {
        m_process = std::make_unique<ChildProcess>(
            L"bandhost.exe", L"--hidden --log \"" + m_logPath + L"\" " + options);
        if (!m_process->Started()) {
            ADD_FAILURE() << "cannot start bandhost.exe";
            return;
        }
        // Wait for "ready"; the timeout only keeps a broken host from hanging the run.
        for (int i = 0; i < 600 && m_hwnd == nullptr; ++i) {
            for (const LogLine& line : Lines()) {
                if (line.event == "ready") {
                    m_hwnd = reinterpret_cast<HWND>(
                        static_cast<uintptr_t>(std::stoull(line.Get("hwnd"), nullptr, 16)));
                }
            }
            if (m_hwnd == nullptr && m_process->Wait(100)) {
                break; // it ended before it was ready
            }
        }
        if (m_hwnd == nullptr) {
            ADD_FAILURE() << "bandhost did not get ready; log:\n"
                          << ReadShared(m_logPath) << "stderr:\n"
                          << m_process->Err();
        }
    }
    ~BandHost() {
        if (m_process->Started() && !m_closed) {
            Close();
        }
        DeleteFileW(m_logPath.c_str());
    }
    BandHost(const BandHost&) = delete;
    BandHost& operator=(const BandHost&) = delete;

    bool Ready() const { return m_hwnd != nullptr; }
    HWND Window() const { return m_hwnd; }
    DWORD Pid() const { return m_process->Pid(); }

    std::vector<LogLine> Lines() const { return ParseLog(ReadShared(m_logPath)); }
    // Lines with this event from index `from` on.
    std::vector<LogLine> Events(const std::string& event, size_t from = 0) const {
        std::vector<LogLine> found;
        const std::vector<LogLine> all = Lines();
        for (size_t i = from; i < all.size(); ++i) {
            if (all[i].event == event) {
                found.push_back(all[i]);
            }
        }
        return found;
    }
    size_t LineCount() const { return Lines().size(); }
    std::string LogText() const { return ReadShared(m_logPath); }

    // A command through WM_COPYDATA; its reply, an HRESULT.
    HRESULT Command(const std::wstring& text) {
        COPYDATASTRUCT cds = {};
        cds.dwData = bandhost::kBandHostCommand;
        cds.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        cds.lpData = const_cast<wchar_t*>(text.data());
        DWORD_PTR reply = 0;
        if (SendMessageTimeoutW(m_hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                SMTO_ABORTIFHUNG, kToolTimeoutMs, &reply) == 0) {
            ADD_FAILURE() << "bandhost did not answer a command";
            return E_FAIL;
        }
        return static_cast<HRESULT>(reply);
    }

    // Ends the host through its own "exit" command; true when it ended with 0.
    bool Close() {
        m_closed = true;
        if (m_hwnd != nullptr) {
            Command(L"exit");
        }
        if (!m_process->Wait(kToolTimeoutMs)) {
            TerminateProcess(m_process->Handle(), 99);
            ADD_FAILURE() << "bandhost did not end";
            return false;
        }
        return m_process->ExitCode() == 0;
    }

  private:
    std::wstring m_logPath;
    std::unique_ptr<ChildProcess> m_process;
    HWND m_hwnd = nullptr;
    bool m_closed = false;
};

} // namespace presence
