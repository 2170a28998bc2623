#include "image_options.h"

#include <charconv>
#include <cmath>
#include <type_traits>
#include <variant>

namespace imaging {

ImageFileOptions& Options() {
    static ImageFileOptions options;
    return options;
}

namespace {

using O = ImageFileOptions;
using Field = std::variant<bool O::*, uint8_t O::*, int32_t O::*, double O::*>;

// A word that stands for a number.
struct Word {
    std::string_view text;
    int64_t value;
};

// One field: its name, meaning, the numbers it accepts and their words.
struct Entry {
    std::string_view name;
    std::string_view meaning;
    Field field;
    double low;
    double high;
    std::vector<Word> words;
};

const std::vector<Word> kYesNo = {{"no", 0}, {"yes", 1}, {"false", 0}, {"true", 1}, {"off", 0}, {"on", 1}};
const std::vector<Word> kDctMethods = {{"islow", 0}, {"ifast", 1}, {"float", 2}};
constexpr int32_t kWhole = 2147483647;

// The one table of the names.
const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = {
        {"JpegQuality", "JPEG quality, 1 to 100", &O::JpegQuality, 1, 100, {}},
        {"JpegWriteMethod", "JPEG DCT when writing: 0 islow (integer precise), 1 ifast (integer fast), 2 float",
         &O::JpegWriteMethod, 0, 2, kDctMethods},
        {"JpegReadMethod", "JPEG DCT when reading, as JpegWriteMethod", &O::JpegReadMethod, 0, 2, kDctMethods},
        {"JpegProgressive", "progressive JPEG: yes or no", &O::JpegProgressive, 0, 1, kYesNo},
        {"PnmBinary", "PBM, PGM and PPM: yes binary (raw), no ASCII (plain)", &O::PnmBinary, 0, 1, kYesNo},
        {"TiffCompression", "TIFF compression: 1 none, 32773 packbits", &O::TiffCompression, 1, 32773,
         {{"none", 1}, {"packbits", 32773}}},
        {"TiffTrueColour", "TIFF colour pictures: 0 rgb, 1 cmyk", &O::TiffTrueColour, 0, 1, {{"rgb", 0}, {"cmyk", 1}}},
        {"TiffGreyScale", "TIFF grey pictures: 0 black-is-zero, 1 white-is-zero", &O::TiffGreyScale, 0, 1,
         {{"black-is-zero", 0}, {"white-is-zero", 1}}},
        {"TiffByteOrder", "TIFF byte order: 0 little (II), 1 big (MM)", &O::TiffByteOrder, 0, 1,
         {{"little", 0}, {"big", 1}, {"ii", 0}, {"mm", 1}}},
        {"TiffResolutionUnit", "TIFF resolution unit: 0 none, 1 inch, 2 centimetre", &O::TiffResolutionUnit, 0, 2,
         {{"none", 0}, {"inch", 1}, {"centimetre", 2}, {"centimeter", 2}, {"cm", 2}}},
        {"TiffResHorizN", "TIFF horizontal resolution, numerator (not positive: the vertical one's)",
         &O::TiffResHorizN, -kWhole - 1.0, kWhole, {}},
        {"TiffResHorizD", "TIFF horizontal resolution, denominator", &O::TiffResHorizD, -kWhole - 1.0, kWhole, {}},
        {"TiffResVertN", "TIFF vertical resolution, numerator (not positive: the horizontal one's)",
         &O::TiffResVertN, -kWhole - 1.0, kWhole, {}},
        {"TiffResVertD", "TIFF vertical resolution, denominator", &O::TiffResVertD, -kWhole - 1.0, kWhole, {}},
        {"WriteGamma", "PNG: write a gAMA chunk of 1 / ScreenGamma, yes or no", &O::WriteGamma, 0, 1, kYesNo},
        {"ScreenGamma", "PNG: the screen gamma pictures are made for, 0.1 to 10", &O::ScreenGamma, 0.1, 10, {}},
        {"GammaCorrectionOnRead", "PNG: correct a file's gAMA to ScreenGamma on reading, yes or no",
         &O::GammaCorrectionOnRead, 0, 1, kYesNo},
    };
    return entries;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsReal(const Entry& entry) { return std::holds_alternative<double O::*>(entry.field); }

std::string NumberText(double value, bool real) {
    if (!real) return std::to_string(static_cast<int64_t>(value));
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Show(const Entry& entry, const O& options) {
    const double value = std::visit([&](auto member) { return static_cast<double>(options.*member); }, entry.field);
    if (std::holds_alternative<bool O::*>(entry.field)) return value != 0 ? "yes" : "no";
    std::string text = NumberText(value, IsReal(entry));
    for (const Word& word : entry.words) {
        if (word.value == value) return text + " (" + std::string(word.text) + ")";
    }
    return text;
}

// Codes between the listed ones (TIFF compression 2 to 32772) mean nothing.
bool ListedOnly(const Entry& entry) { return !entry.words.empty() && entry.high - entry.low > 2; }

// What the option takes, for a refusal.
std::string Expected(const Entry& entry) {
    std::string text;
    if (ListedOnly(entry)) {
        text = "one of";
    } else {
        text = IsReal(entry) ? "a number from " : "a whole number from ";
        text += NumberText(entry.low, IsReal(entry)) + " to " + NumberText(entry.high, IsReal(entry));
        if (!entry.words.empty()) text += " or one of";
    }
    for (const Word& word : entry.words) {
        text += " " + std::string(word.text);
        if (ListedOnly(entry)) text += " (" + std::to_string(word.value) + ")";
    }
    return text;
}

}  // namespace

std::vector<ImageOptionHelp> ImageOptionList() {
    const O defaults;
    std::vector<ImageOptionHelp> list;
    for (const Entry& entry : Entries()) {
        list.push_back({std::string(entry.name), Show(entry, defaults), std::string(entry.meaning)});
    }
    return list;
}

std::string SetImageOption(ImageFileOptions& options, std::string_view name, std::string_view value) {
    for (const Entry& entry : Entries()) {
        if (!SameWord(entry.name, name)) continue;
        double number = 0.0;
        bool known = false;
        for (const Word& word : entry.words) {
            if (SameWord(word.text, value)) {
                number = static_cast<double>(word.value);
                known = true;
            }
        }
        if (!known && !value.empty()) {
            const char* end = value.data() + value.size();
            if (IsReal(entry)) {
                const auto result = std::from_chars(value.data(), end, number);
                known = result.ec == std::errc() && result.ptr == end && std::isfinite(number);
            } else {
                int64_t whole = 0;
                const auto result = std::from_chars(value.data(), end, whole);
                known = result.ec == std::errc() && result.ptr == end;
                number = static_cast<double>(whole);
            }
        }
        bool listed = !ListedOnly(entry);
        for (const Word& word : entry.words) listed = listed || word.value == number;
        if (!known || !(number >= entry.low && number <= entry.high) || !listed) {
            return std::string(entry.name) + ": expected " + Expected(entry) + ", got \"" + std::string(value) + "\"";
        }
        std::visit([&](auto member) {
            using Value = std::remove_reference_t<decltype(options.*member)>;
            options.*member = static_cast<Value>(number);
        }, entry.field);
        return "";
    }
    return "unknown image option \"" + std::string(name) + "\"";
}

}  // namespace imaging
