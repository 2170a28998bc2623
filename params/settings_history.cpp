#include "settings_history.h"

namespace params {

void SettingsHistory::Record(SettingsRecord record) {
    if (!records_.empty() && records_[current_] == record) return;
    if (!records_.empty()) records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(current_) + 1, records_.end());
    records_.push_back(std::move(record));
    if (records_.size() > kLimit) records_.pop_front();
    current_ = records_.size() - 1;
}

void SettingsHistory::ReplaceCurrent(SettingsRecord record) {
    if (records_.empty()) {
        Record(std::move(record));
        return;
    }
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(current_) + 1, records_.end());
    records_[current_] = std::move(record);
}

const SettingsRecord* SettingsHistory::Back() {
    if (!CanGoBack()) return nullptr;
    return &records_[--current_];
}

const SettingsRecord* SettingsHistory::Forward() {
    if (!CanGoForward()) return nullptr;
    return &records_[++current_];
}

}  // namespace params
