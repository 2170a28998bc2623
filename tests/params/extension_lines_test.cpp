// The lines after the 39: the view's exact digits and the samples per pixel,
// in parameter files and in the comments pictures carry; and views that are
// not finite numbers, refused.
#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <optional>

#include "params_test_support.h"
#include "settings_record.h"

namespace {

using params::LoadOutcome;
using namespace params_test;

const std::string kPath = "/pictures/deep.vtx";

// A reader that knows only the 39 lines, as every earlier version of the
// program read them: the lines end at CR, LF or CR LF, each value line
// converts, and nothing after line 39 is read. Returns the reals of lines 8,
// 9, 11, 31 and 32, or nothing when a line fails.
std::optional<std::vector<double>> ReadAs39Lines(const std::string& text) {
    static const std::vector<int> kIntegerLines = {2, 3, 4, 19, 20, 21, 22, 27, 28, 29, 30, 33};
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size() && lines.size() < 39; ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
        } else {
            line += text[i];
        }
    }
    if (lines.size() != 39) return std::nullopt;
    std::vector<double> view;
    for (int n = 8; n <= 39; ++n) {
        const std::string& value = lines[static_cast<size_t>(n - 1)];
        const bool integer = std::find(kIntegerLines.begin(), kIntegerLines.end(), n) != kIntegerLines.end();
        if (integer ? !params::ParseInteger(value) : !params::ParseReal(value)) return std::nullopt;
        if (n == 8 || n == 9 || n == 11 || n == 31 || n == 32) view.push_back(*params::ParseReal(value));
    }
    return view;
}

std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

size_t LineCount(const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++count;
    return count;
}

TEST(ExtensionLines, ViewsThatFifteenDigitsHoldKeepTheirThirtyNineLines) {
    struct Case {
        double cx, cy, magnification, jx, jy;
    } const cases[] = {
        {0.0, 0.0, 1.0, 0.0, 0.0},
        {-0.743643887037151, 0.13182590420533, 1.95918367346939, -0.8, 0.156},
        {1e-20, -1.5e20, 123456789012345.0, 0.5, -2.33333333333333},
        // A magnification no view can have is never an extension line (the reader would not take it).
        {0.0, 0.0, -0.7436438870374389, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        TIterationContext ctx{};
        ApplyNewSettings(ctx);
        ctx.CenterX = c.cx;
        ctx.CenterY = c.cy;
        ctx.Magnification = c.magnification;
        ctx.JuliaX = c.jx;
        ctx.JuliaY = c.jy;
        const std::string text = params::ParameterFileText(ctx, '.');
        EXPECT_EQ(LineCount(text), 39u) << text;
        EXPECT_EQ(text, params::ParameterFileText(ctx, engine::ExactView{}, 1, '.'));
        EXPECT_EQ(params::SettingsComment(params::RecordSettings(ctx)).find('='), std::string::npos);
    }
}

// A centre of 0 reached by arithmetic is a few units of the last place off
// zero; 15 digits lost them, and the picture made again differed.
TEST(ExtensionLines, ACentreOffZeroComesBackBitForBit) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    ctx.CenterX = -2.220446049250313e-16;
    ASSERT_NE(*params::ParseReal("-2.22044604925031E-16"), ctx.CenterX);
    ctx.CenterY = 0.1 + 0.2;
    ctx.Magnification = 1.959183673469388;
    for (const char mark : {'.', ','}) {
        const std::string text = params::ParameterFileText(ctx, mark);
        EXPECT_EQ(LineCount(text), 42u) << text;
        EXPECT_NE(text.find(mark == '.' ? "\r\n-2.22044604925031E-16\r\n" : "\r\n-2,22044604925031E-16\r\n"),
                  std::string::npos);
        EXPECT_NE(text.find("\r\nCenterX=-2.220446049250313e-16\r\n"), std::string::npos) << text;
        Settings s;
        RecordingSink sink;
        ASSERT_EQ(params::LoadParametersFromText(text, kPath, s.Target(), sink), LoadOutcome::Loaded);
        EXPECT_TRUE(sink.shown.empty());
        EXPECT_EQ(std::memcmp(&s.ctx.CenterX, &ctx.CenterX, sizeof(double)), 0);
        EXPECT_EQ(s.ctx.CenterY, ctx.CenterY);
        EXPECT_EQ(s.ctx.Magnification, ctx.Magnification);
        // The doubles are the whole view: no text beside them.
        EXPECT_TRUE(s.view.Empty());
        EXPECT_EQ(params::ParameterFileText(s.ctx, mark), text);
    }
}

