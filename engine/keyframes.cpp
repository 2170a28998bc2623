#include "keyframes.h"

#include <mpreal.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "picture_settings.h"

namespace engine {

namespace {

using mpfr::mpreal;

// A centre or Julia constant is placed to this share of a pixel.
constexpr double kPixelShare = 1e-3;
// Significant digits the record's lines hold.
constexpr int kRecordDigits = 15;

mpreal Exact(const std::string& text, mp_prec_t bits) { return mpreal(text, bits, 10, MPFR_RNDN); }

mpreal Number(double value, mp_prec_t bits) { return mpreal(value, bits); }

// The working precision of a segment: enough for the deeper magnification,
// the picture's pixels and the share of a pixel kept, with a margin.
mp_prec_t SegmentBits(const mpreal& magnificationA, const mpreal& magnificationB, int32_t side) {
    const mpreal deeper = std::max(std::max(magnificationA, magnificationB), mpreal(1, 64));
    const long magnitude = std::lround(mpfr::log2(deeper).toDouble());
    return static_cast<mp_prec_t>(96 + magnitude + std::lround(std::log2(std::max(side, 1) / kPixelShare)));
}

// `value` with `digits` significant digits, trailing zeros dropped: in
// positional notation for exponents -5 to 20, else "d.ddd…E-n".
std::string DecimalText(const mpreal& value, int digits) {
    const std::string text = value.toString("%." + std::to_string(std::max(digits - 1, 0)) + "Re");
    const size_t e = text.find_first_of("eE");
    const bool negative = text.front() == '-';
    std::string mantissa;
    for (const char c : text.substr(0, e))
        if (c >= '0' && c <= '9') mantissa += c;
    const long exponent = e == std::string::npos ? 0 : std::strtol(text.c_str() + e + 1, nullptr, 10);
    mantissa.erase(std::max<size_t>(mantissa.find_last_not_of('0') + 1, 1));
    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent <= 20) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + mantissa;
        } else {
            const size_t point = static_cast<size_t>(exponent) + 1;
            if (mantissa.size() < point) mantissa.append(point - mantissa.size(), '0');
            out += mantissa.substr(0, point);
            if (mantissa.size() > point) out += "." + mantissa.substr(point);
        }
        return out;
    }
    out += mantissa.substr(0, 1);
    if (mantissa.size() > 1) out += "." + mantissa.substr(1);
    return out + "E" + std::to_string(exponent);
}

// A coordinate of the view placed to `resolution` (absolute): the double
// alone where 15 significant digits do that, else an exact text too.
void SetCoordinate(const mpreal& value, const mpreal& resolution, double& number, std::string& text) {
    text.clear();
    if (mpfr::iszero(value)) {
        number = 0.0;
        return;
    }
    const double magnitude = mpfr::floor(mpfr::log10(mpfr::abs(value))).toDouble();
    const double finest = mpfr::floor(mpfr::log10(resolution)).toDouble();
    const double digits = magnitude - finest + 1;
    if (digits <= kRecordDigits) {
        number = value.toDouble(MPFR_RNDN);
        return;
    }
    text = DecimalText(value, static_cast<int>(digits));
    NearestDouble(text, number);
    // Rounded to the digits needed, it may have no more than the record holds.
    const std::string mantissa = text.substr(0, text.find('E'));
    const size_t firstDigit = mantissa.find_first_of("123456789");
    size_t significant = 0;
    for (size_t i = firstDigit; i < mantissa.size(); ++i) significant += mantissa[i] != '.';
    if (significant <= kRecordDigits) text.clear();
}

mpreal Linear(const mpreal& a, const mpreal& b, const mpreal& t) { return a + (b - a) * t; }

double LinearDouble(double a, double b, const mpreal& t) {
    const mp_prec_t bits = t.get_prec();
    return Linear(Number(a, bits), Number(b, bits), t).toDouble(MPFR_RNDN);
}

// Maxit and bailout: geometric between positive values, else linear.
int32_t Count(int32_t a, int32_t b, const mpreal& t) {
    const mp_prec_t bits = t.get_prec();
    mpreal value;
    if (a > 0 && b > 0) {
        value = mpfr::exp(Linear(mpfr::log(mpreal(a, bits)), mpfr::log(mpreal(b, bits)), t));
    } else {
        value = Linear(mpreal(a, bits), mpreal(b, bits), t);
    }
    const long rounded = mpfr_get_si(value.mpfr_srcptr(), MPFR_RNDN);
    return static_cast<int32_t>(std::clamp<long>(rounded, std::min(a, b), std::max(a, b)));
}

}  // namespace

