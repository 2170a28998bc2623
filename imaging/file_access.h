// Opening files for reading and replacing their contents: the one place
// that does both, for the picture files and the parameter file alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace imaging {

// Opens `path` for reading when it is a regular file, without ever waiting:
// a named pipe, socket or device is refused, not opened for real. Returns
// the descriptor (blocking again, close-on-exec) and sets `size`, or -1 with
// `reason` set to one short phrase ("not a regular file", strerror text).
[[nodiscard]] int OpenRegularFile(const std::string& path, int64_t& size, std::string& reason);

// Writes the contents of a file to the descriptor it is given, from the
// file's start; returns "" or why it could not.
using ContentWriter = std::function<std::string(int fd)>;

// Gives the file at `path` the contents that `write` writes. Symbolic
// links are followed and their final target written. A file that exists
// must be a regular file the user may write and that has a write permission
// bit, as an editor would have it; it keeps its owner, group and mode. The
// contents go to a temporary file in the target's folder first, so that a
// failure leaves the old file whole; that file is then renamed over the
// target. A file with other hard links, or whose owner could not be kept,
// is overwritten in place from the temporary file instead, once its new
// size is reserved, so that every link sees the new contents. Returns "" on
// success, else the reason, one short phrase.
[[nodiscard]] std::string ReplaceFileContents(const std::string& path, const ContentWriter& write);
[[nodiscard]] std::string ReplaceFileContents(const std::string& path, const uint8_t* data, size_t size);

// Writes all `size` bytes at the descriptor's position; "" or strerror text.
[[nodiscard]] std::string WriteAll(int fd, const uint8_t* data, size_t size);

}  // namespace imaging
