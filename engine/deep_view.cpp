#include "deep_view.h"

#include <algorithm>

#include "exact_arithmetic.h"

namespace engine {

namespace {
constexpr long kMaxTextExponent = 1000000;

// Bits that tell apart every pair of texts of these lengths.
mpfr_prec_t BitsFor(const std::string& a, const std::string& b = {}) {
    return exact::BitsForDigits(static_cast<long>(std::max(a.size(), b.size())));
}
}  // namespace

bool ValidViewText(const std::string& text) {
    if (text.empty() || text.size() > kMaxViewTextLength) return false;
    double nearest = 0.0;
    if (!NearestDouble(text, nearest)) return false;
    std::string digits;
    long exponent = 0;
    bool negative = false;
    return exact::SplitDecimal(text, digits, exponent, negative) && exponent <= kMaxTextExponent &&
           exponent >= -kMaxTextExponent;
}

bool MagnificationInRange(const std::string& text) {
    if (!ValidViewText(text)) return false;
    const mpfr_prec_t bits = BitsFor(text, kDeepestMagnification);
    const exact::Real value = exact::Parse(text, bits);
    return value > 0 && value <= exact::Parse(kDeepestMagnification, bits);
}

bool SameNumber(const std::string& a, const std::string& b) {
    const mpfr_prec_t bits = BitsFor(a, b);
    return exact::Parse(a, bits) == exact::Parse(b, bits);
}

std::string TextBeyondDouble(const std::string& text, double value) {
    if (!TextHolds(text, value) || !ValidViewText(text)) return {};
    return SameNumber(text, ShortestText(value)) ? std::string() : text;
}

void SetFromText(const std::string& text, double& value, std::string& kept) {
    double nearest = 0.0;
    if (!NearestDouble(text, nearest)) return;
    value = nearest;
    kept = TextBeyondDouble(text, nearest);
}

std::string AddTexts(const std::string& a, const std::string& b) {
    std::string digitsA, digitsB;
    long exponentA = 0, exponentB = 0;
    bool negative = false;
    exact::SplitDecimal(a, digitsA, exponentA, negative);
    exact::SplitDecimal(b, digitsB, exponentB, negative);
    // The last digit either has, and room for the carry.
    const long lastPlace = std::min(exponentA - static_cast<long>(digitsA.size()),
                                    exponentB - static_cast<long>(digitsB.size()));
    const long span = std::max(exponentA, exponentB) - lastPlace + 2;
    const exact::PrecisionScope scope(exact::BitsForDigits(span));
    const exact::Real sum = exact::Parse(a, mpfr_get_default_prec()) + exact::Parse(b, mpfr_get_default_prec());
    return exact::FixedText(sum, std::max(0L, -lastPlace));
}

std::string InterpolateMagnification(const std::string& from, const std::string& to, int64_t numerator,
                                     int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) return from;
    if (numerator >= denominator) return to;
    // The logarithm of 1E10000 has five digits before the point: the
    // magnification's digits need that many more.
    const exact::PrecisionScope scope(exact::BitsForDigits(exact::kMagnificationDigits + 20));
    const mpfr_prec_t bits = mpfr_get_default_prec();
    const exact::Real a = mpfr::log(exact::Parse(from, bits));
    const exact::Real b = mpfr::log(exact::Parse(to, bits));
    const exact::Real t = exact::Real(static_cast<double>(numerator), bits) / exact::Real(static_cast<double>(denominator), bits);
    return exact::SignificantText(mpfr::exp(a + (b - a) * t), exact::kMagnificationDigits);
}

}  // namespace engine
