// The view: click and rectangle zoom, the Julia-point pick, the plane flags,
// rotation and mirroring, Reset Coordinates, and the status bar.
#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

#include "deep_view.h"
#include "dialogs/parameters_dialog.h"
#include "main_window.h"
#include "picture_settings.h"
#include "view_navigation.h"

namespace app {

void MainWindow::resetCoordinates() {
    if (refuseWithoutPlugin()) return;
    runBetweenRows([this] {
        engine::ResetView(core_.Context, core_.View);
        requestGeneration();
    });
}

void MainWindow::clearRectangle() {
    view_->removeSelection();
    core_.Context.SelMagnification = core_.Context.Magnification;
    updateActions();
}

void MainWindow::toggleJuliaMode() {
    TIterationContext& c = core_.Context;
    // Either way the constant is no longer fixed: on, the next press picks it.
    c.JuliaMode = c.JuliaMode == 0 ? 1 : 0;
    c.JuliaFixed = 0;
    if (c.JuliaMode == 1)
        view_->setActionMode(ActionMode::None);
    else
        setActionModeByRectangleMode();
    recordHistory();
    updateActions();
    refreshCursor();
    PictureChanged();
}

void MainWindow::toggleInsideOut() {
    if (refuseWithoutPlugin()) return;
    core_.Context.InsideOut = core_.Context.InsideOut == 0 ? 1 : 0;
    requestGeneration();
}

void MainWindow::setRotation(int32_t mode) {
    if (refuseWithoutPlugin()) return;
    core_.Context.RotationMode = core_.Context.RotationMode == mode ? 0 : mode;
    requestGeneration();
}

void MainWindow::toggleZoomInOutMode() {
    zoomInMode_ = !zoomInMode_;
    updateActions();
}

void MainWindow::toggleRectangleMode() {
    rectangleMode_ = !rectangleMode_;
    updateActions();
}

namespace {
// A view text as the status bar shows numbers: the locale's decimal mark.
QString Shown(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
}
}  // namespace

void MainWindow::showMagnification() {
    const TIterationContext& c = core_.Context;
    // A magnification with more digits than its double shows them all.
    const std::string exact = engine::TextBeyondDouble(core_.View.magnification, c.Magnification);
    magnificationLabel_->setText(tr("magnification=%1")
                                     .arg(exact.empty() ? QLocale().toString(c.Magnification, 'f', 2) : Shown(exact)));
    // Never cut off: a deep magnification's digits widen the label (and the window where it must).
    const int wanted = magnificationLabel_->fontMetrics().horizontalAdvance(magnificationLabel_->text()) + 8;
    if (wanted > magnificationLabel_->minimumWidth()) {
        magnificationLabel_->setMinimumWidth(wanted);
        const int statusWidth = wanted + planePointLabel_->minimumWidth() + statusBar()->sizeHint().height();
        if (width() < statusWidth && !isMaximized() && !isFullScreen()) resize(statusWidth, height());
    }
}

void MainWindow::showPlanePoint(QPoint pixel) {
    const TIterationContext& c = core_.Context;
    if (c.ImageWidth == 0 || c.ImageHeight == 0) return;
    if (engine::NavigatesExactly(c, core_.View)) {
        // The digits that tell this pixel from its neighbours, and one more.
        const engine::ExactPoint placed = engine::ExactPlanePoint(c, core_.View, pixel.x(), pixel.y(), 1);
        mousePlaneX_ = placed.nearest.x;
        mousePlaneY_ = placed.nearest.y;
        const engine::ExactPoint shown = engine::ExactPointShown(placed, c.RotationMode);
        planePointLabel_->setText(tr("x=%1  y=%2").arg(Shown(shown.x), Shown(shown.y)));
        return;
    }
    // The generation in progress keeps its own step; this one is local.
    const engine::PlanePoint step{(core_.ImageXMax - core_.ImageXMin) / c.ImageWidth,
                                  (core_.ImageYMax - core_.ImageYMin) / c.ImageHeight};
    const engine::PlanePoint placed =
        engine::PixelToPlane(pixel.x(), pixel.y(), {core_.ImageXMin, core_.ImageYMin}, step);
    mousePlaneX_ = placed.x;
    mousePlaneY_ = placed.y;
    const engine::PlanePoint shown = engine::PointShown(placed, c.RotationMode);
    planePointLabel_->setText(
        tr("x=%1  y=%2").arg(QLocale().toString(shown.x, 'g', 12), QLocale().toString(shown.y, 'g', 12)));
}

void MainWindow::onPictureMove(QPoint position, MouseState state) {
    lastMouse_ = state;
    if (core_.Context.ImageWidth == 0) return;
    lastMousePixel_ = view_->toPicture(position);
    showPlanePoint(lastMousePixel_);
    showMagnification();
}

void MainWindow::onPicturePress(QPoint position, MouseState state) {
    // In picture pixels, which are device pixels.
    const QPointF at = view_->toPictureF(QPointF(position));
    mouseDownX_ = at.x();
    mouseDownY_ = at.y();
    lastMouse_ = state;
    if (state.leftAlone()) setActionModeByRectangleMode();
    const TIterationContext& c = core_.Context;
    if (c.JuliaMode == 1 && c.JuliaFixed == 0) pickJuliaConstant();
}

void MainWindow::pickJuliaConstant() {
    TIterationContext& c = core_.Context;
    view_->setActionMode(ActionMode::None);
    // The point under the mouse at the last move, with every digit its view keeps.
    engine::PickJuliaConstant(c, core_.View, lastMousePixel_.x(), lastMousePixel_.y(), {mousePlaneX_, mousePlaneY_});
    if (parametersDialog_->isVisible())
        parametersDialog_->setJuliaConstant(c.JuliaX, c.JuliaY, core_.View.juliaX, core_.View.juliaY);
    clearRectangle();
    engine::ResetView(c, core_.View);
    setActionModeByRectangleMode();
    engine::PixelRect selection = view_->selectionRect();
    selection.width = c.ImageWidth;
    selection.height = c.ImageHeight;
    view_->setSelectionRect(selection);
}

void MainWindow::onPictureRelease(QPoint, MouseState) {
    if (!lastMouse_.leftAlone()) return;
    if (!view_->hasSelection() && rectangleMode_) return;
    TIterationContext& c = core_.Context;
    if (!(c.JuliaMode == 1 && c.JuliaFixed == 0)) {
        if (c.ImageWidth <= 0 || c.ImageHeight <= 0) return;
        const engine::PixelRect picked =
            rectangleMode_ ? engine::SelectionRectangle(view_->selectionRect(), c.ImageWidth, c.ImageHeight)
                           : engine::ClickRectangle(mouseDownX_, mouseDownY_, c.ImageWidth, c.ImageHeight, zoomInMode_);
        view_->setSelectionRect(picked);
        const engine::PickOutcome outcome = engine::PickRectangle(c, core_.View, picked, pick_);
        if (outcome != engine::PickOutcome::Picked) {
            // Nothing to zoom into: the old rectangle and magnification stay.
            view_->removeSelection();
            updateActions();
            message(outcome == engine::PickOutcome::TooDeep
                        ? tr("The view cannot be magnified beyond %1").arg(QLatin1String(engine::kDeepestMagnification))
                        : tr("The picked rectangle has no size: there is nothing to zoom into"));
            return;
        }
    }
    updateActions();
    if (!rectangleMode_) zoomIntoSelection();
}

bool MainWindow::showZoomPreview() {
    const TIterationContext& c = core_.Context;
    imaging::Picture* shown = view_->picture();
    if (shown == nullptr || c.ImageWidth <= 0 || c.ImageHeight <= 0 ||
        !imaging::Picture::SizeAllowed(c.ImageWidth, c.ImageHeight))
        return false;
    auto preview = std::make_unique<imaging::Picture>(c.ImageWidth, c.ImageHeight);
    imaging::StretchCopy(*shown, view_->selectionRect(), *preview, imaging::Rect{0, 0, c.ImageWidth, c.ImageHeight});
    view_->setPicture(std::move(preview));
    core_.CurrentImage = view_->picture();
    PictureChanged();
    return true;
}

void MainWindow::zoomIntoSelection() {
    TIterationContext& c = core_.Context;
    if (c.ImageWidth == 0) return;
    if (!view_->hasSelection() && rectangleMode_) {
        message(tr("there is nothing selected"));
        return;
    }
    if (refuseWithoutPlugin()) return;
    engine::ZoomIntoPick(c, core_.View, pick_);
    view_->removeSelection();
    view_->setActionMode(ActionMode::None);
    updateActions();
    showMagnification();
    // The preview replaces the picture: that waits for a row being computed.
    runBetweenRows([this] {
        showZoomPreview();
        requestGeneration();
    });
}

}  // namespace app
