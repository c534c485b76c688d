#include "cli/HtmlCommand.h"

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/Output.h"
#include "cli/ScanCommand.h"
#include "store/AttributeCatalog.h"
#include "tools/Export.h"

namespace vandrel::cli {

namespace {

// Tells the terminal which file the report is at, and standard error which
// files could not be used.
class CommandLineSink : public ExportSink {
public:
    CommandLineSink(bool show_progress, std::ostream& err)
        : show_progress_(show_progress), err_(err) {}
    ~CommandLineSink() override { ClearLine(); }
    CommandLineSink(const CommandLineSink&) = delete;
    CommandLineSink& operator=(const CommandLineSink&) = delete;

    void Progress(int percent) override { percent_ = percent; }
    void Status(const std::string& text) override {
        if (!show_progress_ || text == kDoneStatus) {
            return;
        }
        std::string line(1, '[');
        line.append(std::to_string(percent_)).append("%] ").append(EscapeText(text));
        DrawProgressLine(err_, std::move(line));
        drawn_ = true;
    }
    void FileProblem(const std::string& path, const std::string& reason) override {
        ClearLine();
        // The scanner's messages may hold line breaks; one line reads better.
        err_ << "vandrel-scan: " << EscapeText(path) << ": " << EscapeText(OneLine(reason)) << "\n";
    }

private:
    void ClearLine() {
        if (drawn_) {
            err_ << "\r\033[K" << std::flush;
            drawn_ = false;
        }
    }

    bool show_progress_;
    std::ostream& err_;
    int percent_ = 0;
    bool drawn_ = false;
};

// Why the template cannot be used; nothing when it can.
std::optional<std::string> TemplateProblem(const std::string& path) {
    const TemplateFile loaded = LoadTemplate(path);
    const std::string name = EscapeText(path);
    switch (loaded.fault) {
    case TemplateFault::kNone:
        return std::nullopt;
    case TemplateFault::kUnreadable:
        return "cannot read the template " + name + ": " + loaded.reason;
    case TemplateFault::kNotText:
        // A zero byte is what a UTF-16 file (or no text at all) holds.
        return "the template " + name + " is not text: it holds a zero byte (save it as UTF-8)";
    case TemplateFault::kNoMainMarker:
        return "the template " + name + " has no " + std::string(kMainMarker) +
               " marker, where the table goes";
    }
    return std::nullopt;
}

// Writes the report to standard output; the reason when it fails.
class StandardOutputReport {
public:
    explicit StandardOutputReport(std::ostream& out) : out_(out) {}
    bool Write(std::string_view report) {
        out_.write(report.data(), static_cast<std::streamsize>(report.size()));
        out_.flush();
        if (!out_ && error_ == 0) {
            error_ = errno;
        }
        return static_cast<bool>(out_);
    }
    // As the table's output says it.
    std::string Failure() const {
        return "cannot write the output" +
               (error_ != 0 ? ": " + std::generic_category().message(error_) : std::string());
    }

private:
    std::ostream& out_;
    int error_ = 0;
};

}  // namespace

std::vector<ExportColumn> HtmlColumns(const std::vector<int32_t>& attribute_ids) {
    std::vector<ExportSelectionEntry> selection;
    for (int32_t id : attribute_ids) {
        if (const AttributeInfo* attribute = FindAttribute(id)) {
            selection.emplace_back(attribute->group, attribute->name);
        }
    }
    return ExportColumns(selection);
}

int RunHtmlCommand(const Options& options, const std::vector<int32_t>& attribute_ids,
                   std::ostream& out, std::ostream& err) {
    if (const auto problem = TemplateProblem(options.html_template)) {
        err << "vandrel-scan: " << *problem << "\n";
        return 2;
    }
    const bool to_standard_output = options.output == kStandardStream;
    StandardOutputReport standard_output(out);
    ExportJob job;
    job.start_paths = options.paths;
    job.recursion = options.recursive ? Recursion::kWithSubFolders : Recursion::kThisFolder;
    job.extensions = ExportExtensions(options.filetypes);
    job.template_path = options.html_template;
    job.report_path = options.output;
    if (to_standard_output) {
        job.write_report = [&standard_output](std::string_view report, std::string*) {
            return standard_output.Write(report);
        };
    }
    job.columns = HtmlColumns(attribute_ids);
    // -f sets the frames of a quick scan; without it the report reads what the
    // export dialog reads.
    job.quick_frames = options.frames_given ? options.frames : kExportQuickFrames;
    job.mono_quality = options.mono_quality;

    // The report replaces no file it reads: the listed files and the template.
    std::vector<InputFile> inputs{{options.html_template, std::nullopt}};
    const std::optional<std::vector<std::string>> listed =
        ExportFileList(job, [] { return false; });
    for (const std::string& path : listed.value_or(std::vector<std::string>())) {
        inputs.push_back({path, std::nullopt});
    }
    const auto clash =
        to_standard_output ? std::nullopt : OutputClash(options.output, options.cache_file, inputs);
    if (clash) {
        err << "vandrel-scan: " << *clash << "\n";
        return 2;
    }

    RunCache cache;
    if (!cache.Open(options, err)) {
        return 2;
    }
    int status = 0;
    {
        CommandLineSink sink(!options.quiet && ::isatty(STDERR_FILENO) != 0, err);
        const ExportResult result = RunExport(job, sink);
        if (result.problem_files > 0) {
            status = 1;
        }
        if (result.outcome != ExportOutcome::kWritten) {
            const bool output_failed =
                to_standard_output && result.outcome == ExportOutcome::kWriteFailed;
            err << "vandrel-scan: "
                << (output_failed ? standard_output.Failure() : EscapeText(result.message)) << "\n";
            status = 1;
        }
    }
    return cache.Save(status, err);
}

}  // namespace vandrel::cli