TEST(ExtensionLines, DeepViewsComeBackWithEveryDigitAndA39LineReaderLoadsTheirApproximation) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    engine::ExactView view;
    view.centerX = "-1.7685374852966218849029817383924157380126093781239478128359192837459182734591827345918"
                   "27349587123984712";
    view.centerY = "4.2E-500";
    view.magnification = "1.2345678901234567891E1000";
    view.juliaX = "-0.74364388703715870475219150611477";
    view.juliaY = "0.13182590420532197049";
    engine::NearestDouble(view.centerX, ctx.CenterX);
    engine::NearestDouble(view.centerY, ctx.CenterY);
    engine::NearestDouble(view.magnification, ctx.Magnification);
    engine::NearestDouble(view.juliaX, ctx.JuliaX);
    engine::NearestDouble(view.juliaY, ctx.JuliaY);
    EXPECT_EQ(ctx.Magnification, DBL_MAX);
    EXPECT_EQ(ctx.CenterY, 0.0);

    const std::string text = params::ParameterFileText(ctx, view, 3, ',');
    EXPECT_EQ(text.substr(0, params::ParameterFileText(ctx, ',').find("\r\nCenterX")),
              params::ParameterFileText(ctx, ',').substr(0, params::ParameterFileText(ctx, ',').find("\r\nCenterX")));
    EXPECT_EQ(text.substr(text.find("\r\nCenterX=") + 2),
              "CenterX=" + view.centerX + "\r\nCenterY=4.2E-500\r\nMagnification=1.2345678901234567891E1000\r\n"
              "JuliaX=" + view.juliaX + "\r\nJuliaY=" + view.juliaY + "\r\nSamples=3\r\n");

    const std::optional<std::vector<double>> old = ReadAs39Lines(text);
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(*old, (std::vector<double>{1.79769313486231E308, -1.76853748529662, 0.0, -0.743643887037159,
                                         0.131825904205322}));

    TempFolder folder;
    ASSERT_EQ(params::WriteParameterFile(folder.File("deep.vtx"), ctx, view, 3, ','), "");
    Settings s;
    RecordingSink sink;
    ASSERT_EQ(params::LoadParameters(folder.File("deep.vtx"), s.Target(), sink), LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(s.view, view);
    EXPECT_EQ(s.samples, 3);
    ExpectSameFileFields(s.ctx, ctx);

    // The picture's comment carries the same lines.
    params::SettingsRecord record = params::RecordSettings(ctx, view);
    record.samples = 3;
    const std::string comment = params::SettingsComment(record);
    EXPECT_NE(comment.find("\nMagnification=1.2345678901234567891E1000\nJuliaX="), std::string::npos);
    const std::optional<params::SettingsRecord> back = params::SettingsFromComment(comment);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->samples, 3);
    EXPECT_EQ(back->lines, WithoutCr(record.lines));
    Settings r;
    ASSERT_EQ(params::RestoreSettings(*back, r.Target(), sink, "deep.png"), LoadOutcome::Loaded);
    EXPECT_EQ(r.view, view);
    EXPECT_EQ(r.samples, 3);
    EXPECT_TRUE(sink.shown.empty());
}

