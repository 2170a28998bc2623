#include "settings_record.h"

#include <charconv>

#include "picture_settings.h"

namespace params {

namespace {
constexpr std::string_view kCommentTitle = "halvane picture settings";
constexpr std::string_view kSizePrefix = "size ";

// The next line of `text` (ended by LF, CR LF or the end), advancing it.
std::string_view NextLine(std::string_view& text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::optional<int32_t> SizeNumber(std::string_view text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
    return value;
}
}  // namespace

SettingsRecord RecordSettings(const TIterationContext& ctx) {
    return SettingsRecord{ParameterFileText(ctx, '.'), ctx.ImageWidth, ctx.ImageHeight};
}

LoadOutcome RestoreSettings(const SettingsRecord& record, LoadTarget target, engine::MessageSink& messages,
                            const std::string& name) {
    engine::ApplyNewDefaults(target.ctx);
    engine::ResetCoordinates(target.ctx);
    const LoadOutcome outcome = LoadParametersFromText(record.lines, name, target, messages);
    target.ctx.ImageWidth = record.width;
    target.ctx.ImageHeight = record.height;
    return outcome;
}

std::string SettingsComment(const SettingsRecord& record) {
    std::string comment(kCommentTitle);
    comment += '\n';
    comment += std::string(kSizePrefix) + std::to_string(record.width) + "x" + std::to_string(record.height) + '\n';
    // Lines end in LF alone in a comment; the reader takes either end.
    for (const char c : record.lines)
        if (c != '\r') comment += c;
    return comment;
}

std::optional<SettingsRecord> SettingsFromComment(std::string_view comment) {
    if (NextLine(comment) != kCommentTitle) return std::nullopt;
    const std::string_view size = NextLine(comment);
    if (size.substr(0, kSizePrefix.size()) != kSizePrefix) return std::nullopt;
    const std::string_view numbers = size.substr(kSizePrefix.size());
    const size_t x = numbers.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const std::optional<int32_t> width = SizeNumber(numbers.substr(0, x));
    const std::optional<int32_t> height = SizeNumber(numbers.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return SettingsRecord{std::string(comment), *width, *height};
}

}  // namespace params
