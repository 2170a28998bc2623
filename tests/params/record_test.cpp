// Settings records: the comment pictures carry, and the history of them.
#include "params_test_support.h"
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

}  // namespace
