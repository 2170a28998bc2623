// Arbitrary precision arithmetic on the view's decimal texts, with MPFR
// (through mpreal.h). Only the engine's own sources include this header; the
// rest of the program sees texts and doubles.
//
// How many digits a view keeps: its magnification m places pixels about
// (2 + W/H + H/W) / (m * W) apart, so a centre or a picked Julia constant
// is kept to 10^-(ceil(log10 m) + kDigitsBelowUnit): enough to place every
// sample of the largest picture (65535 pixels, 4 by 4 samples: 10^5.4
// samples across) to a millionth of a sample. The magnification keeps
// kMagnificationDigits significant digits. A view goes no deeper than
// 10^kMaxMagnificationExponent.
#pragma once

#include <mpreal.h>

#include <string>

namespace engine::exact {

using Real = mpfr::mpreal;

constexpr long kDigitsBelowUnit = 12;
constexpr int kMagnificationDigits = 20;
constexpr long kMaxMagnificationExponent = 10000;

// The bits that hold `digits` significant decimal digits, with a margin.
mpfr_prec_t BitsForDigits(long digits);

// The significant digits and the decimal exponent of a decimal text
// (value = 0.DIGITS x 10^exponent); false when it is no decimal number.
bool SplitDecimal(const std::string& text, std::string& digits, long& exponent, bool& negative);

// The text's value at `bits`, whatever the locale says of decimal marks.
// The text must be a decimal number (see ValidText in exact_view.h).
Real Parse(const std::string& text, mpfr_prec_t bits);
Real FromDouble(double value, mpfr_prec_t bits);

// floor(log10 |v|) + 1 for v != 0: v = 0.D... x 10^result.
long DecimalExponent(const Real& v);

// v rounded to a multiple of 10^-fractionDigits, as a text; "0" when it
// rounds to zero.
std::string FixedText(const Real& v, long fractionDigits);
// v rounded to `digits` significant digits, as a text.
std::string SignificantText(const Real& v, int digits);

// The fraction digits a centre keeps at magnification m (see above).
long CentreDigits(const Real& magnification);

// The nearest double of v; beyond the range the largest double (signed).
double NearestOf(const Real& v);

// Sets the thread's default precision for a computation and puts the old
// one back at the end: mpreal's temporaries take the default precision.
class PrecisionScope {
public:
    explicit PrecisionScope(mpfr_prec_t bits);
    ~PrecisionScope();
    PrecisionScope(const PrecisionScope&) = delete;
    PrecisionScope& operator=(const PrecisionScope&) = delete;

private:
    mpfr_prec_t old_;
};

}  // namespace engine::exact
