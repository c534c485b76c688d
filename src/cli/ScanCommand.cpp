#include "cli/ScanCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <utility>

#include "cli/Analysis.h"
#include "cli/FileCollector.h"
#include "cli/HtmlCommand.h"
#include "cli/Output.h"
#include "cli/ParallelScan.h"
#include "cli/RepairCommand.h"
#include "cli/SpectrogramCommand.h"
#include "engine/io/AtomicFile.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "store/DataCache.h"

#ifndef VANDREL_VERSION
#define VANDREL_VERSION "0.0.0"
#endif

namespace vandrel::cli {

namespace {

// An ostream buffer that writes through an AtomicFile.
class AtomicFileBuffer : public std::streambuf {
public:
    explicit AtomicFileBuffer(AtomicFile& file) : file_(file) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return file_.Write({s, static_cast<size_t>(n)}) ? n : 0;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        return file_.Write({&ch, 1}) ? c : traits_type::eof();
    }

private:
    AtomicFile& file_;
};

// A one-line progress display on standard error, drawn only on a terminal.
class ProgressLine {
public:
    ProgressLine(bool enabled, std::ostream& err) : enabled_(enabled), err_(err) {}
    ~ProgressLine() {
        if (enabled_ && drawn_) {
            err_ << "\r\033[K" << std::flush;
        }
    }
    // `complete`: no more files than `known` will come.
    void Show(size_t done, size_t known, bool complete, const std::string& name) {
        if (!enabled_) {
            return;
        }
        std::string line(1, '[');
        line.append(std::to_string(done)).append("/").append(std::to_string(known));
        line.append(complete ? "] " : "+] ").append(EscapeText(name));
        DrawProgressLine(err_, std::move(line));
        drawn_ = true;
    }

private:
    bool enabled_;
    std::ostream& err_;
    bool drawn_ = false;
};

// Exit status when everything was analysed and written but the cache could
// not be saved: the results are right, the next run will be slower.
constexpr int kCacheNotSaved = 3;

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino};
}

// Where a path leads once its links are followed: its folder, and its name
// in that folder. Nothing for a folder that is not there or a name that is
// none ("", ".", "..").
struct Place {
    FileIdentity folder;
    std::string name;
    bool operator==(const Place&) const = default;
};
std::optional<Place> PlaceOf(const std::string& path) {
    const std::string real = FollowLinks(path);
    const size_t slash = real.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : real.substr(0, slash));
    std::string name = slash == std::string::npos ? real : real.substr(slash + 1);
    const std::optional<FileIdentity> identity = IdentityOf(folder);
    if (!identity || name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    return Place{*identity, std::move(name)};
}

// Whether two paths name one file, or would once it is made: the same file
// when both are there, else the same name in the same folder.
bool SamePlace(const std::string& a, const std::string& b) {
    const std::optional<FileIdentity> file_a = IdentityOf(a);
    const std::optional<FileIdentity> file_b = IdentityOf(b);
    if (file_a && file_b) {
        return *file_a == *file_b;
    }
    const std::optional<Place> place_a = PlaceOf(a);
    return place_a && place_a == PlaceOf(b);
}

// Adds the paths of --files-from to the command line's; why it cannot when
// it cannot. A FIFO or standard input is read as it comes, a folder is no
// list.
std::optional<std::string> AddListedPaths(Options& options) {
    const std::string name = "the list of files '" + EscapeText(options.files_from) + "'";
    const bool standard_input = options.files_from == kStandardStream;
    const int fd =
        standard_input ? STDIN_FILENO : ::open(options.files_from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return "cannot read " + name + ": " + std::strerror(errno);
    }
    struct stat st {};
    std::variant<std::vector<std::string>, std::string> listed;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        listed = "cannot read " + name + ": " + std::strerror(EISDIR);
    } else {
        listed = ReadPathList(fd);
        if (auto* problem = std::get_if<std::string>(&listed)) {
            *problem = name + ": " + *problem;
        }
    }
    if (!standard_input) {
        ::close(fd);
    }
    if (auto* problem = std::get_if<std::string>(&listed)) {
        return *problem;
    }
    auto& paths = std::get<std::vector<std::string>>(listed);
    options.paths.insert(options.paths.end(), std::make_move_iterator(paths.begin()),
                         std::make_move_iterator(paths.end()));
    return std::nullopt;
}

// Where the results go: standard output, or the -o file, which is replaced
// whole when the run ends.
class RunOutput {
public:
    explicit RunOutput(std::ostream& out) : out_(out) {}

