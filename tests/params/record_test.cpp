// Settings records: the comment pictures carry, and the history of them.
#include "image_file.h"
#include "params_test_support.h"
#include "picture_files.h"
#include "settings_history.h"
#include "settings_record.h"

namespace {

using namespace params_test;

TEST(SettingsRecord, CommentRoundTripRestoresSettingsAndSize) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    ctx.FormulaNo = 3;
    ctx.CenterX = -0.743643887037151;
    ctx.Magnification = 12345.678;
    ctx.ImageWidth = 640;
    ctx.ImageHeight = 480;
    const params::SettingsRecord record = params::RecordSettings(ctx);
    const std::string comment = params::SettingsComment(record);
    EXPECT_EQ(comment.rfind("halvane picture settings\nsize 640x480\nversion-.001\n", 0), 0u) << comment;
    EXPECT_EQ(comment.find('\r'), std::string::npos);
    const std::optional<params::SettingsRecord> back = params::SettingsFromComment(comment);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->width, 640);
    EXPECT_EQ(back->height, 480);

    Settings s;
    RecordingSink sink;
    ASSERT_EQ(params::RestoreSettings(*back, s.Target(), sink, "picture.png"), params::LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    ExpectSameFileFields(s.ctx, ctx);
    EXPECT_EQ(s.ctx.ImageWidth, 640);
    EXPECT_EQ(s.LastFormulaNo, 3);

    // Lines ended by CR LF, as a tool may leave them, read the same.
    std::string crlf;
    for (const char c : comment) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::optional<params::SettingsRecord> fromCrLf = params::SettingsFromComment(crlf);
    ASSERT_TRUE(fromCrLf.has_value());
    EXPECT_EQ(fromCrLf->width, 640);
    Settings again;
    ASSERT_EQ(params::RestoreSettings(*fromCrLf, again.Target(), sink, "picture.png"), params::LoadOutcome::Loaded);
    ExpectSameFileFields(again.ctx, ctx);

    for (const char* other : {"", "a comment of another program", "halvane picture settings\nsize 0x10\n",
                              "halvane picture settings\nsize 64 by 48\n"})
        EXPECT_FALSE(params::SettingsFromComment(other).has_value()) << other;
}

params::SettingsRecord Step(int n) { return params::SettingsRecord{std::to_string(n), 10, 10}; }

TEST(SettingsHistory, BackForwardAndABoundedPast) {
    params::SettingsHistory history;
    EXPECT_FALSE(history.CanGoBack());
    EXPECT_EQ(history.Back(), nullptr);
    history.Record(Step(1));
    history.Record(Step(2));
    history.Record(Step(2));  // the same again is no step
    history.Record(Step(3));
    EXPECT_EQ(history.Size(), 3u);
    EXPECT_FALSE(history.CanGoForward());
    EXPECT_EQ(*history.Back(), Step(2));
    EXPECT_EQ(*history.Back(), Step(1));
    EXPECT_FALSE(history.CanGoBack());
    EXPECT_EQ(*history.Forward(), Step(2));
    // A new step after going back drops what lay ahead.
    history.Record(Step(4));
    EXPECT_FALSE(history.CanGoForward());
    EXPECT_EQ(history.Size(), 3u);
    EXPECT_EQ(*history.Back(), Step(2));

    params::SettingsHistory full;
    for (int i = 0; i < 1005; ++i) full.Record(Step(i));
    EXPECT_EQ(full.Size(), params::SettingsHistory::kLimit);
    const params::SettingsRecord* oldest = nullptr;
    while (full.CanGoBack()) oldest = full.Back();
    EXPECT_EQ(*oldest, Step(5));
}

// After Back, a record is compared with the step in force, not the newest:
// the current settings again (an Apply without changes) keep the way forward.
TEST(SettingsHistory, ARecordAfterBackIsComparedWithTheCurrentStep) {
    struct Case {
        const char* what;
        int recorded;
        size_t position;
        bool canGoForward;
    };
    const Case cases[] = {
        {"the current step again", 2, 1, true},
        {"the newest step again", 3, 2, false},
        {"another step", 9, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        params::SettingsHistory history;
        for (int step : {1, 2, 3}) history.Record(Step(step));
        history.Back();
        history.Record(Step(c.recorded));
        EXPECT_EQ(history.Size(), 3u);
        EXPECT_EQ(history.Position(), c.position);
        EXPECT_EQ(history.CanGoForward(), c.canGoForward);
        if (c.canGoForward) {
            EXPECT_EQ(*history.Forward(), Step(3));
        }
    }
}

// A picture asked for its settings says why it gave none: a file that
// cannot be read is no picture without settings.
TEST(PictureSettings, AFileThatCannotBeReadSaysWhy) {
    TempFolder folder;
    imaging::Picture picture(4, 3);
    ASSERT_EQ(imaging::SaveImageFile(picture, folder.File("plain.png")), "");
    ASSERT_EQ(imaging::SaveImageFile(picture, folder.File("other.png"), "a comment of another program"), "");
    WriteBytes(folder.File("text.jpg"), "not a picture at all");
    std::filesystem::create_directory(folder.File("folder.tif"));
    struct Case {
        const char* file;
        bool carriesNone;  // a readable picture without halvane settings
    };
    for (const Case& c : {Case{"plain.png", true}, Case{"other.png", true}, Case{"missing.png", false},
                          Case{"text.jpg", false}, Case{"folder.tif", false}}) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.File(c.file);
        std::string error;
        EXPECT_FALSE(params::ReadSettingsFromPicture(path, error).has_value());
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(error.find("carries no halvane settings") != std::string::npos, c.carriesNone) << error;
    }
}

}  // namespace
