#include "view_navigation.h"

#include <algorithm>
#include <cmath>

#include "deep_view.h"
#include "exact_arithmetic.h"
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

bool NavigatesExactly(const TIterationContext& ctx, const ExactView& view) {
    return ctx.Magnification >= kExactNavigationFrom || !TextBeyondDouble(view.centerX, ctx.CenterX).empty() ||
           !TextBeyondDouble(view.centerY, ctx.CenterY).empty() ||
           !TextBeyondDouble(view.magnification, ctx.Magnification).empty();
}

namespace {

using exact::Real;

// The view on a picture of the record's size, exactly: centre, magnification
// and the half-sizes (1 + W/H) / m and (1 + H/W) / m that the generation's
// rectangle has.
struct ExactFrame {
    Real cx, cy, m, hx, hy;
    long integerDigits = 1;  // of the centre's larger part
};

ExactFrame FrameOf(const TIterationContext& ctx, const ExactView& view, mpfr_prec_t bits) {
    const ExactView e = EffectiveView(view, ctx);
    ExactFrame f;
    f.cx = exact::Parse(e.centerX, bits);
    f.cy = exact::Parse(e.centerY, bits);
    f.m = exact::Parse(e.magnification, bits);
    const Real w(ctx.ImageWidth > 0 ? ctx.ImageWidth : 1, bits);
    const Real h(ctx.ImageHeight > 0 ? ctx.ImageHeight : 1, bits);
    f.hx = (1 + w / h) / f.m;
    f.hy = (1 + h / w) / f.m;
    for (const Real* part : {&f.cx, &f.cy})
        if (!mpfr_zero_p(part->mpfr_srcptr())) f.integerDigits = std::max(f.integerDigits, exact::DecimalExponent(*part));
    return f;
}

// Bits for computing on this view: the centre's digits at magnification
// `m` and `moreDigits` beyond, on top of what the texts themselves hold.
mpfr_prec_t BitsFor(const TIterationContext& ctx, const ExactView& view, long moreDigits) {
    const ExactView e = EffectiveView(view, ctx);
    const long texts = static_cast<long>(std::max({e.centerX.size(), e.centerY.size(), e.magnification.size()}));
    const mpfr_prec_t rough = exact::BitsForDigits(40);
    const Real m = exact::Parse(e.magnification, rough);
    Real cx = exact::Parse(e.centerX, rough), cy = exact::Parse(e.centerY, rough);
    long whole = 1;
    for (const Real* part : {&cx, &cy})
        if (!mpfr_zero_p(part->mpfr_srcptr())) whole = std::max(whole, exact::DecimalExponent(*part));
    return exact::BitsForDigits(std::max(texts, whole + exact::CentreDigits(m)) + moreDigits + 20);
}

bool SamePick(const TIterationContext& ctx, const ExactPick& pick) {
    return !pick.centerX.empty() && ctx.SelXMin == pick.selXMin && ctx.SelXMax == pick.selXMax &&
           ctx.SelYMin == pick.selYMin && ctx.SelYMax == pick.selYMax;
}

std::string Negated(const std::string& text) {
    if (text == "0") return text;
    return text[0] == '-' ? text.substr(1) : "-" + text;
}

}  // namespace

