// halvane-explore-bench: how fast the window follows the wheel. With the
// default settings, Fit to window and 2 threads, at 1280x800 (scale factor
// 1) and 2560x1600 (scale factor 2, a child run of this program), it times
// from a wheel notch to the repainted preview, to the first coarse pass on
// the screen and to the exact picture; and, in the same run, halvane-render
// making the same picture (the yardstick for the last). The window runs on
// the offscreen platform, which paints into memory as a screen would.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "generation.h"
#include "main_window.h"
#include "picture_view.h"

namespace {

constexpr int kNotches = 7;

// Processor time (user and system, all threads) of this process or of its
// finished children, in milliseconds: a figure the machine's other load
// hardly moves.
double CpuMilliseconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs the event loop until `done` or the time is up. It sleeps between
// events, as the program's own loop does: polling would take a core from
// the computing threads.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer timer;
    timer.start();
    QTimer wake;  // to see the time run out
    wake.start(100);
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int RunCase(double scale) {
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    app::MainWindowSetup setup;
    setup.showMessage = [](const QString& text, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    };
    app::MainWindow window(std::move(setup));
    window.core().SetThreadCount(2);
    window.show();
    if (!WaitFor([&] { return window.generationCount() >= 1 && !window.isGenerating(); })) return 1;

    // A view of 1280 by 800 of the window's own pixels: the picture has
    // that times the scale factor.
    app::PictureView* view = window.pictureView();
    const QSize wanted(1280, 800);
    window.setFitToWindow(true);
    for (int i = 0; i < 5 && view->viewport()->size() != wanted; ++i) {
        window.resize(window.size() + wanted - view->viewport()->size());
        QCoreApplication::processEvents();
    }
    const QSize pictureSize = view->fittingPictureSize();
    if (!WaitFor([&] {
            return !window.isGenerating() && window.settings().ImageWidth == pictureSize.width() &&
                   window.settings().ImageHeight == pictureSize.height();
        }))
        return 1;
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    double painted = -1.0, coarse = -1.0, coarseSeen = -1.0, exact = -1.0;
    QObject::connect(view, &app::PictureView::painted, [&] {
        if (!clock.isValid()) return;
        const double now = clock.nsecsElapsed() / 1e6;
        if (painted < 0.0) painted = now;
        if (coarseSeen >= 0.0 && coarse < 0.0) coarse = now;
    });
    window.afterRowHook = [&](int32_t) {
        engine::GenerationCore& core = window.core();
        if (clock.isValid() && coarseSeen < 0.0 && core.InPasses() && core.LastJobEndedPass() &&
            core.LastBlock() == engine::PassPlan::FirstBlock(core.Context.ImageWidth, core.Context.ImageHeight))
            coarseSeen = clock.nsecsElapsed() / 1e6;
    };
    QObject::connect(&window, &app::MainWindow::generationFinished, [&] {
        if (clock.isValid() && window.core().AllDone()) exact = clock.nsecsElapsed() / 1e6;
    });

    // Each round: a notch, the same picture row after row (Apply), and
    // halvane-render making it; the ratios of a round share its load.
    double renderCpu = 0.0;
    const auto renderSame = [&]() -> double {
        const TIterationContext& c = window.settings();
        const QStringList arguments{
            QStringLiteral("--size"), QStringLiteral("%1x%2").arg(c.ImageWidth).arg(c.ImageHeight),
            QStringLiteral("--center"),
            QString::number(c.CenterX, 'g', 17) + QLatin1Char(',') + QString::number(c.CenterY, 'g', 17),
            QStringLiteral("--magnification"), QString::number(c.Magnification, 'g', 17),
            QStringLiteral("--threads"), QStringLiteral("2"), QStringLiteral("--quiet"),
            QStringLiteral("--output"), config.filePath(QStringLiteral("same.bmp"))};
        QElapsedTimer timer;
        timer.start();
        const double cpu = CpuMilliseconds(RUSAGE_CHILDREN);
        QProcess render;
        render.start(QCoreApplication::applicationDirPath() + QStringLiteral("/halvane-render"), arguments);
        if (!render.waitForFinished(120000) || render.exitCode() != 0) return -1.0;
        renderCpu = CpuMilliseconds(RUSAGE_CHILDREN) - cpu;
        return timer.nsecsElapsed() / 1e6;
    };
    std::vector<double> previews, passes, exacts, rows, renders, passRatios, rowRatios, cpuRatios, rowCpuRatios;
    QWidget* box = view->pictureBox();
    const QPointF at(box->width() * 0.5, box->height() * 0.5);
    for (int notch = 0; notch < kNotches; ++notch) {
        painted = coarse = coarseSeen = exact = -1.0;
        QWheelEvent wheel(at, box->mapToGlobal(at), QPoint(), QPoint(0, notch % 2 == 0 ? 120 : -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        double cpu = CpuMilliseconds(RUSAGE_SELF);
        clock.start();
        QApplication::sendEvent(box, &wheel);
        if (!WaitFor([&] { return exact >= 0.0 && coarse >= 0.0; })) return 1;
        clock.invalidate();
        previews.push_back(painted);
        passes.push_back(coarse);
        exacts.push_back(exact);
        const double passesCpu = CpuMilliseconds(RUSAGE_SELF) - cpu;

        exact = -1.0;
        cpu = CpuMilliseconds(RUSAGE_SELF);
        clock.start();
        window.requestGeneration();
        if (!WaitFor([&] { return exact >= 0.0; })) return 1;
        clock.invalidate();
        rows.push_back(exact);
        const double rowsCpu = CpuMilliseconds(RUSAGE_SELF) - cpu;

        const double render = renderSame();
        if (render < 0.0) return 1;
        renders.push_back(render);
        passRatios.push_back(exacts.back() / render);
        rowRatios.push_back(rows.back() / render);
        cpuRatios.push_back(passesCpu / renderCpu);
        rowCpuRatios.push_back(rowsCpu / renderCpu);
    }
    const TIterationContext& c = window.settings();
    std::printf("%4dx%-4d (scale %.0f)  preview %5.1f ms   first pass %5.1f ms   exact %6.1f ms   "
                "halvane-render %6.1f ms   exact / render %.2f\n"
                "                     row after row in the window (Apply): %6.1f ms, %.2f of halvane-render;   "
                "processor time over halvane-render's: passes %.2f, rows %.2f\n",
                c.ImageWidth, c.ImageHeight, scale, Median(previews), Median(passes), Median(exacts), Median(renders),
                Median(passRatios), Median(rows), Median(rowRatios), Median(cpuRatios), Median(rowCpuRatios));
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool child = argc > 1 && QByteArray(argv[1]) == "--scale-2";
    if (child) qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    if (child) return RunCase(2.0);
    std::printf("halvane-explore-bench: medians of %d rounds (a wheel notch, Apply, halvane-render), default settings,\n"
                "Fit to window, 2 threads\n",
                kNotches);
    std::fflush(stdout);
    if (RunCase(1.0) != 0) return 1;
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--scale-2")});
    second.waitForFinished(600000);
    return second.exitCode();
}
