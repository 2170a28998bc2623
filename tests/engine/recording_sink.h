#pragma once

#include <string>
#include <utility>
#include <vector>

#include "generation.h"

// A host that records the messages it is asked to show.
class RecordingHost : public engine::GenerationHost {
public:
    void ShowMessage(const std::string& text, const std::string& title) override {
        messages.emplace_back(text, title);
    }
    std::vector<std::pair<std::string, std::string>> messages;
};
