// Reading parameter files: every line rule, the messages and the outcomes.
#include <cmath>
#include <cstring>

#include "params_test_support.h"

namespace {

using params::LoadOutcome;
using namespace params_test;

const std::string kPath = "/pictures/pic.vtx";
const std::string kMissing = "Missing variable in parameter file: " + kPath + " using defaults";
const std::string kReadError = "Error reading parameter file";

// Settings filled with values no line of the tests holds, so that every
// field the reader touches or leaves alone shows.
Settings Untouched() {
    Settings s;
    std::memset(&s.ctx, 0x5A, sizeof s.ctx);
    s.ctx.FormulaName = nullptr;
    s.ctx.RenderName = nullptr;
    s.ctx.OrbitX = s.ctx.OrbitY = nullptr;
    return s;
}

bool SameBytes(const TIterationContext& a, const TIterationContext& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

LoadOutcome Load(Settings& s, const std::string& text, RecordingSink& sink) {
    return params::LoadParametersFromText(text, kPath, s.Target(), sink);
}

std::vector<std::string> Lines(std::initializer_list<std::pair<int, std::string>> changes,
                               size_t count = 39) {
    std::vector<std::string> lines = kNewFileLines;
    for (const auto& [line, text] : changes) lines[static_cast<size_t>(line - 1)] = text;
    lines.resize(count);
    return lines;
}

void ExpectNewSettings(const TIterationContext& ctx) {
    TIterationContext expected{};
    ApplyNewSettings(expected);
    ExpectSameFileFields(ctx, expected);
    EXPECT_EQ(ctx.CRe, 0.0);
    EXPECT_EQ(ctx.CIm, 0.0);
}

// The values of lines 21 to 39 when they are missing.
void ExpectLateDefaults(const TIterationContext& ctx) {
    EXPECT_EQ(ctx.BlendNo, 1);
    EXPECT_EQ(ctx.ColorOrderNo, 1);
    EXPECT_EQ(ctx.dFactor3, 2.0);
    EXPECT_EQ(ctx.dFactor4, 2.0);
    EXPECT_EQ(ctx.dFactor5, 8.0);
    EXPECT_EQ(ctx.epsilon, 0.05);
    EXPECT_EQ(ctx.Bailout, 4);
    EXPECT_EQ(ctx.JuliaMode, 0);
    EXPECT_EQ(ctx.JuliaFixed, 0);
    EXPECT_EQ(ctx.InsideOut, 0);
    EXPECT_EQ(ctx.JuliaX, 0.0);
    EXPECT_EQ(ctx.JuliaY, 0.0);
    EXPECT_EQ(ctx.CRe, 0.0);
    EXPECT_EQ(ctx.CIm, 0.0);
    EXPECT_EQ(ctx.RotationMode, 0);
    for (double v : {ctx.RedSaturate, ctx.GrnSaturate, ctx.BluSaturate, ctx.RedOffset,
                     ctx.GrnOffset, ctx.BluOffset})
        EXPECT_EQ(v, 127.0);
}

TEST(LoadParameters, NewFileLoadsEveryValue) {
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, JoinLines(kNewFileLines, "\r\n"), sink), LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    ExpectNewSettings(s.ctx);
    EXPECT_TRUE(s.ParamsValid);
    EXPECT_EQ(s.LastFormulaNo, 0);
    EXPECT_EQ(s.ctx.FormulaName, s.names.FormulaNameBuffer);
    EXPECT_EQ(s.ctx.RenderName, s.names.RenderNameBuffer);
}

TEST(LoadParameters, LineEndsOfEveryKind) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        Settings s = Untouched();
        RecordingSink sink;
        ASSERT_EQ(Load(s, JoinLines(kNewFileLines, end), sink), LoadOutcome::Loaded);
        EXPECT_TRUE(sink.shown.empty());
        ExpectNewSettings(s.ctx);
    }
    // Mixed ends, and a last line without any end.
    std::string mixed;
    for (size_t i = 0; i < kNewFileLines.size(); ++i)
        mixed += kNewFileLines[i] + (i + 1 == kNewFileLines.size() ? "" : i % 2 ? "\n" : "\r");
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, mixed, sink), LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    ExpectNewSettings(s.ctx);
}

TEST(LoadParameters, EitherDecimalMarkAndSurroundingBlanks) {
    const std::string text = JoinLines(
        Lines({{8, "1,5"}, {9, " -0.25 "}, {11, "\t1,25E-7"}, {26, "0,125"}, {31, "-0,75"}, {32, "3.5E20"},
               {20, " 250 "}}),
        "\r\n");
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, text, sink), LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(s.ctx.Magnification, 1.5);
    EXPECT_EQ(s.ctx.CenterX, -0.25);
    EXPECT_EQ(s.ctx.CenterY, 1.25e-7);
    EXPECT_EQ(s.ctx.epsilon, 0.125);
    EXPECT_EQ(s.ctx.Maxit, 250);
    EXPECT_EQ(s.ctx.CRe, -0.75);
    EXPECT_EQ(s.ctx.CIm, 3.5e20);
}

