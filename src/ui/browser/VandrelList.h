#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QTableView>

#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/FolderWatch.h"
#include "ui/browser/ListFilter.h"
#include "ui/browser/ListModel.h"
#include "ui/browser/ListScanner.h"
#include "ui/common/ListSettings.h"
#include "ui/settings/ListPages.h"

namespace vandrel {

class ListFileActions;

// The right pane: the audio files of the chosen folder, filled in by the list
// worker as it analyses them, coloured by quality and sorted by any column.
// What the user does with the files is ListFileActions'; how the folder is
// followed, FolderWatch's; the worker and the busy state, ListScanner's.
class CVandrelList : public QTableView, public CWindowWithSettings {
    Q_OBJECT
public:
    // The first column gives way first when the list is narrow, down to this.
    static constexpr int kMinFirstColumnWidth = 100;

    explicit CVandrelList(ListListener& listener, QWidget* parent = nullptr);
    ~CVandrelList() override;

    // CWindowWithSettings: "list_settings" and "export".
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;
    // The "General", "Quality", "Columns" and "Filetypes" pages edit a copy
    // of the settings; after OK a change that needs it reads the folder again.
    void SettingsToPages() override;
    void PagesToSettings() override;
    void AddSettingsPages(SettingsSheet& sheet) override;
    ListPageData& page_data() { return page_data_; }

    // Shows the folder's audio files and has them analysed; `complete` reads
    // every frame.
    void OnFill(const std::string& folder, bool clear, bool complete);
    // Shows exactly these files.
    void FilesGiven(std::vector<std::string> paths);
    // Fills again from the current folder (F5; F6 with `complete`).
    void RefreshRequest(bool complete) {
        if (!current_folder_.empty()) {
            OnFill(current_folder_, true, complete);
        }
    }
    // Esc: the worker drops what it has.
    void StopLoading();
    // The export dialog for the folder shown; its choices are kept in the settings.
    void ExportRequest();
    // Holds the worker while a Details dialog scans.
    void PauseForDetails(bool pause) { scanner_.PauseForDetails(pause); }
    // The toolbar's Pause button.
    void TogglePause() { scanner_.TogglePause(); }
    void SelectRequest(bool all) { all ? selectAll() : clearSelection(); }
    // Ends the worker (before the settings and the cache are saved); says so
    // when it is stuck.
    void StopWorker() {
        watch_.Close();
        scanner_.StopWorker();
    }
    // Takes in what changed in the folder, when the list is idle.
    void CheckFolder();
    // "Problem files only": hides the rows known clean, and shows the
    // Problems column when it is not shown.
    void SetProblemsOnly(bool on);
    bool problems_only() const { return settings_.problems_only; }

    ListBusy busy_state() const { return scanner_.busy(); }
    const std::string& current_folder() const { return current_folder_; }
    ListModel& model_data() { return model_; }
    ListFilter& filter() { return filter_; }
    // The model's row of an index of this view; -1 for an invalid one.
    int ModelRow(const QModelIndex& index) const { return filter_.ModelRow(index); }
    const ListSettings& settings() const { return settings_; }
    FolderWatch& watch() { return watch_; }
    ListScanner& scanner() { return scanner_; }
    ListFileActions& actions() { return *actions_; }
    // The summary of the rows shown, as the status bar shows it when all are done.
    QString SummaryText() const { return vandrel::SummaryText(model_.Totals(filter_.filter())); }
    // Whether a file name passes the file-types setting.
    bool AcceptsName(std::string_view name) const;
    // The model rows of the selected rows, in order.
    std::vector<int> SelectedRows() const;

signals:
    // Every listed file has its result (after the summary was shown).
    void allDone();

protected:
    void startDrag(Qt::DropActions actions) override;
    void paintEvent(QPaintEvent* event) override;
    // With "autosize" the first column takes up what the list gains or
    // loses in width, so that the other columns stay in view.
    void resizeEvent(QResizeEvent* event) override;
    // Home and End go to the first and last row (a table would go to the
    // first and last column); with Shift they extend the selection.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void ApplySettings();
    // A single selected row whose file could not be analysed says why in the
    // worker's status pane; the text goes when the selection moves on.
    void ShowSelectionStatus();
    // How many frames the batch being read takes of each file, in its status
    // pane: `frames`, 0 for all.
    void ShowFramesText(int frames);
    void ClearFolder(const QString& why);
    void SendBatch(const std::vector<int>& rows, int frames, bool walk_frames);
    void OnThreadDone(ListResult& result);
    void AllDone();
    // Sends the given rows read only in part for a full read; false when
    // there are none.
    bool ReadInFull(const std::vector<int>& rows);
    void ApplyColumns();
    void StretchFirstColumn();
    void ShowSortIndicator();
    void OnHeaderClicked(int section);
    bool AnyShownColumnScanDependent() const;
    // Whether scans walk the frames: for a shown column that needs it, and
    // for the problems filter, which needs the findings of the walk.
    bool WalkFrames() const;

    ListListener& listener_;
    ListModel model_;
    ListFilter filter_;  // between the model and the view
    ListSettings settings_;
    ListPageData page_data_;  // the settings pages' copy
    std::vector<std::string> extensions_;
    std::unique_ptr<ListFileActions> actions_;

    ListScanner scanner_;
    bool complete_mode_ = false;
    std::string current_folder_;
    QString empty_reason_;          // why the list is empty, when it is not for want of files
    bool showing_refusal_ = false;  // the worker's pane shows a selected row's reason
    FolderWatch watch_;
};

}  // namespace vandrel
