#include "exact_arithmetic.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace engine::exact {

namespace {

// Writes 0.DIGITS x 10^exponent as the view's texts are written: positional
// for decimal exponents from -4 to 14 (like the parameter file's reals),
// else one digit, ".", the rest and "E" with the exponent.
std::string Compose(bool negative, std::string digits, long exponent) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits == "0") return "0";
    const long e10 = exponent - 1;  // of the first digit
    std::string out = negative ? "-" : "";
    if (e10 >= -4 && e10 < 15) {
        if (e10 < 0) {
            out += "0.";
            out.append(static_cast<size_t>(-e10 - 1), '0');
            out += digits;
        } else {
            const size_t whole = static_cast<size_t>(e10) + 1;
            if (digits.size() <= whole) {
                out += digits;
                out.append(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole);
                out += '.';
                out += digits.substr(whole);
            }
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(e10);
    }
    return out;
}

// mpfr_get_str with exactly `count` digits (count >= 1).
std::string DigitsOf(const Real& v, size_t count, long& exponent, bool& negative) {
    mpfr_exp_t e = 0;
    char* raw = mpfr_get_str(nullptr, &e, 10, count, v.mpfr_srcptr(), MPFR_RNDN);
    std::string digits = raw != nullptr ? raw : "0";
    mpfr_free_str(raw);
    negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    exponent = static_cast<long>(e);
    return digits;
}

}  // namespace

mpfr_prec_t BitsForDigits(long digits) {
    // log2(10) bits a digit, and a margin for the steps of a computation.
    return static_cast<mpfr_prec_t>(std::ceil(static_cast<double>(std::max(digits, 1L)) * 3.3219280948873623)) + 64;
}

bool SplitDecimal(const std::string& text, std::string& digits, long& exponent, bool& negative) {
    size_t i = 0;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    digits.clear();
    long pointAt = -1;
    size_t count = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            ++count;
        } else if (c == '.' && pointAt < 0) {
            pointAt = static_cast<long>(count);
        } else {
            break;
        }
    }
    if (count == 0) return false;
    long written = 0;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return false;
        ++i;
        bool minus = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) minus = text[i++] == '-';
        size_t exponentDigits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++exponentDigits) {
            // Exponents beyond a billion mean zero or no number at all.
            if (written < 1000000000L) written = written * 10 + (text[i] - '0');
        }
        if (exponentDigits == 0 || i != text.size()) return false;
        if (minus) written = -written;
    }
    const long whole = pointAt < 0 ? static_cast<long>(count) : pointAt;
    // Leading zeros carry no value.
    size_t first = 0;
    while (first + 1 < digits.size() && digits[first] == '0') ++first;
    const long shift = static_cast<long>(first);
    digits.erase(0, first);
    exponent = written + whole - shift;
    if (digits == "0") exponent = 0;
    return true;
}

Real Parse(const std::string& text, mpfr_prec_t bits) {
    std::string digits;
    long exponent = 0;
    bool negative = false;
    Real value(0, bits);
    if (!SplitDecimal(text, digits, exponent, negative)) return value;
    // Digits and an exponent alone: no decimal mark for the locale to read.
    const std::string plain = (negative ? "-" : "") + digits + "e" +
                              std::to_string(exponent - static_cast<long>(digits.size()));
    mpfr_set_str(value.mpfr_ptr(), plain.c_str(), 10, MPFR_RNDN);
    return value;
}

Real FromDouble(double value, mpfr_prec_t bits) {
    Real v(0, bits);
    mpfr_set_d(v.mpfr_ptr(), value, MPFR_RNDN);
    return v;
}

long DecimalExponent(const Real& v) {
    long exponent = 0;
    bool negative = false;
    // Rounding to two digits may carry into a new leading digit (0.996 ->
    // 0.10 x 10^1); the exponent of the value itself is then one less.
    const std::string digits = DigitsOf(v, 2, exponent, negative);
    if (digits == "10") {
        const Real power = mpfr::pow(Real(10, v.getPrecision()), exponent - 1);
        if (mpfr::abs(v) < power) --exponent;
    }
    return exponent;
}

std::string FixedText(const Real& v, long fractionDigits) {
    if (mpfr_zero_p(v.mpfr_srcptr()) || !mpfr_number_p(v.mpfr_srcptr())) return "0";
    const long exponent = DecimalExponent(v);
    long count = exponent + fractionDigits;
    if (count <= 0) {
        // |v| < 10^-fractionDigits: zero, or one unit of the last place.
        const Real half = mpfr::pow(Real(10, v.getPrecision()), -fractionDigits) / 2;
        if (mpfr::abs(v) <= half) return "0";
        return Compose(v < 0, "1", 1 - fractionDigits);
    }
    long gotExponent = 0;
    bool negative = false;
    // A carry into a new leading digit (0.996 to two places: 0.10 x 10^1)
    // is still the value rounded at the last place asked for.
    const std::string digits = DigitsOf(v, static_cast<size_t>(count), gotExponent, negative);
    return Compose(negative, digits, gotExponent);
}

std::string SignificantText(const Real& v, int digits) {
    if (mpfr_zero_p(v.mpfr_srcptr()) || !mpfr_number_p(v.mpfr_srcptr())) return "0";
    long exponent = 0;
    bool negative = false;
    const std::string got = DigitsOf(v, static_cast<size_t>(std::max(digits, 1)), exponent, negative);
    return Compose(negative, got, exponent);
}

long CentreDigits(const Real& magnification) {
    if (magnification <= 1) return kDigitsBelowUnit;
    // ceil(log10 m): the exponent, less one where m is a power of ten.
    long exponent = DecimalExponent(magnification);
    const Real power = mpfr::pow(Real(10, magnification.getPrecision()), exponent - 1);
    if (magnification == power) --exponent;
    return exponent + kDigitsBelowUnit;
}

double NearestOf(const Real& v) {
    const double d = mpfr_get_d(v.mpfr_srcptr(), MPFR_RNDN);
    if (std::isinf(d)) return std::copysign(DBL_MAX, d);
    return d;
}

PrecisionScope::PrecisionScope(mpfr_prec_t bits) : old_(mpfr_get_default_prec()) {
    mpfr_set_default_prec(bits);
}

PrecisionScope::~PrecisionScope() { mpfr_set_default_prec(old_); }

}  // namespace engine::exact
