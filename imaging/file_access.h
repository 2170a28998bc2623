// Opening files for reading and replacing their contents: the one place
// that does both, for the picture files and the parameter file alike.
#pragma once

#include <sys/stat.h>

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

// The steps of ReplaceFileContents for a writer that writes over time: Begin
// checks the target and makes the temporary file, the caller writes to
// Descriptor(), Commit puts the contents under the final name. Abandoning,
// or destroying an uncommitted replacement, removes the temporary file: the
// target is never touched by a write that does not finish. Where the file
// system allows, the temporary file has no name until Commit, so that not
// even a killed process leaves it behind.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { Abandon(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // "" or the reason, one short phrase, as ReplaceFileContents.
    [[nodiscard]] std::string Begin(const std::string& path);
    // The temporary file, open for reading and writing; -1 when not begun.
    int Descriptor() const { return fd_; }
    // Starts the contents afresh in a new temporary file and returns the
    // descriptor of the old one, which no longer has a name (the caller
    // reads it back and closes it); -1 with `reason` set on failure.
    [[nodiscard]] int Restart(std::string& reason);
    // "" or the reason; the replacement is over either way.
    [[nodiscard]] std::string Commit();
    void Abandon();

private:
    std::string target_;
    std::string temporary_;  // "" while the temporary file has no name
    int fd_ = -1;
    bool exists_ = false;
    struct stat existing_ {};  // the target as Begin found it
};

// Writes all `size` bytes at the descriptor's position; "" or strerror text.
[[nodiscard]] std::string WriteAll(int fd, const uint8_t* data, size_t size);

}  // namespace imaging