TEST(ExtensionLines, UnknownMalformedAndStaleLinesAreIgnored) {
    // Line 9 says 0.5, line 8 says 1000.
    std::vector<std::string> lines = kNewFileLines;
    lines[8 - 1] = "1000";
    lines[9 - 1] = "0.5";
    const std::string base = JoinLines(lines, "\r\n");
    const char* const cases[] = {
        "CenterX=abc", "CenterX=", "Centerx=0.5000000000000000001", "CenterX 0.5000000000000000001",
        "CenterX=nan", "CenterX=inf", "CenterX=0.5.1", "CenterX=0.75000000000000000001",  // stale: line 9 says 0.5
        "Magnification=0", "Magnification=-1000.0000000000000001", "Magnification=1E10001", "Samples=5",
        "Samples=0", "Samples=two", "Unknown=1", "=", "\x1a" "CenterX=0.5000000000000000001",
    };
    for (const char* extension : cases) {
        Settings s;
        RecordingSink sink;
        ASSERT_EQ(params::LoadParametersFromText(base + extension + "\r\n", kPath, s.Target(), sink),
                  LoadOutcome::Loaded)
            << extension;
        EXPECT_TRUE(sink.shown.empty()) << extension;
        EXPECT_EQ(s.ctx.CenterX, 0.5) << extension;
        EXPECT_EQ(s.ctx.Magnification, 1000.0) << extension;
        EXPECT_TRUE(s.view.Empty()) << extension;
        EXPECT_EQ(s.samples, 1) << extension;
    }
    // The same line well formed is taken, whatever comes around it.
    Settings s;
    RecordingSink sink;
    ASSERT_EQ(params::LoadParametersFromText(base + "junk\r\nCenterX=0.5000000000000000001\nSamples=2", kPath,
                                             s.Target(), sink),
              LoadOutcome::Loaded);
    EXPECT_EQ(s.view.centerX, "0.5000000000000000001");
    EXPECT_EQ(s.samples, 2);
}

TEST(ExtensionLines, ViewsThatAreNotFiniteNumbersAreRefused) {
    struct Case {
        int line;
        const char* value;
        const char* what;
    } const cases[] = {
        {8, "INF", "magnification"},          {8, "nan", "magnification"},
        {9, "NAN", "view centre, real"},      {11, "-INF", "view centre, imaginary"},
        {31, "inf", "Julia constant, real"}, {32, "-nan", "Julia constant, imaginary"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = kNewFileLines;
        lines[static_cast<size_t>(c.line - 1)] = c.value;
        const std::string text = JoinLines(lines, "\r\n");
        Settings s;
        s.ctx.Maxit = 1234;
        s.view.centerX = "0.25";
        s.ParamsValid = false;
        RecordingSink sink;
        EXPECT_EQ(params::LoadParametersFromText(text, kPath, s.Target(), sink), LoadOutcome::Refused) << c.value;
        EXPECT_EQ(sink.shown, std::vector<std::string>{"Not a finite number in parameter file: " + kPath + " (line " +
                                                       std::to_string(c.line) + ", " + c.what + ": " + c.value + ")"});
        EXPECT_EQ(s.ctx.Maxit, 1234);
        EXPECT_FALSE(s.ParamsValid);
        EXPECT_EQ(s.view.centerX, "0.25");

        // The same in a picture's comment: nothing changes either.
        params::SettingsRecord record{text, 64, 48};
        Settings r;
        r.ctx.Maxit = 1234;
        r.view.centerX = "0.25";
        RecordingSink pictureSink;
        EXPECT_EQ(params::RestoreSettings(record, r.Target(), pictureSink, "p.png"), LoadOutcome::Refused);
        EXPECT_EQ(pictureSink.shown.size(), 1u);
        EXPECT_EQ(r.ctx.Maxit, 1234);
        EXPECT_EQ(r.ctx.ImageWidth, 0);
        EXPECT_EQ(r.view.centerX, "0.25");
    }
    // Other values out of range keep their old outcomes.
    std::vector<std::string> lines = kNewFileLines;
    lines[8 - 1] = "1E999";
    Settings s;
    RecordingSink sink;
    EXPECT_EQ(params::LoadParametersFromText(JoinLines(lines, "\r\n"), kPath, s.Target(), sink),
              LoadOutcome::ReadError);
    EXPECT_EQ(sink.shown, std::vector<std::string>{"Error reading parameter file"});
}

TEST(ExtensionLines, CommentsCarryTheSamplesOutsideTheLines) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    params::SettingsRecord record = params::RecordSettings(ctx);
    for (const int32_t samples : {1, 2, 4}) {
        record.samples = samples;
        const std::string comment = params::SettingsComment(record);
        EXPECT_EQ(comment.find("Samples="), samples > 1 ? comment.size() - 10 : std::string::npos) << comment;
        const std::optional<params::SettingsRecord> back = params::SettingsFromComment(comment);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->samples, samples);
        EXPECT_EQ(back->lines, WithoutCr(params::RecordSettings(ctx).lines));
    }
}

}  // namespace
