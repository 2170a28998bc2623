// The view: click and rectangle zoom, the Julia-point pick, the image size.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QTest>

#include "app_fixture.h"
#include "image_view.h"
#include "parameters_dialog.h"
#include "picture.h"
#include "xy_size_dialog.h"

namespace {
constexpr double kTolerance = 5e-11;

bool Near(double actual, double expected) { return std::fabs(actual - expected) <= kTolerance; }

#define QNEAR(actual, expected)                                                                    \
    QVERIFY2(Near((actual), (expected)), qPrintable(QStringLiteral("%1 is %2, expected %3")         \
                                                        .arg(QLatin1String(#actual))                \
                                                        .arg((actual), 0, 'g', 17)                  \
                                                        .arg((expected), 0, 'g', 17)))

// A point of the picture box in the coordinates of its window: events sent
// there take the window system's path (and (0, 0) is not "the centre").
QPoint InWindow(const AppHarness& h, QPoint boxPoint) { return h.Box()->mapTo(h.form.get(), boxPoint); }

QRect SelectionOf(const app::TPGImage* view) {
    return QRect(view->SelectionLeft(), view->SelectionTop(), view->SelectionWidth(), view->SelectionHeight());
}
}  // namespace

class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sizeDialogAppliesWithAStretchedPreview();
    void sizesThatCannotBeArePrevented();
    void zoomInClickAtTheCentre();
    void zoomOutClickAtTheCentre();
    void zoomInClickAtTheCorner();
    void doubleClickZoomsOnce();
    void rectangleIsReshapedAndZoomedOnCommand();
    void aPickWithoutSizeIsRefused();
    void mouseMoveShowsMagnificationAndPoint();
    void juliaPickWithTheParametersDialogOpen();
    void resetCoordinatesRestoresTheView();

private:
    std::unique_ptr<AppHarness> h;
    void StartAt320By240();
};

void NavigationTest::init() {
    h = std::make_unique<AppHarness>();
    QVERIFY(h->StartAndWaitForFirstPicture());
}

void NavigationTest::cleanup() { h.reset(); }

void NavigationTest::StartAt320By240() {
    h->ApplySize(320, 240);
    QCOMPARE(h->Ctx().ImageWidth, 320);
    QCOMPARE(h->Ctx().ImageHeight, 240);
    QNEAR(h->Ctx().XMin, -2.33333333333333);
    QNEAR(h->Ctx().YMax, 1.75);
}

void NavigationTest::sizeDialogAppliesWithAStretchedPreview() {
    auto* size = h->form->findChild<TXYSize*>();
    h->Act("ToolbarButton971")->trigger();
    QVERIFY(size->isVisible());
    QCOMPARE(size->RxWidth->value(), 160);
    QCOMPARE(size->RxHeight->value(), 120);
    size->findChild<QAction*>(QStringLiteral("N1960by14401"))->trigger();
    QCOMPARE(size->RxWidth->value(), 1960);
    QCOMPARE(size->RxHeight->value(), 1440);
    QCOMPARE(h->Ctx().ImageWidth, 160);  // nothing applied yet

    // What the first row of the new picture finds: the old one, stretched.
    const imaging::Picture old = *h->form->CurrentImage();
    imaging::Picture expected(320, 240);
    imaging::StretchCopy(old, {0, 0, 160, 120}, expected, {0, 0, 320, 240});
    QByteArray firstRowSeen;
    h->form->afterRowHook = [&](int32_t row) {
        if (row == 0) firstRowSeen = h->PictureBytes();
    };
    size->RxWidth->setValue(320);
    size->RxHeight->setValue(240);
    QTest::keyClick(size->RxHeight, Qt::Key_Return);  // Enter applies
    h->form->afterRowHook = nullptr;
    QCOMPARE(firstRowSeen.size(), 320 * 240 * 3);
    const QByteArray stretched(reinterpret_cast<const char*>(expected.Bytes().data()),
                               static_cast<qsizetype>(expected.Bytes().size()));
    QCOMPARE(Rows(firstRowSeen, 320, 1, 240), Rows(stretched, 320, 1, 240));
    QVERIFY(Rows(h->PictureBytes(), 320, 1, 240) != Rows(stretched, 320, 1, 240));
    QCOMPARE(h->form->CurrentImage()->Width(), 320);
    QCOMPARE(h->form->PGImage1()->PicBox()->size(), QSize(320, 240));
    QVERIFY(h->form->PGImage1()->viewport()->width() >= 320);

    // Hidden, the dialog is not read: the picture is rebuilt at its size.
    h->Act("XYSize2")->trigger();
    QVERIFY(!size->isVisible());
    size->RxWidth->setValue(50);
    h->form->TP01Click();
    QCOMPARE(h->Ctx().ImageWidth, 320);
    QCOMPARE(h->form->CurrentImage()->Width(), 320);
}

void NavigationTest::sizesThatCannotBeArePrevented() {
    const QByteArray before = h->PictureBytes();
    const int count = h->form->GenerationCount();
    h->ApplySize(0, 120);
    h->ApplySize(160, -4);
    h->ApplySize(65536, 10);
    h->ApplySize(20000, 20000);
    QCOMPARE(h->messages.size(), 4);
    QCOMPARE(h->Ctx().ImageWidth, 160);
    QCOMPARE(h->Ctx().ImageHeight, 120);
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->form->GenerationCount(), count);
}

