#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/ExportHtml.h"
#include "work/Messages.h"
#include "work/OneShotWorker.h"

namespace vandrel {

// The frames a quick export scan reads per file: the list's usual first look.
inline constexpr int kExportQuickFrames = 1000;

// The status texts of the export worker around its files' paths.
inline constexpr std::string_view kAssemblingStatus = "Assembling file list";
inline constexpr std::string_view kDoneStatus = "done";

// The file types setting (".mp3;.MP2;...") as the set of extensions the file
// list takes: lower-case, with their dot.
std::set<std::string> ExportExtensions(std::string_view file_types);

enum class Recursion { kThisFolder, kWithSubFolders };

// The files of a folder for the report, in report order: the folder's files
// first, then each sub-folder's (with kWithSubFolders), all sorted by their
// lower-cased names. A name whose extension (from its last ".", lower-cased)
// is in `extensions` is a file, whatever it is on disk; another name is a
// sub-folder when it leads to one. Trailing "/" of `folder` are dropped, but
// "/" stays "/". A folder that cannot be listed, or that is reached while
// `stop_requested` answers true, gives nothing; a folder met again below
// itself (through a symbolic link) is not entered twice.
std::vector<std::string> AssembleFileList(const std::string& folder, Recursion recursion,
                                          const std::set<std::string>& extensions,
                                          const std::function<bool()>& stop_requested);

// Everything one export needs, copied to its worker.
struct ExportJob {
    // Where the files come from, in order: a folder gives its assembled file
    // list, anything else is listed as it stands. The export dialog gives one
    // folder; vandrel-scan one entry per command-line path.
    std::vector<std::string> start_paths;
    Recursion recursion = Recursion::kWithSubFolders;
    std::set<std::string> extensions;  // see ExportExtensions
    std::string template_path;
    std::string report_path;
    // Takes the finished report instead of report_path (vandrel-scan's
    // standard output); false, with the reason in `error`, when it could not
    // be written. Empty: the report replaces the file at report_path whole.
    std::function<bool(std::string_view report, std::string* error)> write_report;
    std::vector<ExportColumn> columns;      // as ExportColumns gives them
    int quick_frames = kExportQuickFrames;  // frames of a quick scan; 0 reads all
    bool mono_quality = false;              // double the quality per bitrate of mono files
};

// The files of the job in report order (AssembleFileList for each folder);
// nothing when a stop was requested meanwhile.
std::optional<std::vector<std::string>> ExportFileList(const ExportJob& job,
                                                       const std::function<bool()>& stop_requested);

// Hears an export run: its progress and status texts, and files it could not
// use. Answering true to StopRequested ends the run without a report.
class ExportSink {
public:
    virtual ~ExportSink() = default;
    virtual void Progress(int /*percent*/) {}
    virtual void Status(const std::string& /*text*/) {}
    virtual bool StopRequested() { return false; }
    // A file that could not be opened (left out of the table) or scanned
    // (listed with the texts of a failed scan), and why.
    virtual void FileProblem(const std::string& /*path*/, const std::string& /*reason*/) {}
};

enum class ExportOutcome { kWritten, kStopped, kWriteFailed };

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::kStopped;
    // kWriteFailed: "Problem writing file '<report path>'", for the user.
    std::string message;
    ExportTotals totals;
    int problem_files = 0;  // as told to ExportSink::FileProblem
};

// Assembles the file list, scans each file (the first kExportQuickFrames
// frames, or all when an exported attribute needs them; nothing but the
// size when only the name is exported), and writes the report: the template
// with the summary, the table, the version and the date before its markers.
// The report is written whole or not at all.
ExportResult RunExport(const ExportJob& job, ExportSink& sink);

// The template that comes with the program: template.html beside the
// executable, or ../share/vandrel/template.html from the executable's folder.
// Nothing when neither is there.
std::optional<std::string> DefaultTemplatePath(const std::string& executable_folder);
// The same for the running executable.
std::optional<std::string> DefaultTemplatePath();
// Puts a copy of the template that comes with the program into `folder` as
// template.html when no template.html is there. True when one is there
// afterwards.
bool EnsureDefaultTemplate(const std::string& folder);
bool EnsureDefaultTemplate(const std::string& folder, const std::optional<std::string>& bundled);

// The export on a one-shot worker. Posts to `target`:
//   kMsgStatusText (payload: the text) and kMsgProgress (wparam: 0 to 100)
//   as the run goes on;
//   kMsgNotice (wparam: NoticeKind::kError, payload: the message) when the
//   report cannot be written;
//   kMsgWorkDone last: kDone when the report was written, kStopped, or
//   kFailed when it could not be.
// The destructor stops the export and waits for the thread.
class CExportThread : public COneShotWorker {
public:
    void Start(std::shared_ptr<MessageTarget> target, ExportJob job);
};

}  // namespace vandrel
