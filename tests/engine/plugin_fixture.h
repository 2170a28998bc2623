// Loads the built plug-in and calls `_formula` on a prepared record.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>

#include "pixel_evaluation.h"
#include "plugin_binding.h"

inline std::string BuiltPluginPath() { return std::string(HALVANE_BIN_DIR) + "/vantrix01.so"; }

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = engine::LoadPluginInstance(BuiltPluginPath());
        ASSERT_NE(plugin, nullptr) << "cannot load " << BuiltPluginPath();
        ctx.OrbitX = orbit.X.data();
        ctx.OrbitY = orbit.Y.data();
        ctx.Maxit = 100;
        ctx.Bailout = 4;
    }

    // Runs one call of formula `formula` from z and c.
    void Run(int32_t formula, double zre, double zim, double cre, double cim) {
        ctx.FormulaNo = formula;
        ctx.ZRe = zre;
        ctx.ZIm = zim;
        ctx.CRe = cre;
        ctx.CIm = cim;
        plugin->FormulaEntry()(&ctx);
    }

    std::unique_ptr<engine::PluginInstance> plugin;
    engine::OrbitBuffers orbit;
    TIterationContext ctx{};
};
