// What this process writes with OutputDebugString, caught the way a debugger
// sees it (the system raises a print exception for each line). The band writes
// the companion's command line there just before it starts the program.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace support {

class DebugOutputCapture {
  public:
    DebugOutputCapture() {
        Clear();
        m_handler = AddVectoredExceptionHandler(1, OnPrint);
    }
    ~DebugOutputCapture() { RemoveVectoredExceptionHandler(m_handler); }
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::wstring> Lines() const {
        std::lock_guard<std::mutex> lock(Mutex());
        return Store();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(Mutex());
        Store().clear();
    }

  private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::wstring>& Store() {
        static std::vector<std::wstring> lines;
        return lines;
    }

    static LONG CALLBACK OnPrint(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* rec = info->ExceptionRecord;
        if (rec->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C && rec->NumberParameters >= 2) {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(rec->ExceptionInformation[1]);
            std::lock_guard<std::mutex> lock(Mutex());
            Store().emplace_back(text != nullptr ? text : L"");
            // Handled as a debugger would: no narrow copy follows.
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        if (rec->ExceptionCode == DBG_PRINTEXCEPTION_C && rec->NumberParameters >= 2) {
            const char* text = reinterpret_cast<const char*>(rec->ExceptionInformation[1]);
            std::wstring wide;
            for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
                wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
            }
            std::lock_guard<std::mutex> lock(Mutex());
            Store().push_back(wide);
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* m_handler;
};

} // namespace support
