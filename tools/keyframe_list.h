// The list of keys of a film (halvane-render --keyframes FILE): one key a
// line, a frame number and the key's settings file (a .vtx or a picture
// that carries its settings), separated by blanks; a path relative to the
// list's folder. Empty lines and lines whose first non-blank is '#' are
// skipped. The first key is frame 0 and the frames increase.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

struct KeyEntry {
    int32_t frame = 0;
    std::string path;  // relative paths already taken from the list's folder
    int line = 0;      // in the list, for messages
};

// The highest frame number a key may have.
constexpr int32_t kLastKeyFrame = 999'999;

// "" or one line "LIST:LINE: what is wrong" (or "LIST: ..." for the file).
[[nodiscard]] std::string ReadKeyframeList(const std::string& path, std::vector<KeyEntry>& keys);
[[nodiscard]] std::string ParseKeyframeList(const std::string& text, const std::string& path,
                                            std::vector<KeyEntry>& keys);

}  // namespace render