PickOutcome PickRectangle(TIterationContext& ctx, const ExactView& view, const PixelRect& rect, ExactPick& pick) {
    const PlaneRect plane = MapToPlane(rect, ViewOf(ctx), ctx.ImageWidth, ctx.ImageHeight);
    const std::optional<double> magnification = PickMagnification(plane);
    const bool exactly = NavigatesExactly(ctx, view) || (magnification && *magnification >= kExactNavigationFrom);
    if (!exactly) {
        if (!magnification) return PickOutcome::NothingToZoomInto;
        RecordPick(ctx, plane, *magnification);
        pick = ExactPick{};
        return PickOutcome::Picked;
    }
    if (rect.width == 0 && rect.height == 0) return PickOutcome::NothingToZoomInto;
    // A pick of one pixel zooms by at most twice the picture's width: six
    // digits more than the view's own cover the new centre.
    const exact::PrecisionScope scope(BitsFor(ctx, view, 6));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const ExactFrame f = FrameOf(ctx, view, bits);
    const Real W(ctx.ImageWidth, bits), H(ctx.ImageHeight, bits);
    const Real left(rect.left, bits), top(rect.top, bits), width(rect.width, bits), height(rect.height, bits);
    const Real xMin = f.cx - f.hx + 2 * f.hx * left / W;
    const Real xMax = f.cx - f.hx + 2 * f.hx * (left + width) / W;
    const Real yMin = f.cy - f.hy + 2 * f.hy * top / H;
    const Real yMax = f.cy - f.hy + 2 * f.hy * (top + height) / H;
    const Real r = (mpfr::abs(xMax - xMin) / 2 + mpfr::abs(yMax - yMin) / 2) / 2;
    const Real m = 2 / r;
    if (m > exact::Parse(kDeepestMagnification, bits)) return PickOutcome::TooDeep;
    const long digits = exact::CentreDigits(m);
    const std::string magnificationText = exact::SignificantText(m, exact::kMagnificationDigits);
    double nearestMagnification = 0.0;
    NearestDouble(magnificationText, nearestMagnification);
    RecordPick(ctx, PlaneRect{exact::NearestOf(xMin), exact::NearestOf(xMax), exact::NearestOf(yMin), exact::NearestOf(yMax)},
               nearestMagnification);
    pick.centerX = exact::FixedText((xMin + xMax) / 2, digits);
    pick.centerY = exact::FixedText((yMin + yMax) / 2, digits);
    pick.magnification = magnificationText;
    pick.selXMin = ctx.SelXMin;
    pick.selXMax = ctx.SelXMax;
    pick.selYMin = ctx.SelYMin;
    pick.selYMax = ctx.SelYMax;
    pick.selMagnification = ctx.SelMagnification;
    return PickOutcome::Picked;
}

void ZoomIntoPick(TIterationContext& ctx, ExactView& view, const ExactPick& pick) {
    const std::string keptMagnification = ExactText(view.magnification, ctx.Magnification);
    const double magnificationBefore = ctx.Magnification;
    ZoomIntoPick(ctx);
    view.centerX.clear();
    view.centerY.clear();
    view.magnification.clear();
    if (!SamePick(ctx, pick)) return;
    SetFromText(pick.centerX, ctx.CenterX, view.centerX);
    SetFromText(pick.centerY, ctx.CenterY, view.centerY);
    if (ctx.SelMagnification == pick.selMagnification) {
        SetFromText(pick.magnification, ctx.Magnification, view.magnification);
    } else if (ctx.SelMagnification == magnificationBefore) {
        // Clear Rectangle set the pick's magnification back to the view's.
        SetFromText(keptMagnification, ctx.Magnification, view.magnification);
    }
}

ExactPoint ExactPlanePoint(const TIterationContext& ctx, const ExactView& view, int32_t px, int32_t py,
                           long extraDigits) {
    const exact::PrecisionScope scope(BitsFor(ctx, view, extraDigits));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const ExactFrame f = FrameOf(ctx, view, bits);
    const Real W(ctx.ImageWidth > 0 ? ctx.ImageWidth : 1, bits), H(ctx.ImageHeight > 0 ? ctx.ImageHeight : 1, bits);
    const Real x = f.cx - f.hx + 2 * f.hx * Real(px, bits) / W;
    const Real y = f.cy - f.hy + 2 * f.hy * Real(py, bits) / H;
    // The digits that tell pixels apart: those of the pixel's width.
    const Real spacing = 2 * f.hx / W;
    const long pixelDigits = 1 - exact::DecimalExponent(spacing);
    const long digits = std::max(0L, pixelDigits) + extraDigits;
    ExactPoint point;
    point.x = exact::FixedText(x, digits);
    point.y = exact::FixedText(y, digits);
    NearestDouble(point.x, point.nearest.x);
    NearestDouble(point.y, point.nearest.y);
    return point;
}

