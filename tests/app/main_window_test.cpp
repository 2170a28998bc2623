// Start-up, menus, generation, Abort and the busy caption.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "about_box.h"
#include "app_fixture.h"
#include "image_view.h"
#include "mode_word.h"
#include "parameters_dialog.h"
#include "picture_settings.h"

namespace {
QString Plain(QString text) { return text.remove(QLatin1Char('&')); }
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpComputesOneDefaultPicture();
    void checkMarksFollowTheSettings();
    void menusAndToolBarsCarryTheirCaptions();
    void abortKeepsTheRowsNotYetComputed();
    void escapeAbortsAndTheBusyCaptionCountsRows();
    void aNewerCommandSupersedesTheRunningGeneration();
    void parametersDialogValuesTakeEffect();
    void missingPluginRefusesEveryGeneration();
    void aboutBoxShowsProductAndPictureRows();
    void recolouringRegeneratesPicturesBeyondTheBuffers();
    void exitClosesTheWindowAndStopsTheGeneration();
};

void MainWindowTest::startUpComputesOneDefaultPicture() {
    AppHarness h;
    QCOMPARE(app::ModeWord(), QStringLiteral("NEW"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(h.StartAndWaitForFirstPicture());
    QCOMPARE(h.form->GenerationCount(), 1);
    QCOMPARE(app::ModeWord(), QStringLiteral("halvane-ware, v0.001"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("halvane-ware, v0.001"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QCOMPARE(h.form->SavedCaption(), QStringLiteral("halvane-ware"));
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
    QCOMPARE(h.form->CurrentImage(), h.form->PGImage1()->Picture());
    QCOMPARE(h.form->CurrentImage()->Width(), 160);
    QCOMPARE(h.form->CurrentImage()->Height(), 120);
    QVERIFY(!h.Act("AbortBtn")->isEnabled());
    QVERIFY(!h.Act("Zoom")->isEnabled());
    QCOMPARE(h.form->NeedsImageSetup(), 0);

    // The picture is not one colour.
    const QByteArray bytes = h.PictureBytes();
    QVERIFY(bytes.count(bytes.at(0)) < bytes.size());

    // Nothing else is computed later, and the start-up timer stays off.
    QTest::qWait(250);
    QCOMPARE(h.form->GenerationCount(), 1);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());

    // The window leaves room for the picture.
    QVERIFY(h.form->PGImage1()->viewport()->width() >= 160);
    QVERIFY(h.form->PGImage1()->viewport()->height() >= 120);
}

void MainWindowTest::checkMarksFollowTheSettings() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const auto checked = [&h](const char* name) { return h.Act(name)->isChecked(); };

    h.Act("Draw03")->trigger();
    h.Act("Render07")->trigger();
    h.Act("Blend02")->trigger();
    h.Act("RGBOrder05")->trigger();
    QVERIFY(checked("Draw03") && !checked("Draw00"));
    QVERIFY(checked("Render07") && !checked("Render04"));
    QVERIFY(checked("Blend02") && !checked("Blend20"));
    QVERIFY(checked("RGBOrder05") && !checked("RGBOrder03"));

    h.Act("New1")->trigger();
    for (int i = 0; i < 8; ++i)
        QCOMPARE(h.form->Action(QStringLiteral("Draw0%1").arg(i))->isChecked(), i == 0);
    for (int i = 1; i <= 9; ++i)
        QCOMPARE(h.form->Action(QStringLiteral("Render0%1").arg(i))->isChecked(), i == 4);
    for (int i = 1; i <= 26; ++i)
        QCOMPARE(h.form->Action(QStringLiteral("Blend%1").arg(i, 2, 10, QLatin1Char('0')))->isChecked(), i == 20);
    for (int i = 1; i <= 6; ++i)
        QCOMPARE(h.form->Action(QStringLiteral("RGBOrder0%1").arg(i))->isChecked(), i == 3);
    QVERIFY(checked("Rotate90") && !checked("Rotate90Mirror") && !checked("Mirror"));
    QVERIFY(checked("ZoomInOut1"));
    QVERIFY(!checked("JuliaMode1") && !checked("JuliaMode2") && !checked("Julia"));
    QVERIFY(!checked("InsideOut1") && !checked("InsideOut2") && !checked("RectangleMode1"));

    // The rotation items form one cycle.
    h.Act("Rotate90")->trigger();
    QCOMPARE(h.Ctx().RotationMode, 0);
    QVERIFY(!checked("Rotate90") && !checked("Rotate90Mirror") && !checked("Mirror"));
    h.Act("Rotate90")->trigger();
    h.Act("Mirror")->trigger();
    QCOMPARE(h.Ctx().RotationMode, 3);
    QVERIFY(!checked("Rotate90") && checked("Mirror"));

    h.Act("InsideOut2")->trigger();
    QCOMPARE(h.Ctx().InsideOut, 1);
    QVERIFY(checked("InsideOut1") && checked("InsideOut2"));

    h.Act("JuliaMode1")->trigger();
    QVERIFY(checked("JuliaMode1") && checked("JuliaMode2") && checked("Julia"));
    QVERIFY(!h.Act("Julia")->isEnabled());

    // A value out of range leaves its group unchecked.
    h.Ctx().BlendNo = 0;
    h.form->UpdateMenuItems();
    for (int i = 1; i <= 26; ++i)
        QVERIFY(!h.form->Action(QStringLiteral("Blend%1").arg(i, 2, 10, QLatin1Char('0')))->isChecked());
}

void MainWindowTest::menusAndToolBarsCarryTheirCaptions() {
    AppHarness h;
    QStringList titles;
    for (QAction* menu : h.form->menuBar()->actions()) titles << Plain(menu->text());
    QCOMPARE(titles, (QStringList{"File", "Image", "Formula", "Render", "Mix'", "Mix''", "rgb", "dlgs", "Help"}));

    const auto items = [&h](int index) {
        QStringList texts;
        for (QAction* a : h.form->menuBar()->actions().at(index)->menu()->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    };
    QCOMPARE(items(0), (QStringList{"New", "Open", "Save As", "Load From Parameter File", "Options", "-", "Exit"}));
    QCOMPARE(items(1), (QStringList{"Draw", "Clear Rectangle", "Julia Mode", "Inside Out", "-", "Rotate90",
                                    "Rotate90Mirror", "Mirror", "-", "Reset Coordinates"}));
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
    QCOMPARE(items(8), (QStringList{"About"}));

    QStringList popup;
    for (QAction* a : h.form->PopupMenu1()->actions()) popup << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(popup, (QStringList{"Zoom In (double click)", "Rectangle Mode", "-", "Zoom In/ Out Mode", "Julia Mode",
                                 "Inside Out", "-", "Clear Rectangle"}));

    const auto bar = [&h](const char* name) {
        QStringList names;
        for (QAction* a : h.form->findChild<QToolBar*>(QLatin1String(name))->actions()) names << a->objectName();
        return names;
    };
    QCOMPARE(bar("TopDock"), (QStringList{"NewBtn", "OpenBtn", "Params", "Julia", "Zoom", "ColorControlsBtn"}));
    QCOMPARE(bar("LeftDock"), (QStringList{"AbortBtn", "ApplyBtn", "ResetBtn", "ToolbarButton971"}));
    QCOMPARE(h.Act("Params")->toolTip(), QStringLiteral("Fractal Parameters"));
    QCOMPARE(h.Act("Julia")->toolTip(), QStringLiteral("Julia Mode"));
    QCOMPARE(h.Act("Julia")->text(), QStringLiteral("J"));
    QCOMPARE(h.Act("Zoom")->toolTip(), QStringLiteral("Zoom"));
    QCOMPARE(h.Act("ColorControlsBtn")->toolTip(), QStringLiteral("Color Controls"));
    QCOMPARE(h.Act("AbortBtn")->toolTip(), QStringLiteral("Abort"));
    QCOMPARE(h.Act("ApplyBtn")->toolTip(), QStringLiteral("Apply"));
    QCOMPARE(h.Act("ResetBtn")->toolTip(), QStringLiteral("Reset Coordinates"));
    QVERIFY(h.Act("Params")->isCheckable());
    QCOMPARE(h.Act("New1")->shortcut(), QKeySequence(QKeySequence::New));
    QCOMPARE(h.Act("AbortBtn")->shortcut(), QKeySequence(Qt::Key_Escape));
}

void MainWindowTest::abortKeepsTheRowsNotYetComputed() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const QByteArray before = h.PictureBytes();
    bool abortWasEnabled = false;
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 10) {
            abortWasEnabled = h.Act("AbortBtn")->isEnabled();
            h.Act("AbortBtn")->trigger();
        }
    };
    h.Act("InsideOut1")->trigger();
    h.form->afterRowHook = nullptr;
    QVERIFY(abortWasEnabled);
    const QByteArray after = h.PictureBytes();
    QVERIFY(Rows(after, 160, 0, 11) != Rows(before, 160, 0, 11));
    QCOMPARE(Rows(after, 160, 11, 120), Rows(before, 160, 11, 120));
    QVERIFY(!h.Act("AbortBtn")->isEnabled());
    QCOMPARE(h.form->Core().StopFlag, -1);
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(!h.form->Timer2().isActive());
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
            h.form->Timer2Timer();
            busyCaption = h.form->windowTitle();
        }
        if (row == 40) QTest::keyClick(h.form.get(), Qt::Key_Escape);
    };
    h.Act("Draw02")->trigger();
    h.form->afterRowHook = nullptr;
    QCOMPARE(busyCaption, QStringLiteral("Busy... 91"));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
    const QByteArray after = h.PictureBytes();
    QCOMPARE(Rows(after, 160, 41, 120), Rows(before, 160, 41, 120));
    QVERIFY(Rows(after, 160, 0, 41) != Rows(before, 160, 0, 41));
}

