// Commands that change the picture settings: formula, render and blend
// methods, channel order, and the dialogs that edit the settings.
#include <QAction>
#include <QScreen>

#include "dialogs/about_box.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/image_size_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "fit_colours.h"
#include "main_window.h"

namespace app {

namespace {
// Dialogs that the program centres on the screen rather than on the window.
void CentreOnScreen(QWidget* window, QDialog& dialog) {
    if (QScreen* screen = window->screen()) {
        dialog.adjustSize();
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    }
}
}  // namespace

void MainWindow::selectFormula(int32_t formula) {
    core_.Context.FormulaNo = formula;
    updateActions();
    requestGeneration();
}

void MainWindow::selectRenderMethod(int32_t method) {
    core_.Context.RenderNo = method;
    updateActions();
    requestGeneration();
}

void MainWindow::selectBlendMethod(int32_t method) {
    core_.Context.BlendNo = method;
    recordHistory();
    recolour();
    updateActions();
}

void MainWindow::selectChannelOrder(int32_t order) {
    core_.Context.ColorOrderNo = order;
    recordHistory();
    recolour();
    updateActions();
}

void MainWindow::toggleParametersDialog() {
    if (parametersDialog_->isVisible()) {
        parametersDialog_->hide();
    } else {
        parametersDialog_->showSettings(core_.Context, core_.View);
        showToolWindow(parametersDialog_);
    }
    updateActions();
}

void MainWindow::toggleColourControls() {
    if (colourDialog_->isVisible()) {
        colourDialog_->hide();
    } else {
        colourDialog_->showSettings(core_.Context);
        showToolWindow(colourDialog_);
        colourDialog_->startApplyTimer();
    }
    updateActions();
}

void MainWindow::applyColourControls() {
    colourDialog_->storeTo(core_.Context);
    recolour();
}

void MainWindow::fitColoursToPicture() {
    if (generating_) return;
    runBetweenRows([this] {
        const TIterationContext& c = core_.Context;
        switch (engine::FitColoursToPicture(core_)) {
            case engine::FitOutcome::Fitted:
                recordHistory();
                showSettingsInDialogs();
                break;
            case engine::FitOutcome::NoValues:
                if (int64_t{c.ImageWidth} * c.ImageHeight > engine::PictureValues::kMaxPixels)
                    message(tr("Fit Colours to Picture works on pictures of at most %1 pixels")
                                .arg(engine::PictureValues::kMaxPixels));
                else
                    message(tr("The picture is not finished: its colours can be fitted once it is computed"));
                break;
            case engine::FitOutcome::NothingToFit:
                message(tr("The picture's values do not vary: there are no colours to fit"));
                break;
        }
        updateActions();
    });
}

void MainWindow::toggleImageSizeDialog() {
    if (imageSizeDialog_->isVisible()) {
        imageSizeDialog_->hide();
        return;
    }
    imageSizeDialog_->setImageSize(core_.Context.ImageWidth, core_.Context.ImageHeight);
    showToolWindow(imageSizeDialog_);
}

void MainWindow::applyImageSize() {
    TIterationContext& c = core_.Context;
    const bool fromDialog = imageSizeDialog_->isVisible();
    const int32_t width = fromDialog ? imageSizeDialog_->imageWidth() : c.ImageWidth;
    const int32_t height = fromDialog ? imageSizeDialog_->imageHeight() : c.ImageHeight;
    if (width <= 0 || height <= 0) {
        message(tr("The image size %1 by %2 is not possible: width and height must be at least 1")
                    .arg(width)
                    .arg(height));
        return;
    }
    if (!imaging::Picture::SizeAllowed(width, height)) {
        message(tr("The image size %1 by %2 is too large").arg(width).arg(height));
        return;
    }
    if (refuseWithoutPlugin()) return;
    // A size of its own ends Fit to window; the window's size applies again as it is.
    if (view_->fitToWindow()) {
        if (!fromDialog || (width == c.ImageWidth && height == c.ImageHeight)) {
            requestGeneration();
            return;
        }
        setFitToWindow(false);
    }
    runBetweenRows([this, fromDialog, width, height] {
        TIterationContext& ctx = core_.Context;
        auto picture = std::make_unique<imaging::Picture>(width, height);
        if (fromDialog) {
            // The picture shown, stretched onto the new size, until the new
            // one overwrites it row by row.
            if (const imaging::Picture* shown = view_->picture())
                imaging::StretchCopy(*shown, imaging::Rect{0, 0, shown->Width(), shown->Height()}, *picture,
                                     imaging::Rect{0, 0, width, height});
        }
        ctx.ImageWidth = width;
        ctx.ImageHeight = height;
        view_->setPicture(std::move(picture));
        core_.CurrentImage = view_->picture();
        PictureChanged();
        requestGeneration();
    });
}

void MainWindow::showAbout() {
    CentreOnScreen(this, *aboutBox_);
    runModal(*aboutBox_);
}

void MainWindow::editOptions() {
    optionsDialog_->showOptions(imaging::Options());
    CentreOnScreen(this, *optionsDialog_);
    if (runModal(*optionsDialog_) != QDialog::Accepted) return;
    optionsDialog_->storeTo(imaging::Options(), [this](const QString& text) { message(text); });
}

}  // namespace app
