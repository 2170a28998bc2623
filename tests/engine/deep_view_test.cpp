// Views of any depth: the texts' arithmetic, and navigation that keeps the
// exact digits and the record's doubles together.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>

#include "deep_view.h"
#include "exact_arithmetic.h"
#include "picture_settings.h"
#include "view_navigation.h"

namespace engine {
namespace {

using exact::Real;

TEST(DeepViewTexts, RoundingSumsAndComparisons) {
    const mpfr_prec_t bits = exact::BitsForDigits(60);
    struct Fixed {
        const char* value;
        long digits;
        const char* text;
    } const fixed[] = {
        {"0.996", 2, "1"},       {"0.994", 2, "0.99"},    {"-0.949", 1, "-0.9"},   {"0.00049", 3, "0"},
        {"0.00051", 3, "0.001"}, {"123.4567", 0, "123"},  {"-2.5E-30", 31, "-2.5E-30"},
        {"1.23456789012345678E20", 2, "1.23456789012345678E20"},
    };
    for (const Fixed& c : fixed) EXPECT_EQ(exact::FixedText(exact::Parse(c.value, bits), c.digits), c.text) << c.value;
    EXPECT_EQ(exact::SignificantText(exact::Parse("1.9591836734693877551020408", bits), 20), "1.9591836734693877551");
    EXPECT_EQ(exact::SignificantText(exact::Parse("123456789E992", bits), 20), "1.23456789E1000");

    EXPECT_EQ(AddTexts("0.1", "0.2"), "0.3");
    EXPECT_EQ(AddTexts("-0.743643887037158704752191506114774", "0.1"), "-0.643643887037158704752191506114774");
    EXPECT_EQ(AddTexts("1E-60", "-0.1"), "-0.099999999999999999999999999999999999999999999999999999999999");

    EXPECT_TRUE(SameNumber("1E5", "100000.000"));
    EXPECT_TRUE(SameNumber("-0.5", "-5e-1"));
    EXPECT_FALSE(SameNumber("0.1000000000000000000000000000001", "0.1"));
    EXPECT_TRUE(ValidViewText("-4.2E-500"));
    EXPECT_FALSE(ValidViewText(std::string(kMaxViewTextLength + 1, '1')));
    EXPECT_FALSE(ValidViewText("1E1000001"));
    EXPECT_FALSE(ValidViewText("0x1p3"));
    EXPECT_TRUE(MagnificationInRange("1E10000"));
    EXPECT_FALSE(MagnificationInRange("1.0000000000000000001E10000"));
    EXPECT_FALSE(MagnificationInRange("0"));

    EXPECT_EQ(InterpolateMagnification("1", "1E1000", 0, 599), "1");
    EXPECT_EQ(InterpolateMagnification("1", "1E1000", 599, 599), "1E1000");
    EXPECT_EQ(InterpolateMagnification("1", "1E1000", 1, 2), "1E500");
    EXPECT_EQ(InterpolateMagnification("2E400", "2E300", 1, 4), "2E375");
}

TIterationContext StartView() {
    TIterationContext ctx{};
    ApplyNewDefaults(ctx);
    ResetCoordinates(ctx);
    FitViewToImage(ctx);
    return ctx;
}

// One click of the window: the pick, then the zoom; the generation then
// fits the rectangle to the new centre.
PickOutcome Click(TIterationContext& ctx, ExactView& view, double x, double y, bool zoomIn = true) {
    ExactPick pick;
    const PickOutcome outcome =
        PickRectangle(ctx, view, ClickRectangle(x, y, ctx.ImageWidth, ctx.ImageHeight, zoomIn), pick);
    if (outcome == PickOutcome::Picked) {
        ZoomIntoPick(ctx, view, pick);
        FitViewToImage(ctx);
    }
    return outcome;
}

void ExpectTextsInCharge(const TIterationContext& ctx, const ExactView& view) {
    EXPECT_TRUE(view.centerX.empty() || TextHolds(view.centerX, ctx.CenterX)) << view.centerX;
    EXPECT_TRUE(view.centerY.empty() || TextHolds(view.centerY, ctx.CenterY)) << view.centerY;
    EXPECT_TRUE(view.magnification.empty() || TextHolds(view.magnification, ctx.Magnification)) << view.magnification;
}

// Shallow views move exactly as they always did, through the doubles alone.
TEST(DeepNavigation, ShallowViewsMoveByTheDoublesAsBefore) {
    TIterationContext ctx = StartView();
    TIterationContext before = ctx;
    ExactView view;
    for (int i = 0; i < 30; ++i) {
        const PixelRect rect = ClickRectangle(37 + i, 91 - i, ctx.ImageWidth, ctx.ImageHeight, i % 5 != 4);
        ExactPick pick;
        ASSERT_EQ(PickRectangle(ctx, view, rect, pick), PickOutcome::Picked);
        EXPECT_TRUE(pick.centerX.empty());
        RecordPick(before, MapToPlane(rect, ViewOf(before), before.ImageWidth, before.ImageHeight),
                   *PickMagnification(MapToPlane(rect, ViewOf(before), before.ImageWidth, before.ImageHeight)));
        ZoomIntoPick(ctx, view, pick);
        ZoomIntoPick(before);
        FitViewToImage(ctx);
        FitViewToImage(before);
        ASSERT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0) << i;
        EXPECT_TRUE(view.Empty());
    }
    EXPECT_LT(ctx.Magnification, kExactNavigationFrom);
}

// About 85 clicks made the rectangle collapse in the doubles; now every
// click zooms, each pixel keeps a point of its own, and the magnification
// is 96/49 to the power of the clicks (the picture is 4:3).
TEST(DeepNavigation, ClicksGoOnPastTheDoublesWithEveryDigit) {
    TIterationContext ctx = StartView();
    ExactView view;
    const int clicks = 1100;
    std::string switched;  // the magnification when the digits took over
    int exactClicks = 0;
    for (int i = 0; i < clicks; ++i) {
        const std::string before = ExactText(view.magnification, ctx.Magnification);
        ASSERT_EQ(Click(ctx, view, 81 + i % 3, 59), PickOutcome::Picked) << i;
        ExpectTextsInCharge(ctx, view);
        if (!view.magnification.empty() && switched.empty()) switched = before;
        if (!switched.empty()) ++exactClicks;
        if (ctx.Magnification > 1e11) {
            ASSERT_FALSE(view.centerX.empty()) << i;
            ASSERT_FALSE(view.magnification.empty()) << i;
        }
    }
    // Below 1e10 the doubles lose a few digits of the magnification, as they
    // always did; from there on each click multiplies it by 96/49 exactly,
    // to its 20 digits.
    const mpfr_prec_t bits = exact::BitsForDigits(60);
    EXPECT_LT(exact::Parse(switched, bits), Real(kExactNavigationFrom, bits));
    const Real expected = exact::Parse(switched, bits) * mpfr::pow(Real(96, bits) / 49, exactClicks);
    const Real got = exact::Parse(view.magnification, bits);
    EXPECT_LT(mpfr::abs(got / expected - 1), Real("1e-17", bits)) << view.magnification;
    EXPECT_EQ(ctx.Magnification, DBL_MAX);  // beyond the doubles: the largest

    // Neighbouring pixels show points of their own.
    const ExactPoint a = ExactPlanePoint(ctx, view, 10, 10, 1);
    const ExactPoint b = ExactPlanePoint(ctx, view, 11, 10, 1);
    EXPECT_NE(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.nearest.x, b.nearest.x);  // which the doubles cannot tell apart

    // The centre moved by (7/3)(px - 80) / (80 m) at each click: the last
    // click's step, computed here on its own.
    TIterationContext next = ctx;
    ExactView nextView = view;
    ASSERT_EQ(Click(next, nextView, 123, 45), PickOutcome::Picked);
    const long digits = exact::CentreDigits(got);
    const mpfr_prec_t fine = exact::BitsForDigits(digits + 40);
    const Real m = exact::Parse(view.magnification, fine);
    const Real stepX = Real(7, fine) / 3 * 43 / (80 * m);
    const Real wantX = exact::Parse(view.centerX, fine) + stepX;
    EXPECT_LE(mpfr::abs(exact::Parse(nextView.centerX, fine) - wantX), mpfr::pow(Real(10, fine), -digits))
        << nextView.centerX;
    const Real wantY = exact::Parse(view.centerY, fine) - Real(7, fine) / 4 / (4 * m);
    EXPECT_LE(mpfr::abs(exact::Parse(nextView.centerY, fine) - wantY), mpfr::pow(Real(10, fine), -digits))
        << nextView.centerY;
}

TEST(DeepNavigation, TheDeepestMagnificationIsABound) {
    TIterationContext ctx = StartView();
    ExactView view{"0.25", "-1E-9990", "5E9999", "", ""};
    SetFromText(view.centerX, ctx.CenterX, view.centerX);
    SetFromText(view.centerY, ctx.CenterY, view.centerY);
    SetFromText(view.magnification, ctx.Magnification, view.magnification);
    const TIterationContext before = ctx;
    ExactPick pick;
    EXPECT_EQ(PickRectangle(ctx, view, PixelRect{3, 3, 1, 1}, pick), PickOutcome::TooDeep);
    EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0);
    EXPECT_EQ(PickRectangle(ctx, view, PixelRect{3, 3, 0, 0}, pick), PickOutcome::NothingToZoomInto);
    // Zooming out from there works, and so does coming back up.
    ASSERT_EQ(Click(ctx, view, 80, 60, false), PickOutcome::Picked);
    EXPECT_EQ(view.magnification, "2.4489795918367346939E9999");
    EXPECT_EQ(view.centerY, "-1E-9990");
}