std::string KeyframeProblem(const std::vector<Keyframe>& keys) {
    if (keys.size() < 2) return "a film needs at least two keys";
    if (keys.front().frame != 0) return "the first key must be frame 0";
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i].frame <= keys[i - 1].frame) {
            return "key frames must increase: frame " + std::to_string(keys[i].frame) + " follows frame " +
                   std::to_string(keys[i - 1].frame);
        }
        const std::string magnification =
            ExactText(keys[i].view.magnification, keys[i].settings.Magnification);
        if (!(Exact(magnification, 64) > 0)) {
            return "the key of frame " + std::to_string(keys[i].frame) + " has a magnification of " + magnification +
                   ", not greater than 0";
        }
    }
    return {};
}

FrameSettings InterpolateKeyframes(const std::vector<Keyframe>& keys, int32_t frame) {
    size_t next = 1;
    while (next + 1 < keys.size() && keys[next].frame <= frame) ++next;
    const Keyframe& a = keys[next - 1];
    const Keyframe& b = keys[next];
    if (frame <= a.frame || frame >= b.frame) {
        const Keyframe& key = frame >= b.frame ? b : a;
        FrameSettings exact{key.settings, key.view};
        FitViewToImage(exact.settings);
        return exact;
    }
    const ExactView viewA = EffectiveView(a.view, a.settings);
    const ExactView viewB = EffectiveView(b.view, b.settings);
    const int32_t side = std::max(a.settings.ImageWidth, a.settings.ImageHeight);
    const mp_prec_t bits = SegmentBits(Exact(viewA.magnification, 64), Exact(viewB.magnification, 64), side);
    const mpreal t = mpreal(frame - a.frame, bits) / mpreal(b.frame - a.frame, bits);

    FrameSettings out{a.settings, {}};
    TIterationContext& ctx = out.settings;
    ExactView& view = out.view;

    // Magnification, geometric.
    const mpreal logA = mpfr::log(Exact(viewA.magnification, bits));
    const mpreal logB = mpfr::log(Exact(viewB.magnification, bits));
    const mpreal logM = Linear(logA, logB, t);
    const mpreal magnification = mpfr::exp(logM);
    if (magnification > mpreal(DBL_MAX, bits)) {
        view.magnification = DecimalText(magnification, 17);
        NearestDouble(view.magnification, ctx.Magnification);
    } else {
        ctx.Magnification = magnification.toDouble(MPFR_RNDN);
    }

    // Centre: the deeper key's offset on screen shrinks linearly.
    const mpreal one(1, bits);
    const auto centre = [&](const std::string& fromA, const std::string& fromB) {
        const mpreal cA = Exact(fromA, bits);
        const mpreal cB = Exact(fromB, bits);
        if (logA == logB) return Linear(cA, cB, t);
        if (logB > logA) return cB + (cA - cB) * (one - t) * mpfr::exp(logA - logM);
        return cA + (cB - cA) * t * mpfr::exp(logB - logM);
    };
    const mpreal resolution = mpreal(4, bits) / (magnification * mpreal(std::max(side, 1), bits)) * kPixelShare;
    SetCoordinate(centre(viewA.centerX, viewB.centerX), resolution, ctx.CenterX, view.centerX);
    SetCoordinate(centre(viewA.centerY, viewB.centerY), resolution, ctx.CenterY, view.centerY);
    SetCoordinate(Linear(Exact(viewA.juliaX, bits), Exact(viewB.juliaX, bits), t), resolution, ctx.JuliaX,
                  view.juliaX);
    SetCoordinate(Linear(Exact(viewA.juliaY, bits), Exact(viewB.juliaY, bits), t), resolution, ctx.JuliaY,
                  view.juliaY);
    // c is the Julia constant after a load, as the parameter file sets it.
    ctx.CRe = ctx.JuliaX;
    ctx.CIm = ctx.JuliaY;

    const TIterationContext& from = a.settings;
    const TIterationContext& to = b.settings;
    for (double TIterationContext::*field :
         {&TIterationContext::RedStep, &TIterationContext::GrnStep, &TIterationContext::BluStep,
          &TIterationContext::RedStart, &TIterationContext::GrnStart, &TIterationContext::BluStart,
          &TIterationContext::RedSaturate, &TIterationContext::GrnSaturate, &TIterationContext::BluSaturate,
          &TIterationContext::RedOffset, &TIterationContext::GrnOffset, &TIterationContext::BluOffset,
          &TIterationContext::dFactor3, &TIterationContext::dFactor4, &TIterationContext::dFactor5,
          &TIterationContext::epsilon}) {
        ctx.*field = LinearDouble(from.*field, to.*field, t);
    }
    ctx.Maxit = Count(from.Maxit, to.Maxit, t);
    ctx.Bailout = Count(from.Bailout, to.Bailout, t);
    FitViewToImage(ctx);
    return out;
}

}  // namespace engine
