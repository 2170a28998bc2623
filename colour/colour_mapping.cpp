#include "colour_mapping.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "rounding.h"

namespace colour {

namespace {

constexpr double kWaveFactor = 360.0;
constexpr double kTriangleWaveFactor = 360.0 / 255.0;
constexpr double kDegreesToTurns = 1.0 / 360.0;
constexpr double kTrigLimit = 9223372036854775808.0;  // 2^63
constexpr double kGuard = 1e-20;

struct Channel {
    double step, start, saturate, offset;
};

Channel Red(const TIterationContext& c) { return {c.RedStep, c.RedStart, c.RedSaturate, c.RedOffset}; }
Channel Grn(const TIterationContext& c) { return {c.GrnStep, c.GrnStart, c.GrnSaturate, c.GrnOffset}; }
Channel Blu(const TIterationContext& c) { return {c.BluStep, c.BluStart, c.BluSaturate, c.BluOffset}; }

// Steps 1 to 3 of the wave: the mix value becomes an angle in radians.
inline double Angle(double mix, double factor, const Channel& ch) {
    double m = mix * factor;
    m = m * ch.step + ch.start;
    return kDegreesToTurns * m * kTwoPi;
}

inline int32_t Level(double wave, const Channel& ch) {
    return RoundToInt32(wave * ch.saturate + ch.offset);
}

inline void ToAngles(const TIterationContext& ctx, ColourWork& w, double factor) {
    w.RedMix = Angle(w.RedMix, factor, Red(ctx));
    w.GrnMix = Angle(w.GrnMix, factor, Grn(ctx));
    w.BluMix = Angle(w.BluMix, factor, Blu(ctx));
}

inline void ToLevels(const TIterationContext& ctx, ColourWork& w) {
    w.RedLevel = Level(w.RedMix, Red(ctx));
    w.GrnLevel = Level(w.GrnMix, Grn(ctx));
    w.BluLevel = Level(w.BluMix, Blu(ctx));
}

// Red sine, green negated sine, blue cosine.
void SineCosineWave(const TIterationContext& ctx, ColourWork& w, double factor) {
    ToAngles(ctx, w, factor);
    w.RedMix = WaveSin(w.RedMix);
    w.GrnMix = -WaveSin(w.GrnMix);
    w.BluMix = WaveCos(w.BluMix);
    ToLevels(ctx, w);
}

inline int32_t ClampLevel(int32_t level) {
    if (level > 255) level = 255;
    if (level < 0) level = 0;
    return level;
}

inline void Guard(double& v) {
    if (!(std::fabs(v) >= kGuard)) v = kGuard;
}

}  // namespace

// NaN fails the range test too, so the common case takes one comparison.
double WaveSin(double angle) {
    if (std::fabs(angle) < kTrigLimit) return std::sin(angle);
    return std::isnan(angle) ? angle : 0.0;
}

double WaveCos(double angle) {
    if (std::fabs(angle) < kTrigLimit) return std::cos(angle);
    return std::isnan(angle) ? angle : 0.0;
}

void SineCosine(const TIterationContext& ctx, ColourWork& work) {
    SineCosineWave(ctx, work, kWaveFactor);
}

void SineSine(const TIterationContext& ctx, ColourWork& work) {
    ToAngles(ctx, work, kWaveFactor);
    work.RedMix = WaveSin(work.RedMix);
    work.GrnMix = WaveCos(work.GrnMix);
    work.BluMix = -WaveCos(work.BluMix);
    ToLevels(ctx, work);
}

void ApplyColor(const TIterationContext& ctx, ColourWork& work, imaging::Picture& picture,
                int32_t column, int32_t row, ColourPassReport& report) {
    work.RedLevel = ClampLevel(work.RedLevel);
    work.GrnLevel = ClampLevel(work.GrnLevel);
    work.BluLevel = ClampLevel(work.BluLevel);
    if (ctx.RenderX == 0.0 && ctx.RenderY == 0.0 && ctx.RenderExtra1 == 0.0 &&
        ctx.RenderExtra2 == 0.0) {
        picture.SetPixel(column, row, 0);
        return;
    }
    const auto r = static_cast<uint8_t>(work.RedLevel);
    const auto g = static_cast<uint8_t>(work.GrnLevel);
    const auto b = static_cast<uint8_t>(work.BluLevel);
    uint32_t colour = 0;
    switch (ctx.ColorOrderNo) {
        case 1: colour = imaging::PackColour(r, g, b); break;
        case 2: colour = imaging::PackColour(r, b, g); break;
        case 3: colour = imaging::PackColour(g, b, r); break;
        case 4: colour = imaging::PackColour(g, r, b); break;
        case 5: colour = imaging::PackColour(b, r, g); break;
        case 6: colour = imaging::PackColour(b, g, r); break;
        default:
            report.wrongOrderNumber = true;
            return;
    }
    picture.SetPixel(column, row, colour);
}

void ApplyTriangleColor(const TIterationContext& ctx, ColourWork& work, imaging::Picture& picture,
                        int32_t column, int32_t row, ColourPassReport& report) {
    SineCosineWave(ctx, work, kTriangleWaveFactor);
    ApplyColor(ctx, work, picture, column, row, report);
}

namespace {

// The blend method's part: the three mix values from the render values,
// scaling those or guarding c or z in the context where the method does,
// and the wave that follows. False for a wrong method number.
inline bool BlendMixes(TIterationContext& ctx, ColourWork& w, Wave& wave) {
    double& x = ctx.RenderX;
    double& y = ctx.RenderY;
    wave = Wave::Triangle;
    switch (ctx.BlendNo) {
        case 1:
        case 2:
            w.RedMix = x;
            w.GrnMix = y;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            wave = ctx.BlendNo == 1 ? Wave::SineCosine : Wave::SineSine;
            break;
        case 3:
            w.RedMix = std::sqrt(x * x + y * y + 1e-20);
            w.GrnMix = x;
            w.BluMix = y;
            wave = Wave::SineSine;
            break;
        case 4:
            w.RedMix = std::fabs(x + y) * 0.5;
            w.GrnMix = std::fabs(y + x) * 0.5;
            w.BluMix = (x + y) * 0.707;
            wave = Wave::SineSine;
            break;
        case 5:
            w.RedMix = std::fabs(x - y);
            w.GrnMix = std::fabs(y - x);
            w.BluMix = (x + y) * 0.707;
            wave = Wave::SineCosine;
            break;
        case 6: {
            const double grey = (x + y) * 0.5;
            w.RedMix = grey;
            w.GrnMix = grey;
            w.BluMix = grey;
            wave = Wave::Method6;
            break;
        }
        case 7:
            w.RedMix = std::fabs(x + x);
            w.GrnMix = std::fabs(y + y);
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            wave = Wave::SineCosine;
            break;
        case 8:
            w.RedMix = std::sqrt(x + x);
            w.BluMix = std::sqrt(y + y);
            w.GrnMix = std::sqrt(y + x);
            wave = Wave::SineCosine;
            break;
        case 9:
        case 10: {
            w.RedMix = x;
            w.GrnMix = y;
            w.BluMix = (x + y) * 0.5;
            wave = ctx.BlendNo == 9 ? Wave::Method9 : Wave::Method10;
            break;
        }
        case 11:
            x = 10.0 * x;
            y = 10.0 * y;
            w.RedMix = x * x;
            w.GrnMix = y * y;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 12:
            x = 10.0 * x;
            y = 10.0 * y;
            w.RedMix = x * x + y * y;
            w.GrnMix = (x * x + w.RedMix) * 0.5;
            w.BluMix = (y * y + w.RedMix) * 0.5;
            break;
        case 13:
            x = 255.0 * x;
            y = 255.0 * y;
            w.RedMix = x;
            w.GrnMix = y;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 14:
        case 15:
            x = 255.0 * x;
            y = 255.0 * y;
            w.RedMix = x + 0.707 * y;
            w.GrnMix = ctx.BlendNo == 14 ? y + 0.707 * x : y - 0.707 * x;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 16:
            x = 10.0 * x;
            y = 10.0 * y;
            w.RedMix = x * x + 0.707 * y;
            w.GrnMix = y * y + 0.707 * x;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 17:
            x = 15.0 * x;
            y = 15.0 * y;
            w.RedMix = x * x + 0.707 * (y * y);
            w.GrnMix = y * y + 0.707 * (x * x);
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 18:
            x = 15.0 * x;
            y = 15.0 * y;
            w.RedMix = x + 0.707 * x * y;
            w.GrnMix = y + 0.707 * x * y;
            w.BluMix = (w.RedMix + w.GrnMix) * 0.707;
            break;
        case 19:
            x = 800.0 * x;
            y = 800.0 * y;
            w.RedMix = std::sqrt(x * x + y * y);
            w.GrnMix = x + w.RedMix;
            w.BluMix = y + w.RedMix;
            break;
        case 20:
            x = 10.0 * x;
            y = 10.0 * y;
            w.RedMix = x * x + y * y;
            w.GrnMix = x * x;
            w.BluMix = y * y;
            break;
        case 21: {
            x = 3.0 * x;
            y = 3.0 * y;
            const double x3 = x * x * x;
            const double y3 = y * y * y;
            w.RedMix = (x3 + y3) * 0.5;
            w.GrnMix = (x3 + w.RedMix) * 0.5;
            w.BluMix = (y3 + w.RedMix) * 0.5;
            break;
        }
        case 22:
            Guard(ctx.CRe);
            Guard(ctx.CIm);
            w.BluMix = x + y + std::atan(std::fabs(ctx.CRe / ctx.CIm));
            w.GrnMix = y + x + std::atan(std::fabs(ctx.CIm / ctx.CRe));
            w.BluMix = w.BluMix * 0.5;
            w.GrnMix = w.GrnMix * 0.5;
            w.RedMix = (w.BluMix + w.GrnMix) * 0.5;
            x = 8.0 * x;
            y = 8.0 * y;
            w.RedMix = (x * x + y * y) * w.RedMix;
            w.GrnMix = x * x * w.GrnMix;
            w.BluMix = y * y * w.BluMix;
            break;
        case 23:
            Guard(x);
            Guard(y);
            w.RedMix = (x + y) * 25.0;
            w.BluMix = WaveSin(std::fabs((ctx.ZRe * ctx.ZRe + x) * 100.0)) + w.RedMix;
            w.GrnMix = WaveSin(std::fabs((ctx.ZIm * ctx.ZIm + y) * 100.0)) + w.RedMix;
            w.BluMix = w.BluMix * 10.0;
            w.GrnMix = w.GrnMix * 10.0;
            w.RedMix = x * x + y * y + w.RedMix;
            w.GrnMix = x * x + w.GrnMix;
            w.BluMix = y * y + w.BluMix;
            break;
        case 24:
            x = 10.0 * x;
            y = 10.0 * y;
            w.RedMix = std::fabs(x * y);
            w.GrnMix = x * x + w.RedMix;
            w.BluMix = y * y + w.RedMix;
            w.RedMix = (w.GrnMix + w.BluMix) * 0.5;
            break;
        case 25:
            Guard(ctx.ZRe);
            Guard(ctx.ZIm);
            w.RedMix = std::fabs(std::atan(std::fabs(ctx.ZRe / ctx.ZIm)) +
                                 std::atan(std::fabs(ctx.ZIm / ctx.ZRe)));
            w.GrnMix = 10.0 * x * x * w.RedMix;
            w.BluMix = 10.0 * y * y * w.RedMix;
            w.GrnMix = w.GrnMix * 10.0;
            w.BluMix = w.BluMix * 10.0;
            break;
        case 26:
            x = 2.0 * x;
            y = 2.0 * y;
            w.RedMix = std::fabs(x + y);
            w.GrnMix = x * x * w.RedMix;
            w.BluMix = y * y * w.RedMix;
            break;
        default:
            return false;
    }
    return true;
}

// The wave's part: channel levels from the mix values and the channel controls.
inline void RunWave(Wave wave, const TIterationContext& ctx, ColourWork& w) {
    switch (wave) {
        case Wave::SineCosine:
            SineCosineWave(ctx, w, kWaveFactor);
            break;
        case Wave::SineSine:
            SineSine(ctx, w);
            break;
        case Wave::Triangle:
            SineCosineWave(ctx, w, kTriangleWaveFactor);
            break;
        case Wave::Method6:
            // Grey: every channel takes the blue level of the sine-cosine wave.
            w.BluMix = WaveCos(Angle(w.BluMix, kWaveFactor, Blu(ctx)));
            w.BluLevel = Level(w.BluMix, Blu(ctx));
            w.RedLevel = w.BluLevel;
            w.GrnLevel = w.BluLevel;
            break;
        case Wave::Method9:
            ToAngles(ctx, w, kWaveFactor);
            w.RedMix = WaveSin(w.RedMix);
            w.GrnMix = -WaveSin(w.GrnMix);
            w.BluMix = (WaveCos(w.BluMix) + w.RedMix + w.GrnMix) * 0.5;
            ToLevels(ctx, w);
            break;
        case Wave::Method10:
            ToAngles(ctx, w, kWaveFactor);
            w.RedMix = -WaveSin(w.RedMix);
            w.GrnMix = -WaveCos(w.GrnMix);
            w.BluMix = (WaveSin(w.BluMix) + w.RedMix + w.GrnMix) * 0.5;
            ToLevels(ctx, w);
            break;
    }
}

}  // namespace

bool MixValues(TIterationContext& ctx, ColourWork& work, Wave& wave) { return BlendMixes(ctx, work, wave); }

double WaveFactor(Wave wave) { return wave == Wave::Triangle ? kTriangleWaveFactor : kWaveFactor; }

void BlendAndColour(TIterationContext& ctx, ColourWork& w, imaging::Picture& picture, int32_t column,
                  int32_t row, ColourPassReport& report) {
    Wave wave;
    if (!BlendMixes(ctx, w, wave)) {
        report.wrongBlendNumber = true;
        return;
    }
    RunWave(wave, ctx, w);
    ApplyColor(ctx, w, picture, column, row, report);
}

void BlendAndColour(TIterationContext& ctx, ColourWork& w, WaveMemo& memo, imaging::Picture& picture,
                  int32_t column, int32_t row, ColourPassReport& report) {
    Wave wave;
    if (!BlendMixes(ctx, w, wave)) {
        report.wrongBlendNumber = true;
        return;
    }
    const uint64_t mix[3] = {std::bit_cast<uint64_t>(w.RedMix), std::bit_cast<uint64_t>(w.GrnMix),
                             std::bit_cast<uint64_t>(w.BluMix)};
    if (memo.filled && mix[0] == memo.mix[0] && mix[1] == memo.mix[1] && mix[2] == memo.mix[2] &&
        wave == memo.wave) {
        w.RedLevel = memo.level[0];
        w.GrnLevel = memo.level[1];
        w.BluLevel = memo.level[2];
    } else {
        RunWave(wave, ctx, w);
        memo.filled = true;
        memo.wave = wave;
        std::copy_n(mix, 3, memo.mix);
        memo.level[0] = w.RedLevel;
        memo.level[1] = w.GrnLevel;
        memo.level[2] = w.BluLevel;
    }
    ApplyColor(ctx, w, picture, column, row, report);
}

}  // namespace colour
