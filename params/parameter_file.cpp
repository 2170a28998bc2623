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
            if (lineEnds >= kLineCount) complete = true;
        }
        text.append(chunk, static_cast<size_t>(got));
        if (complete) break;
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
        t_.LastFormulaNo = ctx.FormulaNo;
        return LoadOutcome::Loaded;
    }

private:
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
        return true;
    }

    LineSource lines_;
    const std::string& path_;
    LoadTarget t_;
    engine::MessageSink& messages_;
    std::string_view line_;
    std::vector<int> missing_;
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
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
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

std::string ParameterFileText(const TIterationContext& ctx, char decimalMark) {
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
    return text;
}

std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                               char decimalMark) {
    const std::string text = ParameterFileText(ctx, decimalMark);
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
