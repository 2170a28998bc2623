// Views of any depth in the window: loaded, shown, zoomed, picked, saved,
// gone back to; exported pictures that carry their settings and samples;
// Fit Colours to Picture; views that are not numbers.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <set>

#include "app_fixture.h"
#include "deep_view.h"
#include "dialogs/export_dialog.h"
#include "image_file.h"
#include "picture_files.h"
#include "view_motion.h"

namespace {
std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

void Wheel(QWidget* box, QPoint at, int delta) {
    QWheelEvent wheel(QPointF(at), QPointF(box->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
}

// The seahorse valley (the default Rotate90 shows (y, x)) at `magnification`,
// with the texts where they say more than the doubles.
engine::ExactView Seahorse(TIterationContext& ctx, const std::string& magnification) {
    engine::ExactView view{"0.13182590420532197049128359834517", "-0.74364388703715870475219150611477",
                           magnification, "", ""};
    engine::SetFromText(view.centerX, ctx.CenterX, view.centerX);
    engine::SetFromText(view.centerY, ctx.CenterY, view.centerY);
    engine::SetFromText(view.magnification, ctx.Magnification, view.magnification);
    return view;
}

size_t Colours(const QByteArray& rgb) {
    std::set<uint32_t> seen;
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
        seen.insert(uint32_t(uint8_t(rgb[i])) << 16 | uint32_t(uint8_t(rgb[i + 1])) << 8 | uint8_t(rgb[i + 2]));
    return seen.size();
}

QByteArray PictureFile(const QString& path) {
    imaging::Picture picture;
    if (!imaging::LoadImageFile(Local(path), picture).empty()) return {};
    return QByteArray(reinterpret_cast<const char*>(picture.Bytes().data()), qsizetype(picture.Bytes().size()));
}
}  // namespace

class DeepViewTest : public QObject {
    Q_OBJECT
private slots:
    void deepViewsThroughFilesStatusBarZoomHistoryAndTheJuliaPick();
    void exportedPicturesCarryTheirSettingsAndSamples();
    void fitColoursIsOneStepThatBackUndoes();
    void viewsThatAreNotNumbersAreRefused();
};

void DeepViewTest::deepViewsThroughFilesStatusBarZoomHistoryAndTheJuliaPick() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    TIterationContext file = h.Ctx();
    const engine::ExactView deep = Seahorse(file, "1.2345678901234567891E40");
    const QString vtx = dir.filePath(QStringLiteral("deep.vtx"));
    QCOMPARE(params::WriteParameterFile(Local(vtx), file, deep), std::string());

    h.form->openFile(vtx);
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(h.form->core().View, deep);
    QCOMPARE(h.Ctx().CenterX, file.CenterX);
    QCOMPARE(h.form->magnificationLabel()->text(), QStringLiteral("magnification=1.2345678901234567891E40"));
    const QByteArray loadedPicture = h.PictureBytes();

    // The point under the mouse, to the digits that tell pixels apart.
    QTest::mouseMove(h.Box(), QPoint(41, 30));
    QTRY_VERIFY(h.form->planePointLabel()->text().size() > 90);
    QVERIFY(h.form->planePointLabel()->text().startsWith(QStringLiteral("x=-0.743643887037158704752191506114")));

    // A click zooms on the digits; the history keeps them.
    const size_t steps = h.form->history().Size();
    QTest::mouseClick(h.Box(), Qt::LeftButton, {}, QPoint(100, 70));
    QVERIFY(h.WaitUntilIdle());
    const engine::ExactView zoomed = h.form->core().View;
    QCOMPARE(zoomed.magnification, std::string("2.418745254119425546E40"));  // times 96/49
    QVERIFY(zoomed.centerX.size() > 50 && zoomed.centerX != deep.centerX);
    QVERIFY(engine::TextHolds(zoomed.centerX, h.Ctx().CenterX));
    QCOMPARE(h.form->history().Size(), steps + 1);
    h.Do(h.A().back);
    QCOMPARE(h.form->core().View, deep);
    QCOMPARE(h.PictureBytes(), loadedPicture);
    h.Do(h.A().forward);
    QCOMPARE(h.form->core().View, zoomed);

    // The wheel and the keys move on the digits too, and Back comes back to them.
    QTest::qWait(app::ViewMotion::kBurstMilliseconds + 50);
    Wheel(h.Box(), QPoint(40, 30), 120);
    Wheel(h.Box(), QPoint(40, 30), 120);
    QVERIFY(h.WaitUntilIdle());
    const engine::ExactView wheeled = h.form->core().View;
    QVERIFY2(wheeled.magnification.rfind("4.83749050823885", 0) == 0, wheeled.magnification.c_str());
    QVERIFY(wheeled.centerX.size() > 50 && wheeled.centerX != zoomed.centerX);
    QVERIFY(engine::TextHolds(wheeled.centerX, h.Ctx().CenterX));
    QCOMPARE(h.form->history().Size(), steps + 2);
    h.A().copyPicture->trigger();  // the settings as text, every digit
    QVERIFY(QGuiApplication::clipboard()->text().contains(
        QStringLiteral("Magnification=%1").arg(QString::fromStdString(wheeled.magnification))));
    QTest::qWait(app::ViewMotion::kBurstMilliseconds + 50);
    h.Do(h.A().viewZoomIn);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.form->core().View.centerX, wheeled.centerX);
    QCOMPARE(h.form->core().View.centerY, wheeled.centerY);
    QVERIFY(h.form->core().View.magnification.rfind("9.6749810164777", 0) == 0);
    h.Do(h.A().back);
    h.Do(h.A().back);
    QCOMPARE(h.form->core().View, zoomed);
    h.Do(h.A().forward);  // the burst's one step, every digit of its last view
    QCOMPARE(h.form->core().View, wheeled);
    h.Do(h.A().back);