void NavigationTest::zoomInClickAtTheCentre() {
    StartAt320By240();
    const int count = h->form->GenerationCount();
    // The zoom shows the picked part of the old picture, stretched, until
    // the new rows overwrite it.
    const imaging::Picture old = *h->form->CurrentImage();
    imaging::Picture expected(320, 240);
    imaging::StretchCopy(old, {80, 60, 160, 120}, expected, {0, 0, 320, 240});
    QByteArray firstRowSeen;
    h->form->afterRowHook = [&](int32_t row) {
        if (row == 0) firstRowSeen = h->PictureBytes();
    };
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(160, 120));
    h->form->afterRowHook = nullptr;
    QCOMPARE(h->form->GenerationCount(), count + 1);
    const QByteArray stretched(reinterpret_cast<const char*>(expected.Bytes().data()),
                               static_cast<qsizetype>(expected.Bytes().size()));
    QCOMPARE(Rows(firstRowSeen, 320, 1, 240), Rows(stretched, 320, 1, 240));
    QCOMPARE(SelectionOf(h->form->PGImage1()), QRect(80, 60, 160, 120));
    const TIterationContext& c = h->Ctx();
    QNEAR(c.SelXMin, -1.16666666667);
    QNEAR(c.SelXMax, 1.16666666667);
    QNEAR(c.SelYMin, -0.875);
    QNEAR(c.SelYMax, 0.875);
    QNEAR(c.SelMagnification, 1.95918367347);
    QNEAR(c.Magnification, 1.95918367347);
    QNEAR(c.XMin, -1.19097222222);
    QNEAR(c.XMax, 1.19097222222);
    QNEAR(c.YMin, -0.893229166667);
    QNEAR(c.YMax, 0.893229166667);
    QNEAR(c.CenterX, 0.0);
    QVERIFY(!h->form->PGImage1()->Selection());
}

void NavigationTest::zoomOutClickAtTheCentre() {
    StartAt320By240();
    h->Act("ZoomInOut1")->trigger();
    QCOMPARE(h->form->ZoomInOutMode(), 0);
    QVERIFY(!h->Act("ZoomInOut1")->isChecked());
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(160, 120));
    QCOMPARE(SelectionOf(h->form->PGImage1()), QRect(-160, -120, 640, 480));
    const TIterationContext& c = h->Ctx();
    QNEAR(c.SelMagnification, 0.489795918367);
    QNEAR(c.XMax, 4.76388888889);
    QNEAR(c.XMin, -4.76388888889);
    QNEAR(c.YMax, 3.57291666667);
    QNEAR(c.YMin, -3.57291666667);
}

