// "Color Mixing Controls", "Options" and the file-dialog filters.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "app_fixture.h"
#include "colour_mixing_dialog.h"
#include "file_filters.h"
#include "image_options.h"
#include "options_dialog.h"

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
}

void DialogTest::colourDialogOpensWithTheSettingsAndAppliesOnce() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<TForm3*>();
    QSignalSpy applies(dialog, &TForm3::ApplyRequested);
    h.Ctx().RedStep = 0.333;
    h.Ctx().RedOffset = -20.0;
    h.Ctx().GrnStart = 31.5;
    h.Ctx().BluStart = 30.5;
    h.Act("ColorControlsBtn")->trigger();
    QVERIFY(dialog->isVisible());
    QVERIFY(h.Act("ColorControlsBtn")->isChecked());
    QCOMPARE(dialog->RedStep->text(), QStringLiteral("0.33"));
    QCOMPARE(dialog->RedOffset->text(), QStringLiteral("0.000"));
    QCOMPARE(dialog->GreenBar1->value(), 32);
    QCOMPARE(dialog->BlueBar1->value(), 30);
    QCOMPARE(dialog->RedBar1->value(), 31);
    QCOMPARE(dialog->RedBarSaturate->value(), 127);

    // Every opening ends in one apply with the values as displayed.
    QTRY_COMPARE(applies.count(), 1);
    QCOMPARE(h.Ctx().RedStep, 0.33);
    QCOMPARE(h.Ctx().RedOffset, 0.0);
    QTest::qWait(50);
    QCOMPARE(applies.count(), 1);

    // The button hides the dialog and applies nothing.
    h.Act("ColorControlsBtn")->trigger();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!h.Act("ColorControlsBtn")->isChecked());
    QTest::qWait(50);
    QCOMPARE(applies.count(), 1);

    // The close box releases the button too.
    h.Act("ColorControlsBtn")->trigger();
    QTRY_COMPARE(applies.count(), 2);
    dialog->close();
    QVERIFY(!h.Act("ColorControlsBtn")->isChecked());
}

void DialogTest::colourBarsAndSpinEditsAreCoupled() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<TForm3*>();
    h.Act("ColorControlsBtn")->trigger();

    // Start: both ways.
    dialog->RedStart->setValue(31.5);
    QCOMPARE(dialog->RedBar1->value(), 32);
    dialog->RedStart->setValue(30.5);
    QCOMPARE(dialog->RedBar1->value(), 30);
    dialog->GreenBar1->setFocus();
    QTest::keyClick(dialog->GreenBar1, Qt::Key_Right);
    QCOMPARE(dialog->GrnStart->value(), 18.0);

    // Saturation: from bar to spin edit only.
    dialog->RedBarSaturate->setFocus();
    QTest::keyClick(dialog->RedBarSaturate, Qt::Key_PageUp);
    const int bar = dialog->RedBarSaturate->value();
    QVERIFY(bar > 127);
    QCOMPARE(dialog->RedSaturate->value(), double(bar));
    dialog->RedBarSaturate->setValue(200);
    QCOMPARE(dialog->RedSaturate->text(), QStringLiteral("200.000"));
    dialog->RedSaturate->selectAll();
    QTest::keyClicks(dialog->RedSaturate, QStringLiteral("100"));
    QCOMPARE(dialog->RedSaturate->value(), 100.0);
    QCOMPARE(dialog->RedBarSaturate->value(), 200);

    // The tab order follows the rows of controls.
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    const auto tabFrom = [dialog](QWidget* from) {
        from->setFocus();
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        return dialog->focusWidget();
    };
    QCOMPARE(tabFrom(dialog->RedStep), static_cast<QWidget*>(dialog->GrnStep));
    QCOMPARE(tabFrom(dialog->dFactor5), static_cast<QWidget*>(dialog->RedStart));
    QCOMPARE(tabFrom(dialog->BluStart), static_cast<QWidget*>(dialog->RedBar1));
    QCOMPARE(tabFrom(dialog->BlueBar1), static_cast<QWidget*>(dialog->RedSaturate));
    QCOMPARE(tabFrom(dialog->BluOffset), static_cast<QWidget*>(dialog->RedBarSaturate));
}

