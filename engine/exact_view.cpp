#include "exact_view.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace engine {

namespace {
bool IsDecimal(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}
}  // namespace

bool NearestDouble(const std::string& text, double& value) {
    if (!IsDecimal(text)) return false;
    // glibc's strtod rounds to nearest at any length; the C locale keeps
    // "." the decimal mark whatever the user's locale says.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    double parsed = strtod_l(text.c_str(), nullptr, cLocale);
    if (std::isinf(parsed)) parsed = std::copysign(DBL_MAX, parsed);
    value = parsed;
    return true;
}

bool TextHolds(const std::string& text, double value) {
    double nearest = 0.0;
    return !text.empty() && NearestDouble(text, nearest) && nearest == value;
}

std::string ShortestText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string ExactText(const std::string& text, double value) {
    return TextHolds(text, value) ? text : ShortestText(value);
}

ExactView EffectiveView(const ExactView& view, const TIterationContext& ctx) {
    return ExactView{ExactText(view.centerX, ctx.CenterX), ExactText(view.centerY, ctx.CenterY),
                     ExactText(view.magnification, ctx.Magnification), ExactText(view.juliaX, ctx.JuliaX),
                     ExactText(view.juliaY, ctx.JuliaY)};
}

}  // namespace engine
