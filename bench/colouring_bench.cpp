// Prints the time colouring alone takes on the render values of a few views,
// with the worker's wave memo and without it: what the memo saves on flat
// regions (render method 1 depends on the count alone) and what it costs
// where no two neighbouring pixels agree (render method 4).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "colour_mapping.h"
#include "generation.h"
#include "picture_settings.h"

namespace {

struct Case {
    const char* name;
    int32_t width, height, maxit, render;
    double centerX, centerY, magnification;
};

// What colouring reads of a pixel's record.
struct Inputs {
    double renderX, renderY, cRe, cIm, zRe, zIm;
};

TIterationContext Settings(const Case& c) {
    TIterationContext ctx{};
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = c.width;
    ctx.ImageHeight = c.height;
    ctx.Maxit = c.maxit;
    ctx.RenderNo = c.render;
    ctx.RotationMode = 0;
    ctx.CenterX = c.centerX;
    ctx.CenterY = c.centerY;
    ctx.Magnification = c.magnification;
    engine::FitViewToImage(ctx);
    return ctx;
}

std::vector<Inputs> Evaluate(const Case& c, engine::FormulaEntryFn formula) {
    TIterationContext ctx = Settings(c);
    const engine::PixelGrid grid{ctx.XMin, ctx.YMin, (ctx.XMax - ctx.XMin) / c.width,
                                 (ctx.YMax - ctx.YMin) / c.height};
    engine::OrbitBuffers orbit;
    std::vector<Inputs> inputs;
    inputs.reserve(static_cast<size_t>(c.width) * c.height);
    for (int32_t row = 0; row < c.height; ++row) {
        for (int32_t column = 0; column < c.width; ++column) {
            engine::PlacePixel(ctx, column, row, grid, ctx.CRe, ctx.CIm);
            engine::EvaluatePixel(ctx, orbit, formula);
            inputs.push_back({ctx.RenderX * ctx.dFactor3, ctx.RenderY * ctx.dFactor3, ctx.CRe, ctx.CIm, ctx.ZRe,
                              ctx.ZIm});
        }
    }
    return inputs;
}

double ColourSeconds(const Case& c, const std::vector<Inputs>& inputs, bool withMemo, imaging::Picture& picture) {
    TIterationContext ctx = Settings(c);
    colour::ColourWork work;
    colour::WaveMemo memo;
    colour::ColourPassReport report;
    const auto start = std::chrono::steady_clock::now();
    size_t i = 0;
    for (int32_t row = 0; row < c.height; ++row) {
        for (int32_t column = 0; column < c.width; ++column, ++i) {
            ctx.RenderX = inputs[i].renderX;
            ctx.RenderY = inputs[i].renderY;
            ctx.CRe = inputs[i].cRe;
            ctx.CIm = inputs[i].cIm;
            ctx.ZRe = inputs[i].zRe;
            ctx.ZIm = inputs[i].zIm;
            if (withMemo) {
                colour::BlendAndColour(ctx, work, memo, picture, column, row, report);
            } else {
                colour::BlendAndColour(ctx, work, picture, column, row, report);
            }
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const std::vector<std::string> folders = engine::DefaultPluginFolders();
    std::unique_ptr<engine::PluginInstance> plugin;
    for (const std::string& folder : folders) {
        if (!plugin) plugin = engine::LoadPluginInstance(folder + "/" + engine::kPluginFileName);
    }
    if (!plugin) {
        std::fprintf(stderr, "vantrix01.so not found\n");
        return 1;
    }
    const Case cases[] = {
        {"(a) reset view 1600x1200, Maxit 1000, render 4", 1600, 1200, 1000, 4, 0.0, 0.0, 1.0},
        {"(a) reset view 1600x1200, Maxit 1000, render 1", 1600, 1200, 1000, 1, 0.0, 0.0, 1.0},
        {"(b) half inside 1280x960, Maxit 2000, render 1", 1280, 960, 2000, 1, -0.1226, 0.7449, 14.5833333333333},
    };
    for (const Case& c : cases) {
        const std::vector<Inputs> inputs = Evaluate(c, plugin->FormulaEntry());
        imaging::Picture fresh(c.width, c.height);
        imaging::Picture remembered(c.width, c.height);
        double plain = 1e9, memo = 1e9;
        for (int repeat = 0; repeat < 3; ++repeat) {
            plain = std::min(plain, ColourSeconds(c, inputs, false, fresh));
            memo = std::min(memo, ColourSeconds(c, inputs, true, remembered));
        }
        std::printf("%s\n", c.name);
        std::printf("  colouring, every wave computed: %7.3f s\n", plain);
        std::printf("  colouring, with the wave memo:  %7.3f s   %.2f of the time%s\n", memo, memo / plain,
                    fresh == remembered ? "" : "   PICTURES DIFFER");
    }
    return 0;
}
