#include "keyframe_list.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "file_access.h"

namespace render {

namespace {
constexpr size_t kMaxListBytes = 4u << 20;
constexpr std::string_view kBlanks = " \t";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
}  // namespace

std::string ParseKeyframeList(const std::string& text, const std::string& path, std::vector<KeyEntry>& keys) {
    keys.clear();
    int lineNo = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t start = line.find_first_not_of(kBlanks);
        if (start == std::string_view::npos || line[start] == '#') continue;
        line.remove_prefix(start);
        const std::string where = path + ":" + std::to_string(lineNo) + ": ";
        int32_t frame = 0;
        const auto [numberEnd, error] = std::from_chars(line.data(), line.data() + line.size(), frame);
        const size_t numberLength = static_cast<size_t>(numberEnd - line.data());
        if (error != std::errc() || numberLength == 0 || frame < 0 || frame > kLastKeyFrame ||
            (numberLength < line.size() && kBlanks.find(line[numberLength]) == std::string_view::npos)) {
            return where + "expected a frame number from 0 to " + std::to_string(kLastKeyFrame) +
                   " and a settings file, got '" + std::string(line) + "'";
        }
        std::string_view file = line.substr(numberLength);
        const size_t fileStart = file.find_first_not_of(kBlanks);
        if (fileStart == std::string_view::npos) return where + "frame " + std::to_string(frame) + " names no settings file";
        file.remove_prefix(fileStart);
        file.remove_suffix(file.size() - 1 - file.find_last_not_of(kBlanks));
        if (keys.empty() && frame != 0) return where + "the first key must be frame 0, not " + std::to_string(frame);
        if (!keys.empty() && frame <= keys.back().frame) {
            return where + "frame " + std::to_string(frame) + " does not follow frame " +
                   std::to_string(keys.back().frame) + ": key frames must increase";
        }
        std::string resolved(file);
        if (resolved.front() != '/') resolved = FolderOf(path) + resolved;
        keys.push_back({frame, resolved, lineNo});
    }
    if (keys.size() < 2) return path + ": a film needs at least two keys, the first at frame 0";
    return {};
}

std::string ReadKeyframeList(const std::string& path, std::vector<KeyEntry>& keys) {
    int64_t size = 0;
    std::string reason;
    const int fd = imaging::OpenRegularFile(path, size, reason);
    if (fd < 0) return path + ": cannot read the list of keys (" + reason + ")";
    if (size > static_cast<int64_t>(kMaxListBytes)) {
        ::close(fd);
        return path + ": cannot read the list of keys (file too large)";
    }
    std::string text(static_cast<size_t>(size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) reason = std::strerror(errno);
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!reason.empty()) return path + ": cannot read the list of keys (" + reason + ")";
    text.resize(got);
    return ParseKeyframeList(text, path, keys);
}

}  // namespace render