    // Save As writes the digits into the parameter file and the picture.
    h.saveAnswers << dir.filePath(QStringLiteral("deep.png"));
    h.A().saveAs->trigger();
    QVERIFY(h.messages.isEmpty());
    std::string error;
    const std::optional<params::SettingsRecord> carried =
        params::ReadSettingsFromPicture(Local(dir.filePath(QStringLiteral("deep.png"))), error);
    QVERIFY(carried.has_value());
    QVERIFY(carried->lines.find("\nMagnification=2.418745254119425546E40\n") != std::string::npos);
    AppHarness again;
    QVERIFY(again.StartAndWaitForFirstPicture());
    again.form->openFile(dir.filePath(QStringLiteral("deep.png")));
    QVERIFY(again.WaitUntilIdle());
    QCOMPARE(again.form->core().View, zoomed);
    QCOMPARE(again.PictureBytes(), h.PictureBytes());

    // The Julia pick takes the point with every digit, and the open
    // Parameters dialog shows them and hands them back.
    h.A().parameters->trigger();
    h.A().juliaMode->trigger();
    QTest::mouseMove(h.Box(), QPoint(37, 71));
    QTest::qWait(20);
    QTest::mouseClick(h.Box(), Qt::LeftButton, {}, QPoint(37, 71));
    QVERIFY(h.WaitUntilIdle());
    const engine::ExactView picked = h.form->core().View;
    QVERIFY(picked.juliaX.size() > 50);
    QVERIFY(picked.centerX.empty() && picked.magnification.empty());  // the Julia set's reset view
    QCOMPARE(h.Find<QDoubleSpinBox>("JuliaX")->text(), QString::fromStdString(picked.juliaX));
    QCOMPARE(h.Ctx().JuliaFixed, 1);
    h.Do(h.A().apply);
    QCOMPARE(h.form->core().View.juliaX, picked.juliaX);
    // Its arrows step the digits exactly.
    h.Find<QDoubleSpinBox>("JuliaY")->stepBy(1);
    h.Do(h.A().apply);
    QCOMPARE(h.form->core().View.juliaY, engine::AddTexts(picked.juliaY, "0.1"));
    // Typed digits beyond the double are kept; nine decimals or fewer are the double as ever.
    QDoubleSpinBox* juliaX = h.Find<QDoubleSpinBox>("JuliaX");
    juliaX->selectAll();
    QTest::keyClicks(juliaX, QStringLiteral("-0.12345678912345678912345"));
    QTest::keyClick(juliaX, Qt::Key_Tab);
    h.Do(h.A().apply);
    QCOMPARE(h.form->core().View.juliaX, std::string("-0.12345678912345678912345"));
    QCOMPARE(h.Ctx().JuliaX, -0.12345678912345678912345);
    juliaX->selectAll();
    QTest::keyClicks(juliaX, QStringLiteral("0.25"));
    QTest::keyClick(juliaX, Qt::Key_Tab);
    h.Do(h.A().apply);
    QVERIFY(h.form->core().View.juliaX.empty());
    QCOMPARE(h.Ctx().JuliaX, 0.25);
}

