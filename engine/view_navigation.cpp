#include "view_navigation.h"

#include <cmath>

#include "picture_settings.h"
#include "rounding.h"

namespace engine {

using colour::RoundToInt32;

PixelRect ReshapeToImage(int32_t width, int32_t height, double cx, double cy, int32_t imageWidth,
                         int32_t imageHeight) {
    const double W = imageWidth;
    const double H = imageHeight;
    const double s = (width + height) * 0.5;
    const double m = (W + H) * 0.5;
    // The unrounded sizes place the left and top edges.
    PixelRect r;
    r.width = RoundToInt32(W / m * s);
    r.left = RoundToInt32(cx - (W / m * s) * 0.5);
    r.height = RoundToInt32(H / m * s);
    r.top = RoundToInt32(cy - (H / m * s) * 0.5);
    return r;
}

PixelRect ClickRectangle(double x, double y, int32_t imageWidth, int32_t imageHeight, bool zoomIn) {
    const double f = zoomIn ? 0.5 : 2.0;
    return ReshapeToImage(RoundToInt32(imageWidth * f), RoundToInt32(imageHeight * f), x, y, imageWidth,
                          imageHeight);
}

PixelRect SelectionRectangle(const PixelRect& selection, int32_t imageWidth, int32_t imageHeight) {
    const double cx = selection.width * 0.5 + selection.left;
    const double cy = selection.height * 0.5 + selection.top;
    return ReshapeToImage(selection.width, selection.height, cx, cy, imageWidth, imageHeight);
}

PlaneRect MapToPlane(const PixelRect& rect, const PlaneRect& view, int32_t imageWidth, int32_t imageHeight) {
    const double W = imageWidth;
    const double H = imageHeight;
    const double l = rect.left;
    const double t = rect.top;
    const double w = rect.width;
    const double h = rect.height;
    PlaneRect p;
    p.xMin = view.xMin + (view.xMax - view.xMin) * l / W;
    p.xMax = view.xMin + (view.xMax - view.xMin) * (l + w) / W;
    p.yMin = view.yMin + (view.yMax - view.yMin) * t / H;
    p.yMax = view.yMin + (view.yMax - view.yMin) * (t + h) / H;
    return p;
}

std::optional<double> PickMagnification(const PlaneRect& rect) {
    const double r = (std::fabs(rect.xMax - rect.xMin) * 0.5 + std::fabs(rect.yMax - rect.yMin) * 0.5) * 0.5;
    if (!(r != 0.0) || !std::isfinite(2.0 / r)) return std::nullopt;
    return 2.0 / r;
}

PlaneRect ViewOf(const TIterationContext& ctx) { return PlaneRect{ctx.XMin, ctx.XMax, ctx.YMin, ctx.YMax}; }

void RecordPick(TIterationContext& ctx, const PlaneRect& picked, double magnification) {
    ctx.SelXMin = picked.xMin;
    ctx.SelXMax = picked.xMax;
    ctx.SelYMin = picked.yMin;
    ctx.SelYMax = picked.yMax;
    ctx.PrevCenterX = ctx.CenterX;
    ctx.PrevCenterY = ctx.CenterY;
    ctx.SelCenterX = ctx.SelXMin + (ctx.SelXMax - ctx.SelXMin) * 0.5;
    ctx.SelCenterY = ctx.SelYMin + (ctx.SelYMax - ctx.SelYMin) * 0.5;
    ctx.SelMagnification = magnification;
}

void ZoomIntoPick(TIterationContext& ctx) {
    ctx.XMin = ctx.SelXMin;
    ctx.XMax = ctx.SelXMax;
    ctx.YMin = ctx.SelYMin;
    ctx.YMax = ctx.SelYMax;
    ctx.CenterX = ctx.XMin + (ctx.XMax - ctx.XMin) * 0.5;
    ctx.CenterY = ctx.YMin + (ctx.YMax - ctx.YMin) * 0.5;
    ctx.Magnification = ctx.SelMagnification;
}

PlanePoint PixelToPlane(int32_t px, int32_t py, PlanePoint origin, PlanePoint step) {
    return PlanePoint{px * step.x + origin.x, py * step.y + origin.y};
}

PlanePoint PointShown(PlanePoint placed, int32_t rotationMode) {
    switch (rotationMode) {
        case 1:
            return PlanePoint{placed.y, placed.x};
        case 2:
            return PlanePoint{placed.y * -1.0, placed.x * -1.0};
        case 3:
            return PlanePoint{placed.x * -1.0, placed.y * -1.0};
        default:
            return placed;
    }
}

PixelGrid GridOf(const TIterationContext& ctx) {
    TIterationContext fitted = ctx;
    FitViewToImage(fitted);
    PixelGrid grid{fitted.XMin, fitted.YMin, 0.0, 0.0};
    grid.stepX = ctx.ImageWidth > 0 ? (fitted.XMax - fitted.XMin) / ctx.ImageWidth : 0.0;
    grid.stepY = ctx.ImageHeight > 0 ? (fitted.YMax - fitted.YMin) / ctx.ImageHeight : 0.0;
    return grid;
}

namespace {
bool SetView(TIterationContext& ctx, double centerX, double centerY, double magnification) {
    if (!std::isfinite(centerX) || !std::isfinite(centerY) || !(magnification > 0.0) ||
        !std::isfinite(magnification) || !std::isfinite(2.0 / magnification))
        return false;
    ctx.CenterX = centerX;
    ctx.CenterY = centerY;
    ctx.Magnification = magnification;
    return true;
}
}  // namespace

bool ZoomAtPixel(TIterationContext& ctx, double px, double py, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return false;
    const PixelGrid grid = GridOf(ctx);
    const double x = grid.xMin + px * grid.stepX;
    const double y = grid.yMin + py * grid.stepY;
    // The point keeps its place: its distance to the centre shrinks by the factor.
    return SetView(ctx, x + (ctx.CenterX - x) / factor, y + (ctx.CenterY - y) / factor, ctx.Magnification * factor);
}

bool ZoomAboutCentre(TIterationContext& ctx, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return false;
    return SetView(ctx, ctx.CenterX, ctx.CenterY, ctx.Magnification * factor);
}

bool PanByPixels(TIterationContext& ctx, double dx, double dy) {
    const PixelGrid grid = GridOf(ctx);
    return SetView(ctx, ctx.CenterX - dx * grid.stepX, ctx.CenterY - dy * grid.stepY, ctx.Magnification);
}

void PickTheView(TIterationContext& ctx) {
    TIterationContext fitted = ctx;
    FitViewToImage(fitted);
    ctx.SelXMin = fitted.XMin;
    ctx.SelXMax = fitted.XMax;
    ctx.SelYMin = fitted.YMin;
    ctx.SelYMax = fitted.YMax;
    ctx.SelCenterX = ctx.CenterX;
    ctx.SelCenterY = ctx.CenterY;
    ctx.SelMagnification = ctx.Magnification;
}

GridMapping MapGrid(const PixelGrid& from, const PixelGrid& to) {
    GridMapping m;
    if (to.stepX != 0.0 && to.stepY != 0.0) {
        m.scaleX = from.stepX / to.stepX;
        m.scaleY = from.stepY / to.stepY;
        m.offsetX = (from.xMin - to.xMin) / to.stepX;
        m.offsetY = (from.yMin - to.yMin) / to.stepY;
    }
    return m;
}

}  // namespace engine
