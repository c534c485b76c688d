#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vandrel::cli {

// Where --html writes its report when no -o is given.
inline constexpr const char* kDefaultHtmlReport = "report.html";

// The -o (and --files-from) name of standard output (input).
inline constexpr const char* kStandardStream = "-";

// The size of a --spectrogram picture without --size, and the sizes --size takes.
inline constexpr int kDefaultPictureWidth = 1280;
inline constexpr int kDefaultPictureHeight = 720;
inline constexpr int kSmallestPictureWidth = 320;
inline constexpr int kSmallestPictureHeight = 200;
inline constexpr int kLargestPictureSide = 8192;

enum class OutputFormat { kTable, kTsv, kCsv, kJson, kJsonLines };

struct Options {
    std::vector<std::string> paths;
    std::string files_from;  // --files-from: more paths, from this file ("-": standard input)
    bool recursive = false;
    int frames = 0;             // frames to read per file; 0 = all
    bool frames_given = false;  // -f was on the command line
    bool headers_only = false;
    OutputFormat format = OutputFormat::kTable;
    std::string filetypes;
    std::string output;      // empty or kStandardStream: standard output
    std::string cache_file;  // empty: no cache
    int cache_max_kb = 500;
    bool quiet = false;
    bool record_hex = false;
    bool music_crc = false;
    std::vector<std::string> columns;  // attribute names or ids, as given
    bool all_columns = false;
    bool report = false;
    bool problems = false;  // --problems: only the files with findings or errors
    bool mono_quality = false;
    std::string html_template;  // --html: write the HTML report through this template
    std::string spectrogram;    // --spectrogram: draw this file's spectrogram to -o
    // --size: the spectrogram picture's pixels.
    int picture_width = kDefaultPictureWidth;
    int picture_height = kDefaultPictureHeight;
    bool size_given = false;
    std::string repair_dest;  // --repair: write repaired copies into this folder
    bool dry_run = false;     // --dry-run: with --repair, print the plans only
    unsigned jobs = 1;        // files analysed in parallel
    bool show_help = false;
    bool show_version = false;
};

struct UsageError {
    std::string message;
};

// Parses the arguments after the program name.
std::variant<Options, UsageError> ParseCommandLine(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace vandrel::cli