void MainWindowTest::aNewerCommandSupersedesTheRunningGeneration() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    bool switched = false;
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 5 && !switched) {
            switched = true;
            h.Act("Draw05")->trigger();
        }
    };
    const int count = h.form->GenerationCount();
    h.Act("ApplyBtn")->trigger();
    h.form->afterRowHook = nullptr;
    QVERIFY(switched);
    QCOMPARE(h.form->GenerationCount(), count + 2);
    QCOMPARE(h.Ctx().FormulaNo, 5);
    QVERIFY(h.Act("Draw05")->isChecked());
    const QByteArray superseded = h.PictureBytes();

    // The same formula again, undisturbed, gives the same picture.
    h.Act("ApplyBtn")->trigger();
    QCOMPARE(h.PictureBytes(), superseded);
    QVERIFY(!h.Act("AbortBtn")->isEnabled());
    QCOMPARE(h.form->windowTitle(), QStringLiteral("halvane-ware"));
}

void MainWindowTest::parametersDialogValuesTakeEffect() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    auto* params = h.form->findChild<TForm4*>();
    h.Act("Params")->trigger();
    QVERIFY(params->isVisible());
    QVERIFY(h.Act("Params")->isChecked());
    QVERIFY(params->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(params->Maxit->value(), 100);
    QCOMPARE(params->Bailout->value(), 4);
    QCOMPARE(params->epsilon->text(), QStringLiteral("0.0500"));

    params->Maxit->setValue(500);
    params->epsilon->setValue(0.123456);
    const int count = h.form->GenerationCount();
    h.Act("Render02")->trigger();  // any regeneration reads the open dialog
    QCOMPARE(h.form->GenerationCount(), count + 1);
    QCOMPARE(h.Ctx().Maxit, 500);
    QCOMPARE(h.Ctx().epsilon, 0.1235);

    params->Bailout->setValue(16);
    QTest::mouseClick(params->RxSpeedButton1, Qt::LeftButton);
    QCOMPARE(h.form->GenerationCount(), count + 2);
    QCOMPARE(h.Ctx().Bailout, 16);

    // Hidden, the dialog is no longer read; the values stay.
    h.Act("Params")->trigger();
    QVERIFY(!params->isVisible());
    QVERIFY(!h.Act("Params")->isChecked());
    params->Maxit->setValue(50);
    h.Act("ApplyBtn")->trigger();
    QCOMPARE(h.Ctx().Maxit, 500);

    // Closing the window releases the tool button.
    h.Act("Params")->trigger();
    QVERIFY(h.Act("Params")->isChecked());
    QCOMPARE(params->Maxit->value(), 500);
    params->close();
    QVERIFY(!h.Act("Params")->isChecked());
}

