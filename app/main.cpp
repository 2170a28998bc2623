// halvane: the desktop fractal image generator.
#include <QMessageBox>
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "guarded_application.h"
#include "halvane_version.h"
#include "main_window.h"

int main(int argc, char* argv[]) {
    // Help and version are text on the terminal: they must work without a
    // screen (over ssh, at build time for the manual page).
    if (app::AsksForTextOnly(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::GuardedApplication application(argc, argv);
    app::GuardedApplication::setApplicationName(QStringLiteral("halvane"));
    app::GuardedApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));
    app::GuardedApplication::setDesktopFileName(QStringLiteral("halvane"));
    // "halvane [file]": a parameter file, a picture that carries its
    // settings, or any picture to open.
    const app::CommandLine commandLine = app::ReadCommandLine(application);
    if (commandLine.exitStatus >= 0) return commandLine.exitStatus;
    app::MainWindowSetup setup;
    setup.startupFile = commandLine.file;
    // Creating the window runs outside the event loop: it is guarded here.
    std::unique_ptr<app::MainWindow> window;
    try {
        window = std::make_unique<app::MainWindow>(std::move(setup));
    } catch (...) {
        const QString text = app::GuardedApplication::FaultText(std::current_exception());
        std::fprintf(stderr, "halvane: %s\n", text.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, QStringLiteral("halvane"), text);
        return 1;
    }
    application.reportFault = [&window](const QString& text) { window->message(text); };
    window->show();
    const int status = application.exec();
    application.reportFault = nullptr;
    return status;
}
