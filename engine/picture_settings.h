// The picture settings that "New" sets, and the view they imply.
#pragma once

#include <cstdint>
#include <string>

#include "iteration_context.h"

namespace engine {

// Every context field of the New command's table, set to its default.
// The Julia constant and the two name texts are left alone.
void ApplyNewDefaults(TIterationContext& ctx);

// Magnification 1, the square -2..2 and the pending rectangle with it.
void ResetCoordinates(TIterationContext& ctx);

// Derives XMin..YMax from centre, magnification and image size so that the
// rectangle's width-to-height ratio is the image's. Sizes of 0 or below
// leave the aspect factors at 1 rather than dividing by them.
void FitViewToImage(TIterationContext& ctx);

// Whether pictures of this image size are made: each side at least 1 and
// within what imaging::Picture holds. Every way a size comes in (the
// renderer's options, a picture's settings, the window) follows this rule.
bool ImageSizeAllowed(int64_t width, int64_t height);
// "the picture size WxH is not allowed", the one line that refuses it.
std::string ImageSizeRefusal(int64_t width, int64_t height);

}  // namespace engine
