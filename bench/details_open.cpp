// Opens the Details dialog on one file as a double click does and reports:
//   - how long until the first record shows on the pages,
//   - how long the whole scan takes,
//   - the longest time the window did not answer while the scan ran, with a
//     tab switch and a resize every 50 ms as a user might do,
//   - how long closing takes halfway through the scan, until the worker has
//     let go and the dialog can be deleted.
//
//   details_open FILE
//
// bench/details_open.sh makes a 1 GB MP3 and runs this on it.

#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QProgressBar>
#include <QTabBar>
#include <QTimer>

#include "engine/media/MediaFileRegistry.h"
#include "ui/details/DetailsPages.h"
#include "ui/details/InfoDlg.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the event loop until `done` answers true, ticking every millisecond.
// Returns the longest gap between two ticks: how long the window could not
// answer.
template <typename Done> double RunUntil(Done done, const std::function<void()>& every_50_ms = {}) {
    QEventLoop loop;
    QTimer tick;
    double longest_gap = 0;
    Clock::time_point last = Clock::now();
    Clock::time_point last_action = last;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest_gap = std::max(longest_gap, MsSince(last));
        last = Clock::now();
        if (every_50_ms && MsSince(last_action) >= 50) {
            every_50_ms();
            last_action = Clock::now();
        }
        if (done()) {
            loop.quit();
        }
    });
    tick.start(1);
    loop.exec();
    return longest_gap;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: details_open FILE\n");
        return 2;
    }
    const vandrel::MediaFileTypesScope media_types;
    QWidget view;
    view.resize(1200, 800);
    view.show();

    {
        vandrel::CInfoDlg dialog(argv[1], 0, {}, &view);
        const Clock::time_point start = Clock::now();
        dialog.Start();
        const double started_ms = MsSince(start);
        RunUntil([&] { return dialog.record().frames > 0; });
        const double first_record_ms = MsSince(start);
        int step = 0;
        const double longest_gap =
            RunUntil([&] { return !dialog.busy(); },
                     [&] {
                         ++step;
                         dialog.pages().SelectTab(step % dialog.pages().TabBar()->count());
                         dialog.resize(640 + (step % 7) * 40, 480 + (step % 5) * 30);
                     });
        const double whole_ms = MsSince(start);
        std::printf("frames %d\nStart() returned after %.1f ms\nfirst record shown after %.1f ms\n"
                    "whole scan %.0f ms\nlongest time the window did not answer %.1f ms "
                    "(%d tab switches and resizes)\n",
                    dialog.record().frames, started_ms, first_record_ms, whole_ms, longest_gap,
                    step);
    }
    {
        vandrel::CInfoDlg dialog(argv[1], 0, {}, &view);
        bool closed = false;
        QObject::connect(&dialog, &vandrel::CInfoDlg::Closed, [&] { closed = true; });
        dialog.Start();
        RunUntil([&] { return dialog.buttons().progress_bar().value() >= 50; });
        const Clock::time_point start = Clock::now();
        dialog.reject();
        const double hidden_ms = MsSince(start);
        RunUntil([&] { return closed; });
        std::printf("close at %d%%: window gone after %.2f ms, worker ended after %.1f ms\n",
                    dialog.buttons().progress_bar().value(), hidden_ms, MsSince(start));
    }
    return 0;
}
