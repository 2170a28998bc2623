// Colour mapping and the 26 blend methods: two render values become the
// three mix values, three waves turn those into channel levels, and the
// channel order places the levels in the picture.
#pragma once

#include <cstdint>

#include "iteration_context.h"
#include "picture.h"

namespace colour {

constexpr double kTwoPi = 6.28318530718;
constexpr int32_t kBlendMethodCount = 26;
constexpr int32_t kChannelOrderCount = 6;

// The per-pixel work fields of the colouring.
struct ColourWork {
    double RedMix = 0.0;
    double GrnMix = 0.0;
    double BluMix = 0.0;
    int32_t RedLevel = 0;
    int32_t GrnLevel = 0;
    int32_t BluLevel = 0;
};

// Faults met during one pass, reported once at its end.
struct ColourPassReport {
    bool wrongBlendNumber = false;
    bool wrongOrderNumber = false;
};

constexpr const char* kWrongBlendMessage = "Wrong blendingmethod number";
constexpr const char* kWrongOrderMessage = "Wrong coloringorder number";

// sin and cos as the colouring uses them: an angle of magnitude 2^63 or
// more gives 0.
double WaveSin(double angle);
double WaveCos(double angle);

void SineCosine(const TIterationContext& ctx, ColourWork& work);
void SineSine(const TIterationContext& ctx, ColourWork& work);
void ApplyColor(const TIterationContext& ctx, ColourWork& work, imaging::Picture& picture,
                int32_t column, int32_t row, ColourPassReport& report);
void ApplyTriangleColor(const TIterationContext& ctx, ColourWork& work, imaging::Picture& picture,
                        int32_t column, int32_t row, ColourPassReport& report);

// The waves that turn the three mix values into channel levels: the three
// shared ones, and the own waves of blend methods 6, 9 and 10.
enum class Wave : int32_t { SineCosine, SineSine, Triangle, Method6, Method9, Method10 };

// The levels the last wave gave, with the wave and the three mix values they
// came from, bit for bit. Neighbouring pixels of a flat region give the same
// mix values: they then take the levels from here instead of computing the
// same trigonometry again. The channel controls are not part of it: it holds
// only while they stay as they were, so Forget() it whenever they may change
// (the generation core does at every row).
struct WaveMemo {
    bool filled = false;
    Wave wave = Wave::SineCosine;
    uint64_t mix[3] = {};
    int32_t level[3] = {};

    void Forget() { filled = false; }
};

// The blend method's part alone: the three mix values of `RenderX` and
// `RenderY` (already multiplied by `dFactor3`) and the wave that turns them
// into levels; false for a wrong method number. It changes the context as
// the blend method does.
bool MixValues(TIterationContext& ctx, ColourWork& work, Wave& wave);
// The factor a wave applies to the mix values before its steps (360 or
// 360/255); the angle of a channel is mix x factor x Step + Start degrees.
double WaveFactor(Wave wave);

// Runs blend method `BlendNo` on `RenderX`/`RenderY` (already multiplied by
// `dFactor3`) and writes pixel (column, row). Several methods scale the
// render values, or guard c or z, in the context itself.
void BlendAndColour(TIterationContext& ctx, ColourWork& work, imaging::Picture& picture,
                  int32_t column, int32_t row, ColourPassReport& report);
// The same, with the wave's levels taken from `memo` when the wave and its
// mix values are the ones it remembers (the blend method itself, with what
// it writes into the context, always runs).
void BlendAndColour(TIterationContext& ctx, ColourWork& work, WaveMemo& memo, imaging::Picture& picture,
                  int32_t column, int32_t row, ColourPassReport& report);

}  // namespace colour
