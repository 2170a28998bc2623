// The record a computed picture carries: its settings, the view's exact
// digits in the extension lines after the 39 ("CenterX=..." where 15
// significant digits do not hold a view value exactly) and its samples per
// pixel ("Samples=N" for N > 1), so that the picture can be made again from
// its record alone.
#pragma once

#include <cstdint>
#include <string>

#include "exact_view.h"
#include "messages.h"
#include "settings_record.h"

namespace params {

struct RecordedPicture {
    alignas(8) TIterationContext settings{};  // read through member pointers
    engine::ExactView view;
    int32_t samples = 1;
};

SettingsRecord RecordPicture(const RecordedPicture& picture);

// The settings of the record (as RestoreSettings reads them, the names
// kept), with its view texts and samples. Anything but Loaded has been
// reported.
LoadOutcome RestorePicture(const SettingsRecord& record, RecordedPicture& picture, engine::MessageSink& messages,
                           const std::string& name);

// A name text (the formula and render names of the 39 lines) kept for the
// rest of the run, so that settings that point at it can be copied freely.
const char* KeptName(const char* name);

}  // namespace params
