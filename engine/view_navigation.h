// The arithmetic of moving about the plane with the mouse: the rectangle a
// click or a selection picks, how it maps onto the plane, the magnification
// it gives, and the plane point a pixel shows. No widgets here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "exact_view.h"
#include "generation.h"
#include "iteration_context.h"
#include "picture.h"

namespace engine {

// A rectangle of picture pixels; it may reach beyond the picture.
using PixelRect = imaging::Rect;

// A rectangle of the plane; yMin belongs to the picture's top row.
struct PlaneRect {
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
};

struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

// Reshapes a rectangle of `width` by `height` pixels centred on (cx, cy) to
// the proportions of an image of imageWidth by imageHeight, keeping its
// centre and the mean of its sides.
PixelRect ReshapeToImage(int32_t width, int32_t height, double cx, double cy, int32_t imageWidth,
                         int32_t imageHeight);

// What a click at (x, y) picks: a rectangle half the image's size (zoom in)
// or twice it (zoom out), centred on the click.
PixelRect ClickRectangle(double x, double y, int32_t imageWidth, int32_t imageHeight, bool zoomIn);

// What a drawn selection picks: the selection reshaped about its centre.
PixelRect SelectionRectangle(const PixelRect& selection, int32_t imageWidth, int32_t imageHeight);

// The part of `view` that `rect` covers on a picture of imageWidth by
// imageHeight pixels showing it; fractions beyond 0..1 reach outside it.
PlaneRect MapToPlane(const PixelRect& rect, const PlaneRect& view, int32_t imageWidth, int32_t imageHeight);

// The magnification that zooming into `rect` gives, 2 over its mean
// half-side; none when that half-side is 0 (there is nothing to zoom into).
std::optional<double> PickMagnification(const PlaneRect& rect);

// The view rectangle of the record (XMin..YMax).
PlaneRect ViewOf(const TIterationContext& ctx);

// Stores a pick as the rectangle not yet zoomed into (SelXMin..SelYMax,
// its centre, the view's centre as the previous one, the magnification).
void RecordPick(TIterationContext& ctx, const PlaneRect& picked, double magnification);

// Makes the picked rectangle the view: its edges, its centre and the
// magnification the pick gave.
void ZoomIntoPick(TIterationContext& ctx);

// The point of the plane at pixel (px, py) of a picture whose pixel (0, 0)
// lies at `origin`, `step` apart: where the generation places that pixel.
PlanePoint PixelToPlane(int32_t px, int32_t py, PlanePoint origin, PlanePoint step);

// The point that pixel shows in the picture: the placed point turned or
// mirrored by the rotation mode, as the pixel is computed.
PlanePoint PointShown(PlanePoint placed, int32_t rotationMode);

// --- Views of any depth ---
// Below this magnification a view that the doubles hold is navigated with
// the doubles alone, bit for bit as always; from here on (or once a text
// says more than its double) every step works on the exact digits and
// changes the texts and the doubles together.
constexpr double kExactNavigationFrom = 1e10;

// Whether navigation from this view works on its exact digits.
bool NavigatesExactly(const TIterationContext& ctx, const ExactView& view);

// The exact target of a pick, and the record's pick (Sel* fields) it
// belongs to: once those change, the pick is no longer this one.
struct ExactPick {
    std::string centerX, centerY, magnification;
    double selXMin = 0.0, selXMax = 0.0, selYMin = 0.0, selYMax = 0.0, selMagnification = 0.0;
};

enum class PickOutcome { Picked, NothingToZoomInto, TooDeep };

// Picks `rect` of the picture showing the view: the record's pick as
// RecordPick(MapToPlane(...)) stores it, and, where navigation is exact
// (or the pick goes that deep), its exact target in `pick` (else `pick` is
// cleared). Nothing changes unless it is Picked: a rectangle of no size, or
// one that would pass the deepest magnification, is refused.
PickOutcome PickRectangle(TIterationContext& ctx, const ExactView& view, const PixelRect& rect, ExactPick& pick);

// ZoomIntoPick, taking the exact target where `pick` belongs to the
// record's pick; the view's texts follow (cleared where the doubles rule).
void ZoomIntoPick(TIterationContext& ctx, ExactView& view, const ExactPick& pick);

// The plane point at pixel (px, py) of a picture of the record's size
// showing the view exactly, as texts with `extraDigits` beyond those that
// tell neighbouring pixels apart, and their nearest doubles.
struct ExactPoint {
    std::string x, y;
    PlanePoint nearest;
};
ExactPoint ExactPlanePoint(const TIterationContext& ctx, const ExactView& view, int32_t px, int32_t py,
                           long extraDigits);
// The same point turned or mirrored as PointShown turns it.
ExactPoint ExactPointShown(ExactPoint placed, int32_t rotationMode);

// The Julia-point pick at pixel (px, py): on a view navigated exactly, the
// point with every digit the view keeps; else `placed`, the point the
// doubles give, as always.
void PickJuliaConstant(TIterationContext& ctx, ExactView& view, int32_t px, int32_t py, PlanePoint placed);

// ResetCoordinates, the view's texts of centre and magnification with it.
void ResetView(TIterationContext& ctx, ExactView& view);

// The continuous motions on the exact digits: the view magnified by
// `factor` keeping the plane point at picture position (px, py) where it is
// (fractions allowed; position u lies at xMin + u * step of the grid the
// record's centre, magnification and size give), or moved by (dx, dy)
// pixels (right and down positive). The texts and the doubles change
// together; false, changing nothing, for a factor that is not a positive
// number or a magnification beyond the deepest.
bool ZoomAtPositionExactly(TIterationContext& ctx, ExactView& view, double px, double py, double factor);
bool PanByPixelsExactly(TIterationContext& ctx, ExactView& view, double dx, double dy);
// --- Moving about continuously: wheel, pinch, drag and keys ---
//
// Pixels here are positions on the picture in picture pixels, fractions
// allowed: position u lies at xMin + u * stepX of the grid that the
// record's centre, magnification and size give, as pixel u is placed.

// The grid a generation of the record computes: the view fitted to the
// image's proportions, as BeginGeneration fits it.
PixelGrid GridOf(const TIterationContext& ctx);

// Magnifies the view by `factor` (above 1 zooms in) keeping the plane point
// at position (px, py) where it is on the picture. Returns false, changing
// nothing, where the result would not be a finite view (factor not
// positive, or magnification or centre beyond the doubles).
bool ZoomAtPixel(TIterationContext& ctx, double px, double py, double factor);
// The same about the picture's centre: the centre stays exactly.
bool ZoomAboutCentre(TIterationContext& ctx, double factor);

// Moves the picture's content by (dx, dy) pixels (right and down positive):
// the centre moves the other way by as many pixel steps.
bool PanByPixels(TIterationContext& ctx, double dx, double dy);

// Makes the record's view its picked rectangle too (as a click zoom leaves
// it): a Zoom without a new pick then keeps the view.
void PickTheView(TIterationContext& ctx);

// The motions on a view of any depth, as the window makes them: with the
// doubles, bit for bit as above, while the view is navigated with them and
// the result stays below kExactNavigationFrom; else on the exact digits
// (the texts and the doubles together, cleared where the doubles rule).
bool ZoomAtPosition(TIterationContext& ctx, ExactView& view, double px, double py, double factor);
bool ZoomAboutCentre(TIterationContext& ctx, ExactView& view, double factor);
bool PanByPixels(TIterationContext& ctx, ExactView& view, double dx, double dy);
// PickTheView, with the view's exact digits as the pick's target where it
// has any (else `pick` is cleared), so that a Zoom keeps every digit.
void PickTheView(TIterationContext& ctx, const ExactView& view, ExactPick& pick);

// Where each position of one grid's picture lies on another's:
// to = from * scale + offset, in each direction.
struct GridMapping {
    double scaleX = 1.0, scaleY = 1.0;
    double offsetX = 0.0, offsetY = 0.0;
    bool operator==(const GridMapping&) const = default;
};
GridMapping MapGrid(const PixelGrid& from, const PixelGrid& to);
// The same for the pictures of two views at their records' sizes: on the
// exact digits where either view is navigated exactly (doubles cannot tell
// a deep picture's pixels apart), else MapGrid(GridOf(from), GridOf(to)).
GridMapping MapViews(const TIterationContext& from, const ExactView& fromView, const TIterationContext& to,
                     const ExactView& toView);

}  // namespace engine