void NavigationTest::zoomInClickAtTheCorner() {
    StartAt320By240();
    QTest::mouseClick(h->form->windowHandle(), Qt::LeftButton, {}, InWindow(*h, QPoint(0, 0)));
    QCOMPARE(SelectionOf(h->form->PGImage1()), QRect(-80, -60, 160, 120));
    QNEAR(h->Ctx().CenterX, -2.33333333333);
    QNEAR(h->Ctx().CenterY, -1.75);
    QNEAR(h->Ctx().PrevCenterX, 0.0);
}

void NavigationTest::doubleClickZoomsOnce() {
    StartAt320By240();
    const int count = h->form->GenerationCount();
    // Press, release, then the second press as a double click, and its release.
    QTest::mouseDClick(h->form->windowHandle(), Qt::LeftButton, {}, InWindow(*h, QPoint(100, 100)));
    QCOMPARE(h->form->GenerationCount(), count + 1);
    QNEAR(h->Ctx().Magnification, 1.95918367347);

    // Other buttons and modifier keys do not zoom.
    QTest::mouseClick(h->Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
    QTest::mouseClick(h->Box(), Qt::MiddleButton, {}, QPoint(100, 100));
    QCOMPARE(h->form->GenerationCount(), count + 1);
}

void NavigationTest::rectangleIsReshapedAndZoomedOnCommand() {
    StartAt320By240();
    h->Act("RectangleMode1")->trigger();
    QVERIFY(h->Act("RectangleMode1")->isChecked());

    h->messages.clear();
    h->Act("Zoom1")->trigger();
    QCOMPARE(h->messages, QStringList{QStringLiteral("there is nothing selected")});

    const int count = h->form->GenerationCount();
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(h->form->PGImage1()->ActionMode(), app::TActionMode::amMoveResizeCreateSelection);
    QTest::mouseMove(h->Box(), QPoint(60, 20));
    QTest::mouseMove(h->Box(), QPoint(110, 30));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(110, 30));
    app::TPGImage* view = h->form->PGImage1();
    QVERIFY(view->Selection());
    QCOMPARE(SelectionOf(view), QRect(26, -6, 69, 51));
    QCOMPARE(h->form->GenerationCount(), count);  // rectangle mode waits for Zoom
    QVERIFY(h->Act("Zoom")->isEnabled());

    // Dragging inside the selection moves it; the pick follows.
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(60, 20));
    QTest::mouseMove(h->Box(), QPoint(160, 140));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(160, 140));
    QCOMPARE(SelectionOf(view), QRect(126, 114, 69, 51));
    const TIterationContext& c = h->Ctx();
    const double centreX = c.SelXMin + (c.SelXMax - c.SelXMin) * 0.5;
    QNEAR(c.SelCenterX, centreX);

    h->Act("Zoom")->trigger();
    QCOMPARE(h->form->GenerationCount(), count + 1);
    QVERIFY(!view->Selection());
    QVERIFY(!h->Act("Zoom")->isEnabled());
    QNEAR(h->Ctx().CenterX, centreX);
    QNEAR(h->Ctx().Magnification, c.SelMagnification);
    QCOMPARE(view->ActionMode(), app::TActionMode::amMoveResizeCreateSelection);

    // Clear Rectangle: no selection, the magnification stays at the next zoom.
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(h->Box(), QPoint(120, 90));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(120, 90));
    QVERIFY(view->Selection());
    h->Act("ClearRectangle2")->trigger();
    QVERIFY(!view->Selection());
    QCOMPARE(h->Ctx().SelMagnification, h->Ctx().Magnification);
}

