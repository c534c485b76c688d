#include "tools/Export.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"
#include "engine/core/ScanOptions.h"
#include "engine/io/AtomicFile.h"
#include "engine/media/FileTypes.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/Findings.h"
#include "store/DataPaths.h"
#include "store/Log.h"

namespace vandrel {

namespace {

namespace fs = std::filesystem;

constexpr int kPercent = 100;
constexpr std::string_view kTemplateName = "template.html";

// Where a folder is on disk, to know it again below itself.
struct FolderIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderIdentity&) const = default;
};

std::optional<FolderIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FolderIdentity{st.st_dev, st.st_ino};
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// From the last "." of the name on, lower-cased; empty without a ".".
std::string ExtensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : AsciiLower(name.substr(dot));
}

// The order of the report's files and folders: lower-cased names byte by
// byte. Names equal but for case keep a fixed order by their own bytes.
bool ReportOrder(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    return la != lb ? la < lb : a < b;
}

class FileListAssembly {
public:
    FileListAssembly(Recursion recursion, const std::set<std::string>& extensions,
                     const std::function<bool()>& stop_requested)
        : recursion_(recursion), extensions_(extensions), stop_requested_(stop_requested) {}

    void AddFolder(const std::string& folder) {
        if (stop_requested_()) {
            return;
        }
        const std::optional<FolderIdentity> identity = IdentityOf(folder);
        if (!identity || std::find(entered_.begin(), entered_.end(), *identity) != entered_.end()) {
            return;  // gone, or a link back to a folder this one is inside of
        }
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            return;
        }
        std::vector<std::string> files;
        std::vector<std::string> folders;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            std::string path = folder + "/" + std::string(name);
            if (extensions_.contains(ExtensionOf(name))) {
                files.push_back(std::move(path));
            } else if (recursion_ == Recursion::kWithSubFolders) {
                // The entry's type spares a stat() for most names; links and
                // file systems that give no type are asked.
                const bool folder_entry =
                    entry->d_type == DT_DIR ||
                    ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) && IsFolder(path));
                if (folder_entry) {
                    folders.push_back(std::move(path));
                }
            }
        }
        ::closedir(dir);
        std::sort(files.begin(), files.end(), ReportOrder);
        std::sort(folders.begin(), folders.end(), ReportOrder);
        std::move(files.begin(), files.end(), std::back_inserter(list_));
        entered_.push_back(*identity);
        for (const std::string& sub_folder : folders) {
            AddFolder(sub_folder);
        }
        entered_.pop_back();
    }

    std::vector<std::string> Take() { return std::move(list_); }

private:
    Recursion recursion_;
    const std::set<std::string>& extensions_;
    const std::function<bool()>& stop_requested_;
    std::vector<FolderIdentity> entered_;  // the folders the walk is inside of
    std::vector<std::string> list_;
};

// The scanner's progress sink: the export's stop request, remembered once heard.
class StopSink : public sink {
public:
    explicit StopSink(ExportSink& export_sink) : sink_(export_sink) {}
    bool Progress(const ScanRecord& /*record*/) override {
        stopped_ = stopped_ || sink_.StopRequested();
        return !stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    ExportSink& sink_;
    bool stopped_ = false;
};

// What became of one file of the list.
enum class FileOutcome { kSkipped, kWritten, kWrittenWithNewFolder, kStopped };

// The state of one export run over its file list.
class ExportRun {
public:
    ExportRun(const ExportJob& job, ExportSink& sink)
        : job_(job), sink_(sink), scan_(ExportNeedsScan(job.columns)),
          frame_limit_(QuickScanIsEnough(job.columns) && job.quick_frames != 0 ? job.quick_frames
                                                                               : kAllFrames),
          main_(HeaderRow(job.columns)) {}

