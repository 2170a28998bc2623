// Exploring: the view's motion (wheel, pinch, drag, keys, Fit to window)
// wired to the menus, full screen, Copy Picture, waiting for a picture in
// progress, and what the program remembers from one run to the next.
#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "dialogs/image_size_dialog.h"
#include "main_window.h"
#include "remembered_settings.h"
#include "settings_record.h"
#include "view_motion.h"

namespace app {

namespace {
// The platform's keys for a standard command, and `always` besides.
QList<QKeySequence> KeysWith(QKeySequence::StandardKey key, const QKeySequence& always) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (!keys.contains(always)) keys.prepend(always);
    return keys;
}
}  // namespace

void MainWindow::createMotion() {
    ViewMotion::Host host;
    host.canCompute = [this] {
        return core_.PluginBound() && view_->picture() != nullptr && generationCount_ > 0 && !needsImageSetup_;
    };
    host.computeView = [this](std::function<void()> prepare, bool sameStep) {
        computeView(std::move(prepare), sameStep);
    };
    host.generationCount = [this] { return generationCount_; };
    host.viewChanged = [this] {
        // A selection drawn on the old picture means nothing on the new one.
        if (view_->hasSelection()) clearRectangle();
        showMagnification();
    };
    host.picksJuliaConstant = [this] { return core_.Context.JuliaMode == 1 && core_.Context.JuliaFixed == 0; };
    host.pick = &pick_;
    motion_ = new ViewMotion(core_, *view_, std::move(host), this);
    connect(motion_, &ViewMotion::fitToWindowChanged, this, [this](bool on) {
        remembered_->setFitToWindow(on);
        if (imageSizeDialog_ != nullptr) imageSizeDialog_->setFitToWindow(on);
        updateActions();
    });
}

void MainWindow::createExploreActions(QMenu* file, QMenu* image, QMenu* help) {
    MainWindowActions& a = actions_;
    a.copyPicture = makeAction(tr("Copy Picture"), "copyPicture", &MainWindow::copyPicture);
    a.copyPicture->setShortcuts(KeysWith(QKeySequence::Copy, QKeySequence(Qt::CTRL | Qt::Key_C)));
    file->insertAction(a.loadParameterFile, a.copyPicture);

    a.fitToWindow = makeToggle(tr("Fit to Window"), "fitToWindow");
    connect(a.fitToWindow, &QAction::triggered, this, &MainWindow::setFitToWindow);
    image->addSeparator();
    image->addAction(a.fitToWindow);

    auto* view = new QMenu(tr("&View"), this);
    view->setObjectName(QStringLiteral("viewMenu"));
    menuBar()->insertMenu(help->menuAction(), view);
    a.viewZoomIn = makeAction(tr("Zoom In"), "viewZoomIn");
    a.viewZoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus),
                                QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    connect(a.viewZoomIn, &QAction::triggered, this, [this] { motion_->zoomAboutCentre(ViewMotion::kKeyFactor); });
    a.viewZoomOut = makeAction(tr("Zoom Out"), "viewZoomOut");
    a.viewZoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus),
                                 QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    connect(a.viewZoomOut, &QAction::triggered, this,
            [this] { motion_->zoomAboutCentre(1.0 / ViewMotion::kKeyFactor); });
    const auto pan = [this](QAction*& action, const QString& text, const char* name, Qt::Key key, int dx, int dy) {
        action = makeAction(text, name);
        action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, this, [this, dx, dy] { motion_->panStep(dx, dy); });
    };
    pan(a.panLeft, tr("Pan Left"), "panLeft", Qt::Key_Left, -1, 0);
    pan(a.panRight, tr("Pan Right"), "panRight", Qt::Key_Right, 1, 0);
    pan(a.panUp, tr("Pan Up"), "panUp", Qt::Key_Up, 0, -1);
    pan(a.panDown, tr("Pan Down"), "panDown", Qt::Key_Down, 0, 1);
    a.fullScreen = makeToggle(tr("Full Screen"), "fullScreen", &MainWindow::toggleFullScreen);
    a.fullScreen->setShortcuts(KeysWith(QKeySequence::FullScreen, QKeySequence(Qt::Key_F11)));
    view->addActions({a.viewZoomIn, a.viewZoomOut});
    view->addSeparator();
    view->addActions({a.panLeft, a.panRight, a.panUp, a.panDown});
    view->addSeparator();
    view->addAction(a.fullScreen);
    // Keys that sliders and lists of the tool windows use as well act only
    // while the picture has the keyboard focus.
    for (QAction* key : {a.viewZoomIn, a.viewZoomOut, a.panLeft, a.panRight, a.panUp, a.panDown, a.resetCoordinates}) {
        key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        view_->addAction(key);
    }
}

