#include "frame_record.h"

#include <charconv>
#include <mutex>
#include <set>
#include <vector>

#include "parameter_file.h"

namespace params {

namespace {

constexpr int kValueLines = 39;

struct ViewLine {
    const char* name;
    double TIterationContext::*field;
    std::string engine::ExactView::*text;
};
constexpr ViewLine kViewLines[] = {
    {"CenterX", &TIterationContext::CenterX, &engine::ExactView::centerX},
    {"CenterY", &TIterationContext::CenterY, &engine::ExactView::centerY},
    {"Magnification", &TIterationContext::Magnification, &engine::ExactView::magnification},
    {"JuliaX", &TIterationContext::JuliaX, &engine::ExactView::juliaX},
    {"JuliaY", &TIterationContext::JuliaY, &engine::ExactView::juliaY},
};

// The lines after the 39 (CR LF, LF and CR end a line; Ctrl-Z the text).
std::vector<std::string_view> ExtensionLineTexts(std::string_view text) {
    text = text.substr(0, text.find('\x1A'));
    std::vector<std::string_view> lines;
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        if (++n > kValueLines) lines.push_back(text.substr(at, end - at));
        at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

// A decimal text as sign, significant digits and exponent (0.DIGITS x 10^E).
struct Decimal {
    bool negative = false;
    std::string digits;
    long exponent = 0;
    bool operator==(const Decimal&) const = default;
};

Decimal Normalise(std::string_view text) {
    Decimal d;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    long integerDigits = 0;
    bool afterPoint = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            afterPoint = true;
            continue;
        }
        d.digits += text[i];
        if (!afterPoint) ++integerDigits;
    }
    long exponent = 0;
    if (i + 1 < text.size()) {
        const size_t from = i + 1 + (text[i + 1] == '+' ? 1 : 0);
        std::from_chars(text.data() + from, text.data() + text.size(), exponent);
    }
    d.exponent = integerDigits + exponent;
    const size_t firstDigit = d.digits.find_first_not_of('0');
    if (firstDigit == std::string::npos) return Decimal{};
    d.exponent -= static_cast<long>(firstDigit);
    d.digits.erase(0, firstDigit);
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
    return d;
}

}  // namespace

const char* KeptName(const char* name) {
    static std::mutex guard;
    static std::set<std::string> kept;
    const std::lock_guard<std::mutex> lock(guard);
    return kept.insert(name).first->c_str();
}

SettingsRecord RecordPicture(const RecordedPicture& picture) {
    SettingsRecord record = RecordSettings(picture.settings);
    for (const ViewLine& line : kViewLines) {
        const double value = picture.settings.*line.field;
        const std::string& text = picture.view.*line.text;
        if (text.empty() || !engine::TextHolds(text, value)) continue;
        // Where the value line's 15 digits say the text's number, the line is the whole value.
        if (Normalise(FormatReal(value, '.')) == Normalise(text)) continue;
        record.lines += std::string(line.name) + "=" + text + "\r\n";
    }
    if (picture.samples > 1) record.lines += "Samples=" + std::to_string(picture.samples) + "\r\n";
    return record;
}

engine::ExactView ReadViewLines(std::string_view text, TIterationContext& settings) {
    engine::ExactView view;
    for (const std::string_view line : ExtensionLineTexts(text)) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        for (const ViewLine& viewLine : kViewLines) {
            if (line.substr(0, equals) != viewLine.name) continue;
            const std::string value(line.substr(equals + 1));
            double nearest = 0.0;
            if (!engine::NearestDouble(value, nearest)) continue;
            // Written with 15 digits, the text must be what its line says.
            double lineValue = 0.0;
            engine::NearestDouble(FormatReal(nearest, '.'), lineValue);
            if (lineValue != settings.*viewLine.field) continue;
            settings.*viewLine.field = nearest;
            view.*viewLine.text = value;
        }
    }
    return view;
}

LoadOutcome RestorePicture(const SettingsRecord& record, RecordedPicture& picture, engine::MessageSink& messages,
                           const std::string& name) {
    bool paramsValid = true;
    int32_t lastFormulaNo = 0;
    NameBuffers names;
    const LoadOutcome outcome =
        RestoreSettings(record, {picture.settings, paramsValid, lastFormulaNo, names}, messages, name);
    picture.settings.FormulaName = KeptName(names.FormulaNameBuffer);
    picture.settings.RenderName = KeptName(names.RenderNameBuffer);
    picture.view = ReadViewLines(record.lines, picture.settings);
    picture.samples = 1;
    for (const std::string_view line : ExtensionLineTexts(record.lines)) {
        int32_t n = 0;
        if (line.substr(0, 8) == "Samples=" &&
            std::from_chars(line.data() + 8, line.data() + line.size(), n).ptr == line.data() + line.size() &&
            n >= 1 && n <= 4) {
            picture.samples = n;
        }
    }
    return outcome;
}

}  // namespace params
