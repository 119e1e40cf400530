// The log the companion stand-in (AppVantrelHelp.exe) appends to at every
// start, named to it through the environment that the band's ShellExecute
// passes on. One UTF-8 line per start: exe=<path>\targs=<...>\tcmdline=<...>.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace support {

struct CompanionRecord {
    std::wstring exe;
    std::wstring args;
    std::wstring cmdline;
};

class CompanionLog {
  public:
    // A fresh, empty log for this process and the programs it starts.
    CompanionLog() {
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        wchar_t name[MAX_PATH] = {};
        GetTempFileNameW(dir, L"vcl", 0, name);
        m_path = name;
        DeleteFileW(m_path.c_str());
        SetEnvironmentVariableW(L"VANTREL_COMPANION_LOG", m_path.c_str());
    }
    ~CompanionLog() {
        SetEnvironmentVariableW(L"VANTREL_COMPANION_LOG", nullptr);
        DeleteFileW(m_path.c_str());
    }
    CompanionLog(const CompanionLog&) = delete;
    CompanionLog& operator=(const CompanionLog&) = delete;

    std::vector<CompanionRecord> Read() const {
        std::vector<CompanionRecord> records;
        const std::string text = ReadAll();
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            records.push_back(Parse(FromUtf8(text.substr(start, end - start))));
        }
        return records;
    }

    // Waits until at least `count` starts are recorded, pumping this thread's
    // messages meanwhile. Starting a Wine process can take seconds on a busy
    // machine; the bound only keeps a missing start from hanging the run.
    std::vector<CompanionRecord> WaitFor(size_t count) const {
        const ULONGLONG deadline = GetTickCount64() + 60000;
        std::vector<CompanionRecord> records = Read();
        while (records.size() < count && GetTickCount64() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(50);
            records = Read();
        }
        return records;
    }

    // The programs started so far, by their own paths.
    static std::vector<std::wstring> Exes(const std::vector<CompanionRecord>& records) {
        std::vector<std::wstring> exes;
        for (const CompanionRecord& record : records) {
            exes.push_back(record.exe);
        }
        return exes;
    }

  private:
    std::string ReadAll() const {
        std::string text;
        HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return text;
        }
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            text.append(buffer, read);
        }
        CloseHandle(file);
        return text;
    }

    static std::wstring FromUtf8(const std::string& s) {
        if (s.empty()) {
            return std::wstring();
        }
        const int cch =
            MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(cch), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], cch);
        return w;
    }

    static CompanionRecord Parse(const std::wstring& line) {
        CompanionRecord record;
        size_t pos = 0;
        while (pos <= line.size()) {
            size_t tab = line.find(L'\t', pos);
            if (tab == std::wstring::npos) {
                tab = line.size();
            }
            const std::wstring field = line.substr(pos, tab - pos);
            if (field.rfind(L"exe=", 0) == 0) {
                record.exe = field.substr(4);
            } else if (field.rfind(L"args=", 0) == 0) {
                record.args = field.substr(5);
            } else if (field.rfind(L"cmdline=", 0) == 0) {
                record.cmdline = line.substr(pos + 8); // the rest, tabs and all
                break;
            }
            pos = tab + 1;
        }
        return record;
    }

    std::wstring m_path;
};

} // namespace support
