#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QSocketNotifier>

#include "engine/media/MediaFileRegistry.h"
#include "store/ProcessValues.h"
#include "store/Startup.h"
#include "ui/browser/MainFrame.h"

namespace {

// SIGTERM and SIGINT (a logout, Ctrl+C in the terminal) close the window the
// ordinary way, so the settings and the cache are saved as at every exit.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int /*number*/) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_signal_pipe[1], &byte, 1);
}

void CloseOnSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signal_pipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const ssize_t ignored = ::read(g_signal_pipe[0], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// "--help" and "--version" as the only argument answer on standard output
// without opening a window (or needing a display). Anything else is a folder
// or files to open; "./--help" opens a file of that name.
bool AnswerInformationOption(int argc, char** argv) {
    if (argc != 2) {
        return false;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("vandrel %s\n", VANDREL_VERSION);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::printf(
            "Usage: vandrel [FOLDER | FILE...]\n"
            "Analyses MPEG audio (MP1, MP2, MP3), MPEG Plus and WAVE files.\n\n"
            "  FOLDER    open the folder in the tree and list its audio files\n"
            "  FILE...   list just these files\n"
            "Without arguments the folder shown last opens, else the Music folder,\n"
            "else the example files that come with the program.\n\n"
            "  -h, --help     print this help and exit\n"
            "      --version  print the version and exit\n\n"
            "The command-line analyser is vandrel-scan; see vandrel(1) and vandrel-scan(1).\n");
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerInformationOption(argc, argv)) {
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vandrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));
    // Lets the desktop match the window to its entry (and icon) under Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vandrel.Vandrel"));

    vandrel::InitProcessValues(argc, argv);
    const vandrel::MediaFileTypesScope media_types;
    std::unique_ptr<vandrel::CIniFile> settings = vandrel::StartUp();
    vandrel::CMainFrame frame;
    frame.LoadSettings(*settings);
    settings.reset();
    CloseOnSignals(frame);
    frame.Start(vandrel::CommandLineArguments());
    const int result = QApplication::exec();
    frame.PrepareShutdown();
    vandrel::ShutDown(&frame);
    return result;
}
