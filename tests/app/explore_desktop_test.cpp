// Exploring on a real X server (the xcb platform under Xvfb), driven the way
// a person drives it: wheel notches, drags and keys sent by xdotool, the
// clipboard read by another program, and the screen read back with
// ImageMagick to see the picture drawn at device pixels whatever the scale
// factor (QT_SCALE_FACTOR, set per test by CTest).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstring>
#include <optional>

#include "app_fixture.h"
#include "settings_record.h"
#include "view_motion.h"
#include "view_navigation.h"

namespace {

bool Run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    if (output != nullptr) *output = process.readAllStandardOutput();
    return true;
}

bool Xdotool(const QStringList& arguments) { return Run(QStringLiteral("xdotool"), arguments); }

// Moves the pointer to a point of the picture box, in the screen's pixels.
bool PointAt(QWidget* box, QPoint boxPoint) {
    const QPoint global = box->mapToGlobal(boxPoint);
    const qreal ratio = box->devicePixelRatioF();
    return Xdotool({QStringLiteral("mousemove"), QString::number(std::lround(global.x() * ratio)),
                    QString::number(std::lround(global.y() * ratio))});
}

engine::PlanePoint PlaneAt(const TIterationContext& ctx, QPointF at) {
    const engine::PixelGrid grid = engine::GridOf(ctx);
    return {grid.xMin + at.x() * grid.stepX, grid.yMin + at.y() * grid.stepY};
}

bool Near(engine::PlanePoint a, engine::PlanePoint b) { return std::fabs(a.x - b.x) < 1e-12 && std::fabs(a.y - b.y) < 1e-12; }

// The whole screen as the X server holds it, in RGB888.
QImage Screenshot() {
    QByteArray png;
    if (!Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")}, &png))
        return {};
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB888);
}

// Where the picture lies on the screen: the one spot near `expected` where
// every pixel of it is found exactly.
std::optional<QPoint> FindPicture(const QImage& screen, const QByteArray& picture, QSize size, QPoint expected) {
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QPoint at = expected + QPoint(dx, dy);
            if (at.x() < 0 || at.y() < 0 || at.x() + size.width() > screen.width() ||
                at.y() + size.height() > screen.height())
                continue;
            bool same = true;
            for (int y = 0; y < size.height() && same; ++y)
                same = std::memcmp(screen.constScanLine(at.y() + y) + at.x() * 3,
                                   picture.constData() + qsizetype{y} * size.width() * 3, size_t(size.width()) * 3) == 0;
            if (same) return at;
        }
    }
    return std::nullopt;
}

// Whether the picture is on the screen near the box's place, pixel for
// pixel; the screen is read again while a last paint may be on its way.
bool PictureOnScreen(AppHarness& h, double factor) {
    const QPoint origin = h.Box()->mapToGlobal(QPoint(0, 0));
    const QPoint expected(std::lround(origin.x() * factor), std::lround(origin.y() * factor));
    const QSize size(h.Ctx().ImageWidth, h.Ctx().ImageHeight);
    for (int attempt = 0; attempt < 30; ++attempt) {
        QTest::qWait(100);
        if (FindPicture(Screenshot(), h.PictureBytes(), size, expected)) return true;
    }
    return false;
}

void FocusWindow(AppHarness& h) {
    QVERIFY(Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(h.form->winId())}));
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    h.form->pictureView()->setFocus();
}

}  // namespace

class ExploreDesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wheelDragsAndKeysEndInTheRenderedPicture();
    void fullScreenAndCopyFromTheKeyboard();
};

void ExploreDesktopTest::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs the xcb platform (an X server)");
}

