#include "cli/Options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <map>
#include <thread>
#include <utility>

#include "cli/ParallelScan.h"
#include "engine/media/FileTypes.h"

namespace vandrel::cli {

namespace {

// Digits only: a count that did not parse is then too large for an int.
bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> ParseCount(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<OutputFormat> ParseFormat(const std::string& text) {
    static const std::map<std::string, OutputFormat> kFormats = {
        {"table", OutputFormat::kTable},     {"tsv", OutputFormat::kTsv},
        {"csv", OutputFormat::kCsv},         {"json", OutputFormat::kJson},
        {"jsonl", OutputFormat::kJsonLines},
    };
    auto it = kFormats.find(text);
    if (it == kFormats.end()) {
        return std::nullopt;
    }
    return it->second;
}

// The file types as the settings keep them: every extension with its leading
// "." (one is added where it is missing, so "mp3;mp2" reads ".mp3;.mp2;") and
// a ";" after each; empty when the list names none.
std::string NormalisedFileTypes(const std::string& text) {
    std::string out;
    for (const std::string& extension : SplitNonEmpty(text, ';')) {
        if (!extension.starts_with('.')) {
            out += '.';
        }
        out += extension;
        out += ';';
    }
    return out;
}

// What --html cannot go with: the report has its own output and its own way
// of reading files.
std::optional<std::string> HtmlConflict(const Options& options) {
    const std::pair<bool, const char*> others[] = {
        {options.report, "--report"},
        {options.format != OutputFormat::kTable, "--format"},
        {options.headers_only, "--headers-only"},
        {options.music_crc, "--music-crc"},
        {options.record_hex, "--record-hex"},
        {options.problems, "--problems"},
    };
    for (const auto& [given, name] : others) {
        if (given) {
            return std::string("--html cannot be combined with ") + name;
        }
    }
    return std::nullopt;
}

// What --spectrogram cannot go with: it draws one file, which its own value
// names, and reads it in full.
std::optional<std::string> SpectrogramConflict(const Options& options) {
    if (!options.paths.empty() || !options.files_from.empty()) {
        return std::string("--spectrogram draws the one file it names: no other PATH");
    }
    const std::pair<bool, const char*> others[] = {
        {!options.html_template.empty(), "--html"},
        {options.report, "--report"},
        {options.format != OutputFormat::kTable, "--format"},
        {!options.columns.empty() || options.all_columns, "--columns"},
        {options.headers_only, "--headers-only"},
        {options.frames_given, "--frames"},
        {options.recursive, "--recursive"},
        {options.music_crc, "--music-crc"},
        {options.record_hex, "--record-hex"},
        {options.problems, "--problems"},
        {!options.cache_file.empty(), "--cache"},
    };
    for (const auto& [given, name] : others) {
        if (given) {
            return std::string("--spectrogram cannot be combined with ") + name;
        }
    }
    if (options.output.empty()) {
        return std::string("--spectrogram needs -o FILE (- for standard output)");
    }
    return std::nullopt;
}

// What --repair cannot go with: it prints its plans and checks, not the
// attributes, and reads every frame.
std::optional<std::string> RepairConflict(const Options& options) {
    const std::pair<bool, const char*> others[] = {
        {!options.html_template.empty(), "--html"},
        {!options.spectrogram.empty(), "--spectrogram"},
        {options.report, "--report"},
        {options.format != OutputFormat::kTable && options.format != OutputFormat::kJson,
         "--format other than table or json"},
        {!options.columns.empty() || options.all_columns, "--columns"},
        {options.headers_only, "--headers-only"},
        {options.frames_given, "--frames"},
        {options.record_hex, "--record-hex"},
        {options.problems, "--problems"},
        {!options.output.empty(), "--output"},
    };
    for (const auto& [given, name] : others) {
        if (given) {
            return std::string("--repair cannot be combined with ") + name;
        }
    }
    return std::nullopt;
}

// What an option does with its value, and the problem when the value is
// not one it takes; `name` is the option's long form.
using ValueHandler = std::optional<std::string> (*)(Options& options, std::string_view name,
                                                    const std::string& value);

std::optional<std::string> CountInto(int& target, std::string_view name, const std::string& v) {
    const std::optional<int> n = ParseCount(v);
    if (!n && AllDigits(v)) {
        return std::string(name) + " needs a whole number from 0 to " +
               std::to_string(std::numeric_limits<int>::max()) + ", not '" + v + "'";
    }
    if (!n) {
        return std::string(name) + " needs a whole number of 0 or more, not '" + v + "'";
    }
    target = *n;
    return std::nullopt;
}

template <int Options::*kField>
std::optional<std::string> Count(Options& options, std::string_view name, const std::string& v) {
    return CountInto(options.*kField, name, v);
}

template <std::string Options::*kField>
std::optional<std::string> FileName(Options& options, std::string_view name, const std::string& v) {
    if (v.empty()) {
        return std::string(name) + " needs a file name";
    }
    options.*kField = v;
    return std::nullopt;
}

std::optional<std::string> Frames(Options& options, std::string_view name, const std::string& v) {
    options.frames_given = true;
    return CountInto(options.frames, name, v);
}

std::optional<std::string> Format(Options& options, std::string_view, const std::string& v) {
    const std::optional<OutputFormat> format = ParseFormat(v);
    if (!format) {
        return "unknown --format '" + v + "' (table, tsv, csv, json or jsonl)";
    }
    options.format = *format;
    return std::nullopt;
}

std::optional<std::string> Jobs(Options& options, std::string_view, const std::string& v) {
    const std::optional<int> n = ParseCount(v);
    if (!n || *n == 0) {
        return "--jobs needs a number of threads of 1 or more, not '" + v + "'";
    }
    options.jobs = static_cast<unsigned>(*n);
    return std::nullopt;
}

// WIDTHxHEIGHT, each within the picture sizes taken.
std::optional<std::string> Size(Options& options, std::string_view, const std::string& v) {
    const size_t x = v.find_first_of("xX");
    const std::optional<int> width =
        x == std::string::npos ? std::nullopt : ParseCount(v.substr(0, x));
    const std::optional<int> height =
        x == std::string::npos ? std::nullopt : ParseCount(v.substr(x + 1));
    if (!width || !height || *width < kSmallestPictureWidth || *width > kLargestPictureSide ||
        *height < kSmallestPictureHeight || *height > kLargestPictureSide) {
        return "--size needs WIDTHxHEIGHT in pixels, from " +
               std::to_string(kSmallestPictureWidth) + "x" +
               std::to_string(kSmallestPictureHeight) + " to " +
               std::to_string(kLargestPictureSide) + "x" + std::to_string(kLargestPictureSide) +
               ", not '" + v + "'";
    }
    options.picture_width = *width;
    options.picture_height = *height;
    options.size_given = true;
    return std::nullopt;
}

std::optional<std::string> Columns(Options& options, std::string_view, const std::string& v) {
    options.columns = SplitNonEmpty(v, ',');
    if (options.columns.empty()) {
        return std::string("--columns needs at least one attribute name");
    }
    return std::nullopt;
}

std::optional<std::string> FileTypes(Options& options, std::string_view, const std::string& v) {
    options.filetypes = NormalisedFileTypes(v);
    if (options.filetypes.empty()) {
        return "--filetypes needs at least one extension, not '" + v + "'";
    }
    return std::nullopt;
}

// One option of the command line: a flag, which sets its field, or one that
// takes a value, which its handler reads.
struct OptionEntry {
    std::string_view short_name;  // "-r"; empty when it has none
    std::string_view long_name;
    bool Options::*flag = nullptr;
    ValueHandler value = nullptr;
};

constexpr OptionEntry kOptionTable[] = {
    {"-r", "--recursive", &Options::recursive},
    {"", "--headers-only", &Options::headers_only},
    {"-q", "--quiet", &Options::quiet},
    {"", "--record-hex", &Options::record_hex},
    {"", "--music-crc", &Options::music_crc},
    {"", "--all-columns", &Options::all_columns},
    {"", "--report", &Options::report},
    {"", "--problems", &Options::problems},
    {"", "--mono-quality", &Options::mono_quality},
    {"", "--dry-run", &Options::dry_run},
    {"-h", "--help", &Options::show_help},
    {"", "--version", &Options::show_version},
    {"-f", "--frames", nullptr, Frames},
    {"", "--format", nullptr, Format},
    {"-o", "--output", nullptr, FileName<&Options::output>},
    {"", "--filetypes", nullptr, FileTypes},
    {"", "--columns", nullptr, Columns},
    {"-j", "--jobs", nullptr, Jobs},
    {"", "--cache", nullptr, FileName<&Options::cache_file>},
    {"", "--cache-max-kb", nullptr, Count<&Options::cache_max_kb>},
    {"", "--html", nullptr, FileName<&Options::html_template>},
    {"", "--files-from", nullptr, FileName<&Options::files_from>},
    {"", "--spectrogram", nullptr, FileName<&Options::spectrogram>},
    {"", "--size", nullptr, Size},
    {"", "--repair", nullptr, FileName<&Options::repair_dest>},
};

const OptionEntry* FindOption(std::string_view name) {
    for (const OptionEntry& entry : kOptionTable) {
        if (name == entry.long_name || (!entry.short_name.empty() && name == entry.short_name)) {
            return &entry;
        }
    }
    return nullptr;
}

// An option as the command line gives it: its name, and its value when it
// comes in the same argument ("--frames=100", "-f100").
struct GivenOption {
    const OptionEntry* entry = nullptr;
    std::string name;
    std::optional<std::string> inline_value;
};

// Grouped short options: flags ("-rq"), of which the last may take a value,
// attached ("-f1000", "-rf1000") or as the next argument ("-rf 1000"). Sets
// the flags; the option that takes a value, when there is one.
std::variant<std::optional<GivenOption>, UsageError> ReadShortGroup(const std::string& arg,
                                                                    Options& options) {
    for (size_t k = 1; k < arg.size(); ++k) {
        const std::string letter = std::string("-") + arg[k];
        const OptionEntry* entry = FindOption(letter);
        if (entry == nullptr) {
            return UsageError{"unknown option '" + arg + "'"};
        }
        if (entry->value != nullptr) {
            GivenOption given{entry, letter, std::nullopt};
            if (k + 1 < arg.size()) {
                given.inline_value = arg.substr(k + 1);
            }
            return given;
        }
        options.*entry->flag = true;
    }
    return std::nullopt;
}

// The option of an argument that starts with "-": nothing when it was a group
// of flags only, which are set.
std::variant<std::optional<GivenOption>, UsageError> ReadOption(const std::string& arg,
                                                                Options& options) {
    GivenOption given{nullptr, arg, std::nullopt};
    if (arg.starts_with("--")) {
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            given.name = arg.substr(0, eq);
            given.inline_value = arg.substr(eq + 1);
        }
    } else if (arg.size() > 2) {
        return ReadShortGroup(arg, options);
    }
    given.entry = FindOption(given.name);
    if (given.entry == nullptr) {
        return UsageError{"unknown option '" + arg + "'"};
    }
    return given;
}

// Applies one option; `next` gives the following argument as its value when
// it has none of its own.
std::optional<UsageError> ApplyOption(const GivenOption& given, Options& options,
                                      const std::function<std::optional<std::string>()>& next) {
    if (given.entry->flag != nullptr) {
        if (given.inline_value) {
            return UsageError{"option '" + given.name + "' takes no value"};
        }
        options.*given.entry->flag = true;
        return std::nullopt;
    }
    std::optional<std::string> value = given.inline_value ? given.inline_value : next();
    if (!value) {
        return UsageError{"option '" + given.name + "' needs a value"};
    }
    if (auto error = given.entry->value(options, given.entry->long_name, *value)) {
        return UsageError{*error};
    }
    return std::nullopt;
}

// The checks of the whole command line, once every argument is read.
std::optional<UsageError> CheckCommandLine(Options& options) {
    const bool only_asks = options.show_help || options.show_version;
    if (only_asks) {
        return std::nullopt;
    }
    if (options.dry_run && options.repair_dest.empty()) {
        return UsageError{"--dry-run goes with --repair"};
    }
    if (!options.repair_dest.empty()) {
        if (auto error = RepairConflict(options)) {
            return UsageError{*error};
        }
    }
    if (options.size_given && options.spectrogram.empty()) {
        return UsageError{"--size goes with --spectrogram"};
    }
    if (!options.spectrogram.empty()) {
        if (auto error = SpectrogramConflict(options)) {
            return UsageError{*error};
        }
        return std::nullopt;
    }
    if (options.paths.empty() && options.files_from.empty()) {
        return UsageError{"no file or folder given"};
    }
    if (!options.html_template.empty()) {
        if (auto error = HtmlConflict(options)) {
            return UsageError{*error};
        }
        if (options.output.empty()) {
            options.output = kDefaultHtmlReport;
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<Options, UsageError> ParseCommandLine(const std::vector<std::string>& args) {
    Options options;
    options.filetypes = std::string(kDefaultFileTypes);
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    bool options_done = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            options.paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        auto read = ReadOption(arg, options);
        if (auto* usage = std::get_if<UsageError>(&read)) {
            return *usage;
        }
        const auto& given = std::get<std::optional<GivenOption>>(read);
        if (!given) {
            continue;  // a group of flags
        }
        const auto next = [&]() -> std::optional<std::string> {
            return i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt;
        };
        if (auto usage = ApplyOption(*given, options, next)) {
            return *usage;
        }
    }
    if (auto usage = CheckCommandLine(options)) {
        return *usage;
    }
    return options;
}

// The help text names the thread cap and the picture sizes.
static_assert(kMaxJobs == 256);
static_assert(kDefaultPictureWidth == 1280 && kDefaultPictureHeight == 720);
static_assert(kSmallestPictureWidth == 320 && kSmallestPictureHeight == 200 &&
              kLargestPictureSide == 8192);

namespace {

// The help from its first line to the options that pick what a run writes.
std::string ScanOptionsHelp() {
    return "Usage: vandrel-scan [OPTIONS] PATH...\n"
           "Analyse MPEG audio (MP1/MP2/MP3), MPEG Plus and WAVE files frame by frame.\n"
           "PATH may be files (analysed whatever their name) or folders (their files whose\n"
           "extension is in the file types, in name order).\n"
           "\n"
           "  -r, --recursive        descend into sub-folders\n"
           "      --files-from FILE  more PATHs, from FILE (- for standard input):\n"
           "                         separated by NUL bytes when it holds any, else one\n"
           "                         per line; a line longer than 4095 bytes is an error\n"
           "  -f, --frames N         frames to read per file; 0 = all (default 0)\n"
           "      --headers-only     tags, first frame and VBR headers only, no frame walk\n"
           "      --format F         table, tsv, csv, json or jsonl (default table); jsonl\n"
           "                         writes each file's json object on one line as soon as\n"
           "                         the file is done\n"
           "      --columns LIST     comma-separated attribute names or ids for table, tsv\n"
           "                         and csv (default: Name,Encoder,Bitrate,Frames,Length,\n"
           "                         Size,Bad Last Frame,Quality)\n"
           "      --all-columns      every attribute, in id order\n"
           "      --report           print each file's text report instead of a table\n"
           "      --problems         only the files with problems (damage, mismatched\n"
           "                         headers, upscaling, stray bytes) or errors; nothing\n"
           "                         (json: an empty array) when there are none\n"
           "      --mono-quality     double the quality per bitrate of mono files\n"
           "      --record-hex       with json(l): add each file's 2056-byte record as hex\n"
           "      --music-crc        also compute and check the LAME music CRC: a Music\n"
           "                         CRC column (json: attribute) follows the others; a\n"
           "                         corrupt one is a problem\n"
           "      --filetypes LIST   extensions taken from folders, separated by \";\"; a\n"
           "                         missing leading \".\" is added (default\n"
           "                         \".mp3;.mp2;.mp1;.mpc;.mp+;\")\n"
           "      --cache FILE       answer unchanged files from this analysis cache file,\n"
           "                         add new results to it and save it at the end; a\n"
           "                         cache of another version is kept as\n"
           "                         FILE.old-version and a new one started\n"
           "      --cache-max-kb N   cache size limit in KB; the least recently used\n"
           "                         records go first (default 500, at most 2147483647)\n"
           "      --html TEMPLATE    write an HTML report to the file of -o (report.html\n"
           "                         when there is no -o) instead of a table: TEMPLATE\n"
           "                         with the summary, the table, the version and the\n"
           "                         date put before its markers <!--INFO-->,\n"
           "                         <!--MAIN-->, <!--VERSION-->, <!--DATE--> (the\n"
           "                         program's own is template.html in /usr/share/vandrel,\n"
           "                         or beside vandrel-scan in a build folder), a text\n"
           "                         file of at most 16 MB with <!--MAIN--> at least. One\n"
           "                         report for all PATHs, in their order, each\n"
           "                         folder's files under a folder row; the columns of\n"
           "                         --columns or --all-columns in catalog order, Name\n"
           "                         first. Reads the first 1000 frames of each file (or\n"
           "                         -f N) unless a column needs all; one file at a time\n";
}

}  // namespace

std::string HelpText() {
    return ScanOptionsHelp() +
           "      --spectrogram FILE draw the spectrogram of FILE (MPEG audio or WAVE)\n"
           "                         as a PNG picture to the file of -o (- for standard\n"
           "                         output): the level over time and frequency, the\n"
           "                         mean level of each frequency beside it, and a line\n"
           "                         at the bandwidth the upscale check measured when it\n"
           "                         judged the file. It goes with -o, --size and -q;\n"
           "                         the options of a table or report are refused\n"
           "      --size WxH         the picture's width and height in pixels (default\n"
           "                         1280x720, from 320x200 to 8192x8192)\n"
           "      --repair DEST      repair each MPEG audio file into the folder DEST,\n"
           "                         under its own name: junk before the first frame,\n"
           "                         unknown bytes after the last, the bytes of sync\n"
           "                         errors and a cut last frame go, a Xing header that\n"
           "                         disagrees with the audio (or is missing from a VBR\n"
           "                         file) is made anew; tags and audio frames stay byte\n"
           "                         for byte. Each copy is scanned afresh and compared\n"
           "                         with its original before it is kept. Prints each\n"
           "                         file's plan and checks (table or --format json);\n"
           "                         never writes over an input, an existing file or the\n"
           "                         cache. Exit status 1 when a file was refused or\n"
           "                         failed\n"
           "      --dry-run          with --repair: print the plans, write nothing\n"
           "  -o, --output FILE      write there instead of standard output (- is\n"
           "                         standard output); the file is replaced whole when\n"
           "                         the run ends (through a link, to the file it points\n"
           "                         to; devices and pipes are written directly); an\n"
           "                         input, the --html template, the cache (or a file\n"
           "                         beside it) or an audio file is never replaced\n"
           "  -j, --jobs N           files analysed in parallel (default: the number of\n"
           "                         processors); at most 256 and at most one per file\n"
           "  -q, --quiet            no progress bar on standard error\n"
           "      --version          print the version and exit\n"
           "  -h, --help             print this help and exit\n"
           "\n"
           "Short options group as \"-rq\"; the last of a group may take its value\n"
           "attached or as the next argument (\"-rf100\", \"-rf 100\"). A long option\n"
           "takes its value after \"=\" or as the next argument (\"--frames=100\",\n"
           "\"--frames 100\"). After \"--\" every argument is a PATH.\n"
           "\n"
           "In table, tsv and csv output and in error messages, tab, line feed and\n"
           "carriage return are written as \\t, \\n and \\r, other control characters\n"
           "and bytes that are not UTF-8 as \\xHH (the byte in hex), and a backslash\n"
           "as \\\\ where it would otherwise read as the start of one of these.\n"
           "In json, a path that is not UTF-8 also comes as \"path_bytes\" (hex).\n"
           "\n"
           "Exit status: 0 when every file was analysed and the output written; 1 when\n"
           "a file could not be opened or scanned, or the output could not be written;\n"
           "2 for a usage error (nothing is written); 3 when everything else went well\n"
           "but the cache could not be saved. With --problems, 1 also when a file has a\n"
           "problem.\n";
}

}  // namespace vandrel::cli
