// "Color Mixing Controls", "Options" and the file-dialog filters.
#include <QAction>
#include <algorithm>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QApplication>

#include "app_fixture.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/flat_button.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "dialogs/options_dialog.h"
#include "file_filters.h"
#include "image_options.h"
#include "window_placement.h"

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void filtersBecomeQtFilters();
    void colourDialogOpensWithTheSettingsAndAppliesOnce();
    void colourBarsAndSpinEditsAreCoupled();
    void colourChangesApplyAfterTwoTicks();
    void optionsUnchangedByOkWithoutEdits();
    void optionsStoreBackInOrderUntilABadNumber();
    void optionsCancelChangesNothing();
    void applyButtonsShowKeyboardFocus();
    void theSaveDialogOffersTheProposedFormat();
    void toolWindowsFindAFreeSpotWhereThereIsOne();
    void cleanup() { imaging::Options() = imaging::ImageFileOptions{}; }
};

void DialogTest::filtersBecomeQtFilters() {
    QCOMPARE(app::ToQtFilter(app::kParameterFileFilter),
             QStringLiteral("Parameter files *.vtx (*.vtx);;All Files (*)"));
    const QStringList save = app::ToQtFilter(app::kSaveImageFilter).split(QStringLiteral(";;"));
    QCOMPARE(save.size(), 8);
    QCOMPARE(save.first(), QStringLiteral("BMP - Bitmap (*.bmp)"));
    QCOMPARE(save.last(), QStringLiteral("TIF - Tagged Image File Format (*.tif)"));
    const QStringList open = app::ToQtFilter(app::kOpenImageFilter).split(QStringLiteral(";;"));
    QCOMPARE(open.size(), 16);
    QCOMPARE(open.first(), QStringLiteral("Image files (*.bmp *.dib *.jif *.jpeg *.jpg *.pbm *.pcx *.pgm *.png "
                                          "*.ppm *.rle *.tga *.tif *.tiff)"));
    QCOMPARE(open.at(3), QStringLiteral("JIF - JPEG (JFIF compliant) (*.jif)"));
    QCOMPARE(open.last(), QStringLiteral("All files (*)"));
    QCOMPARE(app::SuffixOfFilter(save.at(4)), QStringLiteral("png"));
    QCOMPARE(app::SuffixOfFilter(open.first()), QString());
    const QString saveFilter = app::ToQtFilter(app::kSaveImageFilter);
    QCOMPARE(app::FilterMatchingName(saveFilter, QStringLiteral("/a.b/pic.PNG")), save.at(4));
    QCOMPARE(app::FilterMatchingName(saveFilter, QStringLiteral("pic.tif")), save.last());
    for (const char* none : {"pic", "pic.gif", "/a.png/pic", "pic."})
        QCOMPARE(app::FilterMatchingName(saveFilter, QLatin1String(none)), QString());
    QCOMPARE(app::FilterMatchingName(app::ToQtFilter(app::kOpenImageFilter), QStringLiteral("x.jpeg")), open.first());
}

void DialogTest::colourDialogOpensWithTheSettingsAndAppliesOnce() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<app::ColourMixingDialog*>();
    QSignalSpy applies(dialog, &app::ColourMixingDialog::applyRequested);
    h.Ctx().RedStep = 0.333;
    h.Ctx().RedOffset = -20.0;
    h.Ctx().GrnStart = 31.5;
    h.Ctx().BluStart = 30.5;
    h.A().colourControls->trigger();
    QVERIFY(dialog->isVisible());
    QVERIFY(h.A().colourControls->isChecked());
    QCOMPARE(h.Find<QDoubleSpinBox>("RedStep")->text(), QStringLiteral("0.33"));
    QCOMPARE(h.Find<QDoubleSpinBox>("RedOffset")->text(), QStringLiteral("0.000"));
    QCOMPARE(h.Find<QSlider>("GreenStartBar")->value(), 32);
    QCOMPARE(h.Find<QSlider>("BlueStartBar")->value(), 30);
    QCOMPARE(h.Find<QSlider>("RedStartBar")->value(), 31);
    QCOMPARE(h.Find<QSlider>("RedSaturateBar")->value(), 127);

    // Every opening ends in one apply with the values as displayed.
    QTRY_COMPARE(applies.count(), 1);
    QCOMPARE(h.Ctx().RedStep, 0.33);
    QCOMPARE(h.Ctx().RedOffset, 0.0);
    QTest::qWait(50);
    QCOMPARE(applies.count(), 1);

    // The button hides the dialog and applies nothing.
    h.A().colourControls->trigger();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!h.A().colourControls->isChecked());
    QTest::qWait(50);
    QCOMPARE(applies.count(), 1);

    // The close box releases the button too.
    h.A().colourControls->trigger();
    QTRY_COMPARE(applies.count(), 2);
    dialog->close();
    QVERIFY(!h.A().colourControls->isChecked());
}

