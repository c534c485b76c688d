#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vandrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));

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
