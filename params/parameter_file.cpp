// The 39-line parameter file: writer, reader and the number conversions.
#include "parameter_file.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <locale>
#include <stdexcept>
#include <vector>

#include "deep_view.h"
#include "file_access.h"

namespace params {

namespace {

constexpr const char* kVersionLine = "version-.001";
constexpr const char* kReservedTitleLine = "reservedtitle";
constexpr const char* kMissingPrefix = "Missing variable in parameter file: ";
constexpr const char* kMissingSuffix = " using defaults";
constexpr const char* kReadError = "Error reading parameter file";
constexpr const char* kBlendTooLarge = "blending .gt. 26, setting 1";
constexpr int32_t kLastBlendNo = 26;
constexpr char kEndOfFile = '\x1A';  // Ctrl-Z
constexpr int kLineCount = 39;
// Lines from here on take their default when missing.
constexpr int kFirstDefaultedLine = 21;
constexpr int kBlendLine = 21;
constexpr int kJuliaYLine = 32;
// A parameter file is a few hundred bytes; anything that has not shown its
// 39 lines within this many bytes is refused rather than read into memory.
constexpr size_t kMaxFileBytes = 4u << 20;
// The extension lines of the deepest view take some 60 kB; what lies beyond
// this many bytes after the 39 lines is not read.
constexpr size_t kMaxExtensionBytes = 1u << 20;

// The view's value lines and their extension names.
struct ViewLine {
    int line;
    const char* name;
    const char* what;  // as messages name it
    double TIterationContext::*field;
    std::string engine::ExactView::*text;
};
constexpr ViewLine kViewLines[] = {
    {9, "CenterX", "view centre, real", &TIterationContext::CenterX, &engine::ExactView::centerX},
    {11, "CenterY", "view centre, imaginary", &TIterationContext::CenterY, &engine::ExactView::centerY},
    {8, "Magnification", "magnification", &TIterationContext::Magnification, &engine::ExactView::magnification},
    {31, "JuliaX", "Julia constant, real", &TIterationContext::JuliaX, &engine::ExactView::juliaX},
    {32, "JuliaY", "Julia constant, imaginary", &TIterationContext::JuliaY, &engine::ExactView::juliaY},
};
constexpr const char* kSamplesName = "Samples";
constexpr int32_t kMaxSamples = 4;

enum class LineKind {
    DirectLiteral,  // read and written as it is, consumed whatever the state
    ValueLiteral,   // a value line whose value is ignored
    FormulaName,
    RenderName,
    Integer,
    Real,
};

struct LineSpec {
    LineKind kind;
    const char* literal = nullptr;
    int32_t TIterationContext::*intField = nullptr;
    double TIterationContext::*realField = nullptr;
    double defaultValue = 0.0;  // for lines 21 to 39
};

constexpr LineSpec Literal(const char* text) { return {LineKind::DirectLiteral, text}; }
constexpr LineSpec Int(int32_t TIterationContext::*field, double def = 0.0) {
    return {LineKind::Integer, nullptr, field, nullptr, def};
}
constexpr LineSpec Real(double TIterationContext::*field, double def = 0.0) {
    return {LineKind::Real, nullptr, nullptr, field, def};
}

using C = TIterationContext;
// Line n of the file is kLines[n - 1].
constexpr std::array<LineSpec, kLineCount> kLines = {{
    Literal(kVersionLine),
    Int(&C::FormulaNo),
    Int(&C::RenderNo),
    {LineKind::ValueLiteral, "0"},
    {LineKind::FormulaName},
    {LineKind::RenderName},
    Literal(kReservedTitleLine),
    Real(&C::Magnification),
    Real(&C::CenterX),
    Real(&C::XMax),
    Real(&C::CenterY),
    Real(&C::YMax),
    Real(&C::RedStart),
    Real(&C::GrnStart),
    Real(&C::BluStart),
    Real(&C::RedStep),
    Real(&C::GrnStep),
    Real(&C::BluStep),
    Int(&C::ReservedNo),
    Int(&C::Maxit),
    Int(&C::BlendNo, 1),  // line 21
    Int(&C::ColorOrderNo, 1),
    Real(&C::dFactor3, 2.0),
    Real(&C::dFactor4, 2.0),
    Real(&C::dFactor5, 8.0),
    Real(&C::epsilon, 0.05),
    Int(&C::Bailout, 4),
    Int(&C::JuliaMode, 0),
    Int(&C::JuliaFixed, 0),
    Int(&C::InsideOut, 0),
    Real(&C::JuliaX, 0.0),
    Real(&C::JuliaY, 0.0),
    Int(&C::RotationMode, 0),
    Real(&C::RedSaturate, 127.0),
    Real(&C::GrnSaturate, 127.0),
    Real(&C::BluSaturate, 127.0),
    Real(&C::RedOffset, 127.0),
    Real(&C::GrnOffset, 127.0),
    Real(&C::BluOffset, 127.0),
}};

char ResolveMark(char decimalMark) {
    if (decimalMark == 0) return LocaleDecimalMark();
    return decimalMark == ',' ? ',' : '.';
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Drops one leading "+" (the parsers below accept only "-").
bool StripPlus(std::string_view& text) {
    if (text.empty() || text.front() != '+') return true;
    text.remove_prefix(1);
    return !text.empty() && text.front() != '+' && text.front() != '-';
}

// Splits the contents into lines: CR LF, LF and CR all end a line, Ctrl-Z
// ends the file, and past the end every line is empty.
class LineSource {
public:
    explicit LineSource(std::string_view text) : text_(text) {}

    std::string_view Next() {
        if (ended_) return {};
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != '\r' && text_[pos_] != '\n' &&
               text_[pos_] != kEndOfFile) {
            ++pos_;
        }
        const std::string_view line = text_.substr(start, pos_ - start);
        if (pos_ >= text_.size() || text_[pos_] == kEndOfFile) {
            ended_ = true;
        } else if (text_[pos_++] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        return line;
    }

    bool Ended() const { return ended_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    bool ended_ = false;
};

void CopyName(std::string_view line, char (&buffer)[100]) {
    std::memset(buffer, 0, sizeof buffer);
    const size_t length = std::min(line.size(), sizeof buffer - 1);
    if (length > 0) std::memcpy(buffer, line.data(), length);
}

std::string ErrnoText(int error) { return std::strerror(error); }

// Reads the whole file, or as much of it as holds the 39 lines.
bool ReadFileText(const std::string& path, std::string& text, std::string& reason) {
    int64_t size = 0;
    const int fd = imaging::OpenRegularFile(path, size, reason);
    if (fd < 0) return false;
    int lineEnds = 0;
    bool afterCr = false;
    // Once the 39 lines are in, the extension lines follow up to a bound.
    size_t extensionEnd = 0;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        bool complete = false;
        for (ssize_t i = 0; i < got && !complete; ++i) {
            const char c = chunk[i];
            if (c == kEndOfFile) complete = true;
            if (c == '\r' || (c == '\n' && !afterCr)) ++lineEnds;
            afterCr = c == '\r';
            if (lineEnds >= kLineCount && extensionEnd == 0) extensionEnd = text.size() + static_cast<size_t>(i) + kMaxExtensionBytes;
        }
        text.append(chunk, static_cast<size_t>(got));
        if (complete) break;
        if (extensionEnd != 0) {
            if (text.size() >= extensionEnd) break;
            continue;
        }
        if (text.size() > kMaxFileBytes) {
            reason = "file too large";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

class Loader {
public:
    Loader(std::string_view text, const std::string& displayPath, LoadTarget target,
           engine::MessageSink& messages)
        : lines_(text), path_(displayPath), t_(target), messages_(messages) {}

    LoadOutcome Run() {
        TIterationContext& ctx = t_.ctx;
        if (RefuseNonFiniteView()) return LoadOutcome::Refused;
        t_.ParamsValid = true;
        for (int n = 1; n <= kLineCount; ++n) {
            const LineSpec& spec = kLines[static_cast<size_t>(n - 1)];
            switch (spec.kind) {
                case LineKind::DirectLiteral:
                    lines_.Next();
                    break;
                case LineKind::FormulaName:
                    CopyName(lines_.Next(), t_.names.FormulaNameBuffer);
                    ctx.FormulaName = t_.names.FormulaNameBuffer;
                    break;
                case LineKind::RenderName:
                    CopyName(lines_.Next(), t_.names.RenderNameBuffer);
                    ctx.RenderName = t_.names.RenderNameBuffer;
                    break;
                case LineKind::ValueLiteral:
                    ReadValueLine(n);
                    break;
                case LineKind::Integer:
                case LineKind::Real:
                    if (!LoadField(n, spec)) {
                        ReportMissingLines();
                        SetViewTexts({});
                        messages_.ShowMessage(kReadError);
                        return LoadOutcome::ReadError;
                    }
                    break;
            }
            if (n == kBlendLine && ctx.BlendNo > kLastBlendNo) {
                messages_.ShowMessage(kBlendTooLarge);
                ctx.BlendNo = 1;
            }
            if (n == kJuliaYLine) {
                ctx.CRe = ctx.JuliaX;
                ctx.CIm = ctx.JuliaY;
            }
        }
        ReportMissingLines();
        ReadExtensionLines();
        t_.LastFormulaNo = ctx.FormulaNo;
        return LoadOutcome::Loaded;
    }

private:
    // A view of NaN or an infinity cannot be drawn or navigated: the file is
    // refused with one message before anything changes.
    bool RefuseNonFiniteView() {
        LineSource scan = lines_;
        for (int n = 1; n <= kLineCount; ++n) {
            const std::string_view line = Trim(scan.Next());
            for (const ViewLine& view : kViewLines) {
                if (view.line != n || line.empty()) continue;
                const std::optional<double> value = ParseReal(line);
                if (value && !std::isfinite(*value)) {
                    messages_.ShowMessage("Not a finite number in parameter file: " + path_ + " (line " +
                                          std::to_string(n) + ", " + view.what + ": " + std::string(line) + ")");
                    return true;
                }
            }
        }
        return false;
    }

    // The lines after the 39: the view's exact texts where they agree with
    // their value lines, and the samples per pixel.
    void ReadExtensionLines() {
        std::string texts[std::size(kViewLines)];
        int32_t samples = 1;
        for (int guard = 0; guard < 1000 && !lines_.Ended(); ++guard) {
            const std::string_view line = lines_.Next();
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos) continue;
            const std::string_view name = line.substr(0, equals);
            const std::string value(Trim(line.substr(equals + 1)));
            if (name == kSamplesName) {
                const std::optional<int32_t> n = ParseInteger(value);
                if (n && *n >= 1 && *n <= kMaxSamples) samples = *n;
                continue;
            }
            for (size_t i = 0; i < std::size(kViewLines); ++i) {
                const ViewLine& view = kViewLines[i];
                if (name != view.name || !present_[view.line] || !engine::ValidViewText(value)) continue;
                if (view.field == &TIterationContext::Magnification && !engine::MagnificationInRange(value)) continue;
                double nearest = 0.0;
                engine::NearestDouble(value, nearest);
                // Written with 15 digits, the text must be what its line says.
                if (ParseReal(FormatReal(nearest, '.')) != t_.ctx.*view.field) continue;
                texts[i] = value;
            }
        }
        SetViewTexts(texts);
        if (t_.samples != nullptr) *t_.samples = samples;
    }

    // The read value lines of the view take `texts` (none: the doubles
    // alone); a value line not read keeps its field and its text.
    void SetViewTexts(const std::string* texts) {
        for (size_t i = 0; i < std::size(kViewLines); ++i) {
            const ViewLine& view = kViewLines[i];
            if (!present_[view.line]) continue;
            const std::string text = texts != nullptr ? texts[i] : std::string();
            std::string kept;
            if (!text.empty()) engine::SetFromText(text, t_.ctx.*view.field, kept);
            if (t_.view != nullptr) t_.view->*view.text = kept;
        }
    }

    // Reads the next value line. An empty or missing line still counts as
    // its field's line, so that the lines after it stay in step. True when
    // `line_` holds a value to convert.
    bool ReadValueLine(int n) {
        line_ = Trim(lines_.Next());
        if (!line_.empty()) return true;
        missing_.push_back(n);
        return false;
    }

    // One message for the whole file, naming the lines that were missing.
    void ReportMissingLines() {
        if (missing_.empty()) return;
        std::string lines;
        for (size_t i = 0; i < missing_.size();) {
            size_t last = i;
            while (last + 1 < missing_.size() && missing_[last + 1] == missing_[last] + 1) ++last;
            if (!lines.empty()) lines += ", ";
            lines += std::to_string(missing_[i]);
            if (last > i) lines += "-" + std::to_string(missing_[last]);
            i = last + 1;
        }
        const char* noun = missing_.size() == 1 ? " (line " : " (lines ";
        messages_.ShowMessage(kMissingPrefix + path_ + kMissingSuffix + noun + lines + ")");
        missing_.clear();
    }

    // False when the line does not convert. A missing line keeps the
    // field's value, or from line 21 on sets the reader's default.
    bool LoadField(int n, const LineSpec& spec) {
        TIterationContext& ctx = t_.ctx;
        if (!ReadValueLine(n)) {
            if (n >= kFirstDefaultedLine) {
                if (spec.kind == LineKind::Integer) {
                    ctx.*spec.intField = static_cast<int32_t>(spec.defaultValue);
                } else {
                    ctx.*spec.realField = spec.defaultValue;
                }
            }
            return true;
        }
        if (spec.kind == LineKind::Integer) {
            const std::optional<int32_t> value = ParseInteger(line_);
            if (!value) return false;
            ctx.*spec.intField = *value;
        } else {
            const std::optional<double> value = ParseReal(line_);
            if (!value) return false;
            ctx.*spec.realField = *value;
        }
        present_[n] = true;
        return true;
    }

    LineSource lines_;
    const std::string& path_;
    LoadTarget t_;
    engine::MessageSink& messages_;
    std::string_view line_;
    std::vector<int> missing_;
    bool present_[kLineCount + 1] = {};  // value lines read and converted
};

// Name lines must stay one line each, whatever the texts hold.
std::string NameLine(const char* name) {
    std::string line = name ? name : "";
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == kEndOfFile) c = ' ';
    }
    return line;
}

}  // namespace

char LocaleDecimalMark() {
    try {
        const std::locale user("");
        return std::use_facet<std::numpunct<char>>(user).decimal_point() == ',' ? ',' : '.';
    } catch (const std::runtime_error&) {
        // The environment names a locale this system does not have.
        return '.';
    }
}

std::string FormatReal(double value, char decimalMark) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0.0) return "0";
    const char mark = ResolveMark(decimalMark);

