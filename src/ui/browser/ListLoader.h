#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>

#include "ui/browser/BrowserTypes.h"
#include "ui/browser/FolderWatch.h"
#include "ui/browser/ListFilter.h"
#include "ui/browser/ListModel.h"
#include "ui/browser/ListScanner.h"
#include "ui/common/ListSettings.h"

namespace vandrel {

// Which pass over the rows ended: the one a fill, a folder change or a
// "Complete Scan" started, or the second that reads every file in full
// after a fill ("readallinitial").
enum class ReadPass { kFirst, kSecondInFull };

// How the file list's rows are read: the folder's files, or the files given,
// sent to the worker in batches, their results taken into the model, the
// files read only in part read again in full, and the folder's changes taken
// in. No widget: the list shows what it does, and the status bar hears of
// it through the listener.
class ListLoader : public QObject {
    Q_OBJECT
public:
    ListLoader(ListModel& model, ListFilter& filter, ListListener& listener,
               const ListSettings& settings, QObject* parent = nullptr);

    // Takes in the settings' file types and the worker's options.
    void ApplySettings();
    // Lists the folder's files whose names pass the file types and has them
    // read. False when the folder cannot be read: the rows are gone then and
    // empty_reason() says why.
    bool Fill(const std::string& folder, ListReadDepth depth);
    // Lists exactly these files, whatever their names.
    void FilesGiven(std::vector<std::string> paths);
    // Sends the given rows read only in part for a full read; false when
    // there are none.
    bool ReadInFull(const std::vector<int>& rows);
    // Reads the rows' files anew in full: they were rewritten here.
    void ReadAgain(const std::vector<int>& rows);
    // Takes in what changed in the folder, when the worker is idle and free.
    void CheckFolder();
    // Ends the worker (before the settings and the cache are saved); says so
    // when it is stuck.
    void StopWorker();
    // How many frames the batch being read takes of each file, in its status
    // pane: `frames`, 0 for all.
    void ShowFramesText(int frames);

    // Whether a file name passes the file-types setting.
    bool AcceptsName(std::string_view name) const;
    // Whether scans walk the frames: for a shown column that needs it, and
    // for the problems filter, which needs the findings of the walk.
    BatchWalk WalkFrames() const;
    // The folder shown; empty for files given by name.
    const std::string& folder() const { return folder_; }
    // Why the list is empty, when it is not for want of files.
    const QString& empty_reason() const { return empty_reason_; }
    ListScanner& scanner() { return scanner_; }
    FolderWatch& watch() { return watch_; }

signals:
    // Every listed file has its result (after the summary was shown).
    void allDone(ReadPass pass);
    // The rows went for a reason, which empty_reason() gives.
    void emptied();

private:
    void ClearFolder(const QString& why);
    void SendBatch(const std::vector<int>& rows, int frames, BatchWalk walk);
    void OnResult(ListResult& result);
    void AllDone();

    ListModel& model_;
    ListFilter& filter_;
    ListListener& listener_;
    const ListSettings& settings_;
    std::vector<std::string> extensions_;  // the file types, split
    ListScanner scanner_;
    FolderWatch watch_;
    bool complete_mode_ = false;  // the second pass, reading every file in full
    std::string folder_;
    QString empty_reason_;
};

}  // namespace vandrel