void DialogTest::colourChangesApplyAfterTwoTicks() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* dialog = h.form->findChild<TForm3*>();
    QSignalSpy applies(dialog, &TForm3::ApplyRequested);
    h.Act("ColorControlsBtn")->trigger();
    QTRY_COMPARE(applies.count(), 1);
    const QByteArray before = h.PictureBytes();
    const int generations = h.form->GenerationCount();

    // Filtering alone changes nothing in a recolouring.
    dialog->dFactor4->setValue(3.0);
    QTRY_COMPARE(applies.count(), 2);
    QCOMPARE(h.Ctx().dFactor4, 3.0);
    QCOMPARE(h.PictureBytes(), before);

    // A bar move is taken over at the deferred apply, not at once.
    dialog->RedBarSaturate->setValue(40);
    QCOMPARE(dialog->ColorTicks, 0);
    QVERIFY(dialog->ColorTimer.isActive());
    QCOMPARE(h.Ctx().RedSaturate, 127.0);
    QTRY_COMPARE(applies.count(), 3);
    QCOMPARE(h.Ctx().RedSaturate, 40.0);
    QVERIFY(!dialog->ColorTimer.isActive());
    QVERIFY(h.PictureBytes() != before);
    // Recoloured from the buffers: no generation.
    QCOMPARE(h.form->GenerationCount(), generations);

    // The same settings give the generated picture again.
    h.Act("ApplyBtn")->trigger();
    const QByteArray generated = h.PictureBytes();
    dialog->dFactor5->setValue(2.0);
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
    h.Act("Options1")->trigger();
    QVERIFY(shown);
    QVERIFY(imaging::Options() == imaging::ImageFileOptions{});
    QVERIFY(h.messages.isEmpty());
}

void DialogTest::optionsStoreBackInOrderUntilABadNumber() {
    AppHarness h;
    imaging::Options().JpegWriteMethod = 7;  // outside its group
    auto* dialog = h.form->findChild<TForm2*>();
    h.modalAnswer = [dialog](QDialog&) {
        dialog->JPEGWQualityEdit->setText(QStringLiteral("300"));
        dialog->JPEGWProgressiveCB->setChecked(true);
        dialog->JPEGRFloatRB->setChecked(true);
        dialog->PXMBinaryRB->setChecked(true);
        dialog->TIFFCompPackBitsRB->setChecked(true);
        dialog->TIFFResCentimeterRB->setChecked(true);
        dialog->TIFFResHorizNEdit->setText(QStringLiteral("72"));
        dialog->TIFFResHorizDEdit->setText(QStringLiteral("x1"));
        dialog->TIFFResVertNEdit->setText(QStringLiteral("96"));
        dialog->WriteGammaCB->setChecked(false);
        return int(QDialog::Accepted);
    };
    h.Act("Options1")->trigger();
    QCOMPARE(dialog->JPEGWIntPreciseRB->isChecked() || dialog->JPEGWIntFastRB->isChecked() ||
                 dialog->JPEGWFloatRB->isChecked(),
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
    h.modalAnswer = [dialog](QDialog&) {
        dialog->ScreenGammaEdit->setText(QStringLiteral("2,2.1"));
        return int(QDialog::Accepted);
    };
    h.Act("Options1")->trigger();
    QCOMPARE(h.messages, QStringList{QStringLiteral("'2,2.1' is not a valid floating point value")});
    QCOMPARE(dialog->ScreenGammaEdit->text(), QStringLiteral("2,2.1"));
    QCOMPARE(o.ScreenGamma, 1.8);
    h.modalAnswer = [dialog](QDialog&) {
        dialog->ScreenGammaEdit->setText(QStringLiteral("2.2"));
        return int(QDialog::Accepted);
    };
    h.Act("Options1")->trigger();
    QCOMPARE(o.ScreenGamma, 2.2);
}

void DialogTest::optionsCancelChangesNothing() {
    AppHarness h;
    auto* dialog = h.form->findChild<TForm2*>();
    h.modalAnswer = [dialog](QDialog&) {
        dialog->JPEGWQualityEdit->setText(QStringLiteral("10"));
        dialog->TIFFCMYKRB->setChecked(true);
        return int(QDialog::Rejected);
    };
    h.Act("Options1")->trigger();
    QVERIFY(imaging::Options() == imaging::ImageFileOptions{});
    // The dialog shows the options again at the next opening.
    h.modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    h.Act("Options1")->trigger();
    QCOMPARE(dialog->JPEGWQualityEdit->text(), QStringLiteral("80"));
    QVERIFY(dialog->TIFFRGBRB->isChecked());
    QCOMPARE(dialog->ScreenGammaEdit->text(), QStringLiteral("1.8"));
}

int RunDialogTests(int argc, char** argv) {
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
