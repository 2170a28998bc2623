// Start-up, menus, generation, Abort and the busy caption.
#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app_fixture.h"
#include "dialogs/parameters_dialog.h"
#include "halvane_version.h"

namespace {
QString Plain(QString text) { return text.remove(QLatin1Char('&')); }
using Pending = app::MainWindow::PendingCommand;
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpComputesOneDefaultPicture();
    void checkMarksFollowTheSettings();
    void menusAndToolBarsCarryTheirCaptions();
    void abortKeepsTheRowsNotYetComputed();
    void escapeAbortsAndTheBusyCaptionCountsRows();
    void theBusyCaptionGoesOnWhileCommandsKeepComing();
    void aNewerCommandSupersedesTheRunningGeneration();
    void parametersDialogValuesTakeEffect();
    void missingPluginRefusesEveryGeneration();
    void aboutBoxShowsProductAndPictureRows();
    void recolouringRegeneratesPicturesBeyondTheBuffers();
    void exitClosesTheWindowAndStopsTheGeneration();
};

void MainWindowTest::startUpComputesOneDefaultPicture() {
    AppHarness h;
    QCOMPARE(h.form->pendingCommand(), Pending::NewPicture);
    QCOMPARE(h.form->windowIconText(), QStringLiteral("NEW"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(h.StartAndWaitForFirstPicture());
    QCOMPARE(h.form->generationCount(), 1);
    QCOMPARE(h.form->pendingCommand(), Pending::None);
    QCOMPARE(h.form->windowIconText(), QStringLiteral("halvane-ware, v0.001"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(h.form->currentFile().isEmpty());
    QVERIFY(h.messages.isEmpty());

    const TIterationContext& c = h.Ctx();
    QCOMPARE(c.FormulaNo, 0);
    QCOMPARE(c.RenderNo, 4);
    QCOMPARE(c.BlendNo, 20);
    QCOMPARE(c.ColorOrderNo, 3);
    QCOMPARE(c.RotationMode, 1);
    QCOMPARE(c.ImageWidth, 160);
    QCOMPARE(c.ImageHeight, 120);
    QCOMPARE(c.Magnification, 1.0);
    QCOMPARE(h.form->currentPicture(), h.form->pictureView()->picture());
    QCOMPARE(h.form->currentPicture()->Width(), 160);
    QCOMPARE(h.form->currentPicture()->Height(), 120);
    QVERIFY(!h.A().abort->isEnabled());
    QVERIFY(!h.A().zoom->isEnabled());
    QVERIFY(!h.form->needsImageSetup());

    // The picture is not one colour.
    const QByteArray bytes = h.PictureBytes();
    QVERIFY(bytes.count(bytes.at(0)) < bytes.size());

    // Nothing else is computed later, and the start-up timer stays off.
    QTest::qWait(250);
    QCOMPARE(h.form->generationCount(), 1);
    QVERIFY(!h.form->startupTimer().isActive());
    QVERIFY(!h.form->busyTimer().isActive());

    // The window leaves room for the picture.
    QVERIFY(h.form->pictureView()->viewport()->width() >= 160);
    QVERIFY(h.form->pictureView()->viewport()->height() >= 120);
}

void MainWindowTest::checkMarksFollowTheSettings() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const app::MainWindowActions& a = h.A();

    h.Do(a.formulas[3]);
    h.Do(a.renderMethods[6]);
    h.Do(a.blendMethods[1]);
    h.Do(a.channelOrders[4]);
    QVERIFY(a.formulas[3]->isChecked() && !a.formulas[0]->isChecked());
    QVERIFY(a.renderMethods[6]->isChecked() && !a.renderMethods[3]->isChecked());
    QVERIFY(a.blendMethods[1]->isChecked() && !a.blendMethods[19]->isChecked());
    QVERIFY(a.channelOrders[4]->isChecked() && !a.channelOrders[2]->isChecked());

    h.Do(a.newPicture);
    for (int i = 0; i < 8; ++i) QCOMPARE(a.formulas[size_t(i)]->isChecked(), i == 0);
    for (int i = 1; i <= 9; ++i) QCOMPARE(a.renderMethods[size_t(i - 1)]->isChecked(), i == 4);
    for (int i = 1; i <= 26; ++i) QCOMPARE(a.blendMethods[size_t(i - 1)]->isChecked(), i == 20);
    for (int i = 1; i <= 6; ++i) QCOMPARE(a.channelOrders[size_t(i - 1)]->isChecked(), i == 3);
    QVERIFY(a.rotate90->isChecked() && !a.rotate90Mirror->isChecked() && !a.mirror->isChecked());
    QVERIFY(a.zoomInOutMode->isChecked());
    QVERIFY(!a.juliaMode->isChecked() && !a.juliaIndicator->isChecked());
    QVERIFY(!a.insideOut->isChecked() && !a.rectangleMode->isChecked());

    // The rotation items form one cycle.
    h.Do(a.rotate90);
    QCOMPARE(h.Ctx().RotationMode, 0);
    QVERIFY(!a.rotate90->isChecked() && !a.rotate90Mirror->isChecked() && !a.mirror->isChecked());
    h.Do(a.rotate90);
    h.Do(a.mirror);
    QCOMPARE(h.Ctx().RotationMode, 3);
    QVERIFY(!a.rotate90->isChecked() && a.mirror->isChecked());

    // The Image menu and the pop-up menu share their items.
    h.Do(a.insideOut);
    QCOMPARE(h.Ctx().InsideOut, 1);
    QVERIFY(a.insideOut->isChecked());
    QVERIFY(h.form->pictureMenu()->actions().contains(a.insideOut));

    h.Do(a.juliaMode);
    QVERIFY(a.juliaMode->isChecked() && a.juliaIndicator->isChecked());
    QVERIFY(!a.juliaIndicator->isEnabled());

    // A value out of range leaves its group unchecked.
    h.Ctx().BlendNo = 0;
    h.form->updateActions();
    for (QAction* blend : a.blendMethods) QVERIFY(!blend->isChecked());
}

void MainWindowTest::menusAndToolBarsCarryTheirCaptions() {
    AppHarness h;
    QStringList titles;
    for (QAction* menu : h.form->menuBar()->actions()) titles << Plain(menu->text());
    QCOMPARE(titles, (QStringList{"File", "Image", "Formula", "Render", "Mix'", "Mix''", "rgb", "dlgs", "View", "Help"}));

    const auto items = [&h](int index) {
        QStringList texts;
        for (QAction* a : h.form->menuBar()->actions().at(index)->menu()->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    };
    QCOMPARE(items(0), (QStringList{"New", "Open", "Save As", "Export Picture...", "Copy Picture",
                                    "Load From Parameter File", "Options", "-", "Exit"}));
    QCOMPARE(items(1), (QStringList{"Draw", "Clear Rectangle", "Julia Mode", "Inside Out", "-", "Rotate90",
                                    "Rotate90Mirror", "Mirror", "-", "Reset Coordinates", "Back", "Forward", "-",
                                    "Fit Colours to Picture", "-", "Fit to Window"}));
    QCOMPARE(items(2).at(1), QStringLiteral("1.)  z=z*z+c, N-set"));
    QCOMPARE(items(2).at(6), QStringLiteral("6.) z = (c/cos(z))^2; "));
    QCOMPARE(items(3).size(), 9);
    QCOMPARE(items(3).at(8), QStringLiteral("9.) x/y; y/x; fdimension"));
    QCOMPARE(items(4).size(), 10);
    QCOMPARE(items(4).at(3), QStringLiteral("4.) r=(x+y)*0.5; g=(y+x)*0.5; b=(x+y_*0.5"));
    QCOMPARE(items(4).at(9), QStringLiteral("10.)"));
    QCOMPARE(items(5).size(), 16);
    QCOMPARE(items(5).at(15), QStringLiteral("26.)"));
    QCOMPARE(items(6), (QStringList{"1.) RGB", "2.) RBG", "3.) GBR", "4.) GRB", "5.) BRG", "6.) BGR"}));
    QCOMPARE(items(7), (QStringList{"Color Controls", "Parameters", "XY Size"}));
    QCOMPARE(items(8), (QStringList{"Zoom In", "Zoom Out", "-", "Pan Left", "Pan Right", "Pan Up", "Pan Down", "-",
                                    "Full Screen"}));
    QCOMPARE(items(9), (QStringList{"About"}));

    QStringList popup;
    for (QAction* a : h.form->pictureMenu()->actions()) popup << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(popup, (QStringList{"Zoom In (double click)", "Rectangle Mode", "-", "Zoom In/ Out Mode", "Julia Mode",
                                 "Inside Out", "-", "Clear Rectangle", "-", "Back", "Forward"}));

    const auto bar = [&h](const char* name) {
        QStringList names;
        for (QAction* a : h.form->findChild<QToolBar*>(QLatin1String(name))->actions()) names << a->objectName();
        return names;
    };
    QCOMPARE(bar("commandBar"), (QStringList{"newPicture", "openImage", "parameters", "juliaIndicator", "zoom",
                                             "colourControls", "", "back", "forward"}));
    QCOMPARE(h.A().back->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
    QCOMPARE(h.A().forward->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
    QCOMPARE(bar("generationBar"), (QStringList{"abort", "apply", "resetCoordinates", "imageSize"}));
    const app::MainWindowActions& a = h.A();
    QCOMPARE(a.parameters->toolTip(), QStringLiteral("Fractal Parameters"));
    QCOMPARE(a.juliaIndicator->toolTip(), QStringLiteral("Julia Mode"));
    QCOMPARE(a.juliaIndicator->text(), QStringLiteral("J"));
    QCOMPARE(a.zoom->toolTip(), QStringLiteral("Zoom"));
    QCOMPARE(a.colourControls->toolTip(), QStringLiteral("Color Controls"));
    QCOMPARE(a.abort->toolTip(), QStringLiteral("Abort"));
    QCOMPARE(a.apply->toolTip(), QStringLiteral("Apply"));
    QCOMPARE(a.resetCoordinates->toolTip(), QStringLiteral("Reset Coordinates"));
    QVERIFY(a.parameters->isCheckable());
    QCOMPARE(a.newPicture->shortcut(), QKeySequence(QKeySequence::New));
    QCOMPARE(a.abort->shortcut(), QKeySequence(Qt::Key_Escape));
}

void MainWindowTest::abortKeepsTheRowsNotYetComputed() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const QByteArray before = h.PictureBytes();
    bool abortWasEnabled = false;
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 10) {
            abortWasEnabled = h.A().abort->isEnabled();
            h.A().abort->trigger();
        }
    };
    h.Do(h.A().insideOut);
    h.form->afterRowHook = nullptr;
    QVERIFY(abortWasEnabled);
    const QByteArray after = h.PictureBytes();
    QVERIFY(Rows(after, 160, 0, 11) != Rows(before, 160, 0, 11));
    QCOMPARE(Rows(after, 160, 11, 120), Rows(before, 160, 11, 120));
    QVERIFY(!h.A().abort->isEnabled());
    QVERIFY(h.form->core().StopRequested);
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(!h.form->busyTimer().isActive());
    // The picture does not look finished: the status bar says so until the
    // next generation, which completes without a word.
    QCOMPARE(h.form->statusNotice(), QStringLiteral("Aborted"));
    h.Do(h.A().insideOut);
    QCOMPARE(h.form->statusNotice(), QString());
    // An abort after the last row has nothing left to stop.
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 119) h.A().abort->trigger();
    };
    h.Do(h.A().insideOut);
    h.form->afterRowHook = nullptr;
    QCOMPARE(h.form->statusNotice(), QString());
}

void MainWindowTest::escapeAbortsAndTheBusyCaptionCountsRows() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    const QByteArray before = h.PictureBytes();
    QString busyCaption;
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 29) {
            QMetaObject::invokeMethod(&h.form->busyTimer(), "timeout", Qt::DirectConnection);
            busyCaption = h.form->windowTitle();
        }
        if (row == 40) QTest::keyClick(h.form.get(), Qt::Key_Escape);
    };
    h.Do(h.A().formulas[2]);
    h.form->afterRowHook = nullptr;
    QCOMPARE(busyCaption, QStringLiteral("Busy... 91"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    const QByteArray after = h.PictureBytes();
    QCOMPARE(Rows(after, 160, 41, 120), Rows(before, 160, 41, 120));
    QVERIFY(Rows(after, 160, 0, 41) != Rows(before, 160, 0, 41));
}

// Commands that come faster than the busy timer's beat (a colour slider
// dragged over a picture beyond the render buffers) each replace the
// running generation; the caption and the picture still follow it.
void MainWindowTest::theBusyCaptionGoesOnWhileCommandsKeepComing() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(400, 300);
    h.Ctx().Maxit = 2000;
    QStringList captions;
    QTimer command;
    command.setInterval(50);
    QObject::connect(&command, &QTimer::timeout, h.form.get(), [&] {
        h.Ctx().RedStart += 1.0;
        h.form->recolour();
        captions << h.form->windowTitle();
    });
    command.start();
    QTRY_VERIFY_WITH_TIMEOUT(captions.filter(QRegularExpression(QStringLiteral("^Busy\\.\\.\\. \\d+$"))).size() >= 2,
                             3000);
    command.stop();
    h.A().abort->trigger();
    QVERIFY(h.WaitUntilIdle());
}

