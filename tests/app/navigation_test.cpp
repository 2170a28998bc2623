// The view: click and rectangle zoom, the Julia-point pick, the image size.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QTest>

#include "app_fixture.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "picture.h"

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

QRect SelectionOf(const app::PictureView* view) {
    const engine::PixelRect r = view->selectionRect();
    return QRect(r.left, r.top, r.width, r.height);
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
    void theFirstClickZoomsAboutThePointClicked();

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
    auto* size = h->form->findChild<app::ImageSizeDialog*>();
    h->A().imageSize->trigger();
    QVERIFY(size->isVisible());
    QCOMPARE(size->imageWidth(), 160);
    QCOMPARE(size->imageHeight(), 120);
    size->findChild<QAction*>(QStringLiteral("size1960x1440"))->trigger();
    QCOMPARE(size->imageWidth(), 1960);
    QCOMPARE(size->imageHeight(), 1440);
    QCOMPARE(h->Ctx().ImageWidth, 160);  // nothing applied yet

    // What the first row of the new picture finds: the old one, stretched.
    const imaging::Picture old = *h->form->currentPicture();
    imaging::Picture expected(320, 240);
    imaging::StretchCopy(old, {0, 0, 160, 120}, expected, {0, 0, 320, 240});
    QByteArray firstRowSeen;
    h->form->afterRowHook = [&](int32_t row) {
        if (row == 0) firstRowSeen = h->PictureBytes();
    };
    size->setImageSize(320, 240);
    QTest::keyClick(size->findChild<QSpinBox*>(QStringLiteral("height")), Qt::Key_Return);  // Enter applies
    QVERIFY(h->WaitUntilIdle());
    h->form->afterRowHook = nullptr;
    QCOMPARE(firstRowSeen.size(), 320 * 240 * 3);
    const QByteArray stretched(reinterpret_cast<const char*>(expected.Bytes().data()),
                               static_cast<qsizetype>(expected.Bytes().size()));
    QCOMPARE(Rows(firstRowSeen, 320, 1, 240), Rows(stretched, 320, 1, 240));
    QVERIFY(Rows(h->PictureBytes(), 320, 1, 240) != Rows(stretched, 320, 1, 240));
    QCOMPARE(h->form->currentPicture()->Width(), 320);
    QCOMPARE(h->Box()->size(), QSize(320, 240));
    QVERIFY(h->form->pictureView()->viewport()->width() >= 320);

    // Hidden, the dialog is not read: the picture is rebuilt at its size.
    h->A().imageSize->trigger();
    QVERIFY(!size->isVisible());
    size->setImageSize(50, 120);
    h->form->applyImageSize();
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->Ctx().ImageWidth, 320);
    QCOMPARE(h->form->currentPicture()->Width(), 320);
}

void NavigationTest::sizesThatCannotBeArePrevented() {
    const QByteArray before = h->PictureBytes();
    const int count = h->form->generationCount();
    h->ApplySize(0, 120);
    h->ApplySize(160, -4);
    h->ApplySize(65536, 10);
    h->ApplySize(20000, 20000);
    QCOMPARE(h->messages.size(), 4);
    QCOMPARE(h->Ctx().ImageWidth, 160);
    QCOMPARE(h->Ctx().ImageHeight, 120);
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->form->generationCount(), count);
}

void NavigationTest::zoomInClickAtTheCentre() {
    StartAt320By240();
    const int count = h->form->generationCount();
    // The zoom shows the picked part of the old picture, stretched, until
    // the new rows overwrite it.
    const imaging::Picture old = *h->form->currentPicture();
    imaging::Picture expected(320, 240);
    imaging::StretchCopy(old, {80, 60, 160, 120}, expected, {0, 0, 320, 240});
    QByteArray firstRowSeen;
    h->form->afterRowHook = [&](int32_t row) {
        if (row == 0) firstRowSeen = h->PictureBytes();
    };
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(160, 120));
    QVERIFY(h->WaitUntilIdle());
    h->form->afterRowHook = nullptr;
    QCOMPARE(h->form->generationCount(), count + 1);
    const QByteArray stretched(reinterpret_cast<const char*>(expected.Bytes().data()),
                               static_cast<qsizetype>(expected.Bytes().size()));
    QCOMPARE(Rows(firstRowSeen, 320, 1, 240), Rows(stretched, 320, 1, 240));
    QCOMPARE(SelectionOf(h->form->pictureView()), QRect(80, 60, 160, 120));
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
    QVERIFY(!h->form->pictureView()->hasSelection());
}