// Wheel, pinch, drag and key motions at depth: the point under the
// pointer stays, and motions undone bring back the very digits.
TEST(DeepNavigation, ContinuousMotionsKeepThePointAndComeBack) {
    TIterationContext ctx = StartView();
    ExactView view{"-1.76853748529662188490298173839241573801", "4.2E-45", "3.7500000000000000001E40", "", ""};
    SetFromText(view.centerX, ctx.CenterX, view.centerX);
    SetFromText(view.centerY, ctx.CenterY, view.centerY);
    SetFromText(view.magnification, ctx.Magnification, view.magnification);
    const ExactView start = view;
    const ExactPoint under = ExactPlanePoint(ctx, view, 37, 90, 3);
    const TIterationContext startCtx = ctx;
    ASSERT_TRUE(ZoomAtPositionExactly(ctx, view, 37, 90, 8.0));
    EXPECT_EQ(view.magnification, "3.0000000000000000001E41");
    // The preview: the old picture scaled by 8 about that position.
    GridMapping m = MapViews(startCtx, start, ctx, view);
    EXPECT_NEAR(m.scaleX, 8.0, 1e-12);
    EXPECT_NEAR(m.scaleY, 8.0, 1e-12);
    EXPECT_NEAR(37 * m.scaleX + m.offsetX, 37.0, 1e-6);
    EXPECT_NEAR(90 * m.scaleY + m.offsetY, 90.0, 1e-6);
    const ExactPoint after = ExactPlanePoint(ctx, view, 37, 90, 3);
    EXPECT_EQ(after.x.substr(0, under.x.size() - 3), under.x.substr(0, under.x.size() - 3));
    ASSERT_TRUE(ZoomAtPositionExactly(ctx, view, 37, 90, 0.125));
    EXPECT_EQ(view, start);
    ASSERT_TRUE(PanByPixelsExactly(ctx, view, 3.5, -2));
    EXPECT_NE(view.centerX, start.centerX);
    m = MapViews(startCtx, start, ctx, view);
    EXPECT_NEAR(m.offsetX, 3.5, 1e-6);
    EXPECT_NEAR(m.offsetY, -2.0, 1e-6);
    EXPECT_NEAR(m.scaleX, 1.0, 1e-12);
    ASSERT_TRUE(PanByPixelsExactly(ctx, view, -3.5, 2));
    EXPECT_EQ(view, start);
    ExpectTextsInCharge(ctx, view);
    EXPECT_FALSE(ZoomAtPositionExactly(ctx, view, 1, 1, 0.0));
    EXPECT_FALSE(ZoomAtPositionExactly(ctx, view, 1, 1, 1e300 * 1e300));
    EXPECT_EQ(view, start);
}