    FileOutcome AddFile(const std::string& path) {
        sink_.Status(path);
        CVandrelMediaFileWrapper file;
        if (!file.Attach(path)) {
            Problem(path, DescribeAttachFailure(path));
            return FileOutcome::kSkipped;
        }
        const uint64_t bytes = file.GetFileSize();
        AttributeTexts texts;
        int64_t seconds = 0;
        if (scan_) {
            ScanRecord record = ZeroRecord();
            FileChecks checks;
            IntegrityChecks integrity(checks);
            std::optional<std::string> failure;
            StopSink progress(sink_);
            try {
                const ScanOptions options{.walk_frames = true,
                                          .frame_limit = frame_limit_,
                                          .checks = &integrity,
                                          .progress = &progress};
                if (file.Scan(record, options) == 0) {
                    failure = "The file is too short to analyse";
                }
            } catch (const ScanError& e) {
                failure = e.what();
            } catch (const std::exception& e) {
                failure = std::string("Unexpected error: ") + e.what();
            }
            if (progress.stopped()) {
                return FileOutcome::kStopped;
            }
            if (failure) {
                // Listed as the file list shows a file whose scan failed.
                ApplyScanFailureTexts(texts, record);
                // The scanner's messages may end with a line break; a cell needs none.
                std::string_view reason = *failure;
                while (reason.ends_with('\n') || reason.ends_with('\r')) {
                    reason.remove_suffix(1);
                }
                FillFailureCheckTexts(texts, reason);
                Problem(path, *failure);
            } else {
                record.quality_class = BuildAttributeTexts(texts, record, job_.mono_quality);
                FillCheckTexts(texts, record, checks);
            }
            // A damaged record's length (not a number, negative) adds nothing.
            if (std::isfinite(record.length_seconds) && record.length_seconds > 0) {
                seconds = static_cast<int64_t>(record.length_seconds);
            }
        }
        file.Close();

        const size_t slash = path.rfind('/');
        // A bare name (vandrel-scan's "song.mp3") lies in the current folder.
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        texts[kSlotName] = slash == std::string::npos ? path : path.substr(slash + 1);
        totals_.bytes += static_cast<int64_t>(bytes);
        totals_.seconds += seconds;
        FileOutcome outcome = FileOutcome::kWritten;
        if (folder != current_folder_) {
            current_folder_ = std::move(folder);
            main_ += FolderRow(job_.columns, *current_folder_);
            ++totals_.folders;
            outcome = FileOutcome::kWrittenWithNewFolder;
        }
        main_ += FileRow(job_.columns, texts);
        return outcome;
    }

    ExportResult Finish(int64_t tracks) {
        totals_.tracks = tracks;
        ExportResult result;
        result.totals = totals_;
        result.problem_files = problem_files_;

        std::tm local_time{};
        const std::time_t now = std::time(nullptr);
        ::localtime_r(&now, &local_time);
        const ReportTexts texts{InfoText(totals_), std::move(main_), VersionLine(),
                                DateText(local_time)};
        const std::string report = FillTemplate(ReadTemplate(job_.template_path), texts);
        std::string error;
        const bool written = job_.write_report
                                 ? job_.write_report(report, &error)
                                 : WriteFileAtomically(job_.report_path, report, &error);
        if (written) {
            result.outcome = ExportOutcome::kWritten;
        } else {
            Log([&] { return "RunExport: " + job_.report_path + ": " + error; });
            result.outcome = ExportOutcome::kWriteFailed;
            result.message = "Problem writing file '" + job_.report_path + "'";
        }
        return result;
    }

private:
    void Problem(const std::string& path, const std::string& reason) {
        ++problem_files_;
        sink_.FileProblem(path, reason);
    }

