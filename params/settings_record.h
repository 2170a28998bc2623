// A picture's settings as one record: the parameter file's 39 lines and the
// picture's size. The history keeps these records, pictures carry them in a
// comment, and every picture made from one is the picture a parameter file
// with those lines gives at that size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "iteration_context.h"
#include "messages.h"
#include "parameter_file.h"

namespace params {

struct SettingsRecord {
    // The parameter file's text, "." as decimal mark, with the extension
    // lines of the view (never a Samples line: that is `samples`).
    std::string lines;
    int32_t width = 0;
    int32_t height = 0;
    int32_t samples = 1;  // N by N samples per pixel of the picture made
    bool operator==(const SettingsRecord&) const = default;
};

// The record of the settings and image size in `ctx`, and the view's exact
// texts beside it.
SettingsRecord RecordSettings(const TIterationContext& ctx);
SettingsRecord RecordSettings(const TIterationContext& ctx, const engine::ExactView& view);

// The settings of "New" and the reset view, then the record's lines read by
// the parameter file's reader (its messages name `name`), then its size
// (and, where the target asks, its view texts and samples).
LoadOutcome RestoreSettings(const SettingsRecord& record, LoadTarget target, engine::MessageSink& messages,
                            const std::string& name);

// The comment a picture carries: a first line that says what it is, the
// size, then the lines and "Samples=N" where N > 1; other programs show it
// as text.
std::string SettingsComment(const SettingsRecord& record);
// The record in a picture's comment; none when the comment is not one.
std::optional<SettingsRecord> SettingsFromComment(std::string_view comment);

}  // namespace params
