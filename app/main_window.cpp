#include "main_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "dialogs/about_box.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/export_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "file_filters.h"
#include "export_run.h"
#include "icons.h"
#include "picture_settings.h"
#include "pointer_leave.h"
#include "remembered_settings.h"
#include "status_notice.h"
#include "view_motion.h"
#include "window_placement.h"

namespace app {

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent),
      core_(*this),
      showMessage_(std::move(setup.showMessage)),
      pluginFolders_(setup.pluginFolders),
      startupFile_(setup.startupFile) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowIcon(ApplicationIcon());

    openFileDialog = [](QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
    saveFileDialog = [](QWidget* parent, const QString& caption, const QString& name, const QString& filter) {
        QFileDialog dialog(parent, caption, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(name);
        // The format of the name proposed is offered first, and the chosen
        // format's extension is added to a name typed without one.
        const QString matching = FilterMatchingName(filter, name);
        if (!matching.isEmpty()) dialog.selectNameFilter(matching);
        const auto suffix = [&dialog] { dialog.setDefaultSuffix(SuffixOfFilter(dialog.selectedNameFilter())); };
        suffix();
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().constFirst();
    };
    runModal = [](QDialog& dialog) { return dialog.exec(); };

    remembered_ = std::make_unique<RememberedSettings>();
    view_ = new PictureView(this);
    setCentralWidget(view_);
    view_->setFocus();
    createMotion();
    connect(view_, &PictureView::pressed, this, &MainWindow::onPicturePress);
    connect(view_, &PictureView::moved, this, &MainWindow::onPictureMove);
    connect(view_, &PictureView::released, this, &MainWindow::onPictureRelease);
    connect(view_, &PictureView::pictureResized, this, &MainWindow::onPictureResized);
    connect(view_, &PictureView::selectionChanged, this, &MainWindow::updateActions);

    createMenus();
    createToolBars();

    // Wide enough for the longest values, so that neither is ever cut off.
    magnificationLabel_ = new QLabel(this);
    magnificationLabel_->setObjectName(QStringLiteral("magnificationLabel"));
    magnificationLabel_->setMinimumWidth(
        fontMetrics().horizontalAdvance(tr("magnification=%1").arg(QStringLiteral("000000.00"))) + 8);
    planePointLabel_ = new QLabel(this);
    planePointLabel_->setObjectName(QStringLiteral("planePointLabel"));
    planePointLabel_->setMinimumWidth(
        fontMetrics().horizontalAdvance(tr("x=%1  y=%2").arg(QStringLiteral("-0.00000000000e-100"),
                                                             QStringLiteral("-0.00000000000e-100"))) + 8);
    // A deep view's point has as many digits as its magnification: the
    // label shows what fits rather than widening the window.
    planePointLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(magnificationLabel_);
    statusBar()->addWidget(planePointLabel_, 1);
    notice_ = new StatusNotice(this);
    statusBar()->addPermanentWidget(notice_);
    // The point shown is the one under the pointer: none once it has left.
    OnPointerLeave(view_->pictureBox(), [this] { planePointLabel_->clear(); });

    startupTimer_.setSingleShot(true);
    startupTimer_.setInterval(100);
    connect(&startupTimer_, &QTimer::timeout, this, &MainWindow::onStartupTimer);
    busyTimer_.setInterval(500);
    connect(&busyTimer_, &QTimer::timeout, this, &MainWindow::onBusyTimer);

    resize(359, 292);
    ellipseCursor_ = MakeEllipseCursor();
    setPendingCommand(PendingCommand::NewPicture);
    // Every picture keeps its render values, so that its colours can be fitted.
    core_.KeepPictureValues = true;
    if (!core_.BindPlugin(setup.pluginFolders)) {
        pluginMissing_ = true;
        setPendingCommand(PendingCommand::None);
    }
    updateCaption();
    createDialogs();
    restoreRemembered();
    updateActions();
    startupTimer_.start();
}

MainWindow::~MainWindow() {
    delete exportRun_;  // cancels an export still going and waits for it
    exportRun_ = nullptr;
    startupTimer_.stop();
    busyTimer_.stop();
    // A row still being computed reports to this window: let it end first.
    core_.WaitForRow();
    view_->disconnect(this);
    delete motion_;  // before the view it watches
    motion_ = nullptr;
}

void MainWindow::createDialogs() {
    aboutBox_ = new AboutBox(this);
    parametersDialog_ = new ParametersDialog(this);
    colourDialog_ = new ColourMixingDialog(this);
    imageSizeDialog_ = new ImageSizeDialog(this);
    optionsDialog_ = new OptionsDialog(this);
    exportDialog_ = new ExportDialog(this);
    exportDialog_->chooseFile = [this](const QString& proposed) {
        return saveFileDialog(exportDialog_, tr("Export Picture"), proposed, FileFilter(kSaveImageFilter));
    };
    connect(parametersDialog_, &ParametersDialog::applyClicked, this, &MainWindow::requestGeneration);
    connect(parametersDialog_, &ParametersDialog::closed, this, &MainWindow::updateActions);
    connect(colourDialog_, &ColourMixingDialog::applyRequested, this, &MainWindow::applyColourControls);
    connect(colourDialog_, &ColourMixingDialog::fitRequested, this, &MainWindow::fitColoursToPicture);
    connect(colourDialog_, &QDialog::finished, this, &MainWindow::updateActions);
    connect(imageSizeDialog_, &ImageSizeDialog::applyClicked, this, &MainWindow::applyImageSize);
    connect(imageSizeDialog_, &ImageSizeDialog::fitToggled, this, &MainWindow::setFitToWindow);
}

void MainWindow::message(const QString& text, const QString& title) {
    if (showMessage_) {
        showMessage_(text, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? tr("halvane") : title, text, QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

bool MainWindow::refuseWithoutPlugin() {
    if (core_.PluginBound()) return false;
    message(tr("The formula plug-in %1 is not loaded: nothing can be computed.")
                .arg(QLatin1String(engine::kPluginFileName)));
    return true;
}

void MainWindow::updateCaption() {
    const params::SettingsRecord now = CaptionRecord(core_.Context, core_.View);
    // The title first: Qt wants its "[*]" before the window is marked.
    setWindowTitle(caption_.title(now));
    setWindowModified(caption_.modified(now));
}

QString MainWindow::statusNotice() const { return notice_->notice(); }

void MainWindow::setPendingCommand(PendingCommand command) {
    pending_ = command;
    // The platform shows this where it shows an application's name (an
    // icon or task-bar title), never in the caption itself.
    if (pluginMissing_)
        setWindowIconText(tr("ERROR"));
    else if (command == PendingCommand::NewPicture)
        setWindowIconText(tr("NEW"));
    else if (command == PendingCommand::LoadParameterFile)
        setWindowIconText(tr("PARAM"));
    else
        setWindowIconText(tr(kIdleTitle));
}

void MainWindow::showToolWindow(QDialog* dialog) {
    bool firstTime = !placedToolWindows_.contains(dialog);
    // The place it had in the last run, unless it covers a window now.
    if (firstTime) {
        if (const std::optional<QPoint> place = remembered_->toolWindowPlace(dialog->objectName())) {
            dialog->move(*place);
            firstTime = false;
        }
    }
    placeToolWindow(dialog, firstTime);
    if (firstTime) placedToolWindows_ << dialog;
    dialog->show();
}

// A tool window goes beside this one the first time, and again whenever it
// would cover this window or another tool window; else it stays where the
// user put it.
void MainWindow::placeToolWindow(QDialog* dialog, bool firstTime) {
    QList<QRect> open;
    for (QDialog* other : {static_cast<QDialog*>(parametersDialog_), static_cast<QDialog*>(colourDialog_),
                           static_cast<QDialog*>(imageSizeDialog_)})
        if (other != dialog && other->isVisible()) open << other->frameGeometry();
    const QRect here = dialog->frameGeometry();
    const bool covers = here.intersects(frameGeometry()) ||
                        std::any_of(open.begin(), open.end(), [&here](const QRect& r) { return r.intersects(here); });
    if (!firstTime && !covers) return;
    // The window system's frame is not known before the first showing:
    // take this window's as the measure.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    dialog->adjustSize();
    // Where it must cover something, never the menus, the tool bars or the
    // status bar.
    QList<QRect> controls;
    for (QWidget* bar : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(commandBar_),
                         static_cast<QWidget*>(generationBar_), static_cast<QWidget*>(statusBar())})
        if (bar->isVisible()) controls << QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    dialog->move(FreeSpotFor(dialog->size() + frame, frameGeometry(), open, screen, controls));
}

void MainWindow::onPictureResized(int width, int height) {
    // With Fit to window the picture follows the window, not the other way.
    if (isMaximized() || isMinimized() || isFullScreen() || motion_->fitToWindow()) return;
    const int frame = 2 * view_->frameWidth();
    const int extraWidth = std::max(60, generationBar_->sizeHint().width() + frame);
    const int extraHeight = std::max(80, commandBar_->sizeHint().height() + statusBar()->sizeHint().height() + frame);
    QSize wanted(width + extraWidth, height + extraHeight + menuBar()->sizeHint().height());
    // Never so small that the menus or the left tool bar fold away, or that
    // the status bar cuts its values off.
    const int statusWidth = magnificationLabel_->minimumWidth() + planePointLabel_->minimumWidth() +
                            notice_->minimumSizeHint().width() + statusBar()->sizeHint().height();
    wanted = wanted.expandedTo(QSize(std::max(menuBar()->sizeHint().width(), statusWidth),
                                     menuBar()->sizeHint().height() + commandBar_->sizeHint().height() +
                                         generationBar_->sizeHint().height() + statusBar()->sizeHint().height()));
    if (QScreen* screen = this->screen()) {
        // The whole window, frame included, stays within the screen.
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        const QSize room = screen->availableGeometry().size() - frameExtra;
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
    for (QDialog* dialog : placedToolWindows_)
        if (dialog->isVisible()) placeToolWindow(dialog, false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A generation in progress stops after its current row.
    core_.StopRequested = true;
    saveRemembered();
    QMainWindow::closeEvent(event);
}

}  // namespace app
