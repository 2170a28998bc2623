// Runs the desktop-program tests in one application: every class, one
// class ("test_app CLASS"), or one function ("test_app CLASS FUNCTION");
// "test_app --list" names them all as CLASS.FUNCTION, one a line.
#include <QApplication>
#include <QLocale>
#include <QMetaMethod>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "app_fixture.h"
#include "guarded_application.h"

int TakeScreenshot(const QString& path);

namespace {
bool IsTestFunction(const QMetaMethod& method) {
    static const char* const kFixtures[] = {"init", "cleanup", "initTestCase", "cleanupTestCase"};
    if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private) return false;
    if (method.parameterCount() != 0) return false;
    for (const char* fixture : kFixtures)
        if (method.name() == fixture) return false;
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const AppTestClass& c : AppTestClasses()) {
            const std::unique_ptr<QObject> object = c.make();
            const QMetaObject* meta = object->metaObject();
            for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
                if (IsTestFunction(meta->method(i))) std::printf("%s.%s\n", c.name, meta->method(i).name().constData());
        }
        return 0;
    }
    // Numbers in the dialogs and files use "." as decimal mark.
    QLocale::setDefault(QLocale::c());
    // The program's own application object: what a handler throws is caught.
    app::GuardedApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // What the program remembers goes to a folder of this run's own.
    QTemporaryDir configHome;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome.path());
    if (argc == 3 && QByteArray(argv[1]) == "--screenshot") return TakeScreenshot(QString::fromLocal8Bit(argv[2]));
    const char* onlyClass = argc >= 2 ? argv[1] : nullptr;
    int failures = 0;
    bool found = false;
    for (const AppTestClass& c : AppTestClasses()) {
        if (onlyClass != nullptr && std::strcmp(onlyClass, c.name) != 0) continue;
        found = true;
        const std::unique_ptr<QObject> object = c.make();
        QStringList arguments{QString::fromLocal8Bit(argv[0])};
        if (argc >= 3) arguments << QString::fromLocal8Bit(argv[2]);
        failures += QTest::qExec(object.get(), arguments);
    }
    if (!found) {
        std::fprintf(stderr, "no test class %s\n", onlyClass);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
