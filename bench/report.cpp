#include "report.h"

#include <windows.h>

#include <cstdio>

namespace {

double Ratio(double band, double floor) {
    return floor > 0 ? band / floor : 0;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof(buf), "\\u%04x", c);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string Quote(const std::string& s) {
    return "\"" + Escape(s) + "\"";
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.3f", v);
    return buf;
}

std::string SummaryJson(const Summary& s) {
    return "{\"reps\": " + std::to_string(s.reps) + ", \"min_us\": " + Number(s.min) +
           ", \"median_us\": " + Number(s.median) + "}";
}

} // namespace

void PrintReport(const RunInfo& run, const std::vector<Figure>& figures,
                 const std::vector<Part>& parts, const PeFile& dll) {
    std::printf("Vantrel desk band: what the band costs its host (microseconds)\n");
    std::printf("%s, Wine %s, %s, %d CPUs, load %s%s\n\n", run.date.c_str(), run.wine.c_str(),
                run.cpu.c_str(), run.processors, run.load.c_str(), run.quick ? ", QUICK RUN" : "");
    std::printf("%-20s %6s %10s %10s %10s %10s %8s %8s\n", "figure", "reps", "band min", "band med",
                "floor min", "floor med", "x min", "x med");
    for (const Figure& f : figures) {
        std::printf("%-20s %6d %10.1f %10.1f %10.1f %10.1f %8.2f %8.2f\n", f.name.c_str(),
                    f.band.reps, f.band.min, f.band.median, f.floor.min, f.floor.median,
                    Ratio(f.band.min, f.floor.min), Ratio(f.band.median, f.floor.median));
    }
    std::printf("\n");
    for (const Figure& f : figures) {
        std::printf("  %-18s band:  %s\n  %-18s floor: %s\n", f.name.c_str(), f.what.c_str(), "",
                    f.floorWhat.c_str());
    }

    std::printf("\n%-26s %6s %10s %10s  %s\n", "part", "reps", "min", "median", "what");
    for (const Part& p : parts) {
        std::printf("%-26s %6d %10.1f %10.1f  %s\n", p.name.c_str(), p.time.reps, p.time.min,
                    p.time.median, p.what.c_str());
    }

    std::printf("\nDLL %s\n", run.dllPath.c_str());
    if (!dll.error.empty()) {
        std::printf("  not read: %s\n", dll.error.c_str());
        return;
    }
    std::printf("  file size %llu bytes\n", dll.fileSize);
    std::printf("  %-16s %12s %12s\n", "section", "virtual", "raw");
    for (const PeSection& s : dll.sections) {
        std::printf("  %-16s %12lu %12lu\n", s.name.c_str(),
                    static_cast<unsigned long>(s.virtualSize),
                    static_cast<unsigned long>(s.rawSize));
    }
    std::printf("  imports:");
    for (const PeImport& i : dll.imports) {
        std::printf(" %s (%d)", i.dll.c_str(), i.functions);
    }
    std::printf("\n");
}

bool WriteJson(const std::wstring& path, const RunInfo& run, const std::vector<Figure>& figures,
               const std::vector<Part>& parts, const PeFile& dll) {
    std::string j = "{\n";
    j += "  \"date\": " + Quote(run.date) + ",\n";
    j += "  \"wine\": " + Quote(run.wine) + ",\n";
    j += "  \"machine\": {\"cpu\": " + Quote(run.cpu) +
         ", \"processors\": " + std::to_string(run.processors) + ", \"load\": " + Quote(run.load) +
         "},\n";
    j += "  \"timer_frequency_hz\": " + std::to_string(run.timerFrequency) + ",\n";
    j += "  \"quick\": " + std::string(run.quick ? "true" : "false") + ",\n";
    j += "  \"figures\": [\n";
    for (size_t i = 0; i < figures.size(); ++i) {
        const Figure& f = figures[i];
        j += "    {\"name\": " + Quote(f.name) + ", \"what\": " + Quote(f.what) +
             ",\n     \"band\": " + SummaryJson(f.band) +
             ",\n     \"floor_what\": " + Quote(f.floorWhat) +
             ",\n     \"floor\": " + SummaryJson(f.floor) +
             ",\n     \"ratio_min\": " + Number(Ratio(f.band.min, f.floor.min)) +
             ", \"ratio_median\": " + Number(Ratio(f.band.median, f.floor.median)) + "}";
        j += i + 1 < figures.size() ? ",\n" : "\n";
    }
    j += "  ],\n  \"parts\": [\n";
    for (size_t i = 0; i < parts.size(); ++i) {
        const Part& p = parts[i];
        j += "    {\"name\": " + Quote(p.name) + ", \"what\": " + Quote(p.what) +
             ", \"time\": " + SummaryJson(p.time) + "}";
        j += i + 1 < parts.size() ? ",\n" : "\n";
    }
    j += "  ],\n  \"dll\": {\"path\": " + Quote(run.dllPath);
    if (!dll.error.empty()) {
        j += ", \"error\": " + Quote(dll.error);
    }
    j += ", \"file_size\": " + std::to_string(dll.fileSize) + ",\n    \"sections\": [";
    for (size_t i = 0; i < dll.sections.size(); ++i) {
        const PeSection& s = dll.sections[i];
        j += std::string(i == 0 ? "\n" : ",\n") + "      {\"name\": " + Quote(s.name) +
             ", \"virtual_size\": " + std::to_string(s.virtualSize) +
             ", \"raw_size\": " + std::to_string(s.rawSize) + "}";
    }
    j += "],\n    \"imports\": [";
    for (size_t i = 0; i < dll.imports.size(); ++i) {
        const PeImport& imp = dll.imports[i];
        j += std::string(i == 0 ? "\n" : ",\n") + "      {\"dll\": " + Quote(imp.dll) +
             ", \"functions\": " + std::to_string(imp.functions) + "}";
    }
    j += "]}\n}\n";

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, j.data(), static_cast<DWORD>(j.size()), &written, nullptr) &&
                    written == j.size();
    CloseHandle(file);
    return ok;
}
