// Hostile files and faults: whatever a file given at start-up holds, and
// whatever a command throws, the program shows one message and goes on.
#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app_fixture.h"
#include "guarded_application.h"
#include "image_file.h"
#include "picture_settings.h"
#include "settings_record.h"

namespace {

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The comment a picture of the default settings carries, with its size
// line and one of its lines (1 to 39) replaced where asked.
std::string Comment(const char* size, int line = 0, const char* value = nullptr) {
    TIterationContext ctx{};
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = 160;
    ctx.ImageHeight = 120;
    QStringList lines = QString::fromStdString(params::SettingsComment(params::RecordSettings(ctx))).split(u'\n');
    lines[1] = QStringLiteral("size ") + QLatin1String(size);
    if (line > 0) lines[line + 1] = QLatin1String(value);
    return lines.join(u'\n').toStdString();
}

// The program still computes: New makes the default picture.
bool StillRuns(AppHarness& h) {
    const int count = h.form->generationCount();
    h.Do(h.A().newPicture);
    return h.form->isVisible() && h.form->generationCount() == count + 1 && h.Ctx().ImageWidth == 160 &&
           h.form->pictureView()->picture()->Width() == 160;
}

}  // namespace

class RobustnessTest : public QObject {
    Q_OBJECT
private slots:
    void hostileFilesGivenAtStartUpShowOneMessage();
    void sizesThatCannotBeAreRefusedFromTheMenuAndThePictureStays();
    void aBadFileAtStartUpIsReportedAfterTheDefaultPicture();
    void aFaultInAHandlerIsReportedAndTheProgramGoesOn();
};

// Every file of fuzz/regressions (refused with one message, or opened) and
// settings comments with sizes no picture can have, a broken line and
// numbers beyond their range, each given as "halvane FILE".
void RobustnessTest::hostileFilesGivenAtStartUpShowOneMessage() {
    QTemporaryDir dir;
    struct Hostile {
        const char* name;
        std::string comment;
        const char* says;
    };
    const Hostile hostile[] = {
        {"wide.png", Comment("65536x1"), "the picture size 65536x1 is not allowed"},
        {"huge.png", Comment("100000x100000"), "the picture size 100000x100000 is not allowed"},
        {"many.tif", Comment("10001x10000"), "the picture size 10001x10000 is not allowed"},
        {"tall.jpg", Comment("64x100000"), "the picture size 64x100000 is not allowed"},
        {"broken.png", Comment("160x120", 8, "two"), "Error reading parameter file"},
        {"limit.png", Comment("160x120", 20, "99999999999"), "Error reading parameter file"},
        {"real.png", Comment("160x120", 9, "1e999"), "Error reading parameter file"},
    };
    struct Case {
        QString path;
        QString says;  // "" where the file opens as a picture without a word
    };
    QList<Case> cases;
    for (const Hostile& h : hostile) {
        const QString path = dir.filePath(QLatin1String(h.name));
        QCOMPARE(imaging::SaveImageFile(imaging::Picture(8, 6), Local(path), h.comment), std::string());
        cases << Case{path, QLatin1String(h.says)};
    }
    QDirIterator files(QStringLiteral(HALVANE_REGRESSIONS), {QStringLiteral("*.*")}, QDir::Files,
                       QDirIterator::Subdirectories);
    int regressions = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        if (path.endsWith(QLatin1String(".md")) || path.endsWith(QLatin1String(".py"))) continue;
        imaging::Picture picture;
        const std::string error = imaging::LoadImageFile(Local(path), picture);
        cases << Case{path, QString::fromStdString(error)};
        ++regressions;
    }
    QVERIFY(regressions >= 10);

    for (const Case& c : cases) {
        AppHarness h(engine::DefaultPluginFolders(), true, c.path);
        QVERIFY2(h.StartAndWaitForFirstPicture(), qPrintable(c.path));
        if (c.says.isEmpty()) {
            QTRY_COMPARE(h.form->currentFile(), c.path);
        } else {
            QTRY_VERIFY2(!h.messages.isEmpty(), qPrintable(c.path));
        }
        QVERIFY(h.WaitUntilIdle());
        QVERIFY2(h.messages.size() == (c.says.isEmpty() ? 0 : 1),
                 qPrintable(c.path + QStringLiteral(": ") + h.messages.join(QStringLiteral(" | "))));
        if (!c.says.isEmpty()) QVERIFY2(h.messages.first().contains(c.says), qPrintable(h.messages.first()));
        if (c.says.startsWith(QLatin1String("the picture size"))) {
            // Refused before anything changed: named in the message, the
            // default picture and its size kept.
            QCOMPARE(h.messages.first(), c.path + QStringLiteral(": ") + c.says);
            QCOMPARE(h.Ctx().ImageWidth, 160);
            QCOMPARE(h.form->currentFile(), QString());
            QCOMPARE(h.form->generationCount(), 1);
        }
        QVERIFY2(StillRuns(h), qPrintable(c.path));
        QCOMPARE(h.messages.size(), c.says.isEmpty() ? 0 : 1);
    }
}

