// Opens the tag viewer on one large LAME-encoded file as the list's menu does
// and reports:
//   - how long from opening the viewer until the music CRC check's result
//     shows, with the verdict and which part of the file was checked,
//   - how often the progress bar moved, in how many wake-ups of the page,
//   - how long the window took to answer first (showing it), and the longest
//     time it did not answer after that while the check ran, with a tab
//     switch and a resize every 10 ms (the check is over in tens of
//     milliseconds, a user's 50 ms would hardly come),
//   - how long closing the viewer halfway through the check takes (done()
//     returns once the worker has ended),
//   - the same check on a bare CTagThread, without a window: its time and
//     progress messages, and how long after Cancel() halfway its thread has
//     nothing left to do.
//
//   tag_crc [--cold] [--ignore-music-length] FILE
//
// --cold drops the file from the page cache before each run, so that the
// check reads the disk. --ignore-music-length checks the rest of the file
// whatever the tag's music length says, as for a tag without one: for a file
// made longer than the one its tag was written for. bench/tag_crc.sh makes a
// 100 MB file and runs this.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <QApplication>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "ui/common/QtMessageTarget.h"
#include "ui/tools/TagDlg.h"

namespace {

using Clock = std::chrono::steady_clock;
using vandrel::MusicCrcState;
using vandrel::ScanRecord;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the event loop until `done` answers true, ticking every millisecond.
struct Responsiveness {
    double first_tick_ms = 0;   // until the loop first got to run the timer
    double longest_gap_ms = 0;  // the longest time between two ticks after that
};
Responsiveness RunUntil(const std::function<bool()>& done,
                        const std::function<void()>& every_10_ms = {}) {
    QEventLoop loop;
    QTimer tick;
    Responsiveness measured;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    Clock::time_point last_action = last;
    bool first = true;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (first) {
            measured.first_tick_ms = MsSince(start);
            first = false;
        } else {
            measured.longest_gap_ms = std::max(measured.longest_gap_ms, MsSince(last));
        }
        last = Clock::now();
        if (every_10_ms && MsSince(last_action) >= 10) {
            every_10_ms();
            last_action = Clock::now();
        }
        if (done()) {
            loop.quit();
        }
    });
    tick.start(1);
    loop.exec();
    return measured;
}

