#include <QApplication>
#include <QIcon>

#include "MainFrame.h"
#include "ProcessValues.h"
#include "Startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vandrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));

    vandrel::InitProcessValues(argc, argv);
    std::unique_ptr<vandrel::CIniFile> settings = vandrel::StartUp();
    vandrel::CMainFrame frame;
    frame.LoadSettings(*settings);
    settings.reset();
    frame.Start(vandrel::CommandLineArguments());
    const int result = QApplication::exec();
    frame.PrepareShutdown();
    vandrel::ShutDown(&frame);
    return result;
}
