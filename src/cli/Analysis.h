#pragma once

#include <optional>
#include <string>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel::cli {

struct AnalysisOptions {
    int frames = 0;  // 0 = all
    bool headers_only = false;
    bool music_crc = false;  // check the music CRC of files with a LAME tag
    bool mono_quality = false;
};

// One analysed file as the output writers see it.
struct FileResult {
    std::string path;
    std::string name;                  // the path's last component
    std::optional<std::string> error;  // the scanner's or the system's message
    ScanRecord record;
    AttributeTexts texts;  // what the file list would show
};

// Opens the file through the registered media-file kinds and scans it. Never
// throws: every failure becomes the result's error text.
FileResult AnalyseFile(const std::string& path, const AnalysisOptions& options);

std::string FileNameOf(const std::string& path);

}  // namespace vandrel::cli
