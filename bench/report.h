// The run's figures, printed as a table and written as JSON so that runs can
// be compared.
#pragma once

#include <string>
#include <vector>

#include "pe_file.h"
#include "samples.h"

// One thing the band does, beside the least any band must do for it.
struct Figure {
    std::string name;
    std::string what;
    Summary band;
    std::string floorWhat;
    Summary floor;
};

// A piece of a figure measured on its own, to see where the time goes.
struct Part {
    std::string name;
    std::string what;
    Summary time;
};

struct RunInfo {
    std::string date; // UTC, ISO 8601
    std::string wine;
    std::string cpu;
    std::string load;
    int processors = 0;
    long long timerFrequency = 0;
    bool quick = false;
    std::string dllPath;
};

void PrintReport(const RunInfo& run, const std::vector<Figure>& figures,
                 const std::vector<Part>& parts, const PeFile& dll);

bool WriteJson(const std::wstring& path, const RunInfo& run, const std::vector<Figure>& figures,
               const std::vector<Part>& parts, const PeFile& dll);