void MainWindowTest::aNewerCommandSupersedesTheRunningGeneration() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    bool switched = false;
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 5 && !switched) {
            switched = true;
            h.A().formulas[5]->trigger();
        }
    };
    const int count = h.form->generationCount();
    h.Do(h.A().apply);
    h.form->afterRowHook = nullptr;
    QVERIFY(switched);
    QCOMPARE(h.form->generationCount(), count + 2);
    QCOMPARE(h.Ctx().FormulaNo, 5);
    QVERIFY(h.A().formulas[5]->isChecked());
    const QByteArray superseded = h.PictureBytes();

    // The same formula again, undisturbed, gives the same picture.
    h.Do(h.A().apply);
    QCOMPARE(h.PictureBytes(), superseded);
    QVERIFY(!h.A().abort->isEnabled());
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
}

void MainWindowTest::parametersDialogValuesTakeEffect() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* params = h.form->findChild<app::ParametersDialog*>();
    auto* maxit = h.Find<QSpinBox>("Maxit");
    auto* epsilon = h.Find<QDoubleSpinBox>("epsilon");
    h.Do(h.A().parameters);
    QVERIFY(params->isVisible());
    QVERIFY(h.A().parameters->isChecked());
    QVERIFY(params->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(maxit->value(), 100);
    QCOMPARE(maxit->maximum(), 1000000);
    QCOMPARE(h.Find<QSpinBox>("Bailout")->value(), 4);
    QCOMPARE(epsilon->text(), QStringLiteral("0.0500"));

    maxit->setValue(500);
    epsilon->setValue(0.123456);
    const int count = h.form->generationCount();
    h.Do(h.A().renderMethods[1]);  // any regeneration reads the open dialog
    QCOMPARE(h.form->generationCount(), count + 1);
    QCOMPARE(h.Ctx().Maxit, 500);
    QCOMPARE(h.Ctx().epsilon, 0.1235);

    h.Find<QSpinBox>("Bailout")->setValue(16);
    QTest::mouseClick(params->findChild<QPushButton*>(QStringLiteral("applyButton")), Qt::LeftButton);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.form->generationCount(), count + 2);
    QCOMPARE(h.Ctx().Bailout, 16);

    // Hidden, the dialog is no longer read; the values stay.
    h.Do(h.A().parameters);
    QVERIFY(!params->isVisible());
    QVERIFY(!h.A().parameters->isChecked());
    maxit->setValue(50);
    h.Do(h.A().apply);
    QCOMPARE(h.Ctx().Maxit, 500);

    // Closing the window releases the tool button.
    h.Do(h.A().parameters);
    QVERIFY(h.A().parameters->isChecked());
    QCOMPARE(maxit->value(), 500);
    params->close();
    QVERIFY(!h.A().parameters->isChecked());
}

