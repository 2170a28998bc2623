// Exploring in the window (offscreen): wheel and pinch zoom about the
// cursor, bursts as one history step, passes that give the exact picture,
// Fit to window, Save As and Copy while computing, and what the program
// remembers between runs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "app_fixture.h"
#include "dialogs/export_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "image_file.h"
#include "settings_record.h"
#include "view_motion.h"
#include "view_navigation.h"

namespace {

// The plane point at a picture position of the record's view.
engine::PlanePoint PointAt(const TIterationContext& ctx, QPointF at) {
    const engine::PixelGrid grid = engine::GridOf(ctx);
    return {grid.xMin + at.x() * grid.stepX, grid.yMin + at.y() * grid.stepY};
}

void Wheel(QWidget* box, QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent wheel(QPointF(at), QPointF(box->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
}

QString SettingsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("halvane"), QStringLiteral("halvane"))
        .fileName();
}

}  // namespace

class ExploreTest : public QObject {
    Q_OBJECT
private slots:
    void wheelZoomsAboutTheCursorInBurstsOfOneStep();
    void pinchZoomsAndKeysZoomAndPan();
    void passesShowBlocksAndGiveWayToANewView();
    void fitToWindowFollowsTheView();
    void saveAsAndCopyWaitForThePicture();
    void settingsAreRememberedAndGarbageIgnored();
};

void ExploreTest::wheelZoomsAboutTheCursorInBurstsOfOneStep() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const TIterationContext before = h.Ctx();
    const size_t steps = h.form->history().Size();
    const QPoint at(40, 30);
    const engine::PlanePoint under = PointAt(before, QPointF(at));

    // Three notches in a burst, the later ones while the first is computed.
    const int started = h.form->generationCount();
    Wheel(h.Box(), at, 120);
    Wheel(h.Box(), at, 120);
    Wheel(h.Box(), at, 120);
    QVERIFY(h.form->pictureView()->hasPreview() || h.form->isGenerating());
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(h.form->generationCount() - started <= 3);
    QCOMPARE(h.Ctx().Magnification, before.Magnification * std::pow(app::ViewMotion::kNotchFactor, 3.0));
    const engine::PlanePoint still = PointAt(h.Ctx(), QPointF(at));
    QVERIFY(std::fabs(still.x - under.x) < 1e-12 && std::fabs(still.y - under.y) < 1e-12);
    QCOMPARE(h.form->history().Size(), steps + 1);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));
    // Zoom without a new pick keeps the view, as after a click zoom.
    const TIterationContext wheeled = h.Ctx();
    h.Do(h.A().zoomIn);
    QCOMPARE(h.Ctx().Magnification, wheeled.Magnification);
    QVERIFY(std::fabs(h.Ctx().CenterX - wheeled.CenterX) < 1e-15 && std::fabs(h.Ctx().CenterY - wheeled.CenterY) < 1e-15);
    QCOMPARE(h.form->history().Size(), steps + 1);

    // After a pause, a finer notch out (Ctrl) is a step of its own.
    QTest::qWait(app::ViewMotion::kBurstMilliseconds + 50);
    const double zoomed = h.Ctx().Magnification;
    Wheel(h.Box(), at, -120, Qt::ControlModifier);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, zoomed / app::ViewMotion::kFineNotchFactor);
    QCOMPARE(h.form->history().Size(), steps + 2);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));

    // Back twice is the view before the wheel.
    h.Do(h.A().back);
    h.Do(h.A().back);
    QCOMPARE(h.Ctx().Magnification, before.Magnification);
    QCOMPARE(h.Ctx().CenterX, before.CenterX);
}