void DialogTest::colourBarsAndSpinEditsAreCoupled() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<app::ColourMixingDialog*>();
    h.A().colourControls->trigger();
    const auto spin = [&h](const char* name) { return h.Find<QDoubleSpinBox>(name); };
    const auto bar = [&h](const char* name) { return h.Find<QSlider>(name); };

    // Start: both ways.
    spin("RedStart")->setValue(31.5);
    QCOMPARE(bar("RedStartBar")->value(), 32);
    spin("RedStart")->setValue(30.5);
    QCOMPARE(bar("RedStartBar")->value(), 30);
    // Keys go to the window the user works in (the picture's keys stay with the picture).
    dialog->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(dialog));
    bar("GreenStartBar")->setFocus();
    QTest::keyClick(bar("GreenStartBar"), Qt::Key_Right);
    QCOMPARE(spin("GrnStart")->value(), 18.0);

    // Saturation: from bar to spin edit only.
    bar("RedSaturateBar")->setFocus();
    QTest::keyClick(bar("RedSaturateBar"), Qt::Key_PageUp);
    const int position = bar("RedSaturateBar")->value();
    QVERIFY(position > 127);
    QCOMPARE(spin("RedSaturate")->value(), double(position));
    bar("RedSaturateBar")->setValue(200);
    QCOMPARE(spin("RedSaturate")->text(), QStringLiteral("200.000"));
    spin("RedSaturate")->selectAll();
    QTest::keyClicks(spin("RedSaturate"), QStringLiteral("100"));
    QCOMPARE(spin("RedSaturate")->value(), 100.0);
    QCOMPARE(bar("RedSaturateBar")->value(), 200);

    // The tab order follows the rows of controls.
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    const auto tabFrom = [dialog](QWidget* from) {
        from->setFocus();
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        return dialog->focusWidget();
    };
    QCOMPARE(tabFrom(spin("RedStep")), static_cast<QWidget*>(spin("GrnStep")));
    QCOMPARE(tabFrom(spin("dFactor5")), static_cast<QWidget*>(spin("RedStart")));
    QCOMPARE(tabFrom(spin("BluStart")), static_cast<QWidget*>(bar("RedStartBar")));
    QCOMPARE(tabFrom(bar("BlueStartBar")), static_cast<QWidget*>(spin("RedSaturate")));
    QCOMPARE(tabFrom(spin("BluOffset")), static_cast<QWidget*>(bar("RedSaturateBar")));
}

void DialogTest::colourChangesApplyAfterTwoTicks() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<app::ColourMixingDialog*>();
    QSignalSpy applies(dialog, &app::ColourMixingDialog::applyRequested);
    h.A().colourControls->trigger();
    QTRY_COMPARE(applies.count(), 1);
    const QByteArray before = h.PictureBytes();
    const int generations = h.form->generationCount();

    // Filtering alone changes nothing in a recolouring.
    h.Find<QDoubleSpinBox>("dFactor4")->setValue(3.0);
    QTRY_COMPARE(applies.count(), 2);
    QCOMPARE(h.Ctx().dFactor4, 3.0);
    QCOMPARE(h.PictureBytes(), before);

    // A bar move is taken over at the deferred apply, not at once.
    h.Find<QSlider>("RedSaturateBar")->setValue(40);
    QCOMPARE(dialog->ticksSinceChange(), 0);
    QVERIFY(dialog->applyPending());
    QCOMPARE(h.Ctx().RedSaturate, 127.0);
    QTRY_COMPARE(applies.count(), 3);
    QCOMPARE(h.Ctx().RedSaturate, 40.0);
    QVERIFY(!dialog->applyPending());
    QVERIFY(h.PictureBytes() != before);
    // Recoloured from the buffers: no generation.
    QCOMPARE(h.form->generationCount(), generations);

    // The same settings give the generated picture again.
    h.Do(h.A().apply);
    const QByteArray generated = h.PictureBytes();
    h.Find<QDoubleSpinBox>("dFactor5")->setValue(2.0);
    QTRY_COMPARE(applies.count(), 4);
    QCOMPARE(h.PictureBytes(), generated);
}

void DialogTest::optionsUnchangedByOkWithoutEdits() {
    AppHarness h;
    bool shown = false;
    h.modalAnswer = [&shown](QDialog& dialog) {
        shown = dialog.windowTitle() == QStringLiteral("Options");
        return int(QDialog::Accepted);
    };
    h.A().options->trigger();
    QVERIFY(shown);
    QVERIFY(imaging::Options() == imaging::ImageFileOptions{});
    QVERIFY(h.messages.isEmpty());
}

