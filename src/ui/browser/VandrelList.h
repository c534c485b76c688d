#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QFileSystemWatcher>
#include <QTableView>
#include <QTimer>

#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/ListModel.h"
#include "ui/browser/QtMessageTarget.h"
#include "work/ListThread.h"

namespace vandrel {

// Where the file list sends what the frame shows and what the view opens.
class ListListener {
public:
    virtual ~ListListener() = default;
    virtual void StatusText(int pane, const QString& text) = 0;
    virtual void BusyState(int state) = 0;
    virtual void OpenDetails(const std::string& path) = 0;
    virtual void OpenSettings(int page) = 0;
};

// A file of a folder as the folder check sees it.
struct SnapshotEntry {
    std::string name;
    uint32_t size_value;  // low 32 bits of the size less its high 32 bits
    bool operator==(const SnapshotEntry&) const = default;
};

// The list's settings ("list_settings" and "export").
struct ListSettings {
    int frameres = 1000;
    bool readallunknown = true;
    bool readallinitial = false;
    int32_t sortcolid = 0;
    bool sort_reverse = false;
    bool monoquality = false;
    bool xml = true;
    bool rescan = true;
    int color_good = 9895830;
    int color_notbad = 9895935;
    int color_bad = 9869055;
    bool autosize = true;
    bool tooltips = true;
    std::string filetypes = ".mp3;.mp2;.mp1;.mpc;.mp+;";
    // The export's choices: its own section, kept here for the export dialog.
    bool export_recurse = true;
    std::vector<std::pair<std::string, std::string>> export_selected;  // group, name
    std::string export_template;
};

// The right pane: the audio files of the chosen folder, filled in by the list
// worker as it analyses them, coloured by quality and sortable by any column.
class CVandrelList : public QTableView, public CWindowWithSettings, public ListWorkerSettings {
    Q_OBJECT
public:
    static constexpr int kCheckInterval = 5000;   // ms between folder checks
    static constexpr int kQuickCheckDelay = 500;  // ms after a delete, drag or shell command
    static constexpr int kMinFirstColumnWidth = 200;

    explicit CVandrelList(ListListener& listener, QWidget* parent = nullptr);
    ~CVandrelList() override;

    // CWindowWithSettings
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;

    // ListWorkerSettings: read by the worker when it needs them.
    bool ReadAllUnknown() const override { return read_all_unknown_.load(); }
    bool MonoQuality() const override { return mono_quality_.load(); }

    // Shows the folder's audio files and has them analysed; `complete` reads
    // every frame.
    void OnFill(const std::string& folder, bool clear, bool complete);
    // Shows exactly these files.
    void FilesGiven(std::vector<std::string> paths);
    // Fills again from the current folder.
    void RefreshRequest(bool complete);
    // Esc: stops the worker.
    void StopLoading();
    void PauseForDetails(bool pause);
    void TogglePause();
    void RenameRequest();
    void SelectRequest(bool all);
    void EditRequest(EditCommand command);
    void DeleteRequest();
    // "Complete Scan" of the selected files that were read only in part.
    void CompleteScanOfSelection();
    // Ends the worker (before the cache goes at exit); says so when it is stuck.
    void StopWorker();
    // The folder check of the timers.
    void CheckFolder();

    int busy_state() const { return busy_; }
    const std::string& current_folder() const { return current_folder_; }
    ListModel& model_data() { return model_; }
    const ListSettings& settings() const { return settings_; }
    uint8_t batch_tag() const { return batch_tag_; }
    // The summary of all rows, as the status bar shows it when all are done.
    QString SummaryText() const;
    // The folder's matching files, as the folder check compares them.
    std::vector<SnapshotEntry> TakeSnapshot() const;

    // Whether a file name passes the file-types setting.
    bool AcceptsName(const std::string& name) const;

signals:
    // Every listed file has its result (after the summary was shown).
    void allDone();
    // The watched folder changed; the next folder check compares it.
    void folderChanged();

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool FillListView(const std::string& folder, bool clear, bool complete);
    bool AddItemToList(const std::string& folder, const std::string& name);
    void SendBatch(ItemBatch batch, int frames, bool walk_frames);
    void OnThreadDone(uint64_t wparam, const ItemRef& item);
    void OnBadFile(const ItemRef& item);
    void AllDone();
    // Sends the files read only in part for a full read; false when there are none.
    bool CompleteScan();
    // The same for the given rows.
    bool ReadInFull(const std::vector<int>& rows);
    void Announce(int state);
    void ShowFramesStatus();
    void ApplyColumns();
    void StretchFirstColumn();
    void SortItems();
    void OnHeaderClicked(int section);
    void OpenDetailsOf(int row);
    void ArmQuickCheck();
    void OpenWatch();
    void CloseWatch();
    bool RenameRow(ListRow& row, const QString& name);
    std::vector<int> SelectedRows() const;
    void CopyFilesHere(const QList<QUrl>& urls, bool move);
    bool AnyShownColumnScanDependent() const;

    ListListener& listener_;
    ListModel model_;
    ListSettings settings_;
    std::vector<std::string> extensions_;
    std::atomic<bool> read_all_unknown_{true};
    std::atomic<bool> mono_quality_{false};

    std::shared_ptr<QtMessageTarget> target_;
    std::shared_ptr<QtUserNotifier> notifier_;
    std::unique_ptr<CListThread> worker_;

    uint8_t batch_tag_ = 0;
    bool complete_mode_ = false;
    int busy_ = kBusyIdle;
    std::string current_folder_;
    std::unique_ptr<QFileSystemWatcher> watch_;
    bool watch_fired_ = false;
    std::vector<SnapshotEntry> snapshot_;
    QTimer check_timer_;
    QTimer quick_check_timer_;
};

}  // namespace vandrel
