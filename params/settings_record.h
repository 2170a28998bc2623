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
    std::string lines;  // the parameter file's text, "." as decimal mark
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const SettingsRecord&) const = default;
};

// The record of the settings and image size in `ctx`.
SettingsRecord RecordSettings(const TIterationContext& ctx);

// The settings of "New" and the reset view, then the record's lines read by
// the parameter file's reader (its messages name `name`), then its size.
LoadOutcome RestoreSettings(const SettingsRecord& record, LoadTarget target, engine::MessageSink& messages,
                            const std::string& name);

// The comment a picture carries: a first line that says what it is, the
// size, then the lines; other programs show it as text.
std::string SettingsComment(const SettingsRecord& record);
// The record in a picture's comment; none when the comment is not one.
std::optional<SettingsRecord> SettingsFromComment(std::string_view comment);

}  // namespace params