    // Makes the -o file, after making sure it may be replaced; the exit
    // status when it cannot be (the reason told to `err`).
    std::optional<int> Open(const Options& options, std::ostream& err) {
        if (options.output.empty() || options.output == kStandardStream) {
            return std::nullopt;
        }
        // A walk of its own, before the output is made: the scan's walk
        // gives the files only as it reaches them.
        InputWalker inputs(options.paths, options.recursive, options.filetypes);
        if (const auto clash =
                OutputClash(options.output, options.cache_file, [&] { return inputs.Next(); })) {
            err << "vandrel-scan: " << *clash << "\n";
            return 2;
        }
        file_ = std::make_unique<AtomicFile>(options.output);
        if (!file_->Open()) {
            err << "vandrel-scan: " << file_->Error() << "\n";
            return 1;
        }
        buffer_ = std::make_unique<AtomicFileBuffer>(*file_);
        stream_ = std::make_unique<std::ostream>(buffer_.get());
        return std::nullopt;
    }

    std::ostream& stream() { return stream_ ? *stream_ : out_; }

    // Keeps the system's reason when standard output first failed: the
    // write that failed set errno, and later calls may change it.
    void NoteWriteFailure() {
        if (!file_ && !out_ && write_error_ == 0) {
            write_error_ = errno;
        }
    }

    // Replaces the -o file with what was written, or flushes standard
    // output; the run's status after that.
    int Finish(int status, std::ostream& err) {
        if (file_) {
            stream_->flush();
            if (!file_->Commit()) {
                err << "vandrel-scan: " << file_->Error() << "\n";
                return 1;
            }
            return status;
        }
        // A full disk or a closed pipe behind standard output.
        out_.flush();
        NoteWriteFailure();
        if (!out_) {
            err << "vandrel-scan: cannot write the output"
                << (write_error_ != 0 ? std::string(": ") + std::strerror(write_error_)
                                      : std::string())
                << "\n";
            return 1;
        }
        return status;
    }

private:
    std::ostream& out_;
    std::unique_ptr<AtomicFile> file_;
    std::unique_ptr<AtomicFileBuffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
    int write_error_ = 0;
};

// The run's answer before any file is read: a usage error, the help or the
// version, as the exit status; nothing when the scan is to go on.
std::optional<int> AnswerBeforeScan(const Options& options,
                                    const std::variant<std::vector<int32_t>, std::string>& columns,
                                    std::ostream& out, std::ostream& err) {
    if (const auto* unknown = std::get_if<std::string>(&columns)) {
        err << "vandrel-scan: " << *unknown << "\n";
        return 2;
    }
    if (options.show_help) {
        out << HelpText();
        return 0;
    }
    if (options.show_version) {
        out << "vandrel-scan " VANDREL_VERSION "\n";
        return 0;
    }
    return std::nullopt;
}

// Adds the paths of --files-from; the exit status when that fails.
std::optional<int> CollectInputs(Options& options, std::ostream& err) {
    if (options.files_from.empty()) {
        return std::nullopt;
    }
    if (const auto problem = AddListedPaths(options)) {
        err << "vandrel-scan: " << *problem << "\n";
        return 2;
    }
    if (options.paths.empty()) {
        err << "vandrel-scan: no file or folder given\n";
        return 2;
    }
    return std::nullopt;
}

// Tells of one analysed file: its failure on `err`, its results to the
// writer (with --problems only when it has any). Returns the run's status.
int TellOfFile(const FileResult& result, const Options& options, ResultWriter& writer,
               std::ostream& err, int status) {
    if (result.failure) {
        status = 1;
        const bool json =
            options.format == OutputFormat::kJson || options.format == OutputFormat::kJsonLines;
        if (!json || options.report) {
            err << "vandrel-scan: " << EscapeText(result.path) << ": "
                << EscapeText(OneLine(*result.failure)) << "\n";
        }
    }
    if (options.problems) {
        if (!HasProblems(result)) {
            return status;
        }
        status = 1;
    }
    writer.Add(result);
    return status;
}

// Analyses every input and writes the results; the run's status so far.
int ScanInputs(const Options& options, const std::vector<int32_t>& attribute_ids, RunOutput& output,
               std::ostream& err) {
    auto writer = MakeResultWriter(options, attribute_ids, output.stream());
    const AnalysisOptions analysis{options.frames, options.headers_only, options.music_crc,
                                   options.mono_quality};
    int status = 0;
    {
        ProgressLine progress(!options.quiet && ::isatty(STDERR_FILENO) != 0, err);
        // The files are listed as the scan reaches them: the progress shows
        // how many are known so far, with a "+" until the walk is over.
        InputWalker walker(options.paths, options.recursive, options.filetypes);
        size_t listed = 0;
        bool walked = false;
        const InputSource next_input = [&] {
            std::optional<InputFile> input = walker.Next();
            listed += input ? 1 : 0;
            walked = !input;
            return input;
        };
        AnalyseInOrder(next_input, analysis, options.jobs, [&](size_t i, FileResult&& result) {
            progress.Show(i + 1, listed, walked, result.name);
            status = TellOfFile(result, options, *writer, err, status);
            output.NoteWriteFailure();
        });
    }
    writer->Finish();
    output.NoteWriteFailure();
    return status;
}

}  // namespace