void ExploreDesktopTest::wheelDragsAndKeysEndInTheRenderedPicture() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.ApplySize(240, 180);
    h.A().imageSize->trigger();  // hidden again
    FocusWindow(h);
    const QPoint centre(120, 90);
    QVERIFY(PointAt(h.Box(), centre));
    QTest::qWait(50);

    // Two notches in, about the pointer: one history step.
    const TIterationContext start = h.Ctx();
    const size_t steps = h.form->history().Size();
    QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                     QStringLiteral("60"), QStringLiteral("4")}));
    QTRY_VERIFY(h.Ctx().Magnification > start.Magnification * 1.9);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().Magnification, start.Magnification * 2.0);
    QVERIFY(Near(PlaneAt(h.Ctx(), centre), PlaneAt(start, centre)));
    QCOMPARE(h.form->history().Size(), steps + 1);

    // A middle-button drag moves the content with the pointer.
    TIterationContext was = h.Ctx();
    QVERIFY(Xdotool({QStringLiteral("mousedown"), QStringLiteral("2")}));
    QVERIFY(PointAt(h.Box(), centre + QPoint(30, 20)));
    QVERIFY(Xdotool({QStringLiteral("mouseup"), QStringLiteral("2")}));
    QTRY_VERIFY(h.Ctx().CenterX != was.CenterX);
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(Near(PlaneAt(h.Ctx(), centre + QPoint(30, 20)), PlaneAt(was, centre)));
    QCOMPARE(h.Ctx().Magnification, was.Magnification);

    // With Space held a left drag pans too: no zoom, no rectangle.
    was = h.Ctx();
    QVERIFY(Xdotool({QStringLiteral("keydown"), QStringLiteral("space")}));
    QVERIFY(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    QVERIFY(PointAt(h.Box(), centre + QPoint(-10, 15)));
    QVERIFY(Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QVERIFY(Xdotool({QStringLiteral("keyup"), QStringLiteral("space")}));
    QTRY_VERIFY(h.Ctx().CenterY != was.CenterY);
    QVERIFY(h.WaitUntilIdle());
    QVERIFY(Near(PlaneAt(h.Ctx(), centre + QPoint(-10, 15)), PlaneAt(was, centre + QPoint(30, 20))));
    QCOMPARE(h.Ctx().Magnification, was.Magnification);
    QVERIFY(!h.form->pictureView()->hasSelection());

    // A plain click still zooms in as it always did.
    was = h.Ctx();
    QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY(h.Ctx().Magnification > was.Magnification);
    QVERIFY(h.WaitUntilIdle());

    // The arrow keys pan by a tenth, + zooms about the centre.
    was = h.Ctx();
    QVERIFY(Xdotool({QStringLiteral("key"), QStringLiteral("Right")}));
    QTRY_VERIFY(h.Ctx().CenterX != was.CenterX);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.Ctx().CenterX, was.CenterX + 24 * engine::GridOf(was).stepX);
    QVERIFY(Xdotool({QStringLiteral("key"), QStringLiteral("plus")}));
    QTRY_COMPARE(h.Ctx().Magnification, was.Magnification * 2.0);
    QVERIFY(h.WaitUntilIdle());

    QString error;
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx(), &error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void ExploreDesktopTest::fullScreenAndCopyFromTheKeyboard() {
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    h.A().fitToWindow->trigger();
    QVERIFY(h.WaitUntilIdle());
    FocusWindow(h);
    const QRect normal = h.form->frameGeometry();
    QVERIFY(Xdotool({QStringLiteral("key"), QStringLiteral("F11")}));
    QTRY_VERIFY(h.form->isFullScreen());
    QTRY_COMPARE(h.form->frameGeometry(), QGuiApplication::primaryScreen()->geometry());
    QVERIFY(h.A().fullScreen->isChecked());
    // The picture fills the larger view once the resize settles.
    QTRY_COMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), h.form->pictureView()->fittingPictureSize());
    QVERIFY(h.Ctx().ImageWidth > 800);
    QVERIFY(h.WaitUntilIdle());
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));

    // Ctrl+C: another program reads the picture and its settings.
    QVERIFY(Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")}));
    QTRY_VERIFY(QGuiApplication::clipboard()->ownsClipboard());
    QByteArray png, text;
    // xclip asks while this program answers: run it in the background.
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                          QStringLiteral("image/png"), QStringLiteral("-o")});
    QTRY_VERIFY(xclip.state() == QProcess::NotRunning);
    png = xclip.readAllStandardOutput();
    const QImage copied = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB888);
    QCOMPARE(copied.size(), QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight));
    QByteArray bytes;
    for (int y = 0; y < copied.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(copied.constScanLine(y)), qsizetype{copied.width()} * 3);
    QCOMPARE(bytes, h.PictureBytes());
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")});
    QTRY_VERIFY(xclip.state() == QProcess::NotRunning);
    text = xclip.readAllStandardOutput();
    QCOMPARE(text.toStdString(), params::SettingsComment(params::RecordSettings(h.Ctx())));

    QVERIFY(Xdotool({QStringLiteral("key"), QStringLiteral("F11")}));
    QTRY_VERIFY(!h.form->isFullScreen());
    QVERIFY(!h.A().fullScreen->isChecked());
    QTRY_COMPARE(h.form->frameGeometry(), normal);
}

// Run three times, at QT_SCALE_FACTOR 1, 1.5 and 2.
class ScaledDesktopTest : public QObject {
    Q_OBJECT
private slots:
    void fitToWindowDrawsThePictureAtDevicePixels();
};

void ScaledDesktopTest::fitToWindowDrawsThePictureAtDevicePixels() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs the xcb platform (an X server)");
    const double factor = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
    AppHarness h;
    QVERIFY(h.StartAndWaitForFirstPicture());
    app::PictureView* view = h.form->pictureView();
    QCOMPARE(view->pixelRatio(), factor);
    // Without Fit to window too, a picture pixel is a screen pixel.
    QCOMPARE(h.Ctx().ImageWidth, 160);
    QVERIFY(PictureOnScreen(h, factor));

    h.form->resize(QSize(330, 280));
    h.A().fitToWindow->trigger();
    QTRY_COMPARE(QSize(h.Ctx().ImageWidth, h.Ctx().ImageHeight), view->fittingPictureSize());
    QVERIFY(h.WaitUntilIdle());
    const QSize area = view->viewport()->size();
    QCOMPARE(h.Ctx().ImageWidth, int(std::floor(area.width() * factor + 1e-9)));
    QCOMPARE(h.Ctx().ImageHeight, int(std::floor(area.height() * factor + 1e-9)));
    QCOMPARE(h.PictureBytes(), RenderedByTool(h.Ctx()));
    QVERIFY2(PictureOnScreen(h, factor), "the picture is not on the screen pixel for pixel");
}

static RegisterAppTests registration("ExploreDesktopTest", [] { return std::make_unique<ExploreDesktopTest>(); });
static RegisterAppTests scaled("ScaledDesktopTest", [] { return std::make_unique<ScaledDesktopTest>(); });

#include "explore_desktop_test.moc"