void ExploreTest::pinchZoomsAndKeysZoomAndPan() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const QPoint at(100, 20);
    const engine::PlanePoint under = PointAt(h.Ctx(), QPointF(at));
    const double m = h.Ctx().Magnification;
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, QPointF(at),
                              QPointF(at), QPointF(h.Box()->mapToGlobal(at)), 0.5, QPointF());
    QApplication::sendEvent(h.Box(), &pinch);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, m * 1.5);
    const engine::PlanePoint still = PointAt(h.Ctx(), QPointF(at));
    QVERIFY(std::fabs(still.x - under.x) < 1e-12 && std::fabs(still.y - under.y) < 1e-12);

    // The keys act while the picture has the keyboard focus.
    QWidget* view = h.form->pictureView();
    h.form->activateWindow();
    view->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    const TIterationContext was = h.Ctx();
    const engine::PixelGrid grid = engine::GridOf(was);
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().CenterX, was.CenterX + 16 * grid.stepX);  // a tenth of 160
    QTest::keyClick(view, Qt::Key_Up);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().CenterY, was.CenterY - 12 * grid.stepY);
    QTest::keyClick(view, Qt::Key_Plus);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, was.Magnification * 2.0);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, was.Magnification / 2.0);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));
    QTest::keyClick(view, Qt::Key_Home);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, 1.0);
    QCOMPARE(h.Ctx().CenterX, 0.0);
}

void ExploreTest::passesShowBlocksAndGiveWayToANewView() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(160, 128);
    h.Ctx().Maxit = 400;
    int coarse = 0;
    bool blocksUniform = true;
    int generationsSeen = 0;
    h.form->afterRowHook = [&](int32_t) {
        engine::GenerationCore& core = h.form->core();
        if (!core.InPasses()) return;
        if (core.LastJobEndedPass() && core.LastBlock() == 8) {
            ++coarse;
            // Every 8 by 8 block shows one colour.
            const imaging::Picture& p = *h.form->currentPicture();
            for (int32_t y = 0; y < p.Height(); ++y)
                for (int32_t x = 0; x < p.Width(); ++x)
                    blocksUniform &= p.Pixel(x, y) == p.Pixel(x - x % 8, y - y % 8);
            if (coarse == 1) {
                // A new view while the first is in its passes.
                generationsSeen = h.form->generationCount();
                Wheel(h.Box(), QPoint(10, 10), -120);
            }
        }
    };
    Wheel(h.Box(), QPoint(80, 64), 120);
    QVERIFY(h.WaitUntilIdle());
    h.form->afterRowHook = nullptr;
    QCOMPARE(coarse, 2);
    QVERIFY(blocksUniform);
    // The new view started at the end of the job in progress.
    QCOMPARE(h.form->generationCount(), generationsSeen + 1);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
}

void ExploreTest::fitToWindowFollowsTheView() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    app::PictureView* view = h.form->pictureView();
    auto* size = h.form->findChild<app::ImageSizeDialog*>();
    h.A().imageSize->trigger();
    h.form->resize(500, 400);
    QTRY_VERIFY(view->fittingPictureSize().width() > 300);
    const double m = h.Ctx().Magnification;
    h.A().fitToWindow->trigger();
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(size->fitToWindow());
    QCOMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), view->fittingPictureSize());
    QCOMPARE(size->imageWidth(), h.Ctx().ImageWidth);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));

    // A resize recomputes once it settles; centre and magnification stay.
    h.form->resize(600, 420);
    QTRY_COMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), view->fittingPictureSize());
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, m);
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));

    // New fills the view as well; a size of one's own ends Fit to window.
    h.Do(h.A().newPicture);
    QCOMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), view->fittingPictureSize());
    h.ApplySize(200, 150);
    QVERIFY(!h.A().fitToWindow->isChecked());
    QVERIFY(!size->fitToWindow());
    QCOMPARE(h.Ctx().ImageWidth, 200);
    // The size window's box turns it on again.
    QTest::mouseClick(size->findChild<QCheckBox*>(QStringLiteral("fitToWindow")), Qt::LeftButton);
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(h.A().fitToWindow->isChecked());
    QCOMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), view->fittingPictureSize());
}

