// Driving a generation: rows are computed on the core's worker threads and
// taken in one after another on this thread, which never waits for them
// and never re-enters the event loop. Between two rows the commands that
// waited for the row's end run; a new picture then replaces the running one.
#include <QAction>
#include <QMetaObject>
#include <QStringList>
#include <QTimer>
#include <utility>

#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "guarded_application.h"
#include "main_window.h"
#include "picture_settings.h"
#include "status_notice.h"
#include "view_motion.h"

namespace app {

void MainWindow::onStartupTimer() {
    startupTimer_.stop();
    const PendingCommand command = pending_;
    if (command == PendingCommand::NewPicture) {
        // A file given at start-up is opened once the default picture is
        // shown (finishGeneration), so that its messages come after it.
        newPicture();
    } else if (command == PendingCommand::LoadParameterFile) {
        setPendingCommand(PendingCommand::None);
        const QString path = pendingParameterFile_;
        runBetweenRows([this, path] {
            if (loadParameters(path) && core_.ParamsValid) requestGeneration();
        });
    }
}

void MainWindow::requestGeneration() {
    if (refuseWithoutPlugin()) return;
    runBetweenRows([this] { startGeneration(); });
}

void MainWindow::runBetweenRows(std::function<void()> action) {
    if (core_.RowInFlight() || atRowBoundary_) {
        betweenRows_.push_back(std::move(action));
        return;
    }
    try {
        action();
    } catch (...) {
        // The generation goes on; the application reports the fault.
        continueGeneration();
        throw;
    }
    continueGeneration();
}

void MainWindow::startGeneration(engine::ComputeOrder order) {
    if (core_.CurrentImage == nullptr) return;
    if (motion_->fitToWindow()) fitPictureToView();
    // A generation in progress ends here, at a row's end, without its own
    // completion: the new one completes for both.
    std::optional<engine::ParameterDialogValues> dialog;
    if (parametersDialog_->isVisible()) dialog = parametersDialog_->values();
    if (!core_.BeginGeneration(dialog, order)) {
        // Only a size no picture can have gets here: the files and dialogs
        // refuse those before they become the settings.
        core_.StopRequested = true;
        if (generating_) finishGeneration();
        message(QString::fromStdString(
            engine::ImageSizeRefusal(core_.Context.ImageWidth, core_.Context.ImageHeight)));
        return;
    }
    generating_ = true;
    ++generationCount_;
    abortRequested_ = false;
    notice_->setNotice(QString());
    // A generation that replaces the running one keeps the timer's beat, so
    // that the caption and the picture are refreshed while commands keep
    // coming (a colour slider being dragged).
    if (!busyTimer_.isActive()) busyTimer_.start();
    const bool sameStep = std::exchange(historySameStep_, false);
    if (std::exchange(restoringHistory_, false)) {
        // a step of the history, restored
    } else if (sameStep && core_.Context.ImageWidth > 0 && core_.Context.ImageHeight > 0) {
        history_.ReplaceCurrent(params::RecordSettings(core_.Context, core_.View));
    } else {
        recordHistory();
    }
    motion_->generationStarted();
    if (imageSizeDialog_->isVisible()) imageSizeDialog_->setImageSize(core_.Context.ImageWidth, core_.Context.ImageHeight);
    // The view may have changed: what the status bar says follows it.
    showMagnification();
    if (view_->pictureBox()->underMouse()) showPlanePoint(lastMousePixel_);
    refreshCursor();
    updateActions();
}

void MainWindow::continueGeneration() {
    if (!generating_ || core_.RowInFlight() || atRowBoundary_) return;
    if (!core_.RowsRemain()) {
        finishGeneration();
        return;
    }
    core_.StartRow([this] { QMetaObject::invokeMethod(this, &MainWindow::onRowReady, Qt::QueuedConnection); });
}

void MainWindow::onRowReady() {
    if (!core_.RowInFlight()) return;
    atRowBoundary_ = true;
    // Whatever fails here is reported once the row boundary is left; the
    // rest still runs, so that the window never stays at a boundary.
    QStringList faults;
    const auto guarded = [&faults](const std::function<void()>& step) {
        try {
            step();
        } catch (...) {
            faults << GuardedApplication::FaultText(std::current_exception());
        }
    };
    guarded([this] { core_.FinishRow(); });  // a failed row stops the generation
    guarded([this] { motion_->jobTaken(); });
    const int startedBefore = generationCount_;
    if (afterRowHook) guarded([this] { afterRowHook(core_.PixelY); });
    while (!betweenRows_.empty()) {
        std::function<void()> action = std::move(betweenRows_.front());
        betweenRows_.pop_front();
        guarded(action);
    }
    atRowBoundary_ = false;
    // A new generation started here begins at its own first row.
    if (generating_ && generationCount_ == startedBefore) {
        if (!core_.ParamsValid) {
            finishGeneration();
            return;
        }
        core_.NextRow();
    }
    continueGeneration();
    for (const QString& fault : faults) message(fault);
}

void MainWindow::finishGeneration() {
    lastGenerationComplete_ = core_.AllDone();
    const bool aborted = abortRequested_ && !lastGenerationComplete_;
    core_.EndGeneration();
    generating_ = false;
    busyTimer_.stop();
    caption_.clearBusy();
    if (aborted) notice_->setNotice(tr("Aborted"));
    refreshCursor();
    updateCaption();
    updateActions();
    if (!startupFile_.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (!startupFile_.isEmpty()) openFile(std::exchange(startupFile_, QString()));
        });
    emit generationFinished();
}

void MainWindow::onBusyTimer() {
    caption_.setBusy(core_.RowsLeft());
    updateCaption();
    PictureChanged();
}

void MainWindow::abortGeneration() {
    core_.StopRequested = true;
    if (generating_) abortRequested_ = true;
}

void MainWindow::recolour() {
    runBetweenRows([this] {
        if (core_.CurrentImage != nullptr && !core_.RecolourFromBuffers()) requestGeneration();
        updateActions();
    });
}

void MainWindow::refreshCursor() {
    QWidget* box = view_->pictureBox();
    const TIterationContext& c = core_.Context;
    // Views computed in passes are explored on: no busy cursor for them.
    if (generating_ && !core_.InPasses())
        box->setCursor(Qt::WaitCursor);
    else if (c.JuliaMode == 1 && c.JuliaFixed == 0)
        box->setCursor(ellipseCursor_);
    else
        box->unsetCursor();
}

void MainWindow::setActionModeByRectangleMode() {
    view_->setActionMode(rectangleMode_ ? ActionMode::EditSelection : ActionMode::None);
}

void MainWindow::ShowMessage(const std::string& text, const std::string& title) {
    message(QString::fromStdString(text), QString::fromStdString(title));
}

void MainWindow::SetAbortEnabled(bool) { updateActions(); }

void MainWindow::PictureChanged() { view_->pictureChanged(); }

void MainWindow::GenerationCompleted() {
    busyTimer_.stop();
    caption_.clearBusy();
    updateCaption();
}

void MainWindow::GenerationEnded() { setActionModeByRectangleMode(); }

}  // namespace app