void NavigationTest::zoomOutClickAtTheCentre() {
    StartAt320By240();
    h->A().zoomInOutMode->trigger();
    QVERIFY(!h->form->zoomInMode());
    QVERIFY(!h->A().zoomInOutMode->isChecked());
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(160, 120));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(SelectionOf(h->form->pictureView()), QRect(-160, -120, 640, 480));
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
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(SelectionOf(h->form->pictureView()), QRect(-80, -60, 160, 120));
    QNEAR(h->Ctx().CenterX, -2.33333333333);
    QNEAR(h->Ctx().CenterY, -1.75);
    QNEAR(h->Ctx().PrevCenterX, 0.0);
}

void NavigationTest::doubleClickZoomsOnce() {
    StartAt320By240();
    const int count = h->form->generationCount();
    // Press, release, then the second press as a double click, and its release.
    QTest::mouseDClick(h->form->windowHandle(), Qt::LeftButton, {}, InWindow(*h, QPoint(100, 100)));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->form->generationCount(), count + 1);
    QNEAR(h->Ctx().Magnification, 1.95918367347);

    // Other buttons and modifier keys do not zoom.
    QTest::mouseClick(h->Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
    QTest::mouseClick(h->Box(), Qt::MiddleButton, {}, QPoint(100, 100));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->form->generationCount(), count + 1);
}

void NavigationTest::rectangleIsReshapedAndZoomedOnCommand() {
    StartAt320By240();
    h->A().rectangleMode->trigger();
    QVERIFY(h->A().rectangleMode->isChecked());

    h->messages.clear();
    h->A().zoomIn->trigger();
    QCOMPARE(h->messages, QStringList{QStringLiteral("there is nothing selected")});

    const int count = h->form->generationCount();
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(h->form->pictureView()->actionMode(), app::ActionMode::EditSelection);
    QTest::mouseMove(h->Box(), QPoint(60, 20));
    QTest::mouseMove(h->Box(), QPoint(110, 30));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(110, 30));
    app::PictureView* view = h->form->pictureView();
    QVERIFY(view->hasSelection());
    QCOMPARE(SelectionOf(view), QRect(26, -6, 69, 51));
    QCOMPARE(h->form->generationCount(), count);  // rectangle mode waits for Zoom
    QVERIFY(h->A().zoom->isEnabled());

    // Dragging inside the selection moves it; the pick follows.
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(60, 20));
    QTest::mouseMove(h->Box(), QPoint(160, 140));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(160, 140));
    QCOMPARE(SelectionOf(view), QRect(126, 114, 69, 51));
    const TIterationContext& c = h->Ctx();
    const double centreX = c.SelXMin + (c.SelXMax - c.SelXMin) * 0.5;
    QNEAR(c.SelCenterX, centreX);

    h->Do(h->A().zoom);
    QCOMPARE(h->form->generationCount(), count + 1);
    QVERIFY(!view->hasSelection());
    QVERIFY(!h->A().zoom->isEnabled());
    QNEAR(h->Ctx().CenterX, centreX);
    QNEAR(h->Ctx().Magnification, c.SelMagnification);
    QCOMPARE(view->actionMode(), app::ActionMode::EditSelection);

    // Clear Rectangle: no selection, the magnification stays at the next zoom.
    QTest::mousePress(h->Box(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(h->Box(), QPoint(120, 90));
    QTest::mouseRelease(h->Box(), Qt::LeftButton, {}, QPoint(120, 90));
    QVERIFY(view->hasSelection());
    h->A().clearRectangle->trigger();
    QVERIFY(!view->hasSelection());
    QCOMPARE(h->Ctx().SelMagnification, h->Ctx().Magnification);
}

void NavigationTest::aPickWithoutSizeIsRefused() {
    h->ApplySize(1, 1);
    const double magnification = h->Ctx().Magnification;
    const int count = h->form->generationCount();
    h->messages.clear();
    QTest::mouseClick(h->form->windowHandle(), Qt::LeftButton, {}, InWindow(*h, QPoint(0, 0)));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->generationCount(), count);
    QCOMPARE(h->Ctx().Magnification, magnification);
    QCOMPARE(h->Ctx().SelMagnification, magnification);
}

