// New, Open, Save As and the parameter file; the image set-up that builds
// the picture a new or opened image is computed into.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "dialogs/about_box.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "file_filters.h"
#include "main_window.h"
#include "picture_files.h"
#include "picture_settings.h"
#include "remembered_settings.h"
#include "view_motion.h"
#include "window_caption.h"

namespace app {

namespace {
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

constexpr int32_t kNewWidth = 160;
constexpr int32_t kNewHeight = 120;
}  // namespace

void MainWindow::newPicture() {
    if (refuseWithoutPlugin()) return;
    runBetweenRows([this] {
        needsImageSetup_ = true;
        engine::ApplyNewDefaults(core_.Context);
        engine::ResetView(core_.Context, core_.View);
        // The new picture belongs to no file.
        caption_.clearFile();
        setUpImage(nullptr, QString(), imaging::ImageInfo{});
    });
}

void MainWindow::openImage() {
    needsImageSetup_ = true;
    if (refuseWithoutPlugin()) return;
    const QString path = openFileDialog(this, tr("Open"), remembered_->folder(folder::kOpen), FileFilter(kOpenImageFilter));
    if (path.isEmpty()) return;
    remembered_->setFolderOf(folder::kOpen, path);
    openImageFile(path);
}

void MainWindow::openImageFile(const QString& path) {
    needsImageSetup_ = true;
    auto picture = std::make_unique<imaging::Picture>();
    imaging::ImageInfo info;
    const std::string error = imaging::LoadImageFile(LocalPath(path), *picture, &info);
    if (!error.empty()) {
        // The picture shown stays, and so does everything else.
        needsImageSetup_ = false;
        message(QString::fromStdString(error));
        return;
    }
    runBetweenRows([this, shared = std::shared_ptr<imaging::Picture>(std::move(picture)), path, info] {
        setUpImage(std::make_unique<imaging::Picture>(std::move(*shared)), path, info);
    });
}

// Builds the picture a new image (no `opened`) or an opened one is computed
// into, makes its size the image size, and computes it.
void MainWindow::setUpImage(std::unique_ptr<imaging::Picture> opened, const QString& path,
                            const imaging::ImageInfo& info) {
    if (!needsImageSetup_) return;
    TIterationContext& c = core_.Context;
    setActionModeByRectangleMode();
    if (opened) {
        // An opened picture has a size of its own.
        if (view_->fitToWindow()) setFitToWindow(false);
        imageInfo_ = info;
        c.ImageWidth = opened->Width();
        c.ImageHeight = opened->Height();
        // The picture is the file's from here on, with the settings computed
        // into it at its size.
        caption_.setFile(path, CaptionRecord(c, core_.View));
        view_->setFileName(path);
        view_->setPicture(std::move(opened));
    } else {
        c.ImageWidth = kNewWidth;
        c.ImageHeight = kNewHeight;
        c.FormulaNo = 0;
        core_.LastFormulaNo = 0;
        imageInfo_ = imaging::ImageInfo{};
        view_->setFileName(QString());
        view_->setPicture(std::make_unique<imaging::Picture>(kNewWidth, kNewHeight));
    }
    core_.CurrentImage = view_->picture();
    aboutBox_->setInfo(view_->fileName(), imageInfo_);
    needsImageSetup_ = false;
    setPendingCommand(PendingCommand::None);
    showSettingsInDialogs();
    updateActions();
    requestGeneration();
}

// The file last saved, opened or loaded, without its extension.
QString MainWindow::proposedFileName() const {
    QString name = QFileInfo(caption_.file().isEmpty() ? tr(kInitialCaption) : caption_.file()).fileName();
    name.chop(4);
    return name;
}

void MainWindow::saveAs() {
    // In the folder last saved to, when there was one.
    const QString lastFolder = remembered_->folder(folder::kSave);
    const QString name = lastFolder.isEmpty() ? proposedFileName() : QDir(lastFolder).filePath(proposedFileName());
    const QString path = saveFileDialog(this, tr("Save As"), name, FileFilter(kSaveImageFilter));
    if (path.isEmpty()) return;
    remembered_->setFolderOf(folder::kSave, path);
    // Never a half-made picture under the whole picture's settings.
    if (!waitForPicture(tr("Save As"))) return;
    const imaging::Picture* picture = view_->picture();
    if (picture == nullptr || picture->Empty()) {
        message(tr("There is no picture to save"));
        return;
    }
    const std::string error =
        params::SavePictureWithSettings(*picture, LocalPath(path), params::RecordSettings(core_.Context, core_.View));
    if (!error.empty()) {
        message(QString::fromStdString(error));
        return;
    }
    caption_.setFile(path, CaptionRecord(core_.Context, core_.View));
    updateCaption();
    const std::string written =
        params::WriteParameterFile(params::ParameterFilePathFor(LocalPath(path)), core_.Context, core_.View);
    if (!written.empty()) message(QString::fromStdString(written));
}

void MainWindow::loadParameterFile() {
    if (refuseWithoutPlugin()) return;
    const QString path =
        openFileDialog(this, tr("Load From Parameter File"), remembered_->folder(folder::kParameters),
                       FileFilter(kParameterFileFilter) + QStringLiteral(";;") + FileFilter(kSettingsPictureFilter));
    if (path.isEmpty()) return;
    remembered_->setFolderOf(folder::kParameters, path);
    pendingParameterFile_ = path;
    setPendingCommand(PendingCommand::LoadParameterFile);
    startupTimer_.start();
}

bool MainWindow::loadParameters(const QString& path) {
    const std::string local = LocalPath(path);
    const params::LoadTarget target{core_.Context, core_.ParamsValid, core_.LastFormulaNo, names_, &core_.View};
    params::LoadOutcome outcome = params::LoadOutcome::CannotOpen;
    if (params::IsPictureFile(local)) {
        // A picture gives the settings it carries, its size included.
        std::string error;
        const std::optional<params::SettingsRecord> record = params::ReadSettingsFromPicture(local, error);
        if (!record) {
            message(QString::fromStdString(error));
            return false;
        }
        // A size the renderer refuses is refused here too, before anything
        // changes: the picture shown stays.
        if (!engine::ImageSizeAllowed(record->width, record->height)) {
            message(path + QStringLiteral(": ") +
                    QString::fromStdString(engine::ImageSizeRefusal(record->width, record->height)));
            return false;
        }
        outcome = params::RestoreSettings(*record, target, *this, local);
        // A refused view has been reported; nothing changed.
        if (outcome == params::LoadOutcome::Refused) return false;
        resizePicture(record->width, record->height);
    } else {
        outcome = params::LoadParameters(local, target, *this);
        // A file that cannot be read, or a refused view, has been reported;
        // nothing changed.
        if (outcome == params::LoadOutcome::CannotOpen || outcome == params::LoadOutcome::Refused) return false;
    }
    if (outcome == params::LoadOutcome::Loaded) caption_.setFile(path, CaptionRecord(core_.Context, core_.View));
    updateCaption();
    showSettingsInDialogs();
    updateActions();
    return true;
}

void MainWindow::openFile(const QString& path) {
    if (refuseWithoutPlugin()) return;
    // A picture without settings is opened; settings, from a parameter file
    // or a picture that carries them, are loaded.
    std::string error;
    if (params::IsPictureFile(LocalPath(path)) && !params::ReadSettingsFromPicture(LocalPath(path), error)) {
        openImageFile(path);
        return;
    }
    pendingParameterFile_ = path;
    runBetweenRows([this, path] {
        if (loadParameters(path) && core_.ParamsValid) requestGeneration();
    });
}

// The picture takes a new size; what it showed is stretched onto it until
// the next rows overwrite it.
void MainWindow::resizePicture(int32_t width, int32_t height) {
    TIterationContext& c = core_.Context;
    c.ImageWidth = width;
    c.ImageHeight = height;
    const imaging::Picture* shown = view_->picture();
    if (shown != nullptr && shown->Width() == width && shown->Height() == height) return;
    if (width <= 0 || height <= 0 || !imaging::Picture::SizeAllowed(width, height)) return;
    auto picture = std::make_unique<imaging::Picture>(width, height);
    if (shown != nullptr)
        imaging::StretchCopy(*shown, imaging::Rect{0, 0, shown->Width(), shown->Height()}, *picture,
                             imaging::Rect{0, 0, width, height});
    view_->setPicture(std::move(picture));
    core_.CurrentImage = view_->picture();
    PictureChanged();
}

// Open dialogs show settings that changed under them, before the next
// generation reads them.
void MainWindow::showSettingsInDialogs() {
    const TIterationContext& c = core_.Context;
    if (parametersDialog_->isVisible()) parametersDialog_->showSettings(c, core_.View);
    if (colourDialog_->isVisible()) colourDialog_->refreshSettings(c);
    if (imageSizeDialog_->isVisible()) imageSizeDialog_->setImageSize(c.ImageWidth, c.ImageHeight);
}

}  // namespace app
