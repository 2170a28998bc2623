// Export Picture: the settings computed at any size with several samples
// per pixel, in the background, with a progress dialog that can cancel.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

#include "dialogs/export_dialog.h"
#include "export_run.h"
#include "main_window.h"
#include "status_notice.h"

namespace app {

void MainWindow::exportPicture() {
    if (refuseWithoutPlugin() || isExporting()) return;
    // Beside the current file, or in the working folder.
    const QFileInfo current(caption_.file());
    const QString proposed =
        caption_.file().isEmpty()
            ? QDir::current().filePath(QStringLiteral("halvane-export.png"))
            : current.dir().filePath(current.completeBaseName() + QStringLiteral("-export.png"));
    exportDialog_->propose(core_.Context.ImageWidth, core_.Context.ImageHeight, proposed);
    if (runModal(*exportDialog_) != QDialog::Accepted) return;
    const ExportChoice choice = exportDialog_->choice();
    startExport(choice.width, choice.height, choice.factor, choice.path);
}

bool MainWindow::startExport(int width, int height, int factor, const QString& path) {
    if (isExporting()) return false;
    delete exportRun_;
    ExportRequest request{params::RecordSettings(core_.Context), width, height, factor, path, pluginFolders_};
    exportRun_ = new ExportRun(std::move(request), this);
    connect(exportRun_, &ExportRun::progressed, this, &MainWindow::onExportProgress);
    connect(exportRun_, &ExportRun::finished, this, &MainWindow::onExportFinished);

    if (exportProgress_ == nullptr) {
        exportProgress_ = new QProgressDialog(this);
        exportProgress_->setObjectName(QStringLiteral("exportProgress"));
        exportProgress_->setWindowTitle(tr("Export Picture"));
        exportProgress_->setWindowModality(Qt::WindowModal);
        exportProgress_->setAutoReset(false);
        exportProgress_->setAutoClose(false);
        connect(exportProgress_, &QProgressDialog::canceled, this, &MainWindow::cancelExport);
    }
    connect(exportRun_, &ExportRun::writing, exportProgress_, [this] {
        exportProgress_->setLabelText(tr("Writing the file..."));
        exportProgress_->setCancelButton(nullptr);
    });
    exportProgress_->setCancelButtonText(tr("Cancel"));
    exportProgress_->setRange(0, height);
    exportProgress_->setValue(0);
    exportProgress_->setLabelText(tr("Computing %1 by %2 with %3 by %3 samples per pixel...").arg(width).arg(height).arg(factor));
    exportProgress_->show();
    exportRun_->start();
    updateActions();
    return true;
}

void MainWindow::cancelExport() {
    if (exportRun_ != nullptr) exportRun_->cancel();
}

bool MainWindow::isExporting() const { return exportRun_ != nullptr && exportRun_->running(); }

void MainWindow::onExportProgress(int done, int total, double secondsLeft) {
    exportProgress_->setMaximum(total);
    exportProgress_->setValue(done);
    exportProgress_->setLabelText(tr("Rows %1 of %2, about %3 s left").arg(done).arg(total).arg(secondsLeft, 0, 'f', 0));
}

void MainWindow::onExportFinished(bool cancelled, const QString& error) {
    exportProgress_->hide();
    if (cancelled)
        notice_->setNotice(tr("Export cancelled"));
    else if (exportRun_ != nullptr && exportRun_->written())
        notice_->setNotice(
            tr("Exported to %1").arg(QDir::toNativeSeparators(QFileInfo(exportRun_->path()).absoluteFilePath())));
    if (!cancelled && !error.isEmpty()) message(error);
    updateActions();
    emit exportDone(cancelled, error);
}

}  // namespace app