void NavigationTest::mouseMoveShowsMagnificationAndPoint() {
    QTest::mouseMove(h->Box(), QPoint(40, 30));
    QTRY_COMPARE(h->form->magnificationLabel()->text(), QStringLiteral("magnification=1.00"));
    QVERIFY(h->form->magnificationLabel()->isVisible());
    // 160 by 120: x from -2.3333 by steps of 4.6667/160, y from -1.75 by 3.5/120.
    QNEAR(h->form->mousePlaneX(), -2.33333333333333 + 40 * (4.66666666666667 / 160));
    QNEAR(h->form->mousePlaneY(), -1.75 + 30 * (3.5 / 120));
    // Rotate90 is on: the pixel shows the point with its parts exchanged.
    QVERIFY(h->form->planePointLabel()->text().startsWith(QStringLiteral("x=-0.875")));
    // Once the pointer has left the picture no point is under it.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(h->Box(), &leave);
    QCOMPARE(h->form->planePointLabel()->text(), QString());
    QCOMPARE(h->form->magnificationLabel()->text(), QStringLiteral("magnification=1.00"));
}

void NavigationTest::juliaPickWithTheParametersDialogOpen() {
    auto* params = h->form->findChild<app::ParametersDialog*>();
    h->A().parameters->trigger();
    QVERIFY(params->isVisible());
    h->A().juliaMode->trigger();
    QCOMPARE(h->Ctx().JuliaMode, 1);
    QCOMPARE(h->Ctx().JuliaFixed, 0);
    QCOMPARE(h->Box()->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(h->form->pictureView()->actionMode(), app::ActionMode::None);

    QTest::mouseMove(h->Box(), QPoint(37, 71));
    QTRY_VERIFY(h->form->mousePlaneX() != 0.0);
    const double pickedX = h->form->mousePlaneX();
    const double pickedY = h->form->mousePlaneY();
    const int count = h->form->generationCount();
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(37, 71));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->form->generationCount(), count + 1);
    QCOMPARE(h->Find<QDoubleSpinBox>("JuliaX")->text(), QString::number(pickedX, 'f', 9));
    QCOMPARE(h->Find<QDoubleSpinBox>("JuliaY")->text(), QString::number(pickedY, 'f', 9));
    // The generation used the constant as the dialog shows it.
    QCOMPARE(h->Ctx().JuliaX, QString::number(pickedX, 'f', 9).toDouble());
    QCOMPARE(h->Ctx().JuliaY, QString::number(pickedY, 'f', 9).toDouble());
    QCOMPARE(h->Ctx().JuliaFixed, 1);
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->Ctx().CenterX, 0.0);
    QVERIFY(h->Box()->cursor().shape() != Qt::BitmapCursor);
    QVERIFY(h->A().juliaIndicator->isChecked());

    // Fixed: a click zooms instead of picking.
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(80, 60));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->Ctx().JuliaX, QString::number(pickedX, 'f', 9).toDouble());
    QVERIFY(h->Ctx().Magnification > 1.5);

    // Switching Julia mode off passes through JuliaFixed = 0.
    h->A().juliaMode->trigger();
    QCOMPARE(h->Ctx().JuliaMode, 0);
    QCOMPARE(h->Ctx().JuliaFixed, 0);
    QVERIFY(!h->A().juliaIndicator->isChecked());
}

void NavigationTest::resetCoordinatesRestoresTheView() {
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(h->WaitUntilIdle());
    QVERIFY(h->Ctx().Magnification > 1.5);
    const int count = h->form->generationCount();
    h->Do(h->A().resetCoordinates);
    QCOMPARE(h->form->generationCount(), count + 1);
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->Ctx().CenterX, 0.0);
    QCOMPARE(h->Ctx().CenterY, 0.0);
    QNEAR(h->Ctx().XMax, 2.33333333333333);
}

void NavigationTest::theFirstClickZoomsAboutThePointClicked() {
    // Straight after start-up, the mouse maps onto the picture shown.
    QTest::mouseMove(h->Box(), QPoint(20, 30));
    QTRY_VERIFY(h->form->mousePlaneX() != 0.0);
    const double x = h->form->mousePlaneX();
    const double y = h->form->mousePlaneY();
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(20, 30));
    QVERIFY(h->WaitUntilIdle());
    QNEAR(h->Ctx().CenterX, x);
    QNEAR(h->Ctx().CenterY, y);
    QNEAR(h->Ctx().Magnification, 1.95918367347);
    // The status bar follows the new view without a mouse move.
    QCOMPARE(h->form->magnificationLabel()->text(), QStringLiteral("magnification=1.96"));
}

static RegisterAppTests registration("NavigationTest", [] { return std::make_unique<NavigationTest>(); });

#include "navigation_test.moc"
