// Binding the plug-in: found, missing, incomplete, or reporting no formulas.
#include <gtest/gtest.h>

#include <filesystem>

#include "plugin_fixture.h"
#include "picture_settings.h"
#include "recording_sink.h"

namespace {

const std::string kFakes = HALVANE_FAKE_PLUGIN_DIR;

TEST(Binding, FindsThePluginInTheFirstFolderAndStoresItsTotal) {
    RecordingHost host;
    TIterationContext ctx{};
    engine::PluginBinding binding = engine::BindPlugin(ctx, host, {HALVANE_BIN_DIR});
    ASSERT_TRUE(binding.Bound());
    EXPECT_EQ(ctx.FormulaNo, 2);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(std::filesystem::path(binding.instance->LoadedPath()).filename(), "vantrix01.so");
}

TEST(Binding, MissingLibraryIsReportedOnceAndLeavesNoEntryPoint) {
    RecordingHost host;
    TIterationContext ctx{};
    engine::PluginBinding binding =
        engine::BindPlugin(ctx, host, {"/nonexistent-folder"}, "vantrix01-missing.so");
    EXPECT_FALSE(binding.Bound());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, "Error loading DLL: vantrix01-missing.so");
    EXPECT_EQ(host.messages[0].second, "ERROR");
}

TEST(Binding, LibraryWithoutFormulaEntryCountsAsMissing) {
    RecordingHost host;
    TIterationContext ctx{};
    engine::PluginBinding binding =
        engine::BindPlugin(ctx, host, {kFakes + "/plugin_no_formula"}, "vantrix01.so");
    // The normal search may still find nothing else under that name.
    if (binding.Bound()) GTEST_SKIP() << "a vantrix01.so is on the library path";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, "Error loading DLL: vantrix01.so");
}

TEST(Binding, TotalOfZeroIsReportedAndGenerationStillWorks) {
    RecordingHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({kFakes + "/plugin_total_zero"}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, "Error, Total formula = 0");
    EXPECT_EQ(core.Context.FormulaNo, 0);
    engine::ApplyNewDefaults(core.Context);
    engine::ResetCoordinates(core.Context);
    core.Context.ImageWidth = 8;
    core.Context.ImageHeight = 6;
    imaging::Picture picture(8, 6);
    core.CurrentImage = &picture;
    EXPECT_TRUE(core.Generate());
    EXPECT_TRUE(core.StopRequested);
}

TEST(Binding, UnboundCoreRefusesToGenerate) {
    RecordingHost host;
    engine::GenerationCore core(host);
    imaging::Picture picture(4, 4);
    core.CurrentImage = &picture;
    EXPECT_FALSE(core.Generate());
}

TEST(Binding, PrivateCopiesAreSeparateInstancesAndLeaveNoFiles) {
    auto first = engine::LoadPluginInstance(BuiltPluginPath());
    auto copy = engine::LoadPrivateCopy(BuiltPluginPath());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(reinterpret_cast<void*>(first->FormulaEntry()), reinterpret_cast<void*>(copy->FormulaEntry()));
    EXPECT_FALSE(std::filesystem::exists(copy->LoadedPath()));
}

}  // namespace
