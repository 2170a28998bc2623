// Back and Forward, Export Picture, and a file given at start-up.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app_fixture.h"
#include "image_file.h"
#include "picture_files.h"
#include "supersampling.h"

namespace {
QByteArray BytesOf(const imaging::Picture& picture) {
    return QByteArray(reinterpret_cast<const char*>(picture.Bytes().data()),
                      static_cast<qsizetype>(picture.Bytes().size()));
}

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

class QuietSink : public engine::MessageSink {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

// The settings a record gives.
TIterationContext Restored(const params::SettingsRecord& record) {
    TIterationContext ctx{};
    bool valid = true;
    int32_t last = 0;
    params::NameBuffers names;
    QuietSink quiet;
    params::RestoreSettings(record, {ctx, valid, last, names}, quiet, "record");
    return ctx;
}

// The view and formula of a step are back, exactly as its record gives them.
void ExpectStep(const TIterationContext& now, const params::SettingsRecord& step) {
    const TIterationContext expected = Restored(step);
    QCOMPARE(now.FormulaNo, expected.FormulaNo);
    QCOMPARE(now.CenterX, expected.CenterX);
    QCOMPARE(now.CenterY, expected.CenterY);
    QCOMPARE(now.Magnification, expected.Magnification);
    QCOMPARE(now.ImageWidth, step.width);
}
}  // namespace

class HistoryExportTest : public QObject {
    Q_OBJECT
private slots:
    void backAndForwardRestoreTheStepsAndANewStepDropsTheWayAhead();
    void exportWritesTheAveragedPictureAndLeavesTheWindowAlone();
    void aCancelledExportLeavesNoFile();
    void aFileGivenAtStartUpIsOpenedOrLoaded();
};

void HistoryExportTest::backAndForwardRestoreTheStepsAndANewStepDropsTheWayAhead() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const app::MainWindowActions& a = h.A();
    QVERIFY(!a.back->isEnabled() && !a.forward->isEnabled());
    const params::SettingsRecord start = params::RecordSettings(h.Ctx());

    QTest::mouseClick(h.Box(), Qt::LeftButton, {}, QPoint(60, 40));
    QVERIFY(h.WaitUntilIdle());
    const params::SettingsRecord zoomed = params::RecordSettings(h.Ctx());
    h.Do(a.formulas[3]);
    h.Do(a.blendMethods[4]);  // a recolouring is a step too
    QCOMPARE(h.form->history().Size(), size_t(4));
    QVERIFY(a.back->isEnabled() && !a.forward->isEnabled());

    h.Do(a.back);
    QCOMPARE(h.Ctx().BlendNo, 20);
    h.Do(a.back);
    ExpectStep(h.Ctx(), zoomed);
    const QByteArray zoomedPicture = h.PictureBytes();
    QVERIFY(a.forward->isEnabled());
    h.Do(a.forward);
    QCOMPARE(h.Ctx().FormulaNo, 3);
    h.Do(a.back);
    QCOMPARE(h.PictureBytes(), zoomedPicture);  // the same step gives the same picture
    h.Do(a.back);
    ExpectStep(h.Ctx(), start);
    QVERIFY(!a.back->isEnabled());
    QCOMPARE(h.form->history().Size(), size_t(4));  // going back and forth records nothing

    // A new step after going back drops the way ahead.
    h.Do(a.renderMethods[1]);
    QCOMPARE(h.form->history().Size(), size_t(2));
    QVERIFY(!a.forward->isEnabled());
    // Colour controls recolour without a step.
    h.Ctx().RedStart = 99.0;
    h.form->applyColourControls();
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.form->history().Size(), size_t(2));
}

