// The program on a real X server (the xcb platform under Xvfb, no desktop
// environment): captions as the window system has them, windows that fit a
// 1024 by 768 screen, and the standard keys.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app_fixture.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"

namespace {

// A text property of a window as the X server holds it (read with xprop).
QString Property(QWidget* window, const char* name) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window->winId()), QLatin1String(name)});
    if (!xprop.waitForFinished(5000)) return QStringLiteral("<xprop did not answer>");
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    static const QRegularExpression quoted(QStringLiteral("= \"(.*)\"$"));
    const QRegularExpressionMatch match = quoted.match(out);
    return match.hasMatch() ? match.captured(1) : out;
}

bool WithinScreen(const QRect& rect) {
    return QGuiApplication::primaryScreen()->geometry().contains(rect);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void captionsAreExactlyTheirOwn();
    void windowsFitASmallScreenWithoutCoveringEachOther();
    void standardKeysWorkWithoutADesktopEnvironment();
};

void DesktopTest::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs the xcb platform (an X server)");
}

void DesktopTest::captionsAreExactlyTheirOwn() {
    AppHarness h(engine::DefaultPluginFolders(), false);
    QVERIFY(h.StartAndWaitForFirstPicture());
    QTRY_COMPARE(Property(h.form.get(), "_NET_WM_NAME"), QStringLiteral("halvane-ware"));
    QCOMPARE(Property(h.form.get(), "WM_NAME"), QStringLiteral("halvane-ware"));
    // The idle title shows where the platform shows an application's name.
    QCOMPARE(Property(h.form.get(), "_NET_WM_ICON_NAME"), QStringLiteral("halvane-ware, v0.001"));

    // The file's name, with the marker while the settings differ from it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pic.png"));
    h.saveAnswers << path;
    h.A().saveAs->trigger();
    QTRY_COMPARE(Property(h.form.get(), "_NET_WM_NAME"), path);
    h.Do(h.A().channelOrders[0]);
    QTRY_COMPARE(Property(h.form.get(), "_NET_WM_NAME"), path + QStringLiteral("*"));
    h.Do(h.A().newPicture);
    QTRY_COMPARE(Property(h.form.get(), "_NET_WM_NAME"), QStringLiteral("halvane-ware"));

    // The busy caption while a long picture is computed.
    h.ApplySize(1200, 900);
    h.Ctx().Maxit = 3000;
    h.form->requestGeneration();
    QTRY_VERIFY(h.form->windowTitle().startsWith(QStringLiteral("Busy... ")));
    QTRY_VERIFY(QRegularExpression(QStringLiteral("^Busy\\.\\.\\. \\d+$"))
                    .match(Property(h.form.get(), "_NET_WM_NAME"))
                    .hasMatch());
    h.A().abort->trigger();
    QVERIFY(h.WaitUntilIdle());

    h.A().parameters->trigger();
    h.A().colourControls->trigger();
    h.A().imageSize->trigger();
    QTRY_COMPARE(Property(h.form->findChild<app::ParametersDialog*>(), "_NET_WM_NAME"), QStringLiteral("Parameters"));
    QCOMPARE(Property(h.form->findChild<app::ColourMixingDialog*>(), "_NET_WM_NAME"),
             QStringLiteral("Color Mixing Controls"));
    QCOMPARE(Property(h.form->findChild<app::ImageSizeDialog*>(), "_NET_WM_NAME"), QStringLiteral("XYSize"));

    // A real message box, read while it is open.
    QString boxCaption;
    QTimer::singleShot(300, [&boxCaption] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr) return;
        boxCaption = Property(box, "_NET_WM_NAME");
        box->close();
    });
    h.form->message(QStringLiteral("hello"));
    QCOMPARE(boxCaption, QStringLiteral("halvane"));
}

void DesktopTest::windowsFitASmallScreenWithoutCoveringEachOther() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 768));
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(400, 300);
    h.A().imageSize->trigger();  // hidden again
    QList<QWidget*> windows{h.form.get()};
    for (QAction* open : {h.A().parameters, h.A().colourControls, h.A().imageSize}) open->trigger();
    windows << h.form->findChild<app::ParametersDialog*>() << h.form->findChild<app::ColourMixingDialog*>()
            << h.form->findChild<app::ImageSizeDialog*>();
    for (QWidget* w : windows) QVERIFY(QTest::qWaitForWindowExposed(w));
    for (int i = 0; i < windows.size(); ++i) {
        QVERIFY2(WithinScreen(windows[i]->frameGeometry()), qPrintable(windows[i]->windowTitle()));
        for (int j = i + 1; j < windows.size(); ++j)
            QVERIFY2(!windows[i]->frameGeometry().intersects(windows[j]->frameGeometry()),
                     qPrintable(windows[i]->windowTitle() + QStringLiteral(" covers ") + windows[j]->windowTitle()));
    }

    // The modal dialogs, buttons included.
    QStringList checked;
    h.modalAnswer = [&checked](QDialog& dialog) {
        dialog.show();
        if (QTest::qWaitForWindowExposed(&dialog) && WithinScreen(dialog.frameGeometry())) {
            bool buttonsOnScreen = true;
            for (QPushButton* button : dialog.findChildren<QPushButton*>())
                buttonsOnScreen &= WithinScreen(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
            if (buttonsOnScreen) checked << dialog.windowTitle();
        }
        dialog.hide();
        return int(QDialog::Rejected);
    };
    h.A().options->trigger();
    h.A().about->trigger();
    QCOMPARE(checked, (QStringList{QStringLiteral("Options"), QStringLiteral("About")}));
}

void DesktopTest::standardKeysWorkWithoutADesktopEnvironment() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    QTest::keyClick(h.form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(h.form.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(h.offeredSaveNames.size(), 2);
    QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(h.openFilters.size(), 1);
    const int count = h.form->generationCount();
    QTest::keyClick(h.form.get(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.form->generationCount(), count + 1);

    const QByteArray before = h.PictureBytes();
    h.form->afterRowHook = [&](int32_t row) {
        if (row == 5) QTest::keyClick(h.form.get(), Qt::Key_Escape);
    };
    h.Do(h.A().formulas[3]);
    h.form->afterRowHook = nullptr;
    QCOMPARE(Rows(h.PictureBytes(), 160, 6, 120), Rows(before, 160, 6, 120));

    QTest::keyClick(h.form.get(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!h.form->isVisible());
}

static RegisterAppTests registration("DesktopTest", [] { return std::make_unique<DesktopTest>(); });

#include "desktop_test.moc"
