// The arithmetic of clicks and selections, with the worked values of a
// 320 by 240 picture of the reset view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "picture_settings.h"
#include "view_navigation.h"

namespace {

using engine::PixelRect;

TEST(Navigation, ClicksAndSelectionsPickRectanglesOfThePicturesProportions) {
    EXPECT_EQ(engine::ClickRectangle(160, 120, 320, 240, true), (PixelRect{80, 60, 160, 120}));
    EXPECT_EQ(engine::ClickRectangle(160, 120, 320, 240, false), (PixelRect{-160, -120, 640, 480}));
    EXPECT_EQ(engine::ClickRectangle(0, 0, 320, 240, true), (PixelRect{-80, -60, 160, 120}));
    // The mean side (60) and the centre (60, 20) stay.
    EXPECT_EQ(engine::SelectionRectangle(PixelRect{10, 10, 100, 20}, 320, 240), (PixelRect{26, -6, 69, 51}));
    // The unrounded sizes place the edges: 6.29 by 4.71 about (10.5, 15)
    // gives left 7 and top 13 (the rounded 6 by 5 would give 8 and 12).
    EXPECT_EQ(engine::SelectionRectangle(PixelRect{10, 10, 1, 10}, 320, 240), (PixelRect{7, 13, 6, 5}));
}

TEST(Navigation, APickMapsOntoTheViewAndGivesItsMagnification) {
    TIterationContext ctx{};
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = 320;
    ctx.ImageHeight = 240;
    engine::FitViewToImage(ctx);
    const engine::PlaneRect in = engine::MapToPlane(PixelRect{80, 60, 160, 120}, engine::ViewOf(ctx), 320, 240);
    EXPECT_NEAR(in.xMin, -1.16666666667, 5e-11);
    EXPECT_NEAR(in.xMax, 1.16666666667, 5e-11);
    EXPECT_NEAR(in.yMin, -0.875, 5e-11);
    EXPECT_NEAR(in.yMax, 0.875, 5e-11);
    EXPECT_NEAR(engine::PickMagnification(in).value(), 1.95918367347, 5e-11);
    const engine::PlaneRect out = engine::MapToPlane(PixelRect{-160, -120, 640, 480}, engine::ViewOf(ctx), 320, 240);
    EXPECT_NEAR(engine::PickMagnification(out).value(), 0.489795918367, 5e-12);
    EXPECT_FALSE(engine::PickMagnification(engine::PlaneRect{1.0, 1.0, 2.0, 2.0}).has_value());

    engine::RecordPick(ctx, in, *engine::PickMagnification(in));
    engine::ZoomIntoPick(ctx);
    engine::FitViewToImage(ctx);
    EXPECT_NEAR(ctx.XMax, 1.19097222222, 5e-11);
    EXPECT_NEAR(ctx.YMin, -0.893229166667, 5e-11);
    EXPECT_NEAR(ctx.CenterX, 0.0, 1e-15);
}

TEST(Navigation, ThePointShownFollowsTheRotation) {
    const engine::PlanePoint placed = engine::PixelToPlane(40, 30, {-2.0, -1.5}, {0.025, 0.05});
    EXPECT_DOUBLE_EQ(placed.x, -1.0);
    EXPECT_DOUBLE_EQ(placed.y, 0.0);
    const engine::PlanePoint p{0.25, -0.5};
    EXPECT_EQ(engine::PointShown(p, 0).x, 0.25);
    EXPECT_EQ(engine::PointShown(p, 1).x, -0.5);
    EXPECT_EQ(engine::PointShown(p, 1).y, 0.25);
    EXPECT_EQ(engine::PointShown(p, 2).x, 0.5);
    EXPECT_EQ(engine::PointShown(p, 2).y, -0.25);
    EXPECT_EQ(engine::PointShown(p, 3).x, -0.25);
    EXPECT_EQ(engine::PointShown(p, 3).y, 0.5);
}

// Wheel, pinch, drag and keys: the plane point under the cursor stays, a
// drag moves the content by whole pixel steps, and the preview's mapping
// puts the old picture where the new one will show the same points.
TEST(Navigation, ZoomAndPanKeepThePointsUnderTheCursor) {
    struct Case {
        int32_t width, height;
        double centerX, centerY, magnification;
        double px, py, factor;
    };
    const Case cases[] = {
        {320, 240, 0.0, 0.0, 1.0, 100.25, 37.5, 1.4142135623730951},
        {1280, 800, -0.7435, 0.1314, 200.0, 0.0, 799.0, 1.0 / 1.4142135623730951},
        {7, 1000, 3.0, -2.0, 0.01, 6.5, 0.0, 1.0905077326652577},
        {2560, 1600, -1.25, 0.02, 1e6, 1700.0, 1234.0, 2.0},
    };
    for (const Case& c : cases) {
        TIterationContext ctx{};
        ctx.ImageWidth = c.width;
        ctx.ImageHeight = c.height;
        ctx.CenterX = c.centerX;
        ctx.CenterY = c.centerY;
        ctx.Magnification = c.magnification;
        const engine::PixelGrid before = engine::GridOf(ctx);
        // The grid is the one a generation computes.
        TIterationContext fitted = ctx;
        engine::FitViewToImage(fitted);
        EXPECT_EQ(before.xMin, fitted.XMin);
        EXPECT_EQ(before.stepY, (fitted.YMax - fitted.YMin) / c.height);

        ASSERT_TRUE(engine::ZoomAtPixel(ctx, c.px, c.py, c.factor));
        EXPECT_DOUBLE_EQ(ctx.Magnification, c.magnification * c.factor);
        const engine::PixelGrid after = engine::GridOf(ctx);
        const double scale = std::fabs(before.stepX) * 1e-6 + 1e-15;
        EXPECT_NEAR(after.xMin + c.px * after.stepX, before.xMin + c.px * before.stepX, scale);
        EXPECT_NEAR(after.yMin + c.py * after.stepY, before.yMin + c.py * before.stepY, scale);
        // The preview puts the old pixel under the cursor under the cursor, scaled by the factor.
        const engine::GridMapping m = engine::MapGrid(before, after);
        EXPECT_NEAR(m.scaleX, c.factor, 1e-9 * c.factor);
        EXPECT_NEAR(c.px * m.scaleX + m.offsetX, c.px, 1e-6);
        EXPECT_NEAR(c.py * m.scaleY + m.offsetY, c.py, 1e-6);

        const TIterationContext unpanned = ctx;
        ASSERT_TRUE(engine::PanByPixels(ctx, 12.0, -3.0));
        const engine::GridMapping moved = engine::MapGrid(engine::GridOf(unpanned), engine::GridOf(ctx));
        EXPECT_NEAR(moved.offsetX, 12.0, 1e-6);
        EXPECT_NEAR(moved.offsetY, -3.0, 1e-6);
        EXPECT_EQ(ctx.Magnification, unpanned.Magnification);

        // About the centre, the centre stays exactly.
        ASSERT_TRUE(engine::ZoomAboutCentre(ctx, 2.0));
        EXPECT_EQ(ctx.CenterX, unpanned.CenterX - 12.0 * engine::GridOf(unpanned).stepX);
        EXPECT_EQ(ctx.Magnification, unpanned.Magnification * 2.0);
    }
    // What would not be a view changes nothing.
    TIterationContext ctx{};
    ctx.ImageWidth = 16;
    ctx.ImageHeight = 16;
    ctx.Magnification = 1e300;
    const TIterationContext kept = ctx;
    EXPECT_FALSE(engine::ZoomAtPixel(ctx, 1.0, 1.0, 1e10));
    EXPECT_FALSE(engine::ZoomAtPixel(ctx, 1.0, 1.0, 0.0));
    EXPECT_FALSE(engine::ZoomAboutCentre(ctx, -2.0));
    ctx.Magnification = 1e-300;
    EXPECT_FALSE(engine::PanByPixels(ctx, 1e300, 0.0));
    ctx.Magnification = kept.Magnification;
    EXPECT_EQ(std::memcmp(&ctx, &kept, sizeof ctx), 0);
}

}  // namespace
