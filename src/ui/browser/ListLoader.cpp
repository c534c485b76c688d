#include "ui/browser/ListLoader.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <system_error>
#include <unordered_map>
#include <utility>

#include <QFile>

#include "engine/media/FileTypes.h"
#include "store/AttributeCatalog.h"
#include "store/Log.h"
#include "ui/browser/FolderEntries.h"

namespace vandrel {

namespace {

std::vector<int> AllRows(const ListModel& model) {
    std::vector<int> rows(static_cast<size_t>(model.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// The status bar's summary of the rows the filter shows.
QString SummaryOf(const ListModel& model, const ListFilter& filter) {
    return SummaryText(TotalsOf(model, filter.filter()));
}

// Takes in what changed in the folder of the rows: rows of files that went
// are removed, rows of changed files wait for new results, files that came
// get rows. Returns the rows to scan, in their order.
std::vector<int> TakeFolderChanges(ListModel& model, const std::string& folder,
                                   const FolderChanges& changes) {
    const auto path_of = [&](const std::string& name) {
        return (std::filesystem::path(folder) / name).string();
    };
    std::unordered_map<std::string, uint64_t> key_of;
    for (int row = 0; row < model.rowCount(); ++row) {
        key_of.emplace(model.Row(row).path, model.Row(row).key);
    }
    for (const std::string& name : changes.removed) {
        if (const auto it = key_of.find(path_of(name)); it != key_of.end()) {
            model.RemoveRow(model.RowOf(it->second));
        }
    }
    std::vector<uint64_t> rescan;
    for (const std::string& name : changes.changed) {
        if (const auto it = key_of.find(path_of(name)); it != key_of.end()) {
            model.MarkPending(model.RowOf(it->second));
            rescan.push_back(it->second);
        }
    }
    std::vector<std::pair<std::string, std::string>> added;
    for (const std::string& name : changes.added) {
        added.emplace_back(path_of(name), name);
    }
    for (uint64_t key : model.AddRows(added)) {
        rescan.push_back(key);
    }
    std::vector<int> rows;
    rows.reserve(rescan.size());
    for (uint64_t key : rescan) {
        rows.push_back(model.RowOf(key));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

ListLoader::ListLoader(ListModel& model, ListFilter& filter, ListListener& listener,
                       const ListSettings& settings, QObject* parent)
    : QObject(parent), model_(model), filter_(filter), listener_(listener), settings_(settings),
      scanner_(listener) {
    connect(&watch_, &FolderWatch::checkDue, this, &ListLoader::CheckFolder);
    connect(&scanner_, &ListScanner::resultArrived, this,
            [this](ListResult& result, bool) { OnResult(result); });
    // Rows whose results moved them go to their places once per wake, and
    // rows found clean leave the problems filter's view.
    connect(&scanner_, &ListScanner::resultsHandled, this, [this] {
        model_.RestoreOrder();
        filter_.Refilter();
    });
    ApplySettings();
}

void ListLoader::ApplySettings() {
    extensions_ = SplitFileTypes(settings_.file_types);
    scanner_.SetOptions({settings_.read_all_unknown, settings_.mono_quality});
}

bool ListLoader::AcceptsName(std::string_view name) const {
    return MatchesFileTypes(name, extensions_);
}

BatchWalk ListLoader::WalkFrames() const {
    std::vector<int32_t> ids;
    for (const ListColumn& column : settings_.columns) {
        ids.push_back(column.id);
    }
    return settings_.problems_only || AnyScanDependent(ids) ? BatchWalk::kWalk
                                                            : BatchWalk::kHeadersOnly;
}

// --- filling ----------------------------------------------------------------

bool ListLoader::Fill(const std::string& folder, ListReadDepth depth) {
    Log("CVandrelList::OnFill");
    Log([&] { return "Filling ListView with contents of folder : " + folder; });
    watch_.Close();
    scanner_.Interrupt();
    std::error_code ec;
    const bool is_folder = std::filesystem::is_directory(folder, ec);
    const auto files = is_folder ? ListFolderFiles(folder) : std::nullopt;
    if (!files) {
        Log(is_folder ? "Failed to get IEnumIDList interface..."
                      : "CVandrelList::OnFill Failed to obtain interface to selected folder...");
        folder_ = folder;  // F5 looks again
        ClearFolder(is_folder ? tr("Folder cannot be read") : tr("Folder not found"));
        return false;
    }
    Log("CVandrelList::OnFill found selected folder interface");
    Log("CVandrelList::FillListView");
    Log("CVandrelList::FillListView obtained IEnumIDList interface");
    empty_reason_.clear();
    complete_mode_ = false;
    model_.Clear();
    std::vector<std::pair<std::string, std::string>> accepted;
    for (const FolderFile& file : *files) {
        const bool valid = AcceptsName(file.name);
        Log([&] {
            return "CVandrelList::AddItemToList:\t" + file.name +
                   (valid ? "\t valid" : "\t invalid");
        });
        if (valid) {
            accepted.emplace_back((std::filesystem::path(folder) / file.name).string(), file.name);
        }
    }
    model_.AddRows(accepted);
    folder_ = folder;
    watch_.Open(
        folder, [this](std::string_view name) { return AcceptsName(name); }, *files);
    SendBatch(AllRows(model_), depth == ListReadDepth::kEveryFrame ? 0 : settings_.frame_limit,
              WalkFrames());
    return true;
}

void ListLoader::FilesGiven(std::vector<std::string> paths) {
    watch_.Close();
    scanner_.Interrupt();
    complete_mode_ = false;
    model_.Clear();
    folder_.clear();
    empty_reason_.clear();
    std::vector<std::pair<std::string, std::string>> files;
    for (std::string& path : paths) {
        std::string name = std::filesystem::path(path).filename().string();
        files.emplace_back(std::move(path), std::move(name));
    }
    model_.AddRows(files);
    SendBatch(AllRows(model_), settings_.frame_limit, WalkFrames());
}

void ListLoader::ClearFolder(const QString& why) {
    watch_.Close();
    scanner_.Forget();
    model_.Clear();
    listener_.StatusText(kPaneMain, why);
    listener_.StatusText(kPaneWorker, {});
    // The status pane is narrow: the empty list says it whole.
    empty_reason_ = why + QStringLiteral(":\n") + QFile::decodeName(folder_.c_str());
    emit emptied();
}

void ListLoader::ShowFramesText(int frames) {
    listener_.StatusText(kPaneFrames, frames == 0 ? tr("Reading all frames")
                                                  : tr("Reading at most %1 frames").arg(frames));
}

void ListLoader::SendBatch(const std::vector<int>& rows, int frames, BatchWalk walk) {
    ListJobBatch jobs;
    jobs.reserve(rows.size());
    for (int row : rows) {
        jobs.push_back(JobOf(model_.Row(row)));
    }
    ShowFramesText(frames);
    const int done = model_.done_count();
    listener_.StatusText(kPaneMain, jobs.empty() && done == model_.rowCount()
                                        ? SummaryOf(model_, filter_)
                                        : tr("%1 read, %2 to go").arg(done).arg(jobs.size()));
    scanner_.Send(std::move(jobs), frames, walk);
}

// --- worker results ---------------------------------------------------------

void ListLoader::OnResult(ListResult& result) {
    AssertUiThread();
    const int row = model_.TakeResult(result);
    if (row >= 0) {
        Log([&] {
            return "CVandrelList::OnThreadDone: inserting item  " +
                   std::string(model_.Row(row).name());
        });
    }
    const int done_count = model_.done_count();
    if (done_count == model_.rowCount()) {
        AllDone();
    } else {
        listener_.StatusText(
            kPaneMain, tr("%1 read, %2 to go").arg(done_count).arg(model_.rowCount() - done_count));
    }
}

void ListLoader::AllDone() {
    model_.RestoreOrder();
    filter_.Refilter();
    listener_.StatusText(kPaneMain, SummaryOf(model_, filter_));
    const ReadPass pass = complete_mode_ ? ReadPass::kSecondInFull : ReadPass::kFirst;
    // A second pass that starts now announces its own end; until then the
    // list stays busy, so that no folder check changes it meanwhile.
    bool second_pass = false;
    if (settings_.read_all_initial && !complete_mode_) {
        complete_mode_ = true;
        second_pass = ReadInFull(AllRows(model_));
    }
    if (!second_pass) {
        scanner_.SetIdle();
    }
    emit allDone(pass);
}

bool ListLoader::ReadInFull(const std::vector<int>& rows) {
    std::vector<int> partial;
    for (int row : rows) {
        // A refused file has nothing more to read.
        if (!model_.Row(row).whole_file_scanned && !model_.Row(row).refused) {
            // Waiting for its new result again: "all done" comes after it.
            model_.MarkPending(row);
            partial.push_back(row);
        }
    }
    if (partial.empty()) {
        return false;
    }
    SendBatch(partial, 0, BatchWalk::kWalk);
    return true;
}

// --- folder changes -----------------------------------------------------------

void ListLoader::ReadAgain(const std::vector<int>& rows) {
    for (int row : rows) {
        model_.MarkPending(row);
    }
    if (!rows.empty()) {
        SendBatch(rows, 0, BatchWalk::kWalk);
    }
}

void ListLoader::CheckFolder() {
    // Changes wait while the worker is busy or held; they are not lost.
    if (scanner_.busy() != ListBusy::kIdle || !watch_.is_open() || scanner_.held()) {
        return;
    }
    const FolderChanges changes = watch_.Check();

    if (changes.gone) {
        ClearFolder(tr("The folder is no longer there"));
        return;
    }
    if (!settings_.rescan || changes.empty()) {
        return;
    }
    const std::vector<int> rows = TakeFolderChanges(model_, folder_, changes);
    if (rows.empty()) {
        listener_.StatusText(kPaneMain, SummaryOf(model_, filter_));
        return;
    }
    complete_mode_ = false;
    SendBatch(rows, settings_.frame_limit, WalkFrames());
}

void ListLoader::StopWorker() {
    watch_.Close();
    scanner_.StopWorker();
}

}  // namespace vandrel
