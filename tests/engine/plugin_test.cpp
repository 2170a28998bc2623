// The formulas and the iteration frame of vantrix01, against worked orbits.
#include <elf.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "plugin_fixture.h"

namespace {

TEST_F(PluginTest, TotalIsTwo) { EXPECT_EQ(plugin->TotalEntry()(), 2); }

TEST_F(PluginTest, FormulaOutsideRangeIteratesNothing) {
    orbit.X[1] = 7.0;
    for (int32_t formula : {8, 100, -1}) {
        ctx.IterCount = 99;
        Run(formula, 0.5, 0.5, 0.1, 0.1);
        EXPECT_EQ(ctx.IterCount, 0) << formula;
        EXPECT_EQ(orbit.X[1], 7.0) << formula;
    }
}

TEST_F(PluginTest, LimitZeroRecordsOnlyTheStart) {
    ctx.Maxit = 0;
    Run(0, 0.25, -0.5, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 1);
    EXPECT_EQ(orbit.X[1], 0.25);
    EXPECT_EQ(orbit.Y[1], -0.5);
    EXPECT_EQ(ctx.ZRe, 0.25);
    ctx.Maxit = -5;
    Run(3, 0.25, -0.5, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 1);
    EXPECT_EQ(ctx.ZRe, 1.0);  // formula 3 sets z to 1 before the first test
}

TEST_F(PluginTest, BailoutOfZeroOrBelowStopsAtOnce) {
    for (int32_t bailout : {0, -3}) {
        ctx.Bailout = bailout;
        Run(0, 0.0, 0.0, 0.0, 0.0);
        EXPECT_EQ(ctx.IterCount, 1);
        Run(7, 0.0, 0.0, 0.0, 0.0);
        EXPECT_EQ(ctx.IterCount, 1);
    }
}

TEST_F(PluginTest, Formula0EscapesAtTheFirstValueReachingTheBailout) {
    Run(0, 1.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 2);
    EXPECT_EQ(orbit.X[1], 1.0);
    EXPECT_EQ(orbit.X[2], 2.0);
    EXPECT_EQ(ctx.ZRe, 2.0);
    // A squared modulus equal to the bailout fails (strict comparison).
    Run(0, 2.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 1);
}

TEST_F(PluginTest, Formula0InsideRunsToTheLimitAndUnderflows) {
    ctx.Maxit = 20;
    Run(0, 0.5, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 21);
    EXPECT_EQ(ctx.ZRe, 0.0);
    EXPECT_EQ(orbit.X[3], 0.0625);
}

TEST_F(PluginTest, TheLongestOrbitFillsTheLastEntryExactly) {
    ctx.Maxit = kMaxIterationLimit;
    orbit.Hold(kMaxIterationLimit);
    const size_t entries = static_cast<size_t>(OrbitEntriesFor(kMaxIterationLimit));
    ASSERT_EQ(orbit.X.size(), entries);
    orbit.X.push_back(-99.0);  // a sentinel just past the buffer's last entry
    orbit.X[entries - 1] = 5.0;
    ctx.OrbitX = orbit.X.data();
    ctx.OrbitY = orbit.Y.data();
    Run(0, 0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, kMaxIterationLimit + 1);
    EXPECT_EQ(orbit.X[entries - 1], 0.0);
    EXPECT_EQ(orbit.X[entries], -99.0);
}

TEST_F(PluginTest, EntryZeroIsNeverWrittenAndLongOrbitsStayBehindShortOnes) {
    ctx.Maxit = 50;
    Run(0, 0.1, 0.1, 0.1, 0.1);
    EXPECT_EQ(ctx.IterCount, 51);
    const double longTail = orbit.X[40];
    Run(0, 1.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 2);
    EXPECT_EQ(orbit.X[40], longTail);
    EXPECT_EQ(orbit.X[0], 0.0);
    EXPECT_EQ(orbit.Y[0], 0.0);
}

TEST_F(PluginTest, InsideOutInvertsBeforeIterating) {
    ctx.InsideOut = 1;
    Run(99, 2.0, 0.0, 0.0, 4.0);  // no formula: only the preparation runs
    EXPECT_EQ(ctx.ZRe, 0.5);
    EXPECT_EQ(ctx.CRe, 0.0);
    EXPECT_EQ(ctx.CIm, -0.25);
}

TEST_F(PluginTest, Formula1StopsWhenStepsSettle) {
    Run(1, 0.5, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 8);
    EXPECT_NEAR(ctx.ZRe, 2.938735877055719e-39, 1e-52);
}

TEST_F(PluginTest, Formula1StopsWhenStepsRunAway) {
    Run(1, 1.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 7);
    const double a = 677.0 * 677.0 + 1.0;
    EXPECT_EQ(orbit.X[5], 677.0);
    EXPECT_EQ(orbit.X[6], a);
    EXPECT_EQ(ctx.ZRe, a * a + 1.0);
}

TEST_F(PluginTest, NovaFormulasSettleAtOne) {
    for (int32_t formula : {2, 3, 4}) {
        Run(formula, formula == 2 ? 0.0 : 0.7, formula == 2 ? 0.0 : -0.3, 0.0, 0.0);
        EXPECT_EQ(ctx.IterCount, 2) << formula;
        EXPECT_EQ(orbit.X[1], 1.0) << formula;
        EXPECT_EQ(orbit.X[2], 1.0) << formula;
        EXPECT_EQ(ctx.ZRe, 1.0) << formula;
    }
    ctx.Maxit = 0;
    Run(3, 5.0, 5.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 1);
    EXPECT_EQ(ctx.ZRe, 1.0);
}

TEST_F(PluginTest, NovaStepsMatchTheirRecurrences) {
    // One step of formula 2 from z = 0.5 + 0.25i (start shifted by 1), c = 0.1.
    ctx.Maxit = 1;
    Run(2, -0.5, 0.25, 0.1, 0.0);
    const std::complex<double> z(0.5, 0.25);
    const std::complex<double> expected = z - (z * z * z * z - 1.0) / (3.0 * z * z * z - 1.0) + 0.1;
    EXPECT_NEAR(ctx.ZRe, expected.real(), 1e-12);
    EXPECT_NEAR(ctx.ZIm, expected.imag(), 1e-12);
    Run(4, 0.0, 0.0, 0.1, 0.2);  // from 1: N = 0, so z = 1 + c
    EXPECT_EQ(ctx.ZRe, 1.1);
    EXPECT_EQ(ctx.ZIm, 0.2);
}

TEST_F(PluginTest, Formula5ClampsItsStartAndRunsAway) {
    Run(5, 1.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 2);
    EXPECT_EQ(ctx.ZRe, 1.0);
    Run(5, 80.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(orbit.X[1], 50.0);
    EXPECT_EQ(ctx.IterCount, 2);
    EXPECT_NEAR(ctx.ZRe / -8.64e22, 1.0, 0.01);
}

TEST_F(PluginTest, Formula6ReachesZero) {
    Run(6, 1.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 3);
    EXPECT_EQ(orbit.X[1], 1.0);
    EXPECT_EQ(orbit.X[2], 0.0);
    EXPECT_EQ(orbit.X[3], 0.0);
    EXPECT_EQ(ctx.ZRe, 0.0);
}

TEST_F(PluginTest, Formula6StepIsTheSquaredQuotientByTheCosine) {
    ctx.Maxit = 1;
    Run(6, 0.3, 0.2, 0.5, -0.1);
    const std::complex<double> q = std::complex<double>(0.5, -0.1) / std::cos(std::complex<double>(0.3, 0.2));
    EXPECT_NEAR(ctx.ZRe, (q * q).real(), 1e-12);
    EXPECT_NEAR(ctx.ZIm, (q * q).imag(), 1e-12);
}

TEST_F(PluginTest, Formula7IteratesInTheTurnedPlane) {
    Run(7, 1.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 4);
    EXPECT_EQ(orbit.X[1], 0.0);
    EXPECT_EQ(orbit.Y[1], 1.0);
    EXPECT_EQ(orbit.X[2], 0.75);
    EXPECT_EQ(orbit.Y[2], 1.0);
    EXPECT_EQ(orbit.X[3], 0.16015625);
    EXPECT_EQ(orbit.Y[3], -1.375);
    EXPECT_NEAR(ctx.ZRe, 4.128, 0.001);
    EXPECT_NEAR(ctx.ZIm, -1.461, 0.001);
    ctx.Maxit = 30;
    Run(7, 0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 31);
    EXPECT_EQ(ctx.ZRe, 0.0);
}

TEST_F(PluginTest, StepDistanceFormulasIgnoreTheBailout) {
    ctx.Bailout = 0;
    Run(1, 0.5, 0.0, 0.0, 0.0);
    EXPECT_EQ(ctx.IterCount, 8);
}

// Reads the defined, exported function and object symbols of an ELF file.
std::set<std::string> ExportedSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strings = sections[sections[i].sh_link];
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 0; k < count; ++k) {
            const Elf64_Sym& s = symbols[k];
            const int bind = ELF64_ST_BIND(s.st_info);
            if (s.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
            names.insert(file.data() + strings.sh_offset + s.st_name);
        }
    }
    return names;
}

TEST(PluginLibrary, ExportsExactlyTheTwoEntryPoints) {
    const std::set<std::string> expected{"_formula", "_total"};
    EXPECT_EQ(ExportedSymbols(BuiltPluginPath()), expected);
}

}  // namespace
