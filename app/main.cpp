// halvane: the desktop fractal image generator. It takes no command-line
// arguments.
#include <QApplication>

#include "windows.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvane"));
    QApplication::setDesktopFileName(QStringLiteral("halvane"));
    auto form1 = app::CreateWindows();
    form1->show();
    return application.exec();
}
