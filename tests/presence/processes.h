// Child processes for the cross-process tests: the tools run beside the test
// executable, each with its output captured in files, waited for with a
// generous timeout (only so that a stuck tool cannot hang the run) while this
// thread keeps answering window messages sent to it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_paths.h"

namespace presence {

constexpr DWORD kToolTimeoutMs = 60000;

// Waits for a handle, dispatching this thread's messages meanwhile.
inline bool WaitPumping(HANDLE h, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, static_cast<DWORD>(deadline - now),
                                                  QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            return true;
        }
        if (r != WAIT_OBJECT_0 + 1) {
            return false;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Lets this thread answer messages for a while (no assertion on time).
inline void PumpFor(DWORD ms) {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WaitPumping(h, ms);
    CloseHandle(h);
}

inline std::wstring TempFile(const wchar_t* prefix) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    wchar_t path[MAX_PATH] = {};
    GetTempFileNameW(dir, prefix, 0, path);
    return path;
}

inline std::string ReadShared(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(h);
    return text;
}

inline HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A started tool with its stdout and stderr going to temporary files.
class ChildProcess {
  public:
    ChildProcess(const std::wstring& exeName, const std::wstring& args)
        : m_outPath(TempFile(L"out")), m_errPath(TempFile(L"err")) {
        HANDLE out = InheritableFile(m_outPath);
        HANDLE err = InheritableFile(m_errPath);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = out;
        si.hStdError = err;
        const std::wstring exe = BinDirectory() + exeName;
        std::wstring commandLine = L"\"" + exe + L"\" " + args;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                           BinDirectory().c_str(), &si, &pi)) {
            CloseHandle(pi.hThread);
            m_process = pi.hProcess;
            m_pid = pi.dwProcessId;
        }
        CloseHandle(out);
        CloseHandle(err);
    }
    ~ChildProcess() {
        if (m_process != nullptr) {
            if (!Wait(kToolTimeoutMs)) {
                TerminateProcess(m_process, 99);
            }
            CloseHandle(m_process);
        }
        DeleteFileW(m_outPath.c_str());
        DeleteFileW(m_errPath.c_str());
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process; }
    bool Wait(DWORD timeoutMs) { return m_process != nullptr && WaitPumping(m_process, timeoutMs); }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process, &code);
        return code;
    }
    std::string Out() const { return ReadShared(m_outPath); }
    std::string Err() const { return ReadShared(m_errPath); }

  private:
    std::wstring m_outPath;
    std::wstring m_errPath;
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

struct ToolResult {
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    std::string out;
    std::string err;
};

inline ToolResult RunTool(const std::wstring& exeName, const std::wstring& args) {
    ToolResult result;
    ChildProcess child(exeName, args);
    if (!child.Started()) {
        ADD_FAILURE() << "cannot start " << std::string(exeName.begin(), exeName.end());
        return result;
    }
    result.finished = child.Wait(kToolTimeoutMs);
    if (!result.finished) {
        TerminateProcess(child.Handle(), 99);
        ADD_FAILURE() << "tool did not end";
        return result;
    }
    result.exitCode = child.ExitCode();
    result.out = child.Out();
    result.err = child.Err();
    return result;
}

inline ToolResult Bandctl(const std::wstring& args) {
    return RunTool(L"bandctl.exe", args);
}

// One "event key=value ..." line of bandhost's log.
struct LogLine {
    std::string event;
    std::map<std::string, std::string> fields;
    std::string text;

    std::string Get(const std::string& key) const {
        auto it = fields.find(key);
        return it == fields.end() ? std::string("<missing>") : it->second;
    }
};

inline std::vector<LogLine> ParseLog(const std::string& text) {
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break; // an unfinished line is read next time
        }
        std::string raw = text.substr(start, end - start);
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        LogLine line;
        line.text = raw;
        size_t pos = 0;
        while (pos < raw.size()) {
            size_t next = raw.find(' ', pos);
            if (next == std::string::npos) {
                next = raw.size();
            }
            const std::string word = raw.substr(pos, next - pos);
            const size_t eq = word.find('=');
            if (pos == 0) {
                line.event = word;
            } else if (eq != std::string::npos) {
                line.fields[word.substr(0, eq)] = word.substr(eq + 1);
            }
            pos = next + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace presence
