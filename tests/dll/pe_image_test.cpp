// The export and import tables of VantrelDeskBand.dll, read from the PE file
// itself (not through the loader).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/band_module.h"
#include "support/test_paths.h"

namespace {

class PeFile {
  public:
    explicit PeFile(const std::wstring& path) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return;
        }
        LARGE_INTEGER size = {};
        GetFileSizeEx(h, &size);
        m_bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ReadFile(h, m_bytes.data(), static_cast<DWORD>(m_bytes.size()), &read, nullptr);
        CloseHandle(h);
        m_bytes.resize(read);
    }

    bool Parse() {
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
            return false;
        }
        m_nt = At<IMAGE_NT_HEADERS64>(static_cast<size_t>(dos->e_lfanew));
        if (m_nt == nullptr || m_nt->Signature != IMAGE_NT_SIGNATURE ||
            m_nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            return false;
        }
        const size_t sectionsAt = static_cast<size_t>(dos->e_lfanew) +
                                  offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                  m_nt->FileHeader.SizeOfOptionalHeader;
        for (WORD i = 0; i < m_nt->FileHeader.NumberOfSections; ++i) {
            const auto* section =
                At<IMAGE_SECTION_HEADER>(sectionsAt + i * sizeof(IMAGE_SECTION_HEADER));
            if (section == nullptr) {
                return false;
            }
            m_sections.push_back(*section);
        }
        return true;
    }

    const IMAGE_NT_HEADERS64& Nt() const { return *m_nt; }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const {
        return m_nt->OptionalHeader.DataDirectory[index];
    }

    // File offset of an RVA, or SIZE_MAX when no section holds it.
    size_t Offset(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER& s : m_sections) {
            const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return SIZE_MAX;
    }
    template <typename T> const T* AtRva(DWORD rva) const { return At<T>(Offset(rva)); }
    std::string StringAtRva(DWORD rva) const {
        const size_t at = Offset(rva);
        if (at >= m_bytes.size()) {
            return "<bad rva>";
        }
        const char* p = reinterpret_cast<const char*>(&m_bytes[at]);
        return std::string(p, strnlen(p, m_bytes.size() - at));
    }
    bool InExecutableSection(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER& s : m_sections) {
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize) {
                return (s.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
            }
        }
        return false;
    }

  private:
    template <typename T> const T* At(size_t offset) const {
        if (offset == SIZE_MAX || offset + sizeof(T) > m_bytes.size()) {
            return nullptr;
        }
        return reinterpret_cast<const T*>(&m_bytes[offset]);
    }

    std::vector<BYTE> m_bytes;
    const IMAGE_NT_HEADERS64* m_nt = nullptr;
    std::vector<IMAGE_SECTION_HEADER> m_sections;
};

class PeImage : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_pe.Parse()) << "not a PE32+ file"; }
    PeFile m_pe{BandDllPath()};
};

TEST_F(PeImage, IsA64BitDll) {
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, m_pe.Nt().FileHeader.Machine);
    EXPECT_TRUE(m_pe.Nt().FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST_F(PeImage, ExportsExactlyFiveNamesWithOrdinalsOneToFiveInAlphabeticalOrder) {
    const IMAGE_DATA_DIRECTORY& dir = m_pe.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(0u, dir.VirtualAddress);
    const auto* exports = m_pe.AtRva<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
    ASSERT_NE(nullptr, exports);
    EXPECT_EQ("VantrelDeskBand.dll", m_pe.StringAtRva(exports->Name));
    EXPECT_EQ(1u, exports->Base);
    ASSERT_EQ(5u, exports->NumberOfNames);
    ASSERT_EQ(5u, exports->NumberOfFunctions);

    const auto* names = m_pe.AtRva<DWORD>(exports->AddressOfNames);
    const auto* ordinals = m_pe.AtRva<WORD>(exports->AddressOfNameOrdinals);
    const auto* functions = m_pe.AtRva<DWORD>(exports->AddressOfFunctions);
    ASSERT_NE(nullptr, names);
    ASSERT_NE(nullptr, ordinals);
    ASSERT_NE(nullptr, functions);

    const char* expected[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                              "DllUnregisterServer", "ShowBand"};
    for (DWORD i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(expected[i], m_pe.StringAtRva(names[i]));
        EXPECT_EQ(i + 1, ordinals[i] + exports->Base);
        const DWORD rva = functions[ordinals[i]];
        // Code, not a forwarder string inside the export directory.
        EXPECT_FALSE(rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size);
        EXPECT_TRUE(m_pe.InExecutableSection(rva));
    }
}

TEST_F(PeImage, LoaderAgreesOnOrdinals) {
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer", "ShowBand"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        FARPROC byOrdinal = GetProcAddress(dll.Get(), MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(nullptr, byOrdinal);
        EXPECT_EQ(GetProcAddress(dll.Get(), names[ordinal - 1]), byOrdinal) << names[ordinal - 1];
    }
    EXPECT_EQ(nullptr, GetProcAddress(dll.Get(), MAKEINTRESOURCEA(6)));
    EXPECT_EQ(nullptr, GetProcAddress(dll.Get(), "DllMain"));
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

TEST_F(PeImage, ImportsOnlySystemDlls) {
    const std::set<std::string> allowed = {
        "kernel32.dll", "user32.dll",  "gdi32.dll",   "msimg32.dll",  "uxtheme.dll", "ole32.dll",
        "oleaut32.dll", "shell32.dll", "shlwapi.dll", "advapi32.dll", "msvcrt.dll"};
    const IMAGE_DATA_DIRECTORY& dir = m_pe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(0u, dir.VirtualAddress);
    std::set<std::string> imported;
    for (DWORD at = dir.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* desc = m_pe.AtRva<IMAGE_IMPORT_DESCRIPTOR>(at);
        ASSERT_NE(nullptr, desc);
        if (desc->Name == 0) {
            break;
        }
        imported.insert(Lower(m_pe.StringAtRva(desc->Name)));
    }
    EXPECT_TRUE(imported.count("kernel32.dll"));
    for (const std::string& name : imported) {
        EXPECT_TRUE(allowed.count(name)) << "imports " << name;
    }
    for (const char* runtime : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"}) {
        EXPECT_FALSE(imported.count(runtime)) << "imports " << runtime;
    }
    // Nothing loaded behind the loader's back either.
    EXPECT_EQ(0u, m_pe.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress);
}

} // namespace