ExactPoint ExactPointShown(ExactPoint placed, int32_t rotationMode) {
    switch (rotationMode) {
        case 1:
            return ExactPoint{placed.y, placed.x, PointShown(placed.nearest, 1)};
        case 2:
            return ExactPoint{Negated(placed.y), Negated(placed.x), PointShown(placed.nearest, 2)};
        case 3:
            return ExactPoint{Negated(placed.x), Negated(placed.y), PointShown(placed.nearest, 3)};
        default:
            return placed;
    }
}

void PickJuliaConstant(TIterationContext& ctx, ExactView& view, int32_t px, int32_t py, PlanePoint placed) {
    if (!NavigatesExactly(ctx, view)) {
        ctx.JuliaX = placed.x;
        ctx.JuliaY = placed.y;
        view.juliaX.clear();
        view.juliaY.clear();
        return;
    }
    // Every digit the view keeps below the pixel.
    const ExactPoint point = ExactPlanePoint(ctx, view, px, py, exact::kDigitsBelowUnit);
    SetFromText(point.x, ctx.JuliaX, view.juliaX);
    SetFromText(point.y, ctx.JuliaY, view.juliaY);
}

namespace {
// Sets the view from exact values: the centre to the digits its
// magnification keeps, the magnification to its own.
bool SetExactView(TIterationContext& ctx, ExactView& view, const Real& cx, const Real& cy, const Real& m) {
    const mpfr_prec_t bits = mpfr_get_default_prec();
    if (!mpfr_number_p(cx.mpfr_srcptr()) || !mpfr_number_p(cy.mpfr_srcptr()) || !(m > 0) ||
        m > exact::Parse(kDeepestMagnification, bits))
        return false;
    const long digits = exact::CentreDigits(m);
    SetFromText(exact::FixedText(cx, digits), ctx.CenterX, view.centerX);
    SetFromText(exact::FixedText(cy, digits), ctx.CenterY, view.centerY);
    SetFromText(exact::SignificantText(m, exact::kMagnificationDigits), ctx.Magnification, view.magnification);
    return true;
}
}  // namespace

bool ZoomAtPositionExactly(TIterationContext& ctx, ExactView& view, double px, double py, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor) || !std::isfinite(px) || !std::isfinite(py)) return false;
    // A factor of up to 2^1024 adds at most 309 digits.
    const exact::PrecisionScope scope(BitsFor(ctx, view, 320));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const ExactFrame f = FrameOf(ctx, view, bits);
    const Real W(ctx.ImageWidth > 0 ? ctx.ImageWidth : 1, bits), H(ctx.ImageHeight > 0 ? ctx.ImageHeight : 1, bits);
    const Real k = exact::FromDouble(factor, bits);
    const Real x = f.cx - f.hx + 2 * f.hx * exact::FromDouble(px, bits) / W;
    const Real y = f.cy - f.hy + 2 * f.hy * exact::FromDouble(py, bits) / H;
    // The point keeps its place: its distance to the centre shrinks by the factor.
    return SetExactView(ctx, view, x + (f.cx - x) / k, y + (f.cy - y) / k, f.m * k);
}

bool PanByPixelsExactly(TIterationContext& ctx, ExactView& view, double dx, double dy) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    const exact::PrecisionScope scope(BitsFor(ctx, view, 20));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const ExactFrame f = FrameOf(ctx, view, bits);
    const Real W(ctx.ImageWidth > 0 ? ctx.ImageWidth : 1, bits), H(ctx.ImageHeight > 0 ? ctx.ImageHeight : 1, bits);
    const Real cx = f.cx - exact::FromDouble(dx, bits) * 2 * f.hx / W;
    const Real cy = f.cy - exact::FromDouble(dy, bits) * 2 * f.hy / H;
    return SetExactView(ctx, view, cx, cy, f.m);
}