    // d.dddddddddddddde[+-]x: the value rounded to 15 significant digits.
    char buffer[40];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    if (std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)).ends_with("e+308") &&
        !ParseReal(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)))) {
        // Rounded up past the largest double (the magnification of a view
        // beyond the doubles' range): cut to 15 digits instead, which reads
        // back. d.dddddddddddddddd: drop the last two digits.
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
        char* const e = std::find(buffer, result.ptr, 'e');
        std::memmove(e - 2, e, static_cast<size_t>(result.ptr - e));
        result.ptr -= 2;
    }
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    std::string out;
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    const size_t e = text.find('e');
    std::string digits;
    digits += text[0];
    digits.append(text.substr(2, e - 2));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string_view exponentText = text.substr(e + 1);
    const bool negativeExponent = exponentText.front() == '-';
    exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    if (negativeExponent) exponent = -exponent;

    if (exponent >= -4 && exponent < 15) {
        const size_t integerDigits = exponent >= 0 ? static_cast<size_t>(exponent) + 1 : 0;
        std::string fraction;
        if (exponent >= 0) {
            std::string whole = digits.substr(0, std::min(integerDigits, digits.size()));
            whole.resize(integerDigits, '0');
            out += whole;
            if (digits.size() > integerDigits) fraction = digits.substr(integerDigits);
        } else {
            out += '0';
            fraction = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
        }
        if (!fraction.empty()) {
            out += mark;
            out += fraction;
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += mark;
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
    text = Trim(text);
    if (!StripPlus(text)) return std::nullopt;
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc{} || result.ptr != end) return std::nullopt;
    return value;
}

