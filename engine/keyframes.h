// Keyframe animation: the settings of every frame between keys.
//
// Between two neighbouring keys A (frame a) and B (frame b), frame f has
// t = (f - a) / (b - a) and
//   - magnification: geometric, m = mA·(mB/mA)^t;
//   - centre: the deeper key's centre moves to the middle of the picture in
//     a straight line at an even speed on screen: its offset from the
//     picture's centre, measured in picture widths at the frame's own
//     magnification, changes linearly, so c = cD + (cS - cD)·s·mS/m, where
//     D is the deeper key, S the other and s runs linearly from 1 at S to 0
//     at D (equal magnifications: c moves linearly);
//   - Julia constant, the twelve colour controls, the render, filtering and
//     scaling factors and the stalks-and-bubbles radius: linear;
//   - Maxit and bailout: geometric where both keys' values are positive,
//     else linear, rounded to the nearest whole number (ties to even);
//   - formula, render method, blend, channel order, rotation, Julia mode and
//     its fixed constant, Inside Out and the reserved number: A's until the
//     frame of B, which is B exactly.
// Every value is computed in MPFR from the keys' exact digits (the texts in
// charge, see exact_view.h), correctly rounded, so a frame is the same on
// every machine. A centre or Julia constant keeps the digits that place it
// to a thousandth of a pixel; where 15 significant digits do that, the frame
// has no exact texts and its parameter file is as any shallow picture's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exact_view.h"
#include "iteration_context.h"

namespace engine {

struct Keyframe {
    int32_t frame = 0;
    // The record's doubles are read through member pointers, which assume
    // their natural alignment (the record itself is packed to 4 bytes).
    alignas(8) TIterationContext settings{};  // the film's image size
    ExactView view;                // the exact digits where the doubles do not hold them
};

struct FrameSettings {
    alignas(8) TIterationContext settings{};
    ExactView view;
};

// Why `keys` cannot make a film ("" when they can): at least two keys, the
// first at frame 0, frames increasing, magnifications greater than 0.
std::string KeyframeProblem(const std::vector<Keyframe>& keys);

// The settings of `frame`, from 0 to the last key's frame, of valid keys.
FrameSettings InterpolateKeyframes(const std::vector<Keyframe>& keys, int32_t frame);

}  // namespace engine
