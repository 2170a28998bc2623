// The view: click and rectangle zoom, the Julia-point pick, the plane flags,
// rotation and mirroring, Reset Coordinates, and the status bar.
#include <QAction>
#include <QLabel>
#include <QLocale>

#include "dialogs/parameters_dialog.h"
#include "main_window.h"
#include "picture_settings.h"
#include "view_navigation.h"

namespace app {

void MainWindow::resetCoordinates() {
    if (refuseWithoutPlugin()) return;
    runBetweenRows([this] {
        engine::ResetCoordinates(core_.Context);
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

void MainWindow::showMagnification() {
    magnificationLabel_->setText(tr("magnification=%1").arg(QLocale().toString(core_.Context.Magnification, 'f', 2)));
}

void MainWindow::showPlanePoint(QPoint pixel) {
    const TIterationContext& c = core_.Context;
    if (c.ImageWidth == 0 || c.ImageHeight == 0) return;
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
    c.JuliaX = mousePlaneX_;
    c.JuliaY = mousePlaneY_;
    if (parametersDialog_->isVisible()) parametersDialog_->setJuliaConstant(c.JuliaX, c.JuliaY);
    clearRectangle();
    engine::ResetCoordinates(c);
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
        const engine::PlaneRect plane = engine::MapToPlane(picked, engine::ViewOf(c), c.ImageWidth, c.ImageHeight);
        const std::optional<double> magnification = engine::PickMagnification(plane);
        if (!magnification) {
            // Nothing to zoom into: the old rectangle and magnification stay.
            view_->removeSelection();
            updateActions();
            message(tr("The picked rectangle has no size: there is nothing to zoom into"));
            return;
        }
        engine::RecordPick(c, plane, *magnification);
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
    engine::ZoomIntoPick(c);
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