std::optional<double> ParseReal(std::string_view text) {
    text = Trim(text);
    if (!StripPlus(text)) return std::nullopt;
    std::string normalised(text);
    for (char& c : normalised) {
        if (c == ',') c = '.';
    }
    double value = 0.0;
    const char* end = normalised.data() + normalised.size();
    const auto result = std::from_chars(normalised.data(), end, value, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != end) return std::nullopt;
    return value;
}

std::string ParameterFilePathFor(const std::string& imagePath) {
    const size_t slash = imagePath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t nameLength = imagePath.size() - nameStart;
    // Names too short to lose three characters keep their whole name.
    if (nameLength < 3) return imagePath + ".vtx";
    return imagePath.substr(0, imagePath.size() - 3) + "vtx";
}

std::string ExtensionLines(const TIterationContext& ctx, const engine::ExactView& view, int32_t samples) {
    std::string lines;
    for (const ViewLine& line : kViewLines) {
        const double value = ctx.*line.field;
        if (!std::isfinite(value)) continue;
        const std::string exact = engine::ExactText(view.*line.text, value);
        if (!engine::ValidViewText(exact) || engine::SameNumber(exact, FormatReal(value, '.'))) continue;
        // Only what the reader takes: a magnification above 0, up to the deepest.
        if (line.field == &TIterationContext::Magnification && !engine::MagnificationInRange(exact)) continue;
        lines += std::string(line.name) + "=" + exact + "\r\n";
    }
    if (samples > 1) lines += std::string(kSamplesName) + "=" + std::to_string(samples) + "\r\n";
    return lines;
}

