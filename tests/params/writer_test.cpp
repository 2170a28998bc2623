// Writing parameter files, and files that come back as they went out.
#include <clocale>
#include <cmath>
#include <locale>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "params_test_support.h"

namespace {

using params::LoadOutcome;
using namespace params_test;

// Every field the file carries, each with a value of its own, so that two
// fields swapped between lines show.
void FillDistinct(TIterationContext& ctx) {
    ctx.FormulaNo = 6;
    ctx.RenderNo = 9;
    ctx.FormulaName = "fractal formula";
    ctx.RenderName = "render formula";
    ctx.Magnification = 1.95918367346939;
    ctx.CenterX = -0.743643887037151;
    ctx.XMax = 2.5e-7;
    ctx.CenterY = 0.131825904205330;
    ctx.YMax = -1.5e20;
    ctx.RedStart = 31.25;
    ctx.GrnStart = 17.5;
    ctx.BluStart = 29.75;
    ctx.RedStep = 1.1;
    ctx.GrnStep = 1.2;
    ctx.BluStep = 1.3;
    ctx.ReservedNo = -42;
    ctx.Maxit = 3999;
    ctx.BlendNo = 26;
    ctx.ColorOrderNo = 5;
    ctx.dFactor3 = 0.0005;
    ctx.dFactor4 = 5e-5;
    ctx.dFactor5 = 8.125;
    ctx.epsilon = 0.0625;
    ctx.Bailout = 2147483647;
    ctx.JuliaMode = 1;
    ctx.JuliaFixed = 1;
    ctx.InsideOut = 1;
    ctx.JuliaX = -0.8;
    ctx.JuliaY = 0.156;
    ctx.RotationMode = 3;
    ctx.RedSaturate = 100.5;
    ctx.GrnSaturate = 110.5;
    ctx.BluSaturate = 120.5;
    ctx.RedOffset = 1e-20;
    ctx.GrnOffset = 999999999999999.0;
    ctx.BluOffset = -2.33333333333333;
}

// Writes `ctx` with one mark and reads it back through a file.
Settings RoundTrip(const TIterationContext& ctx, char writeMark, char readMark) {
    TempFolder folder;
    const std::string path = folder.File("round.vtx");
    EXPECT_EQ(params::WriteParameterFile(path, ctx, writeMark), "");
    Settings s;
    RecordingSink sink;
    EXPECT_EQ(params::LoadParameters(path, s.Target(), sink, readMark), LoadOutcome::Loaded);
    EXPECT_TRUE(sink.shown.empty());
    return s;
}

TEST(WriteParameterFile, NewSettingsGiveTheKnownLines) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    const std::string expected = JoinLines(kNewFileLines, "\r\n");
    EXPECT_EQ(params::ParameterFileText(ctx, '.'), expected);

    TempFolder folder;
    const std::string path = folder.File("pic.vtx");
    ASSERT_EQ(params::WriteParameterFile(path, ctx, '.'), "");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"pic.vtx"});
}

TEST(WriteParameterFile, CommaMarkAndNameLines) {
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    ctx.FormulaName = nullptr;
    ctx.RenderName = "two\r\nlines";
    const std::string text = params::ParameterFileText(ctx, ',');
    std::vector<std::string> lines = kNewFileLines;
    lines[4] = "";
    lines[5] = "two  lines";
    lines[25] = "0,05";
    EXPECT_EQ(text, JoinLines(lines, "\r\n"));
}

TEST(WriteParameterFile, EveryFieldComesBackWithEitherMark) {
    TIterationContext ctx{};
    FillDistinct(ctx);
    for (char writeMark : {'.', ','}) {
        for (char readMark : {'.', ','}) {
            Settings s = RoundTrip(ctx, writeMark, readMark);
            ExpectSameFileFields(s.ctx, ctx);
            EXPECT_EQ(s.ctx.CRe, ctx.JuliaX);
            EXPECT_EQ(s.ctx.CIm, ctx.JuliaY);
            EXPECT_EQ(s.LastFormulaNo, ctx.FormulaNo);
        }
    }
}

