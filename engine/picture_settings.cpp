#include "picture_settings.h"

#include "picture.h"

namespace engine {

void ApplyNewDefaults(TIterationContext& ctx) {
    ctx.RedStep = 1.0;
    ctx.GrnStep = 1.0;
    ctx.BluStep = 1.0;
    ctx.RedStart = 31.0;
    ctx.GrnStart = 17.0;
    ctx.BluStart = 29.0;
    ctx.RedSaturate = 127.0;
    ctx.GrnSaturate = 127.0;
    ctx.BluSaturate = 127.0;
    ctx.RedOffset = 127.0;
    ctx.GrnOffset = 127.0;
    ctx.BluOffset = 127.0;
    ctx.Maxit = 100;
    ctx.Bailout = 4;
    ctx.epsilon = 0.05;
    ctx.ImageWidth = 160;
    ctx.ImageHeight = 120;
    ctx.FormulaNo = 0;
    ctx.RenderNo = 4;
    ctx.ReservedNo = 1;
    ctx.BlendNo = 20;
    ctx.ColorOrderNo = 3;
    ctx.dFactor3 = 1.0;
    ctx.dFactor4 = 1.0;
    ctx.dFactor5 = 1.0;
    ctx.JuliaMode = 0;
    ctx.JuliaFixed = 0;
    ctx.InsideOut = 0;
    ctx.RotationMode = 1;
}

void ResetCoordinates(TIterationContext& ctx) {
    ctx.Magnification = 1.0;
    ctx.SelMagnification = 1.0;
    ctx.XMin = -2.0;
    ctx.YMin = -2.0;
    ctx.SelXMin = -2.0;
    ctx.SelYMin = -2.0;
    ctx.XMax = 2.0;
    ctx.YMax = 2.0;
    ctx.SelXMax = 2.0;
    ctx.SelYMax = 2.0;
    ctx.CenterX = ctx.XMin + (ctx.XMax - ctx.XMin) * 0.5;
    ctx.CenterY = ctx.YMin + (ctx.YMax - ctx.YMin) * 0.5;
}

void FitViewToImage(TIterationContext& ctx) {
    ctx.HalfSpanX = 2.0 / ctx.Magnification;
    ctx.HalfSpanY = 2.0 / ctx.Magnification;
    ctx.XMax = ctx.CenterX + ctx.HalfSpanX;
    ctx.XMin = ctx.CenterX - ctx.HalfSpanX;
    ctx.YMax = ctx.CenterY + ctx.HalfSpanY;
    ctx.YMin = ctx.CenterY - ctx.HalfSpanY;
    const double w = static_cast<double>(ctx.ImageWidth);
    const double h = static_cast<double>(ctx.ImageHeight);
    if (ctx.ImageWidth > 0 && ctx.ImageHeight > 0) {
        ctx.AspectX = w / h;
        ctx.AspectY = h / w;
    } else {
        ctx.AspectX = 1.0;
        ctx.AspectY = 1.0;
    }
    ctx.AspectX = ctx.AspectX + (1.0 - ctx.AspectX) * 0.5;
    ctx.AspectY = ctx.AspectY + (1.0 - ctx.AspectY) * 0.5;
    ctx.XMax = ctx.XMax + (ctx.HalfSpanX * ctx.AspectX - ctx.HalfSpanX);
    ctx.XMin = ctx.XMin - (ctx.HalfSpanX * ctx.AspectX - ctx.HalfSpanX);
    ctx.YMax = ctx.YMax + (ctx.HalfSpanX * ctx.AspectY - ctx.HalfSpanY);
    ctx.YMin = ctx.YMin - (ctx.HalfSpanX * ctx.AspectY - ctx.HalfSpanY);
}

bool ImageSizeAllowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && imaging::Picture::SizeAllowed(width, height);
}

std::string ImageSizeRefusal(int64_t width, int64_t height) {
    return "the picture size " + std::to_string(width) + "x" + std::to_string(height) + " is not allowed";
}

}  // namespace engine
