#include "settings_record.h"

#include <charconv>
#include <utility>

#include "picture_settings.h"

namespace params {

namespace {
constexpr std::string_view kCommentTitle = "halvane picture settings";
constexpr std::string_view kSizePrefix = "size ";
constexpr std::string_view kSamplesLine = "Samples=";
constexpr int kParameterLines = 39;
constexpr int32_t kMaxSamples = 4;

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

SettingsRecord RecordSettings(const TIterationContext& ctx) { return RecordSettings(ctx, engine::ExactView{}); }

SettingsRecord RecordSettings(const TIterationContext& ctx, const engine::ExactView& view) {
    return SettingsRecord{ParameterFileText(ctx, view, 1, '.'), ctx.ImageWidth, ctx.ImageHeight};
}

LoadOutcome RestoreSettings(const SettingsRecord& record, LoadTarget target, engine::MessageSink& messages,
                            const std::string& name) {
    // A refused record changes nothing.
    const TIterationContext before = target.ctx;
    const engine::ExactView viewBefore = target.view != nullptr ? *target.view : engine::ExactView{};
    engine::ApplyNewDefaults(target.ctx);
    engine::ResetCoordinates(target.ctx);
    if (target.view != nullptr) *target.view = engine::ExactView{};
    int32_t* samples = std::exchange(target.samples, nullptr);
    const LoadOutcome outcome = LoadParametersFromText(record.lines, name, target, messages);
    if (outcome == LoadOutcome::Refused) {
        target.ctx = before;
        if (target.view != nullptr) *target.view = viewBefore;
        return outcome;
    }
    target.ctx.ImageWidth = record.width;
    target.ctx.ImageHeight = record.height;
    if (samples != nullptr) *samples = record.samples;
    return outcome;
}

std::string SettingsComment(const SettingsRecord& record) {
    std::string comment(kCommentTitle);
    comment += '\n';
    comment += std::string(kSizePrefix) + std::to_string(record.width) + "x" + std::to_string(record.height) + '\n';
    // Lines end in LF alone in a comment; the reader takes either end.
    for (const char c : record.lines)
        if (c != '\r') comment += c;
    if (record.samples > 1) comment += std::string(kSamplesLine) + std::to_string(record.samples) + '\n';
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
    // The samples travel in the record beside its lines, not among them;
    // like every extension line they follow the 39 lines.
    SettingsRecord record{std::string(), *width, *height, 1};
    int lineNo = 0;
    for (std::string_view rest = comment; !rest.empty();) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        rest.remove_prefix(line.size());
        if (++lineNo > kParameterLines && line.substr(0, kSamplesLine.size()) == kSamplesLine) {
            std::string_view number = line.substr(kSamplesLine.size());
            while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.remove_suffix(1);
            const std::optional<int32_t> n = ParseInteger(number);
            if (n && *n >= 1 && *n <= kMaxSamples) record.samples = *n;
            continue;
        }
        record.lines += line;
    }
    return record;
}

}  // namespace params