void RobustnessTest::sizesThatCannotBeAreRefusedFromTheMenuAndThePictureStays() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(90, 70);
    h.A().imageSize->trigger();  // hidden again
    const QByteArray shown = h.PictureBytes();
    const int generations = h.form->generationCount();
    for (const char* size : {"65536x1", "100000x100000", "10001x10000", "64x100000"}) {
        const QString path = dir.filePath(QStringLiteral("%1.png").arg(QLatin1String(size)));
        QCOMPARE(imaging::SaveImageFile(imaging::Picture(8, 6), Local(path), Comment(size)), std::string());
        h.messages.clear();
        h.openAnswers << path;
        h.A().loadParameterFile->trigger();
        QTRY_COMPARE(h.messages.size(), 1);
        QVERIFY(h.WaitUntilIdle());
        QCOMPARE(h.messages.first(),
                 path + QStringLiteral(": the picture size %1 is not allowed").arg(QLatin1String(size)));
        QCOMPARE(h.Ctx().ImageWidth, 90);
        QCOMPARE(h.Ctx().ImageHeight, 70);
        QCOMPARE(h.PictureBytes(), shown);
        QCOMPARE(h.form->generationCount(), generations);
        QCOMPARE(h.form->currentFile(), QString());
    }
}

// The default picture is computed and shown before the message box says
// what is wrong with the file.
void RobustnessTest::aBadFileAtStartUpIsReportedAfterTheDefaultPicture() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.png"));
    QFile cut(path);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write("\x89PNG\r\n\x1a\n");
    cut.close();
    AppHarness h(engine::DefaultPluginFolders(), true, path);
    bool generating = true;
    QString caption;
    int generations = 0;
    QByteArray picture;
    h.onMessage = [&](const QString&) {
        generating = h.form->isGenerating();
        caption = h.form->windowTitle();
        generations = h.form->generationCount();
        picture = h.PictureBytes();
    };
    QVERIFY(h.StartAndWaitForFirstPicture());
    QTRY_COMPARE(h.messages.size(), 1);
    QVERIFY(!generating);
    QCOMPARE(caption, QStringLiteral("halvane-ware"));
    QCOMPARE(generations, 1);
    QCOMPARE(picture, h.PictureBytes());
    QVERIFY(picture.count(picture.at(0)) < picture.size());  // not one colour: computed
}

void RobustnessTest::aFaultInAHandlerIsReportedAndTheProgramGoesOn() {
    auto* application = qobject_cast<app::GuardedApplication*>(QCoreApplication::instance());
    QVERIFY(application != nullptr);
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    application->reportFault = [&h](const QString& text) { h.form->message(text); };

    // From a timer, and from a menu command, through the event loop.
    QTimer::singleShot(0, h.form.get(), [] { throw std::runtime_error("a timer's fault"); });
    QTRY_COMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages.last(), QStringLiteral("The command could not be completed: a timer's fault"));
    QAction throwing(QStringLiteral("Throw"));
    QObject::connect(&throwing, &QAction::triggered, [] { throw std::bad_alloc(); });
    QTimer::singleShot(0, &throwing, &QAction::trigger);
    QTRY_COMPARE(h.messages.size(), 2);
    QCOMPARE(h.messages.last(), QStringLiteral("The command could not be completed: there is not enough memory"));

    // At a row's end, where the generation must go on to its end.
    h.ApplySize(160, 40);
    h.form->afterRowHook = [](int32_t row) {
        if (row == 5) throw std::runtime_error("a fault between rows");
    };
    h.Do(h.A().apply);
    h.form->afterRowHook = nullptr;
    QTRY_COMPARE(h.messages.size(), 3);
    QCOMPARE(h.messages.last(), QStringLiteral("The command could not be completed: a fault between rows"));
    QVERIFY(!h.form->isGenerating());
    QVERIFY(StillRuns(h));
    QCOMPARE(h.messages.size(), 3);
    application->reportFault = nullptr;
}

static RegisterAppTests registration("RobustnessTest", [] { return std::make_unique<RobustnessTest>(); });

#include "robustness_test.moc"