TEST(LoadParameters, TwentyLineFileTakesTheDefaultsOfTheLaterLines) {
    const std::string text = JoinLines(
        Lines({{2, "5"}, {3, "7"}, {8, "1.959183673469388"}, {20, "3000"}}, 20), "\r\n");
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, text, sink), LoadOutcome::Loaded);
    // One message for the file, not one for each missing line.
    EXPECT_EQ(sink.shown, std::vector<std::string>{kMissing + " (lines 21-39)"});
    EXPECT_EQ(s.ctx.FormulaNo, 5);
    EXPECT_EQ(s.ctx.RenderNo, 7);
    EXPECT_EQ(s.ctx.Magnification, 1.959183673469388);
    EXPECT_EQ(s.ctx.Maxit, 3000);
    EXPECT_EQ(s.ctx.GrnStart, 17.0);
    ExpectLateDefaults(s.ctx);
    EXPECT_TRUE(s.ParamsValid);
    EXPECT_EQ(s.LastFormulaNo, 5);
}

TEST(LoadParameters, CtrlZEndsTheFile) {
    const std::string text = JoinLines(Lines({}, 20), "\r\n") + "\x1A" + "27\r\n3\r\n";
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, text, sink), LoadOutcome::Loaded);
    EXPECT_EQ(sink.shown, std::vector<std::string>{kMissing + " (lines 21-39)"});
    ExpectLateDefaults(s.ctx);
    // Ctrl-Z in the middle of a line ends that line too.
    Settings t = Untouched();
    RecordingSink sink2;
    ASSERT_EQ(Load(t, "version-.001\r\n12\x1A" "34\r\n", sink2), LoadOutcome::Loaded);
    EXPECT_EQ(t.ctx.FormulaNo, 12);
}

TEST(LoadParameters, EmptyTextBehavesAsAFileWithoutLines) {
    Settings s = Untouched();
    const TIterationContext before = s.ctx;
    RecordingSink sink;
    ASSERT_EQ(Load(s, "", sink), LoadOutcome::Loaded);
    EXPECT_EQ(sink.shown, std::vector<std::string>{kMissing + " (lines 2-4, 8-39)"});
    EXPECT_EQ(s.ctx.FormulaNo, before.FormulaNo);
    EXPECT_EQ(s.ctx.Maxit, before.Maxit);
    EXPECT_EQ(s.ctx.Magnification, before.Magnification);
    ExpectLateDefaults(s.ctx);
    EXPECT_STREQ(s.ctx.FormulaName, "");
    EXPECT_EQ(s.LastFormulaNo, before.FormulaNo);
}

TEST(LoadParameters, AnEmptyLineInTheMiddleKeepsItsFieldAndTheRestInStep) {
    // Line 9 empty: the centre keeps its value, every other line is its own.
    const std::string text = JoinLines(Lines({{9, ""}, {8, "3"}, {20, "777"}, {27, "16"}, {39, "12"}}), "\r\n");
    Settings s = Untouched();
    const TIterationContext before = s.ctx;
    RecordingSink sink;
    ASSERT_EQ(Load(s, text, sink), LoadOutcome::Loaded);
    EXPECT_EQ(sink.shown, std::vector<std::string>{kMissing + " (line 9)"});
    EXPECT_EQ(s.ctx.Magnification, 3.0);
    EXPECT_EQ(s.ctx.CenterX, before.CenterX);
    EXPECT_EQ(s.ctx.XMax, 2.0);
    EXPECT_EQ(s.ctx.Maxit, 777);
    EXPECT_EQ(s.ctx.BlendNo, 20);
    EXPECT_EQ(s.ctx.Bailout, 16);
    EXPECT_EQ(s.ctx.RotationMode, 1);
    EXPECT_EQ(s.ctx.BluOffset, 12.0);
    EXPECT_TRUE(s.ParamsValid);
}

TEST(LoadParameters, NameLinesAreReadWhateverTheState) {
    // Line 2 blank: the name lines still take lines 5 and 6.
    const std::string text = "version-.001\r\n \r\n7\r\n0\r\nfirst name\r\nsecond name\r\nreservedtitle\r\n";
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, text, sink), LoadOutcome::Loaded);
    EXPECT_EQ(sink.shown, std::vector<std::string>{kMissing + " (lines 2, 8-39)"});
    EXPECT_EQ(s.ctx.RenderNo, 7);
    EXPECT_STREQ(s.ctx.FormulaName, "first name");
    EXPECT_STREQ(s.ctx.RenderName, "second name");
}

