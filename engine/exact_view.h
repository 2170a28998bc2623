// The view with every digit it needs, beside the record's doubles.
//
// The record holds the centre, the magnification and the Julia constant as
// doubles, which is all a shallow view needs. A deeper view keeps its exact
// values here as decimal texts ("." as decimal mark, an optional exponent
// "E-123"; the magnification may lie beyond the doubles' range). A text is
// in charge only while the record's double is still the text's nearest
// double (for a magnification beyond the range: the largest double); a
// command that sets the double alone thereby puts the double back in charge,
// and empty texts mean that the doubles are the whole view.
#pragma once

#include <string>

#include "iteration_context.h"

namespace engine {

struct ExactView {
    std::string centerX, centerY, magnification, juliaX, juliaY;
    bool operator==(const ExactView&) const = default;
    bool Empty() const {
        return centerX.empty() && centerY.empty() && magnification.empty() && juliaX.empty() && juliaY.empty();
    }
};

// The nearest double of a decimal text; none when it is not a finite
// decimal number. Beyond the range it is the largest double (with its sign),
// below it zero.
bool NearestDouble(const std::string& text, double& value);

// Whether `text` is in charge for `value` (see above).
bool TextHolds(const std::string& text, double value);

// The shortest decimal text whose nearest double is `value` (finite values).
std::string ShortestText(double value);

// The text in charge for `value`: `text` where it holds, else the double's
// own shortest text.
std::string ExactText(const std::string& text, double value);

// All five texts in charge for the record's view (none left empty).
ExactView EffectiveView(const ExactView& view, const TIterationContext& ctx);

}  // namespace engine
