// halvane: the desktop fractal image generator.
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "guarded_application.h"
#include "main_window.h"

int main(int argc, char* argv[]) {
    app::GuardedApplication application(argc, argv);
    app::GuardedApplication::setApplicationName(QStringLiteral("halvane"));
    app::GuardedApplication::setDesktopFileName(QStringLiteral("halvane"));
    // "halvane [FILE]": a parameter file, a picture that carries its
    // settings, or any picture to open.
    const QStringList arguments = app::GuardedApplication::arguments().mid(1);
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: halvane [FILE]\n");
        return 2;
    }
    app::MainWindowSetup setup;
    if (!arguments.isEmpty()) setup.startupFile = arguments.first();
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
