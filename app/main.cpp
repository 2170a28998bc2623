// halvane: the desktop fractal image generator.
#include <QApplication>

#include "command_line.h"
#include "halvane_version.h"
#include "main_window.h"

int main(int argc, char* argv[]) {
    // Help and version are text on the terminal: they must work without a
    // screen (over ssh, at build time for the manual page).
    if (app::AsksForTextOnly(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvane"));
    QApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("halvane"));
    // "halvane [file]": a parameter file, a picture that carries its
    // settings, or any picture to open.
    const app::CommandLine commandLine = app::ReadCommandLine(application);
    if (commandLine.exitStatus >= 0) return commandLine.exitStatus;
    app::MainWindowSetup setup;
    setup.startupFile = commandLine.file;
    app::MainWindow window(std::move(setup));
    window.show();
    return application.exec();
}
