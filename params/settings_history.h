// The way back through the pictures made: a bounded list of settings
// records with a current position.
#pragma once

#include <cstddef>
#include <deque>

#include "settings_record.h"

namespace params {

class SettingsHistory {
public:
    static constexpr size_t kLimit = 1000;

    // A new step after the current one: what lay ahead of it is dropped, and
    // the oldest step beyond the limit. A record equal to the current one is
    // no new step.
    void Record(SettingsRecord record);
    // The current step becomes `record` (what lay ahead is dropped): the
    // steps of one continuous movement are one step. Records when empty.
    void ReplaceCurrent(SettingsRecord record);
    bool CanGoBack() const { return current_ > 0; }
    bool CanGoForward() const { return current_ + 1 < records_.size(); }
    // Moves one step and returns the record there; null where there is none.
    const SettingsRecord* Back();
    const SettingsRecord* Forward();
    size_t Size() const { return records_.size(); }
    size_t Position() const { return current_; }

private:
    std::deque<SettingsRecord> records_;
    size_t current_ = 0;
};

}  // namespace params