    const ExportJob& job_;
    ExportSink& sink_;
    const bool scan_;
    const int frame_limit_;
    std::string main_;
    // None before the first file, so that it always opens with a folder row.
    std::optional<std::string> current_folder_;
    ExportTotals totals_;
    int problem_files_ = 0;
};

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

std::set<std::string> ExportExtensions(std::string_view file_types) {
    const std::vector<std::string> extensions = SplitFileTypes(file_types);
    return {extensions.begin(), extensions.end()};
}

std::vector<std::string> AssembleFileList(const std::string& folder, Recursion recursion,
                                          const std::set<std::string>& extensions,
                                          const std::function<bool()>& stop_requested) {
    std::string start = folder;
    while (start.size() > 1 && start.back() == '/') {
        start.pop_back();
    }
    FileListAssembly assembly(recursion, extensions, stop_requested);
    assembly.AddFolder(start);
    return assembly.Take();
}

std::optional<std::vector<std::string>>
ExportFileList(const ExportJob& job, const std::function<bool()>& stop_requested) {
    std::vector<std::string> files;
    for (const std::string& path : job.start_paths) {
        if (IsFolder(path)) {
            std::vector<std::string> found =
                AssembleFileList(path, job.recursion, job.extensions, stop_requested);
            std::move(found.begin(), found.end(), std::back_inserter(files));
        } else {
            files.push_back(path);
        }
    }
    // A list cut short by a stop must not become a report.
    if (stop_requested()) {
        return std::nullopt;
    }
    return files;
}

ExportResult RunExport(const ExportJob& job, ExportSink& sink) {
    ExportResult stopped;
    stopped.outcome = ExportOutcome::kStopped;

    sink.Status(std::string(kAssemblingStatus));
    const std::optional<std::vector<std::string>> files =
        ExportFileList(job, [&sink] { return sink.StopRequested(); });
    if (!files) {
        return stopped;
    }
    ExportRun run(job, sink);
    const double count = files->empty() ? 1.0 : static_cast<double>(files->size());
    for (size_t i = 0; i < files->size(); ++i) {
        sink.Progress(static_cast<int>(static_cast<double>(i) * kPercent / count));
        // Asked here too, so that a stop ends an export that scans nothing.
        if (sink.StopRequested() || run.AddFile((*files)[i]) == FileOutcome::kStopped) {
            return stopped;
        }
    }
    ExportResult result = run.Finish(static_cast<int64_t>(files->size()));
    sink.Progress(kPercent);
    sink.Status(std::string(kDoneStatus));
    return result;
}

// ---------------------------------------------------------------------------

std::optional<std::string> DefaultTemplatePath(const std::string& executable_folder) {
    if (executable_folder.empty()) {
        return std::nullopt;
    }
    for (const std::string& candidate :
         {executable_folder + "/" + std::string(kTemplateName),
          executable_folder + "/../share/vandrel/" + std::string(kTemplateName)}) {
        if (IsRegularFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<std::string> DefaultTemplatePath() {
    return DefaultTemplatePath(ExecutableFolder());
}

bool EnsureDefaultTemplate(const std::string& folder) {
    return EnsureDefaultTemplate(folder, DefaultTemplatePath());
}

bool EnsureDefaultTemplate(const std::string& folder, const std::optional<std::string>& bundled) {
    const std::string target = folder + "/" + std::string(kTemplateName);
    std::error_code error;
    if (fs::exists(target, error)) {
        return true;
    }
    if (!bundled) {
        return false;
    }
    std::ifstream source(*bundled, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(source)),
                            std::istreambuf_iterator<char>());
    if (!source.good() && !source.eof()) {
        return false;
    }
    std::string write_error;
    if (!WriteFileAtomically(target, bytes, &write_error)) {
        Log([&] { return "EnsureDefaultTemplate: " + target + ": " + write_error; });
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------

namespace {

// Tells the dialog of the run; stops once the export is cancelled.
class ThreadSink : public ExportSink {
public:
    ThreadSink(const std::stop_token& stop, MessageTarget& target) : stop_(stop), target_(target) {}

    void Progress(int percent) override {
        // Many files share a percent; the dialog hears each value once.
        if (percent == last_percent_) {
            return;
        }
        last_percent_ = percent;
        target_.Post(
            Message(kMsgProgress, static_cast<uint64_t>(std::clamp(percent, 0, kPercent))));
    }
    void Status(const std::string& text) override {
        target_.Post(Message(kMsgStatusText, 0, text));
    }
    bool StopRequested() override { return stop_.stop_requested(); }

private:
    std::stop_token stop_;
    MessageTarget& target_;
    int last_percent_ = -1;
};

}  // namespace

CExportThread::~CExportThread() {
    Stop();
}

void CExportThread::Start(std::shared_ptr<MessageTarget> target, ExportJob job) {
    // An earlier run ends first, so that its end does not look like this one's.
    Stop();
    auto shared_job = std::make_shared<const ExportJob>(std::move(job));
    done_event.Reset();
    thread_ = std::jthread([this, target = std::move(target), shared_job](std::stop_token stop) {
        Run(stop, *target, *shared_job);
    });
}

void CExportThread::Cancel() {
    thread_.request_stop();
}

void CExportThread::Stop() {
    Cancel();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CExportThread::Run(const std::stop_token& stop, MessageTarget& target, const ExportJob& job) {
    ThreadSink sink(stop, target);
    ExportResult result;
    try {
        result = RunExport(job, sink);
    } catch (const std::exception& e) {
        // Out of memory for a huge table, say: no report, and the user hears why.
        result.outcome = ExportOutcome::kWriteFailed;
        result.message = "Problem writing file '" + job.report_path + "'";
        Log([&] { return std::string("CExportThread: ") + e.what(); });
    }
    uint64_t finished = kExportStopped;
    if (result.outcome == ExportOutcome::kWritten) {
        finished = kExportWritten;
    } else if (result.outcome == ExportOutcome::kWriteFailed) {
        finished = kExportWriteFailed;
        target.Post(Message(kMsgNotice, static_cast<uint64_t>(NoticeKind::kError), result.message));
    }
    done_event.Set();
    target.Post(Message(kMsgProgress, finished));
}

}  // namespace vandrel
