// Directories made for one test and removed again with the files copied into
// them, for the band's module and its companion at paths of a chosen length.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace support {

// A directory tree whose deepest path has exactly `length` characters; with
// a length of 0, just the base directory.
class DirectoryOfLength {
  public:
    DirectoryOfLength(const std::wstring& base, size_t length) {
        m_path = base;
        if ((length != 0 && m_path.size() >= length) ||
            !CreateDirectoryW(m_path.c_str(), nullptr)) {
            return;
        }
        m_dirs.push_back(m_path);
        if (length == 0) {
            m_ok = true;
            return;
        }
        while (m_path.size() < length) {
            const size_t room = length - m_path.size() - 1;
            const size_t step = room > 120 ? 100 : room;
            m_path += L"\\" + std::wstring(step == 0 ? 1 : step, L'h');
            if (!CreateDirectoryW(m_path.c_str(), nullptr)) {
                return;
            }
            m_dirs.push_back(m_path);
        }
        m_ok = m_path.size() == length;
    }
    ~DirectoryOfLength() {
        for (const std::wstring& file : m_files) {
            for (int i = 0; i < 100 && !DeleteFileW(file.c_str()); ++i) {
                Sleep(50); // a started stand-in may still be on its way out
            }
        }
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it) {
            RemoveDirectoryW(it->c_str());
        }
    }
    DirectoryOfLength(const DirectoryOfLength&) = delete;
    DirectoryOfLength& operator=(const DirectoryOfLength&) = delete;

    bool Ok() const { return m_ok; }
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }
    bool CopyIn(const std::wstring& from, const std::wstring& name) {
        m_files.push_back(File(name));
        return CopyFileW(from.c_str(), File(name).c_str(), FALSE) != FALSE;
    }

  private:
    std::wstring m_path;
    bool m_ok = false;
    std::vector<std::wstring> m_dirs;
    std::vector<std::wstring> m_files;
};

} // namespace support
