// Export Picture: the settings computed at any size with several samples
// per pixel, in the background, with a progress dialog that can cancel.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

#include "dialogs/export_dialog.h"
#include "export_run.h"
#include "main_window.h"
#include "remembered_settings.h"
#include "status_notice.h"

namespace app {

void MainWindow::exportPicture() {
    if (refuseWithoutPlugin() || isExporting()) return;
    // Beside the current file, or in the folder last exported to (else the
    // working folder); in the format, size and samples of the last export.
    const std::optional<RememberedExport> last = remembered_->lastExport();
    const QString suffix = last && !last->suffix.isEmpty() ? last->suffix : QStringLiteral("png");
    const QFileInfo current(caption_.file());
    const QString lastFolder = remembered_->folder(folder::kExport);
    const QString proposed =
        caption_.file().isEmpty()
            ? QDir(lastFolder.isEmpty() ? QDir::currentPath() : lastFolder).filePath(QStringLiteral("halvane-export.") + suffix)
            : current.dir().filePath(current.completeBaseName() + QStringLiteral("-export.") + suffix);
    if (last)
        exportDialog_->proposeAgain(last->width, last->height, last->samples, proposed);
    else
        exportDialog_->propose(core_.Context.ImageWidth, core_.Context.ImageHeight, proposed);
    if (runModal(*exportDialog_) != QDialog::Accepted) return;
    const ExportChoice choice = exportDialog_->choice();
    remembered_->setLastExport(RememberedExport{choice.width, choice.height, choice.factor,
                                                QFileInfo(choice.path).suffix().toLower()});
    remembered_->setFolderOf(folder::kExport, choice.path);
    startExport(choice.width, choice.height, choice.factor, choice.path);
}

bool MainWindow::startExport(int width, int height, int factor, const QString& path) {
    if (isExporting()) return false;
    delete exportRun_;
    ExportRequest request{params::RecordSettings(core_.Context, core_.View), width, height, factor, path,
                          pluginFolders_};
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