void NavigationTest::aPickWithoutSizeIsRefused() {
    h->ApplySize(1, 1);
    const double magnification = h->Ctx().Magnification;
    const int count = h->form->GenerationCount();
    h->messages.clear();
    QTest::mouseClick(h->form->windowHandle(), Qt::LeftButton, {}, InWindow(*h, QPoint(0, 0)));
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->GenerationCount(), count);
    QCOMPARE(h->Ctx().Magnification, magnification);
    QCOMPARE(h->Ctx().SelMagnification, magnification);
}

void NavigationTest::mouseMoveShowsMagnificationAndPoint() {
    QTest::mouseMove(h->Box(), QPoint(40, 30));
    QTRY_COMPARE(h->form->MagnificationLabel()->text(), QStringLiteral("magnification=1.00"));
    QVERIFY(h->form->MagnificationLabel()->isVisible());
    // 160 by 120: x from -2.3333 by steps of 4.6667/160, y from -1.75 by 3.5/120.
    QNEAR(h->form->MousePlaneX(), -2.33333333333333 + 40 * (4.66666666666667 / 160));
    QNEAR(h->form->MousePlaneY(), -1.75 + 30 * (3.5 / 120));
    QVERIFY(h->form->PlanePointLabel()->text().startsWith(QStringLiteral("x=-1.16666")));
}

void NavigationTest::juliaPickWithTheParametersDialogOpen() {
    auto* params = h->form->findChild<TForm4*>();
    h->Act("Params")->trigger();
    QVERIFY(params->isVisible());
    h->Act("JuliaMode2")->trigger();
    QCOMPARE(h->Ctx().JuliaMode, 1);
    QCOMPARE(h->Ctx().JuliaFixed, 0);
    QCOMPARE(h->Box()->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(h->form->PGImage1()->ActionMode(), app::TActionMode::amNone);

    QTest::mouseMove(h->Box(), QPoint(37, 71));
    QTRY_VERIFY(h->form->MousePlaneX() != 0.0);
    const double pickedX = h->form->MousePlaneX();
    const double pickedY = h->form->MousePlaneY();
    const int count = h->form->GenerationCount();
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(37, 71));
    QCOMPARE(h->form->GenerationCount(), count + 1);
    QCOMPARE(params->JuliaX->text(), QString::number(pickedX, 'f', 9));
    QCOMPARE(params->JuliaY->text(), QString::number(pickedY, 'f', 9));
    // The generation used the constant as the dialog shows it.
    QCOMPARE(h->Ctx().JuliaX, QString::number(pickedX, 'f', 9).toDouble());
    QCOMPARE(h->Ctx().JuliaY, QString::number(pickedY, 'f', 9).toDouble());
    QCOMPARE(h->Ctx().JuliaFixed, 1);
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->Ctx().CenterX, 0.0);
    QVERIFY(h->Box()->cursor().shape() != Qt::BitmapCursor);
    QVERIFY(h->Act("Julia")->isChecked());

    // Fixed: a click zooms instead of picking.
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(80, 60));
    QCOMPARE(h->Ctx().JuliaX, QString::number(pickedX, 'f', 9).toDouble());
    QVERIFY(h->Ctx().Magnification > 1.5);

    // Switching Julia mode off passes through JuliaFixed = 0.
    h->Act("JuliaMode1")->trigger();
    QCOMPARE(h->Ctx().JuliaMode, 0);
    QCOMPARE(h->Ctx().JuliaFixed, 0);
    QVERIFY(!h->Act("Julia")->isChecked());
}

void NavigationTest::resetCoordinatesRestoresTheView() {
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(h->Ctx().Magnification > 1.5);
    const int count = h->form->GenerationCount();
    h->Act("ResetBtn")->trigger();
    QCOMPARE(h->form->GenerationCount(), count + 1);
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->Ctx().CenterX, 0.0);
    QCOMPARE(h->Ctx().CenterY, 0.0);
    QNEAR(h->Ctx().XMax, 2.33333333333333);
}

int RunNavigationTests(int argc, char** argv) {
    NavigationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "navigation_test.moc"
