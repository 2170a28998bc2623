// Runs every group of desktop-program tests in one application.
#include <QApplication>
#include <QLocale>
#include <clocale>

#include "app_fixture.h"

int TakeScreenshot(const QString& path);

int main(int argc, char** argv) {
    // Numbers in the dialogs and files use "." as decimal mark.
    QLocale::setDefault(QLocale::c());
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc == 3 && QByteArray(argv[1]) == "--screenshot") return TakeScreenshot(QString::fromLocal8Bit(argv[2]));
    int failures = 0;
    failures += RunMainWindowTests(argc, argv);
    failures += RunNavigationTests(argc, argv);
    failures += RunDialogTests(argc, argv);
    failures += RunFileTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
