#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include "ui/browser/FolderEntries.h"

namespace vandrel {

// What a folder check found since the list last took the folder in.
struct FolderChanges {
    bool gone = false;                 // the folder cannot be read any more
    std::vector<std::string> added;    // files that came and are whole
    std::vector<std::string> removed;  // files that went
    std::vector<std::string> changed;  // files whose size or last change differ, now settled

    bool empty() const { return !gone && added.empty() && removed.empty() && changed.empty(); }
};

// Watches the folder the list shows. Qt's watch on Linux tells of entries
// that come, go or are renamed, but not of files written in place, so every
// check also compares each file's size and last change with what the list
// took in. A file still being written is reported once it has settled:
// unchanged since the check before, or untouched for kSettleTime.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckInterval = 5000;   // ms between checks
    static constexpr int kQuickCheckDelay = 500;  // ms after the folder changed
    static constexpr std::chrono::seconds kSettleTime{2};
    // Which names the list shows.
    using Filter = std::function<bool(std::string_view name)>;

    explicit FolderWatch(QObject* parent = nullptr);

    // Watches the folder; `files` are its files as the list took them in.
    void Open(const std::string& folder, Filter accepts, const std::vector<FolderFile>& files);
    void Close();
    bool is_open() const { return watcher_ != nullptr; }
    // Asks for a check soon, as after a delete, a paste or a drag.
    void ArmQuickCheck() { quick_timer_.start(); }
    // The list renamed a file itself: no change to report.
    void Renamed(const std::string& old_name, const std::string& new_name);
    // Compares the folder with what the list has; what it reports counts as
    // taken in.
    FolderChanges Check();

signals:
    // Time for a check: every few seconds, and soon after the folder changed.
    void checkDue();

private:
    struct FileState {
        uint64_t size = 0;
        int64_t modified_ns = 0;
        bool operator==(const FileState&) const = default;
    };
    using Snapshot = std::unordered_map<std::string, FileState>;

    Snapshot Accepted(const std::vector<FolderFile>& files) const;

    std::string folder_;
    Filter accepts_;
    Snapshot known_;  // as the list has them
    Snapshot seen_;   // as the check before saw them
    std::unique_ptr<QFileSystemWatcher> watcher_;
    QTimer check_timer_;
    QTimer quick_timer_;
};

}  // namespace vandrel
