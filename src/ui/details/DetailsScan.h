#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/core/ScanRecord.h"
#include "engine/media/MediaFileWrapper.h"
#include "ui/common/WorkerPump.h"
#include "work/DetailsThread.h"

class QObject;

namespace vandrel {

class CDetailsPages;

// How opening the file for a scan went.
enum class DetailsOpen {
    kOpened,
    kNoFile,   // missing, or no file kind takes it
    kNoPages,  // its media object made no pages
};

// The scan behind the Details dialog: the file's media object, whose pages go
// into the dialog's page host (the one given to Open), and the details worker that reads the file
// in full. Each record the worker sends goes to the media object, and at the end the series to the
// pages and the findings to the text pages. An MPEG audio file also gets the host's Spectrum tab,
// which the worker's decode after the scan fills. Deleting it cancels a running scan and waits for
// the worker. GUI thread only.
class CDetailsScan {
public:
    // What the scan tells its dialog, from the event loop.
    struct Events {
        // A record came in; `percent` is how far the scan has got, 0 to 100.
        std::function<void(int percent)> progressed;
        // The whole file was read and the pages show it.
        std::function<void()> finished;
        // The worker could not scan the file (and has said why).
        std::function<void()> close_requested;
    };

    CDetailsScan(std::string path, Events events);
    ~CDetailsScan();
    CDetailsScan(const CDetailsScan&) = delete;
    CDetailsScan& operator=(const CDetailsScan&) = delete;

    const std::string& path() const { return path_; }
    // The newest record of the scan: all zero before the first came in.
    const ScanRecord& record() const { return record_; }
    // The media object of the file, nullptr before a scan started or after it failed.
    CMediaFileInterface* file() { return wrapper_.File(); }

    // Drops the last scan and its pages, opens the file again and lets its
    // media object make its pages in `pages`, their text in `font_family`.
    // `pages` must outlive the scan.
    DetailsOpen Open(CDetailsPages& pages, const std::string& font_family);
    // True when the file kind's scan walks the frames, so takes time worth showing.
    bool shows_progress() const;
    // Starts the worker on the opened file.
    void Run();
    // True while a worker runs: its scan, or the spectrum's decode after it.
    bool running() const { return worker_ && !worker_->done_event.IsSet(); }
    // True while the worker's scan runs; a new Open may cancel the decode after it.
    bool scanning() const { return running() && !scanned_; }
    // Lets the file go after a failed open.
    void DropFile() { wrapper_.Drop(); }
    // The dialog is done with the scan: the worker is cancelled, and what it
    // still sends is freed unhandled.
    void Close();
    bool closed() const { return closed_; }
    // Calls `ended` from the event loop once no worker runs; `context` owns
    // the wait.
    void WhenEnded(QObject* context, std::function<void()> ended);

    // The share of the playing time that `record` has reached, 0 to 100.
    static int ProgressPercent(const ScanRecord& record);

private:
    bool TakeWorkerMessage(Message& message);
    void RecordArrived(const ScanRecord& record);
    void SeriesArrived(std::unique_ptr<FrameSeries> series);
    void SpectrumArrived(Message& message);

    std::string path_;
    CDetailsPages* pages_ = nullptr;  // those of the last Open
    Events events_;
    CVandrelMediaFileWrapper wrapper_;  // used by the worker: declared before it
    ScanRecord record_;
    bool closed_ = false;
    bool scanned_ = false;  // the series of the running worker has come
    WorkerPump pump_;
    std::unique_ptr<CDetailsThread> worker_;
};

}  // namespace vandrel