void MainWindowTest::missingPluginRefusesEveryGeneration() {
    QTemporaryDir empty;
    AppHarness h({empty.path().toStdString()});
    QCOMPARE(h.messages, QStringList{QStringLiteral("Error loading DLL: vantrix01.so")});
    QCOMPARE(h.messageTitles, QStringList{QStringLiteral("ERROR")});
    QCOMPARE(h.form->windowIconText(), QStringLiteral("ERROR"));
    h.form->show();
    QTRY_VERIFY(!h.form->startupTimer().isActive());
    QCOMPARE(h.form->windowIconText(), QStringLiteral("ERROR"));
    QCOMPARE(h.form->generationCount(), 0);
    QVERIFY(h.form->pictureView()->picture() == nullptr);

    const app::MainWindowActions& a = h.A();
    for (QAction* command : {a.newPicture, a.apply, a.formulas[1], a.renderMethods[2], a.insideOut,
                             a.resetCoordinates, a.openImage, a.loadParameterFile}) {
        h.messages.clear();
        command->trigger();
        QCOMPARE(h.messages.size(), 1);
        QVERIFY2(h.messages.at(0).contains(QStringLiteral("vantrix01.so is not loaded")),
                 qPrintable(command->objectName()));
    }
    QVERIFY(h.openFilters.isEmpty());
    // Recolouring and the view's commands do not fail either.
    h.messages.clear();
    a.blendMethods[2]->trigger();
    a.zoomIn->trigger();
    a.clearRectangle->trigger();
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(h.form->generationCount(), 0);
    QVERIFY(h.form->pictureView()->picture() == nullptr);
}