void DeepViewTest::exportedPicturesCarryTheirSettingsAndSamples() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.Do(h.A().formulas[1]);
    h.Ctx().CenterX = -2.220446049250313e-16;  // a centre the 15 digits do not hold
    h.Do(h.A().apply);
    int n = 0;
    engine::ExactView deep;
    for (const char* name : {"e.png", "e.jpg", "e.tif"}) {
        ++n;
        if (n == 3) {  // a view past the doubles
            deep = Seahorse(h.Ctx(), "1.5E400");
            h.form->core().View = deep;
            h.Do(h.A().apply);
        }
        const QString path = dir.filePath(QLatin1String(name));
        h.modalAnswer = [&, path, n](QDialog& dialog) {
            if (dialog.objectName() != QStringLiteral("exportDialog")) return int(QDialog::Rejected);
            dialog.findChild<QSpinBox*>(QStringLiteral("width"))->setValue(40 + n);
            dialog.findChild<QSpinBox*>(QStringLiteral("height"))->setValue(30);
            dialog.findChild<QComboBox*>(QStringLiteral("samples"))->setCurrentIndex(n);  // n + 1 by n + 1
            dialog.findChild<QLineEdit*>(QStringLiteral("path"))->setText(path);
            return int(QDialog::Accepted);
        };
        QSignalSpy done(h.form.get(), &app::MainWindow::exportDone);
        h.A().exportPicture->trigger();
        QVERIFY(done.wait(60000));
        QCOMPARE(done.at(0).at(1).toString(), QString());

        std::string error;
        const std::optional<params::SettingsRecord> record = params::ReadSettingsFromPicture(Local(path), error);
        QVERIFY2(record.has_value(), error.c_str());
        QCOMPARE(record->width, 40 + n);
        QCOMPARE(record->height, 30);
        QCOMPARE(record->samples, n + 1);
        if (n < 3) {
            QVERIFY(record->lines.find("\nCenterX=-2.220446049250313e-16\n") != std::string::npos);
        } else {
            QVERIFY(record->lines.find("\nCenterY=" + deep.centerY + "\nMagnification=1.5E400\n") !=
                    std::string::npos);
        }

        // The renderer makes the same picture again from it.
        const QString made = dir.filePath(QStringLiteral("again-") + QLatin1String(name));
        QProcess render;
        render.start(QStringLiteral(HALVANE_RENDER),
                     {QStringLiteral("--params"), path, QStringLiteral("--quiet"), QStringLiteral("--output"), made});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        QCOMPARE(PictureFile(made), PictureFile(path));
        QVERIFY(!PictureFile(made).isEmpty());
    }
}

void DeepViewTest::fitColoursIsOneStepThatBackUndoes() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    TIterationContext& c = h.Ctx();
    c.CenterX = 0.1318259042053119;
    c.CenterY = -0.7436438870371587;
    c.Magnification = 1e6;
    h.form->requestGeneration();
    QVERIFY(h.WaitUntilIdle());
    const QByteArray before = h.PictureBytes();
    QCOMPARE(Colours(before), size_t(3));  // the picture
    const size_t steps = h.form->history().Size();
    const int generations = h.form->generationCount();

    h.Do(h.A().fitColours);
    QVERIFY(h.messages.isEmpty());
    QVERIFY(Colours(h.PictureBytes()) > 1000);
    QCOMPARE(h.form->generationCount(), generations);  // recoloured, not computed
    QCOMPARE(h.form->history().Size(), steps + 1);
    QVERIFY(c.dFactor3 != 1.0);

    h.Do(h.A().back);
    QCOMPARE(h.PictureBytes(), before);
    QCOMPARE(c.dFactor3, 1.0);
    QCOMPARE(c.RedStep, 1.0);

    // The colour controls' button does the same, and shows the new values.
    h.A().colourControls->trigger();
    QTRY_VERIFY(!h.form->findChild<QDialog*>(QStringLiteral("colourMixingDialog"))->isHidden());
    QVERIFY(h.WaitUntilIdle());
    h.Find<QPushButton>("fitColoursButton")->click();
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(Colours(h.PictureBytes()) > 1000);
    QCOMPARE(h.Find<QDoubleSpinBox>("dFactor3")->value(), c.dFactor3);
    QCOMPARE(h.Find<QDoubleSpinBox>("RedStep")->value(), c.RedStep);
}

void DeepViewTest::viewsThatAreNotNumbersAreRefused() {
    QTemporaryDir dir;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    TIterationContext file = h.Ctx();
    file.Maxit = 777;
    file.CenterY = std::numeric_limits<double>::quiet_NaN();
    const QString vtx = dir.filePath(QStringLiteral("nan.vtx"));
    QCOMPARE(params::WriteParameterFile(Local(vtx), file), std::string());
    const int generations = h.form->generationCount();
    h.form->openFile(vtx);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.messages, QStringList{QStringLiteral("Not a finite number in parameter file: %1 (line 11, view centre, "
                                                    "imaginary: NAN)").arg(vtx)});
    QCOMPARE(h.Ctx().Maxit, 100);
    QCOMPARE(h.form->generationCount(), generations);
}

static RegisterAppTests registration("DeepViewTest", [] { return std::make_unique<DeepViewTest>(); });

#include "deep_view_test.moc"
