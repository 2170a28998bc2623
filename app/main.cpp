// halvane: the desktop fractal image generator.
#include <QApplication>

#include "main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvane"));
    QApplication::setDesktopFileName(QStringLiteral("halvane"));
    app::MainWindow window;
    window.show();
    return application.exec();
}