std::string ParameterFileText(const TIterationContext& ctx, char decimalMark) {
    return ParameterFileText(ctx, engine::ExactView{}, 1, decimalMark);
}

std::string ParameterFileText(const TIterationContext& ctx, const engine::ExactView& view, int32_t samples,
                              char decimalMark) {
    const char mark = ResolveMark(decimalMark);
    std::string text;
    for (const LineSpec& spec : kLines) {
        switch (spec.kind) {
            case LineKind::DirectLiteral:
            case LineKind::ValueLiteral:
                text += spec.literal;
                break;
            case LineKind::FormulaName:
                text += NameLine(ctx.FormulaName);
                break;
            case LineKind::RenderName:
                text += NameLine(ctx.RenderName);
                break;
            case LineKind::Integer:
                text += std::to_string(ctx.*spec.intField);
                break;
            case LineKind::Real:
                text += FormatReal(ctx.*spec.realField, mark);
                break;
        }
        text += "\r\n";
    }
    return text + ExtensionLines(ctx, view, samples);
}

std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                               char decimalMark) {
    return WriteParameterFile(path, ctx, engine::ExactView{}, 1, decimalMark);
}

std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                               const engine::ExactView& view, int32_t samples, char decimalMark) {
    const std::string text = ParameterFileText(ctx, view, samples, decimalMark);
    const std::string error =
        imaging::ReplaceFileContents(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!error.empty()) return "Cannot write parameter file: " + path + " (" + error + ")";
    return "";
}

LoadOutcome LoadParametersFromText(std::string_view text, const std::string& displayPath,
                                   LoadTarget target, engine::MessageSink& messages,
                                   char /*decimalMark*/) {
    // Either mark converts, so the locale's own mark needs no look-up here.
    return Loader(text, displayPath, target, messages).Run();
}

LoadOutcome LoadParameters(const std::string& path, LoadTarget target,
                           engine::MessageSink& messages, char decimalMark) {
    std::string text;
    std::string reason;
    if (!ReadFileText(path, text, reason)) {
        messages.ShowMessage("Cannot open parameter file: " + path + " (" + reason + ")");
        return LoadOutcome::CannotOpen;
    }
    return LoadParametersFromText(text, path, target, messages, decimalMark);
}

}  // namespace params
