#include "cli/RepairCommand.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/FileCollector.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/ScanCommand.h"
#include "engine/repair/Repair.h"
#include "store/DataCache.h"

namespace vandrel::cli {

namespace {

// What became of one input, as it is printed.
struct RepairReport {
    std::string path;
    std::string output;
    std::string status;
    std::string reason;
    RepairPlan plan;
    std::vector<RepairCheck> checks;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Why the copy must not be written to `dest`: it exists (an input among
// them), or it is the cache or a file the cache keeps beside it.
std::optional<std::string> DestinationClash(const std::string& dest, const Options& options,
                                            const std::vector<InputFile>& inputs) {
    if (const auto clash = OutputClash(dest, options.cache_file, inputs)) {
        return clash;
    }
    if (Exists(dest)) {
        return dest + " exists; it is left as it is";
    }
    return std::nullopt;
}

RepairReport RepairOne(const InputFile& input, const Options& options,
                       const std::vector<InputFile>& inputs) {
    RepairReport report;
    report.path = input.path;
    if (input.error) {
        report.status = "refused";
        report.reason = *input.error;
        return report;
    }
    const std::string dest = options.repair_dest + "/" + BaseName(input.path);
    report.plan = PlanRepair(input.path);
    if (report.plan.status == PlanStatus::kRefused) {
        report.status = "refused";
        report.reason = report.plan.reason;
        return report;
    }
    if (report.plan.status == PlanStatus::kNothingToRepair) {
        report.status = std::string(RepairStatusName(RepairStatus::kNothingToRepair));
        return report;
    }
    if (const auto clash = DestinationClash(dest, options, inputs)) {
        report.status = "refused";
        report.reason = *clash;
        return report;
    }
    if (options.dry_run) {
        report.status = "planned";
        report.output = dest;
        return report;
    }
    const RepairResult result = RepairFile(report.plan, input.path, dest);
    report.status = std::string(RepairStatusName(result.status));
    report.reason = result.reason;
    report.output = result.output;
    report.checks = result.checks;
    return report;
}

void WriteTable(std::ostream& out, const RepairReport& report) {
    out << EscapeText(report.path) << ": " << report.status;
    if (!report.output.empty()) {
        out << (report.status == "planned" ? " as " : " to ") << EscapeText(report.output);
    }
    out << "\n";
    if (!report.reason.empty()) {
        out << "  reason: " << EscapeText(report.reason) << "\n";
    }
    for (const RepairAction& action : report.plan.actions) {
        out << "  " << action.text << "\n";
    }
    for (const RepairCheck& check : report.checks) {
        out << "  check " << check.name << ": " << (check.passed ? "passed" : "FAILED") << " ("
            << check.detail << ")\n";
    }
}

void AppendKey(std::string& json, std::string_view key, std::string_view text) {
    AppendJsonString(json, key);
    json += ": ";
    AppendJsonString(json, text);
}

std::string ActionsJson(const RepairPlan& plan) {
    std::string json = "[";
    for (const RepairAction& action : plan.actions) {
        json += json.size() > 1 ? ", {" : "{";
        AppendKey(json, "kind", RepairKindName(action.kind));
        json += ", ";
        AppendKey(json, "text", action.text);
        json += ", \"offset\": " + std::to_string(action.range.offset);
        json += ", \"bytes_removed\": " + std::to_string(action.bytes_removed);
        json += ", \"bytes_added\": " + std::to_string(action.bytes_added);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.6f", action.seconds_removed);
        json += std::string(", \"seconds_removed\": ") + seconds + "}";
    }
    return json + "]";
}

std::string ReportJson(const RepairReport& report) {
    std::string json = "{";
    AppendKey(json, "path", report.path);
    json += ", \"output\": ";
    if (report.output.empty()) {
        json += "null";
    } else {
        AppendJsonString(json, report.output);
    }
    json += ", ";
    AppendKey(json, "status", report.status);
    json += ", \"reason\": ";
    if (report.reason.empty()) {
        json += "null";
    } else {
        AppendJsonString(json, report.reason);
    }
    json += ", \"actions\": " + ActionsJson(report.plan) + ", \"checks\": [";
    for (size_t i = 0; i < report.checks.size(); ++i) {
        const RepairCheck& check = report.checks[i];
        json += i == 0 ? "{" : ", {";
        AppendKey(json, "name", check.name);
        json += std::string(", \"passed\": ") + (check.passed ? "true" : "false") + ", ";
        AppendKey(json, "detail", check.detail);
        json += "}";
    }
    return json + "]}";
}

}  // namespace

int RunRepairCommand(const Options& options, std::ostream& out, std::ostream& err) {
    if (!IsFolder(options.repair_dest)) {
        err << "vandrel-scan: --repair needs a folder to write into, not '"
            << EscapeText(options.repair_dest) << "'\n";
        return 2;
    }
    RunCache cache;
    if (!cache.Open(options, err)) {
        return 2;
    }
    std::vector<InputFile> inputs;
    InputWalker walker(options.paths, options.recursive, options.filetypes);
    while (std::optional<InputFile> input = walker.Next()) {
        inputs.push_back(std::move(*input));
    }
    const bool json = options.format == OutputFormat::kJson;
    int status = 0;
    out << (json ? "[" : "");
    for (size_t i = 0; i < inputs.size(); ++i) {
        const RepairReport report = RepairOne(inputs[i], options, inputs);
        if (report.status == "refused" || report.status == "failed") {
            status = 1;
        }
        if (json) {
            out << (i == 0 ? "\n" : ",\n") << ReportJson(report);
        } else {
            WriteTable(out, report);
        }
    }
    out << (json ? "\n]\n" : "") << std::flush;
    return cache.Save(status, err);
}

}  // namespace vandrel::cli