std::optional<std::string> OutputClash(const std::string& output, const std::string& cache_file,
                                       const InputSource& inputs) {
    struct stat st {};
    const bool exists = ::stat(output.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    // The cache's files, whether they are there yet or not: the cache is
    // saved after the output is written, and would replace it.
    if (!cache_file.empty()) {
        if (SamePlace(output, cache_file)) {
            return "the output file " + output + " is the cache file; it is left as it is";
        }
        for (const std::string& companion : CacheCompanionPaths(cache_file)) {
            if (SamePlace(output, companion)) {
                return "the output file " + output + " is a file the cache " + cache_file +
                       " keeps beside it; it is left as it is";
            }
        }
    }
    if (!exists) {
        return std::nullopt;
    }
    const FileIdentity target{st.st_dev, st.st_ino};
    while (const std::optional<InputFile> input = inputs()) {
        if (IdentityOf(input->path) == target) {
            return "the output file " + output + " is the input file " + input->path +
                   "; it is left as it is";
        }
    }
    if (CVandrelMediaFileWrapper audio; audio.Attach(output)) {
        return "the output file " + output + " holds audio; it is left as it is";
    }
    return std::nullopt;
}

std::optional<std::string> OutputClash(const std::string& output, const std::string& cache_file,
                                       const std::vector<InputFile>& inputs) {
    size_t next = 0;
    return OutputClash(output, cache_file, [&]() -> std::optional<InputFile> {
        if (next == inputs.size()) {
            return std::nullopt;
        }
        return inputs[next++];
    });
}

bool RunCache::Open(const Options& options, std::ostream& err) {
    if (options.cache_file.empty()) {
        return true;
    }
    // A cache of another version is moved aside by Load, which says so.
    if (!IsCacheFileOrAbsent(options.cache_file) &&
        ClassifyCacheFile(options.cache_file) != CacheFileKind::kOtherVersion) {
        err << "vandrel-scan: " << options.cache_file
            << " is not a readable analysis cache file; it is left as it is\n";
        return false;
    }
    cache_ = std::make_unique<CDataCache>(options.cache_file);
    cache_->SetMaxSizeKb(options.cache_max_kb);
    if (const std::optional<std::string> notice = cache_->Load()) {
        err << "vandrel-scan: " << EscapeText(*notice) << "\n";
    }
    scope_.emplace(cache_.get());
    return true;
}

int RunCache::Save(int status, std::ostream& err) {
    scope_.reset();
    if (!cache_) {
        return status;
    }
    std::string error;
    if (!cache_->Save(&error)) {
        err << "vandrel-scan: warning: the cache was not saved: " << error << "\n";
        if (status == 0) {
            return kCacheNotSaved;
        }
    }
    return status;
}

int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto parsed = ParseCommandLine(args);
    if (auto* usage = std::get_if<UsageError>(&parsed)) {
        err << "vandrel-scan: " << usage->message << "\n"
            << "Try 'vandrel-scan --help' for more information.\n";
        return 2;
    }
    Options& options = std::get<Options>(parsed);
    const auto columns = ResolveColumns(options);
    if (const auto answer = AnswerBeforeScan(options, columns, out, err)) {
        return *answer;
    }
    if (const auto status = CollectInputs(options, err)) {
        return *status;
    }
    const MediaFileTypesScope media_types;
    const auto& attribute_ids = std::get<std::vector<int32_t>>(columns);
    if (!options.html_template.empty()) {
        return RunHtmlCommand(options, attribute_ids, out, err);
    }
    if (!options.spectrogram.empty()) {
        return RunSpectrogramCommand(options, out, err);
    }
    if (!options.repair_dest.empty()) {
        return RunRepairCommand(options, out, err);
    }
    RunOutput output(out);
    if (const auto status = output.Open(options, err)) {
        return *status;
    }
    RunCache cache;
    if (!cache.Open(options, err)) {
        return 2;
    }
    const int status = ScanInputs(options, attribute_ids, output, err);
    // Saved after the output, so a cache that cannot be written costs no
    // results; it is a warning with a status of its own.
    return cache.Save(output.Finish(status, err), err);
}

}  // namespace vandrel::cli