TEST(LoadParameters, NamesKeepAtMost99Characters) {
    const std::string longName(150, 'n');
    Settings s = Untouched();
    std::memset(s.names.FormulaNameBuffer, 'x', sizeof s.names.FormulaNameBuffer);
    RecordingSink sink;
    ASSERT_EQ(Load(s, JoinLines(Lines({{5, longName}, {6, "r"}}), "\n"), sink), LoadOutcome::Loaded);
    EXPECT_EQ(std::string(s.ctx.FormulaName), std::string(99, 'n'));
    EXPECT_STREQ(s.ctx.RenderName, "r");
    EXPECT_EQ(s.ctx.Maxit, 100);  // the long line is consumed whole
}

TEST(LoadParameters, BlendNumberAbove26IsReplacedBy1) {
    const struct {
        const char* line;
        int32_t loaded;
        bool message;
    } cases[] = {{"27", 1, true}, {"26", 26, false}, {"0", 0, false}, {"-3", -3, false},
                 {"2147483647", 1, true}};
    for (const auto& c : cases) {
        Settings s = Untouched();
        RecordingSink sink;
        ASSERT_EQ(Load(s, JoinLines(Lines({{21, c.line}}), "\r\n"), sink), LoadOutcome::Loaded);
        EXPECT_EQ(s.ctx.BlendNo, c.loaded) << c.line;
        EXPECT_EQ(sink.shown, c.message ? std::vector<std::string>{"blending .gt. 26, setting 1"}
                                        : std::vector<std::string>{})
            << c.line;
    }
}

TEST(LoadParameters, LetterOnLine2StoresNothing) {
    Settings s = Untouched();
    const TIterationContext before = s.ctx;
    RecordingSink sink;
    ASSERT_EQ(Load(s, JoinLines(Lines({{2, "x"}}), "\r\n"), sink), LoadOutcome::ReadError);
    EXPECT_EQ(sink.shown, std::vector<std::string>{kReadError});
    EXPECT_TRUE(SameBytes(s.ctx, before));
    EXPECT_EQ(s.LastFormulaNo, -7);
    EXPECT_TRUE(s.ParamsValid);
}

TEST(LoadParameters, BadLineStopsReadingAndKeepsWhatWasStored) {
    const struct {
        int line;
        const char* text;
    } cases[] = {{10, "abc"}, {20, "99999999999"}, {20, "1.5"}, {33, "NAN"}, {26, "1e999"}};
    for (const auto& c : cases) {
        Settings s = Untouched();
        const TIterationContext before = s.ctx;
        RecordingSink sink;
        ASSERT_EQ(Load(s, JoinLines(Lines({{2, "6"}, {c.line, c.text}}), "\r\n"), sink),
                  LoadOutcome::ReadError)
            << c.text;
        EXPECT_EQ(sink.shown, std::vector<std::string>{kReadError});
        EXPECT_EQ(s.ctx.FormulaNo, 6);
        EXPECT_EQ(s.ctx.Magnification, 1.0);
        EXPECT_STREQ(s.ctx.FormulaName, "fractal formula");
        EXPECT_EQ(s.ctx.BluOffset, before.BluOffset);
        EXPECT_EQ(s.LastFormulaNo, -7);
    }
}

TEST(LoadParameters, NonFiniteRealsOutsideTheViewLoad) {
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(Load(s, JoinLines(Lines({{13, "NAN"}, {26, "-INF"}}), "\r\n"), sink), LoadOutcome::Loaded);
    EXPECT_TRUE(std::isnan(s.ctx.RedStart));
    EXPECT_TRUE(std::isinf(s.ctx.epsilon) && s.ctx.epsilon < 0);
}

TEST(LoadParameters, FromFile) {
    TempFolder folder;
    const std::string path = folder.File("pic.vtx");
    WriteBytes(path, JoinLines(Lines({{20, "20"}}, 20), "\r\n"));
    Settings s = Untouched();
    RecordingSink sink;
    ASSERT_EQ(params::LoadParameters(path, s.Target(), sink), LoadOutcome::Loaded);
    EXPECT_EQ(s.ctx.Maxit, 20);
    EXPECT_EQ(sink.shown, std::vector<std::string>{"Missing variable in parameter file: " + path +
                                                   " using defaults (lines 21-39)"});
}

TEST(LoadParameters, UnopenableFileChangesNothing) {
    TempFolder folder;
    for (const std::string& path : {folder.File("absent.vtx"), folder.Path().string()}) {
        Settings s = Untouched();
        s.ParamsValid = false;
        const TIterationContext before = s.ctx;
        RecordingSink sink;
        EXPECT_EQ(params::LoadParameters(path, s.Target(), sink), LoadOutcome::CannotOpen);
        ASSERT_EQ(sink.shown.size(), 1u);
        EXPECT_EQ(sink.shown[0].rfind("Cannot open parameter file: " + path + " (", 0), 0u)
            << sink.shown[0];
        EXPECT_EQ(sink.shown[0].back(), ')');
        EXPECT_TRUE(SameBytes(s.ctx, before));
        EXPECT_FALSE(s.ParamsValid);
        EXPECT_EQ(s.LastFormulaNo, -7);
    }
}

}  // namespace
