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

}  // namespace

std::variant<Options, UsageError> ParseCommandLine(const std::vector<std::string>& args) {
    Options options;
    options.filetypes = std::string(kDefaultFileTypes);
    options.jobs = std::max(1u, std::thread::hardware_concurrency());

    using Flag = std::function<void()>;
    using Valued = std::function<std::optional<std::string>(const std::string&)>;
    const std::map<std::string, Flag> flags = {
        {"-r", [&] { options.recursive = true; }},
        {"--recursive", [&] { options.recursive = true; }},
        {"--headers-only", [&] { options.headers_only = true; }},
        {"-q", [&] { options.quiet = true; }},
        {"--quiet", [&] { options.quiet = true; }},
        {"--record-hex", [&] { options.record_hex = true; }},
        {"--music-crc", [&] { options.music_crc = true; }},
        {"--all-columns", [&] { options.all_columns = true; }},
        {"--report", [&] { options.report = true; }},
        {"--problems", [&] { options.problems = true; }},
        {"--mono-quality", [&] { options.mono_quality = true; }},
        {"-h", [&] { options.show_help = true; }},
        {"--help", [&] { options.show_help = true; }},
        {"--version", [&] { options.show_version = true; }},
    };
    // Options taking a count or a file name; `name` is the long form.
    auto count = [](const char* name, int& target) {
        return [name, &target](const std::string& v) -> std::optional<std::string> {
            auto n = ParseCount(v);
            if (!n && AllDigits(v)) {
                return std::string(name) + " needs a whole number from 0 to " +
                       std::to_string(std::numeric_limits<int>::max()) + ", not '" + v + "'";
            }
            if (!n) {
                return std::string(name) + " needs a whole number of 0 or more, not '" + v + "'";
            }
            target = *n;
            return std::nullopt;
        };
    };
    auto file_name = [](const char* name, std::string& target) {
        return [name, &target](const std::string& v) -> std::optional<std::string> {
            if (v.empty()) {
                return std::string(name) + " needs a file name";
            }
            target = v;
            return std::nullopt;
        };
    };
    const Valued frames = [&, parse = count("--frames", options.frames)](const std::string& v) {
        options.frames_given = true;
        return parse(v);
    };
    auto format = [&](const std::string& v) -> std::optional<std::string> {
        auto f = ParseFormat(v);
        if (!f) {
            return "unknown --format '" + v + "' (table, tsv, csv, json or jsonl)";
        }
        options.format = *f;
        return std::nullopt;
    };
    const Valued output = file_name("--output", options.output);
    auto jobs = [&](const std::string& v) -> std::optional<std::string> {
        auto n = ParseCount(v);
        if (!n || *n == 0) {
            return "--jobs needs a number of threads of 1 or more, not '" + v + "'";
        }
        options.jobs = static_cast<unsigned>(*n);
        return std::nullopt;
    };
    auto columns = [&](const std::string& v) -> std::optional<std::string> {
        options.columns = SplitNonEmpty(v, ',');
        if (options.columns.empty()) {
            return std::string("--columns needs at least one attribute name");
        }
        return std::nullopt;
    };
    auto filetypes = [&](const std::string& v) -> std::optional<std::string> {
        options.filetypes = NormalisedFileTypes(v);
        if (options.filetypes.empty()) {
            return "--filetypes needs at least one extension, not '" + v + "'";
        }
        return std::nullopt;
    };
    const std::map<std::string, Valued> valued = {
        {"-f", frames},
        {"--frames", frames},
        {"--format", format},
        {"-o", output},
        {"--output", output},
        {"--filetypes", filetypes},
        {"--columns", columns},
        {"-j", jobs},
        {"--jobs", jobs},
        {"--cache", file_name("--cache", options.cache_file)},
        {"--cache-max-kb", count("--cache-max-kb", options.cache_max_kb)},
        {"--html", file_name("--html", options.html_template)},
        {"--files-from", file_name("--files-from", options.files_from)},
    };

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
        std::string name = arg;
        std::optional<std::string> inline_value;
        if (arg.starts_with("--")) {
            if (size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inline_value = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            // Grouped short options: flags ("-rq"), of which the last may take
            // a value, attached ("-f1000", "-rf1000") or as the next argument
            // ("-rf 1000").
            size_t k = 1;
            for (; k < arg.size(); ++k) {
                const std::string letter = std::string("-") + arg[k];
                if (valued.count(letter) != 0) {
                    name = letter;
                    if (k + 1 < arg.size()) {
                        inline_value = arg.substr(k + 1);
                    }
                    break;
                }
                auto flag = flags.find(letter);
                if (flag == flags.end()) {
                    return UsageError{"unknown option '" + arg + "'"};
                }
                flag->second();
            }
            if (k == arg.size()) {
                continue;
            }
        }
        if (auto flag = flags.find(name); flag != flags.end()) {
            if (inline_value) {
                return UsageError{"option '" + name + "' takes no value"};
            }
            flag->second();
            continue;
        }
        auto option = valued.find(name);
        if (option == valued.end()) {
            return UsageError{"unknown option '" + arg + "'"};
        }
        std::string value;
        if (inline_value) {
            value = *inline_value;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return UsageError{"option '" + name + "' needs a value"};
        }
        if (auto error = option->second(value)) {
            return UsageError{*error};
        }
    }
    if (options.paths.empty() && options.files_from.empty() && !options.show_help &&
        !options.show_version) {
        return UsageError{"no file or folder given"};
    }
    if (!options.html_template.empty() && !options.show_help && !options.show_version) {
        if (auto error = HtmlConflict(options)) {
            return UsageError{*error};
        }
        if (options.output.empty()) {
            options.output = kDefaultHtmlReport;
        }
    }
    return options;
}

// The help text names the thread cap.
static_assert(kMaxJobs == 256);

std::string HelpText() {
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
           "                         -f N) unless a column needs all; one file at a time\n"
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