// The view comes back exactly (its extension lines); the other reals as
// their 15 digits say, non-finite ones included.
TEST(WriteParameterFile, ViewsComeBackExactlyOtherValuesRounded) {
    TIterationContext ctx{};
    FillDistinct(ctx);
    ctx.Magnification = 1.959183673469388;
    ctx.JuliaY = 0.1 + 0.2;
    ctx.RedStep = 1.959183673469388;
    ctx.RedStart = std::numeric_limits<double>::quiet_NaN();
    ctx.GrnStart = -std::numeric_limits<double>::infinity();
    ctx.BluOffset = std::numeric_limits<double>::denorm_min();
    Settings s = RoundTrip(ctx, ',', '.');
    EXPECT_EQ(s.ctx.Magnification, 1.959183673469388);
    EXPECT_EQ(s.ctx.JuliaY, 0.1 + 0.2);
    EXPECT_EQ(s.ctx.RedStep, 1.95918367346939);
    EXPECT_TRUE(std::isnan(s.ctx.RedStart));
    EXPECT_EQ(s.ctx.GrnStart, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(s.ctx.BluOffset, std::numeric_limits<double>::denorm_min());
}

TEST(WriteParameterFile, ReplacesAnOlderFileWhole) {
    TempFolder folder;
    const std::string path = folder.File("pic.vtx");
    WriteBytes(path, std::string(5000, 'x'));
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    ASSERT_EQ(params::WriteParameterFile(path, ctx, '.'), "");
    EXPECT_EQ(ReadBytes(path), params::ParameterFileText(ctx, '.'));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"pic.vtx"});
}

TEST(WriteParameterFile, ReportsWhatCannotBeWrittenAndLeavesNoDebris) {
    TempFolder folder;
    WriteBytes(folder.File("plain"), "not a folder");
    std::filesystem::create_directory(folder.File("taken.vtx"));
    WriteBytes(folder.File("taken.vtx/inside"), "kept");
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    for (const std::string& path :
         {folder.File("absent/pic.vtx"), folder.File("plain/pic.vtx"), folder.File("taken.vtx")}) {
        const std::string error = params::WriteParameterFile(path, ctx, '.');
        EXPECT_EQ(error.rfind("Cannot write parameter file: " + path + " (", 0), 0u) << error;
    }
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"plain", "taken.vtx"}));
    EXPECT_EQ(ReadBytes(folder.File("taken.vtx/inside")), "kept");
    EXPECT_EQ(ReadBytes(folder.File("plain")), "not a folder");
}

TEST(WriteParameterFile, ReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempFolder folder;
    const std::string path = folder.File("pic.vtx");
    WriteBytes(path, "old contents");
    ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
    TIterationContext ctx{};
    ApplyNewSettings(ctx);
    EXPECT_NE(params::WriteParameterFile(path, ctx, '.'), "");
    EXPECT_EQ(ReadBytes(path), "old contents");
}

// Runs the test body with the environment's and the C library's locale set
// to `name`, and puts both back afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) {
        const char* old = std::getenv("LC_ALL");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("LC_ALL", name, 1);
        std::setlocale(LC_ALL, name);
    }
    ~LocaleScope() {
        if (hadOld_) {
            setenv("LC_ALL", old_.c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
        std::setlocale(LC_ALL, "C");
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

bool LocaleAvailable(const char* name) {
    try {
        std::locale probe(name);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

TEST(WriteParameterFile, FilesMoveBetweenRealLocales) {
    if (!LocaleAvailable("de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 not installed";
    TIterationContext ctx{};
    FillDistinct(ctx);
    TempFolder folder;
    const std::string commaFile = folder.File("comma.vtx");
    const std::string pointFile = folder.File("point.vtx");
    {
        LocaleScope german("de_DE.UTF-8");
        EXPECT_EQ(params::LocaleDecimalMark(), ',');
        ASSERT_EQ(params::WriteParameterFile(commaFile, ctx), "");
    }
    {
        LocaleScope plain("C");
        EXPECT_EQ(params::LocaleDecimalMark(), '.');
        ASSERT_EQ(params::WriteParameterFile(pointFile, ctx), "");
        Settings s;
        RecordingSink sink;
        ASSERT_EQ(params::LoadParameters(commaFile, s.Target(), sink), LoadOutcome::Loaded);
        EXPECT_TRUE(sink.shown.empty());
        ExpectSameFileFields(s.ctx, ctx);
    }
    {
        LocaleScope german("de_DE.UTF-8");
        Settings s;
        RecordingSink sink;
        ASSERT_EQ(params::LoadParameters(pointFile, s.Target(), sink), LoadOutcome::Loaded);
        EXPECT_TRUE(sink.shown.empty());
        ExpectSameFileFields(s.ctx, ctx);
    }
    EXPECT_NE(ReadBytes(commaFile).find("\r\n0,0625\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(pointFile).find("\r\n0.0625\r\n"), std::string::npos);
}

}  // namespace