void DialogTest::optionsStoreBackInOrderUntilABadNumber() {
    AppHarness h;
    imaging::Options().JpegWriteMethod = 7;  // outside its group
    const auto edit = [&h](const char* name) { return h.Find<QLineEdit>(name); };
    const auto radio = [&h](const char* name) { return h.Find<QRadioButton>(name); };
    h.modalAnswer = [&](QDialog&) {
        edit("jpegQuality")->setText(QStringLiteral("300"));
        h.Find<QCheckBox>("jpegProgressive")->setChecked(true);
        radio("jpegReadFloat")->setChecked(true);
        radio("pnmBinary")->setChecked(true);
        radio("tiffCompressionPackBits")->setChecked(true);
        radio("tiffResolutionCentimetre")->setChecked(true);
        edit("tiffHorizontalNumerator")->setText(QStringLiteral("72"));
        edit("tiffHorizontalDenominator")->setText(QStringLiteral("x1"));
        edit("tiffVerticalNumerator")->setText(QStringLiteral("96"));
        h.Find<QCheckBox>("writeGamma")->setChecked(false);
        return int(QDialog::Accepted);
    };
    h.A().options->trigger();
    QCOMPARE(radio("jpegWriteIntegerPrecise")->isChecked() || radio("jpegWriteIntegerFast")->isChecked() ||
                 radio("jpegWriteFloat")->isChecked(),
             false);
    QCOMPARE(h.messages, QStringList{QStringLiteral("'x1' is not a valid integer value")});
    const imaging::ImageFileOptions& o = imaging::Options();
    QCOMPARE(int(o.JpegWriteMethod), 7);
    QCOMPARE(int(o.JpegQuality), 44);
    QVERIFY(o.JpegProgressive);
    QCOMPARE(int(o.JpegReadMethod), 2);
    QVERIFY(o.PnmBinary);
    QCOMPARE(o.TiffCompression, 32773);
    QCOMPARE(int(o.TiffResolutionUnit), 2);
    QCOMPARE(o.TiffResHorizN, 72);
    // After the bad number nothing more was stored.
    QCOMPARE(o.TiffResHorizD, 1);
    QCOMPARE(o.TiffResVertN, 300);
    QVERIFY(o.WriteGamma);

    // A bad screen gamma is reported as a floating point value.
    h.messages.clear();
    h.modalAnswer = [&](QDialog&) {
        edit("screenGamma")->setText(QStringLiteral("2,2.1"));
        return int(QDialog::Accepted);
    };
    h.A().options->trigger();
    QCOMPARE(h.messages, QStringList{QStringLiteral("'2,2.1' is not a valid floating point value")});
    QCOMPARE(edit("screenGamma")->text(), QStringLiteral("2,2.1"));
    QCOMPARE(o.ScreenGamma, 1.8);
    h.modalAnswer = [&](QDialog&) {
        edit("screenGamma")->setText(QStringLiteral("2.2"));
        return int(QDialog::Accepted);
    };
    h.A().options->trigger();
    QCOMPARE(o.ScreenGamma, 2.2);
}

void DialogTest::optionsCancelChangesNothing() {
    AppHarness h;
    h.modalAnswer = [&h](QDialog&) {
        h.Find<QLineEdit>("jpegQuality")->setText(QStringLiteral("10"));
        h.Find<QRadioButton>("tiffCmyk")->setChecked(true);
        return int(QDialog::Rejected);
    };
    h.A().options->trigger();
    QVERIFY(imaging::Options() == imaging::ImageFileOptions{});
    // The dialog shows the options again at the next opening.
    h.modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    h.A().options->trigger();
    QCOMPARE(h.Find<QLineEdit>("jpegQuality")->text(), QStringLiteral("80"));
    QVERIFY(h.Find<QRadioButton>("tiffRgb")->isChecked());
    QCOMPARE(h.Find<QLineEdit>("screenGamma")->text(), QStringLiteral("1.8"));
}

void DialogTest::applyButtonsShowKeyboardFocus() {
    // The style draws no focus on a flat button; the dialogs' own does.
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* button = new app::FlatButton(QStringLiteral("Apply"), &window);
    button->move(0, 40);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus(Qt::TabFocusReason);
    const QImage unfocused = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    QVERIFY(button->hasFocus());
    QVERIFY(button->grab().toImage() != unfocused);

    AppHarness h;
    for (QDialog* dialog : {static_cast<QDialog*>(h.form->findChild<app::ParametersDialog*>()),
                            static_cast<QDialog*>(h.form->findChild<app::ImageSizeDialog*>())}) {
        auto* apply = dialog->findChild<QPushButton*>(QStringLiteral("applyButton"));
        QVERIFY(apply->isFlat());
        QVERIFY(dynamic_cast<app::FlatButton*>(apply) != nullptr);
    }
}

