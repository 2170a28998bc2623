// How the computing core reports to the user without knowing about windows.
#pragma once

#include <string>

namespace engine {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A modal message with one OK button; `title` empty means the program's own.
    virtual void ShowMessage(const std::string& text, const std::string& title = {}) = 0;
};

}  // namespace engine
