// "test_app --screenshot FILE": shows the real windows on the display in
// use, computes a picture, zooms into it, and saves what the screen shows.
#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include "app_fixture.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"

int TakeScreenshot(const QString& path) {
    AppHarness h;
    h.form->move(0, 0);
    if (!h.StartAndWaitForFirstPicture()) return 1;
    h.ApplySize(400, 300);
    h.form->findChild<app::ImageSizeDialog*>()->hide();
    // Twice into the valley between the main cardioid and the bulb on its left.
    QTest::mouseClick(h.Box(), Qt::LeftButton, {}, QPoint(136, 159));
    h.WaitUntilIdle();
    QTest::mouseClick(h.Box(), Qt::LeftButton, {}, QPoint(200, 150));
    h.WaitUntilIdle();
    auto* params = h.form->findChild<app::ParametersDialog*>();
    h.A().parameters->trigger();
    params->move(h.form->frameGeometry().right() + 12, 0);
    auto* colours = h.form->findChild<app::ColourMixingDialog*>();
    h.A().colourControls->trigger();
    colours->move(0, h.form->frameGeometry().bottom() + 12);
    QTest::mouseMove(h.Box(), QPoint(200, 150));
    QTest::qWait(800);  // the colour dialog's first apply recomputes this picture
    h.WaitUntilIdle();
    QTest::qWait(200);
    const QRect area = h.form->frameGeometry()
                           .united(params->frameGeometry())
                           .united(colours->frameGeometry())
                           .adjusted(0, 0, 8, 8);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                                       area.height());
    return shot.save(path) ? 0 : 1;
}