// The window's wheel: by the doubles, bit for bit, while the view is
// shallow; on past them with every digit; and a Zoom afterwards (the view
// as its own pick) keeps the digits.
TEST(DeepNavigation, TheWheelGoesOnPastTheDoubles) {
    TIterationContext ctx = StartView();
    TIterationContext doubles = ctx;
    ExactView view;
    const double notch = 1.4142135623730951;
    int notches = 0;
    for (; ctx.Magnification < 1e9; ++notches) {
        ASSERT_TRUE(ZoomAtPosition(ctx, view, 101.5, 33.25, notch));
        ASSERT_TRUE(ZoomAtPixel(doubles, 101.5, 33.25, notch));
        ASSERT_EQ(std::memcmp(&ctx, &doubles, sizeof ctx), 0) << notches;
        ASSERT_TRUE(view.Empty());
    }
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(ZoomAtPosition(ctx, view, 101.5 + i % 7, 33.25, notch)) << i;
        ExpectTextsInCharge(ctx, view);
    }
    ASSERT_FALSE(view.magnification.empty());
    const mpfr_prec_t bits = exact::BitsForDigits(40);
    const Real m = exact::Parse(view.magnification, bits);
    EXPECT_GT(m, Real("1e38", bits));
    EXPECT_LT(m, Real("1e40", bits));
    const ExactPoint a = ExactPlanePoint(ctx, view, 10, 10, 1);
    const ExactPoint b = ExactPlanePoint(ctx, view, 11, 10, 1);
    EXPECT_NE(a.x, b.x);

    // Keys: zoom about the centre keeps the centre's digits; pans by pixels.
    const ExactView before = view;
    ASSERT_TRUE(ZoomAboutCentre(ctx, view, 2.0));
    EXPECT_EQ(view.centerX, before.centerX);
    EXPECT_EQ(view.centerY, before.centerY);
    ASSERT_TRUE(PanByPixels(ctx, view, 16, 0));
    ASSERT_TRUE(PanByPixels(ctx, view, -16, 0));
    ASSERT_TRUE(ZoomAboutCentre(ctx, view, 0.5));
    EXPECT_EQ(view, before);

    // Draw after the wheel: the picked view is the view, every digit.
    ExactPick pick;
    PickTheView(ctx, view, pick);
    ZoomIntoPick(ctx, view, pick);
    EXPECT_EQ(view, before);
    ExpectTextsInCharge(ctx, view);
}

