// What a PE file is made of, read from the file itself: its size, its
// sections and the DLLs it imports.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PeSection {
    std::string name;
    DWORD virtualSize;
    DWORD rawSize;
};

struct PeImport {
    std::string dll;
    int functions;
};

struct PeFile {
    std::string error; // empty when the file was read and understood
    ULONGLONG fileSize = 0;
    std::vector<PeSection> sections;
    std::vector<PeImport> imports;
};

PeFile ReadPeFile(const std::wstring& path);
