#include "pe_file.h"

#include <cstring>

namespace {

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 30)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
            read != bytes.size()) {
            bytes.clear();
        }
    }
    CloseHandle(file);
    return bytes;
}

class Image {
  public:
    explicit Image(const std::vector<unsigned char>& bytes) : m_bytes(bytes) {}

    template <typename T> const T* At(size_t offset) const {
        if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T)) {
            return nullptr;
        }
        return reinterpret_cast<const T*>(m_bytes.data() + offset);
    }

    // A zero-terminated string at a file offset, cut at the end of the file.
    std::string StringAt(size_t offset) const {
        std::string s;
        while (offset < m_bytes.size() && m_bytes[offset] != 0) {
            s.push_back(static_cast<char>(m_bytes[offset++]));
        }
        return s;
    }

    void SetSections(const IMAGE_SECTION_HEADER* first, int count) {
        m_sections = first;
        m_cSections = count;
    }

    // The file offset of an address relative to the image, 0 if no section
    // holds it in the file.
    size_t OffsetOf(DWORD rva) const {
        for (int i = 0; i < m_cSections; ++i) {
            const IMAGE_SECTION_HEADER& s = m_sections[i];
            const DWORD span =
                s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span &&
                rva - s.VirtualAddress < s.SizeOfRawData) {
                return s.PointerToRawData + (rva - s.VirtualAddress);
            }
        }
        return 0;
    }

  private:
    const std::vector<unsigned char>& m_bytes;
    const IMAGE_SECTION_HEADER* m_sections = nullptr;
    int m_cSections = 0;
};

// Section names longer than eight characters (the debug sections MinGW
// writes) are stored as "/offset" into the COFF string table.
std::string SectionName(const Image& image, const IMAGE_FILE_HEADER& fileHeader,
                        const IMAGE_SECTION_HEADER& section) {
    char raw[IMAGE_SIZEOF_SHORT_NAME + 1] = {};
    std::memcpy(raw, section.Name, IMAGE_SIZEOF_SHORT_NAME);
    std::string name(raw);
    if (name.size() > 1 && name[0] == '/' && fileHeader.PointerToSymbolTable != 0) {
        const size_t strings = fileHeader.PointerToSymbolTable +
                               fileHeader.NumberOfSymbols * size_t{IMAGE_SIZEOF_SYMBOL};
        const std::string longName = image.StringAt(strings + std::strtoul(raw + 1, nullptr, 10));
        if (!longName.empty()) {
            name = longName;
        }
    }
    return name;
}

} // namespace

PeFile ReadPeFile(const std::wstring& path) {
    PeFile pe;
    const std::vector<unsigned char> bytes = ReadWholeFile(path);
    if (bytes.empty()) {
        pe.error = "cannot read the file";
        return pe;
    }
    pe.fileSize = bytes.size();
    Image image(bytes);

    const IMAGE_DOS_HEADER* dos = image.At<IMAGE_DOS_HEADER>(0);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
        pe.error = "no MZ header";
        return pe;
    }
    const size_t ntOffset = static_cast<size_t>(dos->e_lfanew);
    const IMAGE_NT_HEADERS64* nt = image.At<IMAGE_NT_HEADERS64>(ntOffset);
    if (nt == nullptr || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        pe.error = "not a 64-bit PE image";
        return pe;
    }

    const size_t sectionsOffset = ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                  nt->FileHeader.SizeOfOptionalHeader;
    const int cSections = nt->FileHeader.NumberOfSections;
    if (cSections == 0 ||
        image.At<IMAGE_SECTION_HEADER>(sectionsOffset +
                                       (cSections - 1) * sizeof(IMAGE_SECTION_HEADER)) == nullptr) {
        pe.error = "section table cut short";
        return pe;
    }
    const IMAGE_SECTION_HEADER* sections = image.At<IMAGE_SECTION_HEADER>(sectionsOffset);
    image.SetSections(sections, cSections);
    for (int i = 0; i < cSections; ++i) {
        pe.sections.push_back({SectionName(image, nt->FileHeader, sections[i]),
                               sections[i].Misc.VirtualSize, sections[i].SizeOfRawData});
    }

    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) {
        return pe;
    }
    size_t descriptorOffset = image.OffsetOf(dir.VirtualAddress);
    while (const IMAGE_IMPORT_DESCRIPTOR* d = image.At<IMAGE_IMPORT_DESCRIPTOR>(descriptorOffset)) {
        if (d->Name == 0) {
            break;
        }
        PeImport import;
        import.dll = image.StringAt(image.OffsetOf(d->Name));
        import.functions = 0;
        const DWORD thunks = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
        size_t thunkOffset = image.OffsetOf(thunks);
        while (thunkOffset != 0) {
            const ULONGLONG* thunk = image.At<ULONGLONG>(thunkOffset);
            if (thunk == nullptr || *thunk == 0) {
                break;
            }
            ++import.functions;
            thunkOffset += sizeof(ULONGLONG);
        }
        pe.imports.push_back(import);
        descriptorOffset += sizeof(IMAGE_IMPORT_DESCRIPTOR);
    }
    return pe;
}