void MainWindow::computeView(std::function<void()> prepare, bool sameStep) {
    if (refuseWithoutPlugin()) return;
    // The view in passes makes way for the new one part way through its job.
    if (generating_ && core_.InPasses()) core_.GiveWay();
    runBetweenRows([this, prepare = std::move(prepare), sameStep] {
        prepare();
        historySameStep_ = sameStep;
        startGeneration(engine::ComputeOrder::Passes);
    });
}

void MainWindow::fitPictureToView() {
    const QSize size = view_->fittingPictureSize();
    if (size.width() <= 0 || size.height() <= 0 || !imaging::Picture::SizeAllowed(size.width(), size.height())) return;
    resizePicture(size.width(), size.height());
}

void MainWindow::setFitToWindow(bool on) {
    motion_->setFitToWindow(on);
    updateActions();
}

void MainWindow::toggleFullScreen() {
    // Without a window manager (an X server alone) nothing acts on the
    // request: the window then takes the screen, and gives it back, itself.
    constexpr int kWindowManagerMilliseconds = 300;
    if (isFullScreen()) {
        if (maximizedBeforeFullScreen_)
            showMaximized();
        else
            showNormal();
        QTimer::singleShot(kWindowManagerMilliseconds, this, [this, before = placeBeforeFullScreen_] {
            if (!isFullScreen() && !isMaximized() && screen() != nullptr && frameGeometry() == screen()->geometry())
                setGeometry(before);
        });
    } else {
        maximizedBeforeFullScreen_ = isMaximized();
        geometryBeforeFullScreen_ = saveGeometry();
        placeBeforeFullScreen_ = geometry();
        showFullScreen();
        QTimer::singleShot(kWindowManagerMilliseconds, this, [this] {
            // The native window's: QWidget::setGeometry would end the full screen state.
            if (isFullScreen() && screen() != nullptr && windowHandle() != nullptr &&
                frameGeometry() != screen()->geometry())
                windowHandle()->setGeometry(screen()->geometry());
        });
    }
    updateActions();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && actions_.fullScreen != nullptr)
        actions_.fullScreen->setChecked(isFullScreen());
}

bool MainWindow::waitForPicture(const QString& caption) {
    if (!generating_) return true;
    QProgressDialog progress(tr("The picture is still being computed: it is taken when it is finished."), tr("Cancel"),
                             0, 0, this);
    progress.setObjectName(QStringLiteral("waitForPicture"));
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    QEventLoop loop;
    connect(this, &MainWindow::generationFinished, &loop, &QEventLoop::quit);
    connect(&progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    progress.show();
    loop.exec();
    if (progress.wasCanceled()) return false;
    if (!lastGenerationComplete_) {
        message(tr("The picture was stopped before it was finished: nothing was taken"));
        return false;
    }
    return true;
}

void MainWindow::copyPicture() {
    if (!waitForPicture(tr("Copy Picture"))) return;
    const imaging::Picture* picture = view_->picture();
    if (picture == nullptr || picture->Empty()) {
        message(tr("There is no picture to copy"));
        return;
    }
    const QImage image(picture->Bytes().data(), picture->Width(), picture->Height(), 3 * picture->Width(),
                       QImage::Format_RGB888);
    auto* data = new QMimeData;
    data->setImageData(image.copy());
    data->setText(QString::fromStdString(params::SettingsComment(params::RecordSettings(core_.Context, core_.View))));
    QGuiApplication::clipboard()->setMimeData(data);
}

void MainWindow::restoreRemembered() {
    const QByteArray geometry = remembered_->windowGeometry();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    if (remembered_->fitToWindow()) motion_->setFitToWindow(true);
}

void MainWindow::saveRemembered() {
    remembered_->setWindowGeometry(isFullScreen() && !geometryBeforeFullScreen_.isEmpty() ? geometryBeforeFullScreen_
                                                                                           : saveGeometry());
    for (QDialog* dialog : placedToolWindows_) remembered_->setToolWindowPlace(dialog->objectName(), dialog->pos());
}

}  // namespace app