void ExploreTest::saveAsAndCopyWaitForThePicture() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.Ctx().Maxit = kMaxIterationLimit;
    const QString path = dir.filePath(QStringLiteral("waited.png"));
    h.saveAnswers << path;
    bool sawWait = false;
    h.form->requestGeneration();
    QTimer::singleShot(0, h.form.get(), [&] {
        QTimer::singleShot(20, [&] { sawWait = h.form->findChild<QProgressDialog*>(QStringLiteral("waitForPicture")); });
        h.A().saveAs->trigger();
    });
    QTRY_VERIFY(QFile::exists(path));
    QVERIFY(sawWait);
    QVERIFY(!h.form->isGenerating());
    imaging::Picture written;
    QCOMPARE(imaging::LoadImageFile(QFile::encodeName(path).toStdString(), written), std::string());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(written.Bytes().data()), written.Bytes().size()), h.PictureBytes());

    // Cancelled, nothing is written; aborted, nothing is taken.
    const QString cancelled = dir.filePath(QStringLiteral("cancelled.png"));
    h.saveAnswers << cancelled;
    h.form->requestGeneration();
    QTimer::singleShot(0, h.form.get(), [&] {
        QTimer::singleShot(20, [&] {
            if (auto* wait = h.form->findChild<QProgressDialog*>(QStringLiteral("waitForPicture"))) wait->cancel();
        });
        h.A().saveAs->trigger();
    });
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(!QFile::exists(cancelled));
    QGuiApplication::clipboard()->clear();
    h.form->requestGeneration();
    QTimer::singleShot(0, h.form.get(), [&] {
        QTimer::singleShot(20, [&] { h.form->abortGeneration(); });
        h.A().copyPicture->trigger();
    });
    QVERIFY(h.WaitUntilIdle());
    QTRY_COMPARE(h.messages.value(0), QStringLiteral("The picture was stopped before it was finished: nothing was taken"));
    QVERIFY(QGuiApplication::clipboard()->image().isNull());

    // Copied when finished: the picture and its settings.
    h.Ctx().Maxit = 100;
    h.Do(h.A().apply);
    h.A().copyPicture->trigger();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    QCOMPARE(copied.size(), QSize(160, 120));
    QByteArray bytes;
    for (int y = 0; y < copied.height(); ++y) bytes.append(reinterpret_cast<const char*>(copied.constScanLine(y)), 160 * 3);
    QCOMPARE(bytes, h.PictureBytes());
    const QString text = QGuiApplication::clipboard()->text();
    QCOMPARE(text.toStdString(), params::SettingsComment(params::RecordSettings(h.Ctx())));
    QVERIFY(params::SettingsFromComment(text.toStdString()).has_value());
}