// Drops the file's pages from the page cache (when `cold`), so that the next
// read comes from the disk.
void Evict(const std::string& path, bool cold) {
    if (!cold) {
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) {
        std::fprintf(stderr, "tag_crc: cannot drop %s from the page cache\n", path.c_str());
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// Counts the worker's wake-up events on their way to a page's pump; watching
// the whole application, since the pump is no widget of the page.
class WakeCounter : public QObject {
public:
    int wakes = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == vandrel::WorkerWakeEvent::EventType()) {
            ++wakes;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Takes a bare worker's messages on its own thread.
class CountingTarget : public vandrel::MessageTarget {
public:
    void Post(vandrel::Message message) override {
        if (message.id == vandrel::kMsgProgress) {
            progress_messages.fetch_add(1);
            percent.store(static_cast<int>(message.wparam));
        } else if (message.id == vandrel::kMsgWorkDone &&
                   std::holds_alternative<std::unique_ptr<vandrel::ScanRecord>>(message.payload)) {
            results.fetch_add(1);
        }
    }
    std::atomic<int> progress_messages{0};
    std::atomic<int> percent{0};
    std::atomic<int> results{0};
};

const char* StateText(MusicCrcState state) {
    switch (state) {
    case MusicCrcState::kCalculating:
        return "still calculating";
    case MusicCrcState::kOk:
        return "OK";
    case MusicCrcState::kCorrupt:
        return "corrupt";
    case MusicCrcState::kFailed:
        return "error";
    }
    return "?";
}

const char* RangeText(int32_t computed) {
    switch (computed) {
    case vandrel::kMusicCrcOverMusicLength:
        return "the audio up to the tag's music length";
    case vandrel::kMusicCrcWithoutMusicLength:
        return "the rest of the file (no usable music length)";
    case vandrel::kMusicCrcMusicLengthPastEnd:
        return "the rest of the file (the music length runs past its end)";
    default:
        return "nothing";
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool cold = false;
    bool ignore_music_length = false;
    int arg = 1;
    for (; arg < argc - 1; ++arg) {
        if (std::strcmp(argv[arg], "--cold") == 0) {
            cold = true;
        } else if (std::strcmp(argv[arg], "--ignore-music-length") == 0) {
            ignore_music_length = true;
        } else {
            break;
        }
    }
    if (arg != argc - 1) {
        std::fprintf(stderr, "usage: tag_crc [--cold] [--ignore-music-length] FILE\n");
        return 2;
    }
    const std::string path = argv[arg];
    const vandrel::MediaFileTypesScope media_types;

    // The record as the list holds it: a whole scan.
    ScanRecord record = vandrel::ZeroRecord();
    {
        vandrel::CVandrelMediaFileWrapper file;
        if (!file.Attach(path)) {
            std::fprintf(stderr, "tag_crc: cannot open %s\n", path.c_str());
            return 1;
        }
        file.Scan(record, {.cache = vandrel::CacheLookup::kSkip});
    }
    if (record.has_xing == 0 || record.xing.has_lame_tag == 0) {
        std::fprintf(stderr, "tag_crc: %s has no LAME tag\n", path.c_str());
        return 1;
    }
    if (ignore_music_length) {
        record.xing.music_length = 0;
    }
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::printf("file %.1f MB, %d frames, tag's music length %u bytes%s, %s page cache\n",
                megabytes, record.frames, record.xing.music_length,
                ignore_music_length ? " (ignored)" : "", cold ? "not in the" : "in the");

    QWidget view;
    view.resize(1200, 800);
    view.show();
    {
        // Once shown and closed, so that what Qt does for the first window of
        // a process (fonts, styles) is not timed.
        vandrel::CTagDlg warm_up(path, record, &view);
        warm_up.show();
        RunUntil([] { return true; });
        warm_up.done(QDialog::Rejected);
    }
    {
        Evict(path, cold);
        const Clock::time_point start = Clock::now();
        vandrel::CTagDlg dialog(path, record, &view);
        vandrel::CTagPage* page = dialog.Page(vandrel::TagPageKind::kLame);
        WakeCounter wakes;
        qApp->installEventFilter(&wakes);
        // Every progress message but a first one of 0 % moves the bar.
        int moves = 0;
        QObject::connect(page->ProgressBar(), &QProgressBar::valueChanged, [&] { ++moves; });
        bool finished = false;
        QObject::connect(page, &vandrel::CTagPage::CheckFinished, [&] { finished = true; });
        dialog.show();
        int step = 0;
        const Responsiveness window =
            RunUntil([&] { return finished; },
                     [&] {
                         ++step;
                         dialog.Tabs()->setCurrentIndex(step % dialog.Tabs()->count());
                         dialog.resize(480 + (step % 7) * 40, 520 + (step % 5) * 30);
                     });
        const double whole_ms = MsSince(start);
        std::printf("viewer: music CRC %s after %.0f ms (%.0f MB/s), checked %s\n"
                    "  progress bar moved %d times, in %d wake-ups of the page\n"
                    "  window first answered after %.1f ms (showing it); afterwards the longest "
                    "time it did not answer %.1f ms (%d tab switches and resizes)\n",
                    StateText(page->crc_state()), whole_ms, megabytes / whole_ms * 1000,
                    RangeText(page->record().xing.music_crc_computed), moves, wakes.wakes,
                    window.first_tick_ms, window.longest_gap_ms, step);
    }
    {
        Evict(path, cold);
        vandrel::CTagDlg dialog(path, record, &view);
        vandrel::CTagPage* page = dialog.Page(vandrel::TagPageKind::kLame);
        dialog.show();
        RunUntil([&] { return page->ProgressBar()->value() >= 50 || !page->checking(); });
        const int percent = page->ProgressBar()->value();
        const Clock::time_point start = Clock::now();
        dialog.done(QDialog::Rejected);
        const double close_ms = MsSince(start);
        std::printf("viewer closed at %d%%: done() returned after %.2f ms, the worker ended "
                    "within it; still checking afterwards: %s\n",
                    percent, close_ms, page->checking() ? "yes" : "no");
    }
    {
        Evict(path, cold);
        auto target = std::make_shared<CountingTarget>();
        const Clock::time_point start = Clock::now();
        {
            vandrel::CTagThread worker;
            worker.Start(target, path, record);
            worker.done_event.Wait();
        }
        const double whole_ms = MsSince(start);
        std::printf("bare worker: %.0f ms (%.0f MB/s), %d progress messages, %d result\n", whole_ms,
                    megabytes / whole_ms * 1000, target->progress_messages.load(),
                    target->results.load());
    }
    {
        Evict(path, cold);
        auto target = std::make_shared<CountingTarget>();
        vandrel::CTagThread worker;
        worker.Start(target, path, record);
        while (target->percent.load() < 50 && !worker.done_event.IsSet()) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const int percent = target->percent.load();
        const Clock::time_point start = Clock::now();
        worker.Cancel();
        const double cancel_ms = MsSince(start);
        worker.done_event.Wait();
        std::printf("bare worker cancelled at %d%%: Cancel() returned after %.3f ms, the thread "
                    "was done after %.2f ms, %d result\n",
                    percent, cancel_ms, MsSince(start), target->results.load());
    }
    return 0;
}