void MainWindowTest::missingPluginRefusesEveryGeneration() {
    QTemporaryDir empty;
    AppHarness h({empty.path().toStdString()});
    QCOMPARE(h.messages, QStringList{QStringLiteral("Error loading DLL: vantrix01.so")});
    QCOMPARE(h.messageTitles, QStringList{QStringLiteral("ERROR")});
    QCOMPARE(app::ModeWord(), QStringLiteral("ERROR"));
    h.form->show();
    QTRY_VERIFY(!h.form->Timer1().isActive());
    QCOMPARE(app::ModeWord(), QStringLiteral("ERROR"));
    QCOMPARE(h.form->GenerationCount(), 0);
    QVERIFY(h.form->PGImage1()->Picture() == nullptr);

    const char* commands[] = {"New1", "NewBtn", "ApplyBtn", "Draw01", "Render03", "InsideOut1", "ResetBtn",
                              "Open1", "LoadFromParameterFile1"};
    for (const char* name : commands) {
        h.messages.clear();
        h.Act(name)->trigger();
        QCOMPARE(h.messages.size(), 1);
        QVERIFY2(h.messages.at(0).contains(QStringLiteral("vantrix01.so is not loaded")), name);
    }
    QVERIFY(h.openFilters.isEmpty());
    // Recolouring and the view's commands do not fail either.
    h.messages.clear();
    h.Act("Blend03")->trigger();
    h.Act("Zoom1")->trigger();
    h.Act("ClearRectangle1")->trigger();
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(h.form->GenerationCount(), 0);
    QVERIFY(h.form->PGImage1()->Picture() == nullptr);
}