TEST(DeepNavigation, JuliaPickResetAndAStalePick) {
    TIterationContext ctx = StartView();
    ExactView view;
    // Shallow: the point the doubles give, no texts.
    PickJuliaConstant(ctx, view, 5, 6, PlanePoint{0.25, -0.5});
    EXPECT_EQ(ctx.JuliaX, 0.25);
    EXPECT_EQ(ctx.JuliaY, -0.5);
    EXPECT_TRUE(view.juliaX.empty());

    view.centerX = "-0.7436438870371587047521915061147";
    view.centerY = "0.13182590420532197049";
    view.magnification = "1E20";
    SetFromText(view.centerX, ctx.CenterX, view.centerX);
    SetFromText(view.centerY, ctx.CenterY, view.centerY);
    SetFromText(view.magnification, ctx.Magnification, view.magnification);
    FitViewToImage(ctx);
    // Deep: the pixel's point with every digit the view keeps (the centre
    // pixel of 160 by 120 is the centre itself).
    PickJuliaConstant(ctx, view, 80, 60, PlanePoint{0.25, -0.5});
    EXPECT_EQ(view.juliaX, "-0.7436438870371587047521915061147");
    EXPECT_EQ(view.juliaY, "0.13182590420532197049");
    EXPECT_TRUE(TextHolds(view.juliaX, ctx.JuliaX));

    // A pick that the record no longer holds (a reset in between) is not zoomed into.
    ExactPick pick;
    ASSERT_EQ(PickRectangle(ctx, view, ClickRectangle(10, 10, 160, 120, true), pick), PickOutcome::Picked);
    ResetView(ctx, view);
    EXPECT_TRUE(view.centerX.empty() && view.magnification.empty());
    EXPECT_FALSE(view.juliaX.empty());
    ZoomIntoPick(ctx, view, pick);
    EXPECT_EQ(ctx.CenterX, 0.0);
    EXPECT_EQ(ctx.Magnification, 1.0);
    EXPECT_TRUE(view.centerX.empty());
}

}  // namespace
}  // namespace engine