void ExploreTest::settingsAreRememberedAndGarbageIgnored() {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("there.png"));
    QPoint sizePlace;
    QRect windowPlace;
    {
        AppHarness h;
        QVERIFY(h.StartAndWaitForFirstPicture());
        h.A().fitToWindow->trigger();
        h.saveAnswers << picture;
        h.A().saveAs->trigger();
        QVERIFY(QFile::exists(picture));
        h.openAnswers << dir.filePath(QStringLiteral("none.vtx"));
        h.A().loadParameterFile->trigger();
        h.modalAnswer = [](QDialog& dialog) {
            auto* exporting = qobject_cast<app::ExportDialog*>(&dialog);
            if (exporting == nullptr) return int(QDialog::Rejected);
            exporting->findChild<QSpinBox*>(QStringLiteral("width"))->setValue(123);
            exporting->findChild<QSpinBox*>(QStringLiteral("height"))->setValue(45);
            exporting->findChild<QComboBox*>(QStringLiteral("samples"))->setCurrentIndex(2);
            exporting->findChild<QLineEdit*>(QStringLiteral("path"))->setText(QDir(QDir::tempPath()).filePath("x.tif"));
            return int(QDialog::Accepted);
        };
        h.A().exportPicture->trigger();
        QTRY_VERIFY(!h.form->isExporting());
        h.A().imageSize->trigger();
        auto* size = h.form->findChild<app::ImageSizeDialog*>();
        QVERIFY(QTest::qWaitForWindowExposed(size));
        sizePlace = size->pos();
        h.form->resize(520, 410);
        QTRY_COMPARE(h.form->size(), QSize(520, 410));
        windowPlace = h.form->geometry();
        h.form->close();
    }
    QFile::remove(QDir(QDir::tempPath()).filePath("x.tif"));
    QFile::remove(QDir(QDir::tempPath()).filePath("x.vtx"));
    {
        AppHarness h(engine::DefaultPluginFolders(), true, QString(), false);
        QVERIFY(h.StartAndWaitForFirstPicture());
        QVERIFY(h.A().fitToWindow->isChecked());
        QCOMPARE(h.form->size(), windowPlace.size());
        QCOMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), h.form->pictureView()->fittingPictureSize());
        h.A().saveAs->trigger();
        QCOMPARE(h.offeredSaveNames.value(0), dir.filePath(QStringLiteral("halvane-")));
        h.A().loadParameterFile->trigger();
        QCOMPARE(h.openFolders.value(0), dir.path());
        h.A().openImage->trigger();
        QCOMPARE(h.openFolders.value(1), QString());
        h.A().imageSize->trigger();
        QCOMPARE(h.form->findChild<app::ImageSizeDialog*>()->pos(), sizePlace);
        app::ExportChoice proposed;
        h.modalAnswer = [&proposed](QDialog& dialog) {
            if (auto* exporting = qobject_cast<app::ExportDialog*>(&dialog)) proposed = exporting->choice();
            return int(QDialog::Rejected);
        };
        h.A().exportPicture->trigger();
        QCOMPARE(proposed.width, 123);
        QCOMPARE(proposed.height, 45);
        QCOMPARE(proposed.factor, 3);
        QCOMPARE(proposed.path, QDir(QDir::tempPath()).filePath(QStringLiteral("halvane-export.tif")));
    }
    // A damaged file: everything as at a first start, and the next change replaces it.
    // A file the reader stumbles over is ignored as a whole, even what it could read.
    for (const QByteArray& garbage : {QByteArray("[General]\nFitToWindow=true\n\x01\x02garbage=[[[\n@ByteArray("),
                                      QByteArray("[General]\nFitToWindow=banana\n[Export]\nWidth=-5\nHeight=x\n"
                                                 "Samples=9\n[Window]\nGeometry=12\n[ToolWindows]\nimageSizeDialog=@Point(99999 99999)\n"
                                                 "[Folders]\nsave=relative/folder\n")}) {
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(garbage);
        file.close();
        AppHarness h(engine::DefaultPluginFolders(), true, QString(), false);
        QVERIFY(h.StartAndWaitForFirstPicture());
        QVERIFY(!h.A().fitToWindow->isChecked());
        QCOMPARE(h.Ctx().ImageWidth, 160);
        h.A().saveAs->trigger();
        QCOMPARE(h.offeredSaveNames.value(0), QStringLiteral("halvane-"));
        app::ExportChoice proposed;
        h.modalAnswer = [&proposed](QDialog& dialog) {
            if (auto* exporting = qobject_cast<app::ExportDialog*>(&dialog)) proposed = exporting->choice();
            return int(QDialog::Rejected);
        };
        h.A().exportPicture->trigger();
        QCOMPARE(proposed.width, 640);
        QCOMPARE(proposed.factor, 2);
        QVERIFY(h.messages.isEmpty());
        h.A().fitToWindow->trigger();
        QSettings written(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("halvane"), QStringLiteral("halvane"));
        QCOMPARE(written.value(QStringLiteral("FitToWindow")).toString(), QStringLiteral("true"));
    }
}

static RegisterAppTests registration("ExploreTest", [] { return std::make_unique<ExploreTest>(); });

#include "explore_test.moc"
