// Fills the file list from a folder, as the program does when the folder is
// picked in the tree, and reports how long it took until every row had its
// result and how much memory the process holds with the rows shown.
//
//   list_fill FOLDER [FRAMES]
//
// FRAMES is the frames-to-read setting (default 1000, 0 for all). No cache is
// used, so every file is scanned.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <QApplication>
#include <QEventLoop>

#include "engine/media/MediaFileRegistry.h"
#include "store/IniFile.h"
#include "ui/browser/VandrelList.h"

namespace {

// A figure of /proc/self/status in KB ("VmRSS", "VmHWM").
double StatusKb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stod(line.substr(key.size() + 1));
        }
    }
    return -1;
}

class QuietListener : public vandrel::ListListener {
public:
    void StatusText(int, const QString&) override {}
    void BusyState(vandrel::ListBusy) override {}
    void OpenDetails(const std::string&) override {}
    void OpenSettings(int) override {}
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_fill FOLDER [FRAMES]\n");
        return 2;
    }
    const vandrel::MediaFileTypesScope media_types;
    vandrel::CIniFile settings("unused.ini");
    if (argc > 2) {
        settings.SetString("list_settings", "frameres", argv[2]);
    }
    const double before_kb = StatusKb("VmRSS");
    int rows = 0;
    double seconds = 0;
    {
        QuietListener listener;
        vandrel::CVandrelList list(listener);
        list.LoadSettings(settings);
        list.resize(1200, 800);
        list.show();
        QEventLoop loop;
        QObject::connect(&list, &vandrel::CVandrelList::allDone, &loop, &QEventLoop::quit);
        const auto start = std::chrono::steady_clock::now();
        list.OnFill(argv[1], vandrel::ListReadDepth::kFrameLimit);
        loop.exec();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rows = list.model()->rowCount();
        const double after_kb = StatusKb("VmRSS");
        std::printf("rows %d\nfill %.3f s\nresident before %.1f MB, with the rows %.1f MB "
                    "(%.2f KB a row), peak %.1f MB\n",
                    rows, seconds, before_kb / 1024.0, after_kb / 1024.0,
                    rows > 0 ? (after_kb - before_kb) / rows : 0.0, StatusKb("VmHWM") / 1024.0);
    }
    return rows > 0 ? 0 : 1;
}