void MainWindowTest::aboutBoxShowsProductAndPictureRows() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    QStringList shown;
    h.modalAnswer = [&shown](QDialog& dialog) {
        shown << dialog.windowTitle();
        for (QLabel* label : dialog.findChildren<QLabel*>()) shown << label->text();
        return int(QDialog::Accepted);
    };
    h.Act("About1")->trigger();
    QCOMPARE(shown.value(0), QStringLiteral("About"));
    for (const char* text : {"Halvane-Ware", "Version 0.001, beta", "Valid Info", "Type", "SubType", "Options",
                             "Width", "Height", "Colors", "BitsPerPixel", "GraphicCount"})
        QVERIFY2(shown.contains(QLatin1String(text)), text);
}

void MainWindowTest::recolouringRegeneratesPicturesBeyondTheBuffers() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(320, 240);
    int count = h.form->GenerationCount();
    const QByteArray generated = h.PictureBytes();
    h.Act("Blend07")->trigger();
    QCOMPARE(h.form->GenerationCount(), count);
    QVERIFY(h.PictureBytes() != generated);
    QVERIFY(h.Act("Blend07")->isChecked());
    h.Act("RGBOrder06")->trigger();
    QCOMPARE(h.form->GenerationCount(), count);
    QVERIFY(h.Act("RGBOrder06")->isChecked());

    h.ApplySize(321, 240);
    count = h.form->GenerationCount();
    h.Act("Blend08")->trigger();
    QCOMPARE(h.form->GenerationCount(), count + 1);
    QVERIFY(h.Act("Blend08")->isChecked());
    h.Act("RGBOrder02")->trigger();
    QCOMPARE(h.form->GenerationCount(), count + 2);
}

void MainWindowTest::exitClosesTheWindowAndStopsTheGeneration() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    const QByteArray before = h.PictureBytes();
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 3) h.Act("Exit1")->trigger();
    };
    h.Act("Draw04")->trigger();
    QVERIFY(!h.form->isVisible());
    QCOMPARE(Rows(h.PictureBytes(), 160, 4, 120), Rows(before, 160, 4, 120));
}

int RunMainWindowTests(int argc, char** argv) {
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
