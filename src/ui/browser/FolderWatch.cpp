#include "ui/browser/FolderWatch.h"

#include <algorithm>

#include <QFile>

namespace vandrel {

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {
    check_timer_.setInterval(kCheckInterval);
    connect(&check_timer_, &QTimer::timeout, this, &FolderWatch::checkDue);
    quick_timer_.setSingleShot(true);
    quick_timer_.setInterval(kQuickCheckDelay);
    connect(&quick_timer_, &QTimer::timeout, this, &FolderWatch::checkDue);
}

FolderWatch::Snapshot FolderWatch::Accepted(const std::vector<FolderFile>& files) const {
    Snapshot snapshot;
    for (const FolderFile& file : files) {
        if (accepts_(file.name)) {
            snapshot[file.name] = {file.size, file.modified_ns};
        }
    }
    return snapshot;
}

void FolderWatch::Open(const std::string& folder, Filter accepts,
                       const std::vector<FolderFile>& files) {
    folder_ = folder;
    accepts_ = std::move(accepts);
    known_ = Accepted(files);
    seen_ = known_;
    watcher_ = std::make_unique<QFileSystemWatcher>(QStringList{QFile::decodeName(folder.c_str())});
    connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this,
            [this] { quick_timer_.start(); });
    check_timer_.start();
}

void FolderWatch::Close() {
    watcher_.reset();
    check_timer_.stop();
    quick_timer_.stop();
    known_.clear();
    seen_.clear();
}

void FolderWatch::Renamed(const std::string& old_name, const std::string& new_name) {
    for (Snapshot* snapshot : {&known_, &seen_}) {
        if (auto entry = snapshot->extract(old_name)) {
            entry.key() = new_name;
            snapshot->insert(std::move(entry));
        }
    }
}

FolderChanges FolderWatch::Check() {
    FolderChanges changes;
    if (!is_open()) {
        return changes;
    }
    const std::optional<std::vector<FolderFile>> files = ListFolderFiles(folder_);
    if (!files) {
        changes.gone = true;
        return changes;
    }
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const int64_t settle = std::chrono::nanoseconds(kSettleTime).count();
    Snapshot current = Accepted(*files);
    for (const auto& [name, state] : current) {
        const auto known = known_.find(name);
        if (known != known_.end() && known->second == state) {
            continue;
        }
        const auto seen = seen_.find(name);
        const bool settled =
            (seen != seen_.end() && seen->second == state) || now - state.modified_ns >= settle;
        if (!settled) {
            continue;  // still being written: looked at again next time
        }
        (known == known_.end() ? changes.added : changes.changed).push_back(name);
        known_[name] = state;
    }
    for (auto it = known_.begin(); it != known_.end();) {
        if (current.count(it->first) == 0) {
            changes.removed.push_back(it->first);
            it = known_.erase(it);
        } else {
            ++it;
        }
    }
    seen_ = std::move(current);
    for (auto* names : {&changes.added, &changes.removed, &changes.changed}) {
        std::sort(names->begin(), names->end());
    }
    return changes;
}

}  // namespace vandrel