void HistoryExportTest::exportWritesTheAveragedPictureAndLeavesTheWindowAlone() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.Do(h.A().formulas[7]);
    const params::SettingsRecord settings = params::RecordSettings(h.Ctx());
    const QByteArray onScreen = h.PictureBytes();
    const size_t steps = h.form->history().Size();

    QSignalSpy done(h.form.get(), &app::MainWindow::exportDone);
    const QString path = dir.filePath(QStringLiteral("big.png"));
    QVERIFY(h.form->startExport(96, 72, 3, path));
    QVERIFY(done.wait(60000));
    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(done.at(0).at(1).toString(), QString());
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("big.vtx"))));

    imaging::Picture written;
    QCOMPARE(imaging::LoadImageFile(Local(path), written), std::string());
    QCOMPARE(written.Width(), 96);
    QuietSink quiet;
    engine::SupersampledPicture job;
    job.settings = Restored(settings);
    job.width = 96;
    job.height = 72;
    job.factor = 3;
    imaging::Picture expected;
    QCOMPARE(engine::ComputeSupersampled(job, expected, quiet), engine::SupersampleOutcome::Done);
    QCOMPARE(BytesOf(written), BytesOf(expected));
    // The picture carries its settings at its size, and its samples.
    std::string error;
    const std::optional<params::SettingsRecord> carried = params::ReadSettingsFromPicture(Local(path), error);
    QVERIFY2(carried.has_value(), error.c_str());
    QCOMPARE(carried->width, 96);
    QCOMPARE(carried->height, 72);
    QCOMPARE(Restored(*carried).FormulaNo, 7);
    QCOMPARE(Restored(*carried).Magnification, Restored(settings).Magnification);
    QCOMPARE(carried->samples, 3);

    // Nothing on screen moved.
    QCOMPARE(h.PictureBytes(), onScreen);
    QCOMPARE(params::RecordSettings(h.Ctx()), settings);
    QCOMPARE(h.form->history().Size(), steps);
    // The status bar says where the file went.
    QCOMPARE(h.form->statusNotice(), QStringLiteral("Exported to ") + QDir::toNativeSeparators(path));
}

void HistoryExportTest::aCancelledExportLeavesNoFile() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    QSignalSpy done(h.form.get(), &app::MainWindow::exportDone);
    const QString path = dir.filePath(QStringLiteral("huge.tif"));
    h.Ctx().Maxit = 5000;
    QVERIFY(h.form->startExport(4000, 3000, 4, path));
    QVERIFY(h.form->isExporting());
    QVERIFY(!h.A().exportPicture->isEnabled());
    QVERIFY(!h.form->startExport(10, 10, 1, path));  // one at a time
    h.form->cancelExport();
    QVERIFY(done.wait(60000));
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QVERIFY(!QFile::exists(path));
    // Nothing of the bands written so far is left, under any name.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("huge.vtx"))));
    QVERIFY(h.A().exportPicture->isEnabled());
    QCOMPARE(h.form->statusNotice(), QStringLiteral("Export cancelled"));
}

void HistoryExportTest::aFileGivenAtStartUpIsOpenedOrLoaded() {
    QTemporaryDir dir;
    {
        AppHarness saver;
        QVERIFY(saver.StartAndWaitForFirstPicture());
        saver.Do(saver.A().formulas[6]);
        saver.saveAnswers << dir.filePath(QStringLiteral("six.bmp"));
        saver.A().saveAs->trigger();
    }
    {
        AppHarness h(engine::DefaultPluginFolders(), true, dir.filePath(QStringLiteral("six.vtx")));
        QVERIFY(h.StartAndWaitForFirstPicture());
        QTRY_COMPARE(h.Ctx().FormulaNo, 6);
        QVERIFY(h.WaitUntilIdle());
        QCOMPARE(h.form->currentFile(), dir.filePath(QStringLiteral("six.vtx")));
        QVERIFY(h.messages.isEmpty());
    }
    {
        AppHarness h(engine::DefaultPluginFolders(), true, dir.filePath(QStringLiteral("six.bmp")));
        QVERIFY(h.StartAndWaitForFirstPicture());
        QTRY_COMPARE(h.form->currentFile(), dir.filePath(QStringLiteral("six.bmp")));
        QVERIFY(h.WaitUntilIdle());
        QCOMPARE(h.Ctx().FormulaNo, 0);  // a picture is opened: the settings stay
        QVERIFY(h.messages.isEmpty());
    }
    {
        AppHarness h(engine::DefaultPluginFolders(), true, dir.filePath(QStringLiteral("missing.vtx")));
        QVERIFY(h.StartAndWaitForFirstPicture());
        QTRY_COMPARE(h.messages.size(), 1);
        QVERIFY(h.WaitUntilIdle());
        QCOMPARE(h.Ctx().ImageWidth, 160);
        QVERIFY(h.PictureBytes().count(h.PictureBytes().at(0)) < h.PictureBytes().size());
    }
}

static RegisterAppTests registration("HistoryExportTest", [] { return std::make_unique<HistoryExportTest>(); });

#include "history_export_test.moc"
