// The arithmetic of clicks and selections, with the worked values of a
// 320 by 240 picture of the reset view.
#include <gtest/gtest.h>

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

}  // namespace
