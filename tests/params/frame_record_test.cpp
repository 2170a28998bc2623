// A computed picture's record: the view's exact digits and the samples in the
// lines after the 39, only where they are needed.
#include <gtest/gtest.h>

#include "frame_record.h"
#include "params_test_support.h"
#include "picture_settings.h"

namespace {

params::RecordedPicture Picture(double centerX, double magnification, engine::ExactView view = {}, int32_t samples = 1) {
    params::RecordedPicture picture;
    engine::ApplyNewDefaults(picture.settings);
    engine::ResetCoordinates(picture.settings);
    picture.settings.CenterX = centerX;
    picture.settings.Magnification = magnification;
    picture.view = view;
    picture.samples = samples;
    return picture;
}

TEST(FrameRecord, ExtensionLinesOnlyWhere15DigitsDoNotHoldTheView) {
    // Texts that 15 digits hold, or that are not in charge, add nothing.
    for (const params::RecordedPicture& shallow :
         {Picture(-0.75, 100.0), Picture(-0.75, 100.0, {"-0.75", "", "1E2", "", ""}),
          Picture(-0.75, 100.0, {"-0.7501000000000000000001", "", "", "", ""})}) {
        EXPECT_EQ(params::RecordPicture(shallow), params::RecordSettings(shallow.settings));
    }
    const params::RecordedPicture deep =
        Picture(-0.75, 1e30, {"-0.750000000000000000000000000001", "", "1.0000000000000000000003E30", "", ""}, 3);
    const params::SettingsRecord record = params::RecordPicture(deep);
    const std::string base = params::RecordSettings(deep.settings).lines;
    ASSERT_EQ(record.lines.substr(0, base.size()), base);
    EXPECT_EQ(record.lines.substr(base.size()),
              "CenterX=-0.750000000000000000000000000001\r\nMagnification=1.0000000000000000000003E30\r\n");
    EXPECT_EQ(record.samples, 3);

    // Read back: the texts, their doubles and the samples, through the comment too.
    params_test::RecordingSink messages;
    params::RecordedPicture back;
    ASSERT_EQ(params::RestorePicture(*params::SettingsFromComment(params::SettingsComment(record)), back, messages,
                                     "frame"),
              params::LoadOutcome::Loaded);
    EXPECT_EQ(back.view.centerX, deep.view.centerX);
    EXPECT_EQ(back.view.magnification, deep.view.magnification);
    EXPECT_EQ(back.settings.CenterX, -0.75);
    EXPECT_EQ(back.settings.Magnification, 1e30);
    EXPECT_EQ(back.samples, 3);
    EXPECT_EQ(params::RecordPicture(back).lines, record.lines);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