void ResetView(TIterationContext& ctx, ExactView& view) {
    ResetCoordinates(ctx);
    view.centerX.clear();
    view.centerY.clear();
    view.magnification.clear();
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

namespace {
// Runs `doubles` on a copy while the view is navigated with the doubles;
// keeps it where the result stays shallow, else runs `exactly`.
template <typename Doubles, typename Exactly>
bool Move(TIterationContext& ctx, ExactView& view, Doubles doubles, Exactly exactly) {
    if (!NavigatesExactly(ctx, view)) {
        TIterationContext moved = ctx;
        if (doubles(moved) && moved.Magnification < kExactNavigationFrom) {
            ctx = moved;
            view.centerX.clear();
            view.centerY.clear();
            view.magnification.clear();
            return true;
        }
    }
    return exactly();
}
}  // namespace

bool ZoomAtPosition(TIterationContext& ctx, ExactView& view, double px, double py, double factor) {
    return Move(
        ctx, view, [&](TIterationContext& c) { return ZoomAtPixel(c, px, py, factor); },
        [&] { return ZoomAtPositionExactly(ctx, view, px, py, factor); });
}

bool ZoomAboutCentre(TIterationContext& ctx, ExactView& view, double factor) {
    // Position (W/2, H/2) is the centre itself, exactly.
    return Move(
        ctx, view, [&](TIterationContext& c) { return ZoomAboutCentre(c, factor); },
        [&] { return ZoomAtPositionExactly(ctx, view, ctx.ImageWidth / 2.0, ctx.ImageHeight / 2.0, factor); });
}

bool PanByPixels(TIterationContext& ctx, ExactView& view, double dx, double dy) {
    return Move(
        ctx, view, [&](TIterationContext& c) { return PanByPixels(c, dx, dy); },
        [&] { return PanByPixelsExactly(ctx, view, dx, dy); });
}

void PickTheView(TIterationContext& ctx, const ExactView& view, ExactPick& pick) {
    PickTheView(ctx);
    pick = ExactPick{};
    if (view.centerX.empty() && view.centerY.empty() && view.magnification.empty()) return;
    pick.centerX = ExactText(view.centerX, ctx.CenterX);
    pick.centerY = ExactText(view.centerY, ctx.CenterY);
    pick.magnification = ExactText(view.magnification, ctx.Magnification);
    pick.selXMin = ctx.SelXMin;
    pick.selXMax = ctx.SelXMax;
    pick.selYMin = ctx.SelYMin;
    pick.selYMax = ctx.SelYMax;
    pick.selMagnification = ctx.SelMagnification;
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

GridMapping MapViews(const TIterationContext& from, const ExactView& fromView, const TIterationContext& to,
                     const ExactView& toView) {
    if (!NavigatesExactly(from, fromView) && !NavigatesExactly(to, toView)) return MapGrid(GridOf(from), GridOf(to));
    const exact::PrecisionScope scope(std::max(BitsFor(from, fromView, 10), BitsFor(to, toView, 10)));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const ExactFrame a = FrameOf(from, fromView, bits);
    const ExactFrame b = FrameOf(to, toView, bits);
    const auto size = [bits](int32_t pixels) { return Real(pixels > 0 ? pixels : 1, bits); };
    const Real stepAX = 2 * a.hx / size(from.ImageWidth), stepAY = 2 * a.hy / size(from.ImageHeight);
    const Real stepBX = 2 * b.hx / size(to.ImageWidth), stepBY = 2 * b.hy / size(to.ImageHeight);
    GridMapping m;
    m.scaleX = exact::NearestOf(stepAX / stepBX);
    m.scaleY = exact::NearestOf(stepAY / stepBY);
    m.offsetX = exact::NearestOf(((a.cx - a.hx) - (b.cx - b.hx)) / stepBX);
    m.offsetY = exact::NearestOf(((a.cy - a.hy) - (b.cy - b.hy)) / stepBY);
    return m;
}

}  // namespace engine
