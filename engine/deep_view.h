// The view's exact texts as the files, dialogs and command line handle
// them: which texts are acceptable, which say more than their doubles, and
// how a text and its double are set together.
#pragma once

#include <cstdint>
#include <string>

#include "exact_view.h"

namespace engine {

// The deepest magnification a view may have, as a text.
inline constexpr const char* kDeepestMagnification = "1E10000";
// A text longer than this is no view text (the digits 1E10000 needs, and room).
constexpr size_t kMaxViewTextLength = 12000;

// A decimal number ("." mark, optional exponent) short enough for a view,
// whose exponent lies within a million.
bool ValidViewText(const std::string& text);

// Whether a valid magnification text lies above 0 and at most at the deepest magnification.
bool MagnificationInRange(const std::string& text);

// Whether two valid texts are the same number.
bool SameNumber(const std::string& a, const std::string& b);

// `text` where it is in charge of `value` and says more than the double's
// own shortest text, else "": the double alone is the whole value.
std::string TextBeyondDouble(const std::string& text, double value);

// Sets a value from a valid text: the double becomes the text's nearest,
// the text is kept where it says more than that double.
void SetFromText(const std::string& text, double& value, std::string& kept);

// a + b for valid texts, with every digit of both.
std::string AddTexts(const std::string& a, const std::string& b);

// The magnification `fraction` (numerator / denominator, 0 to 1) of the way
// from `from` to `to` on a geometric scale: from * (to / from)^fraction,
// exact at any depth, with the magnification's significant digits. The
// ends come back as given.
std::string InterpolateMagnification(const std::string& from, const std::string& to, int64_t numerator,
                                     int64_t denominator);

}  // namespace engine