void MainWindowTest::aboutBoxShowsProductAndPictureRows() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    QStringList shown;
    h.modalAnswer = [&shown](QDialog& dialog) {
        shown << dialog.windowTitle();
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->isVisibleTo(&dialog)) shown << label->text();
        }
        return int(QDialog::Accepted);
    };
    h.A().about->trigger();
    QCOMPARE(shown.value(0), QStringLiteral("About"));
    for (const char* text : {"Halvane-Ware", "Version 0.001, beta", "halvane " HALVANE_VERSION, "Valid Info",
                             "Type", "SubType", "Options", "Width", "Height", "Colors", "BitsPerPixel",
                             "GraphicCount"})
        QVERIFY2(shown.contains(QLatin1String(text)), text);
}

void MainWindowTest::recolouringRegeneratesPicturesBeyondTheBuffers() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(320, 240);
    int count = h.form->generationCount();
    const QByteArray generated = h.PictureBytes();
    h.Do(h.A().blendMethods[6]);
    QCOMPARE(h.form->generationCount(), count);
    QVERIFY(h.PictureBytes() != generated);
    QVERIFY(h.A().blendMethods[6]->isChecked());
    h.Do(h.A().channelOrders[5]);
    QCOMPARE(h.form->generationCount(), count);
    QVERIFY(h.A().channelOrders[5]->isChecked());

    h.ApplySize(321, 240);
    count = h.form->generationCount();
    h.Do(h.A().blendMethods[7]);
    QCOMPARE(h.form->generationCount(), count + 1);
    QVERIFY(h.A().blendMethods[7]->isChecked());
    h.Do(h.A().channelOrders[1]);
    QCOMPARE(h.form->generationCount(), count + 2);
}

void MainWindowTest::exitClosesTheWindowAndStopsTheGeneration() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const QByteArray before = h.PictureBytes();
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 3) h.A().exit->trigger();
    };
    h.Do(h.A().formulas[4]);
    QVERIFY(!h.form->isVisible());
    QCOMPARE(Rows(h.PictureBytes(), 160, 4, 120), Rows(before, 160, 4, 120));
}

static RegisterAppTests registration("MainWindowTest", [] { return std::make_unique<MainWindowTest>(); });

#include "main_window_test.moc"