// The window's own save dialog (Export's Browse): the filter of the name
// proposed is the one offered, so that a name typed without an extension
// gets the proposed format.
void DialogTest::theSaveDialogOffersTheProposedFormat() {
    AppHarness h;
    QTemporaryDir dir;
    struct Case {
        const char* proposed;
        const char* filter;  // the entry offered, by its extension
        const char* written;
    };
    for (const Case& c : {Case{"halvane-export.png", "*.png", "typed.png"}, Case{"pic.jpg", "*.jpg", "typed.jpg"},
                          Case{"halvane-", "*.bmp", "typed.bmp"}}) {
        QString offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            offered = dialog->selectedNameFilter();
            dialog->selectFile(QStringLiteral("typed"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const QString chosen = h.realSaveFileDialog(h.form.get(), QStringLiteral("Export Picture"),
                                                    dir.filePath(QLatin1String(c.proposed)),
                                                    app::FileFilter(app::kSaveImageFilter));
        QVERIFY2(offered.endsWith(QStringLiteral("(%1)").arg(QLatin1String(c.filter))), qPrintable(offered));
        QCOMPARE(chosen, dir.filePath(QLatin1String(c.written)));
    }
}

namespace {
// Whether a window of `size` fits somewhere on `screen` without covering
// any of `taken`: every place, pixel by pixel.
bool AnyFreePlace(const QSize& size, const QList<QRect>& taken, const QRect& screen) {
    for (int y = screen.top(); y + size.height() <= screen.bottom() + 1; ++y) {
        for (int x = screen.left(); x + size.width() <= screen.right() + 1; ++x) {
            const QRect place(QPoint(x, y), size);
            const auto covering =
                std::find_if(taken.begin(), taken.end(), [&](const QRect& r) { return r.intersects(place); });
            if (covering == taken.end()) return true;
            x = std::max(x, covering->right());  // past the window that covers it
        }
    }
    return false;
}
}  // namespace

void DialogTest::toolWindowsFindAFreeSpotWhereThereIsOne() {
    QRandomGenerator random(13);
    int free = 0;
    for (const QRect screen : {QRect(0, 0, 1024, 768), QRect(0, 0, 1920, 1280)}) {
        for (int round = 0; round < 60; ++round) {
            const auto window = [&](int minSide, int maxWidth, int maxHeight) {
                const QSize size(random.bounded(minSide, maxWidth), random.bounded(minSide, maxHeight));
                return QRect(QPoint(random.bounded(0, screen.width() - size.width()),
                                    random.bounded(0, screen.height() - size.height())),
                             size);
            };
            const QRect main = window(300, screen.width() * 2 / 3, screen.height() * 2 / 3);
            QList<QRect> open;
            for (int i = random.bounded(0, 3); i > 0; --i) open << window(150, 450, 450);
            const QSize size(random.bounded(150, 450), random.bounded(150, 450));
            const QPoint at = app::FreeSpotFor(size, main, open, screen);
            const QRect place(at, size);
            QVERIFY(screen.contains(place));
            QList<QRect> taken = open;
            taken << main;
            const bool covers =
                std::any_of(taken.begin(), taken.end(), [&](const QRect& r) { return r.intersects(place); });
            const bool exists = AnyFreePlace(size, taken, screen);
            QVERIFY2(!(covers && exists), qPrintable(QStringLiteral("round %1").arg(round)));
            free += exists;
        }
    }
    QVERIFY(free >= 30);  // the cases are not all full screens

    // A main window as large as the screen: a tool window covers its
    // picture, never its menus, tool bars and status bar, nor another.
    for (const QRect screen : {QRect(0, 0, 1024, 768), QRect(0, 0, 1920, 1280)}) {
        const QList<QRect> bars{QRect(0, 0, screen.width(), 30), QRect(0, 30, screen.width(), 30),
                                QRect(0, 60, 40, screen.height() - 85),
                                QRect(0, screen.height() - 25, screen.width(), 25)};
        QList<QRect> open;
        for (const QSize size : {QSize(320, 230), QSize(380, 480), QSize(150, 120)}) {
            const QRect place(app::FreeSpotFor(size, screen, open, screen, bars), size);
            QVERIFY(screen.contains(place));
            for (const QRect& r : bars + open)
                QVERIFY2(!r.intersects(place), qPrintable(QStringLiteral("%1,%2").arg(place.x()).arg(place.y())));
            open << place;
        }
    }
}

static RegisterAppTests registration("DialogTest", [] { return std::make_unique<DialogTest>(); });

#include "dialogs_test.moc"
