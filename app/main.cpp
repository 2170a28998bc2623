// halvane: the desktop fractal image generator.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvane"));
    QApplication::setDesktopFileName(QStringLiteral("halvane"));
    // "halvane [FILE]": a parameter file, a picture that carries its
    // settings, or any picture to open.
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: halvane [FILE]\n");
        return 2;
    }
    app::MainWindowSetup setup;
    if (!arguments.isEmpty()) setup.startupFile = arguments.first();
    app::MainWindow window(std::move(setup));
    window.show();
    return application.exec();
}
