#include "file_access.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace imaging {

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

constexpr size_t kCopyBytes = size_t{1} << 20;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at; that file need not exist.
bool FollowLinks(std::string path, std::string& target, int& error) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                error = errno;
                return false;
            }
            break;
        }
        if (!S_ISLNK(status.st_mode)) break;
        char link[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof link) {
            error = length < 0 ? errno : length == 0 ? ENOENT : ENAMETOOLONG;
            return false;
        }
        const std::string next(link, static_cast<size_t>(length));
        path = next.front() == '/' ? next : FolderOf(path) + next;
        if (hop == 39) {
            error = ELOOP;
            return false;
        }
    }
    target = path;
    return true;
}

// Temporary files are named after the target so that one left behind by a
// crash is recognisable; the counter keeps names apart within the process.
std::string TemporaryName(const std::string& path, int attempt) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(path);
    std::string base = path.substr(folder.size());
    // Short enough for the file system's 255-byte limit with the suffix,
    // and never cut inside a UTF-8 character.
    if (base.size() > 200) {
        size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return folder + "." + base + "." + std::to_string(static_cast<long>(getpid())) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(attempt) + ".tmp";
}

// 0, or the error number.
int WriteFully(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, data + done, size - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    return 0;
}

int Sync(int fd) {
    // Some file systems cannot sync; the data is written all the same.
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) return errno;
    return 0;
}

// Copies the finished temporary file over the target itself, so that every
// hard link to it sees the new contents. The new size is reserved first:
// running out of space then leaves the old contents as they were.
std::string CopyInPlace(int source, const std::string& target, const struct stat& expected) {
    struct stat written {};
    if (fstat(source, &written) != 0) return ErrorText(errno);
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return ErrorText(errno);
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_ino != expected.st_ino ||
        status.st_dev != expected.st_dev) {
        close(fd);
        return "the file changed while it was being saved";
    }
    if (written.st_size > 0) {
        const int reserved = posix_fallocate(fd, 0, written.st_size);
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            // The old contents are still there; only the size may have grown.
            const int restored = ftruncate(fd, status.st_size);
            static_cast<void>(restored);
            close(fd);
            return ErrorText(reserved);
        }
    }
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kCopyBytes]);
    int error = lseek(source, 0, SEEK_SET) < 0 ? errno : 0;
    while (error == 0) {
        const ssize_t got = read(source, buffer.get(), kCopyBytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        error = WriteFully(fd, buffer.get(), static_cast<size_t>(got));
    }
    if (error == 0 && ftruncate(fd, written.st_size) != 0) error = errno;
    if (error == 0) error = Sync(fd);
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) return ErrorText(error) + " (the file was written in place and may be incomplete)";
    return "";
}

}  // namespace

int OpenRegularFile(const std::string& path, int64_t& size, std::string& reason) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = ErrorText(errno);
        return -1;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        reason = ErrorText(errno);
    } else if (S_ISDIR(status.st_mode)) {
        reason = "a folder, not a file";
    } else if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file";
    } else {
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) {
            size = status.st_size;
            return fd;
        }
        reason = ErrorText(errno);
    }
    close(fd);
    return -1;
}

std::string WriteAll(int fd, const uint8_t* data, size_t size) {
    const int error = WriteFully(fd, data, size);
    return error == 0 ? "" : ErrorText(error);
}

std::string ReplaceFileContents(const std::string& path, const uint8_t* data, size_t size) {
    return ReplaceFileContents(path, [&](int fd) { return WriteAll(fd, data, size); });
}

std::string ReplaceFileContents(const std::string& path, const ContentWriter& write) {
    FileReplacement replacement;
    if (std::string failure = replacement.Begin(path); !failure.empty()) return failure;
    if (std::string failure = write(replacement.Descriptor()); !failure.empty()) return failure;
    return replacement.Commit();
}

namespace {
// Creates a new temporary file beside `target`; the descriptor or -1. Where
// the file system can, the file has no name until it is finished (Linux's
// O_TMPFILE, `temporary` left empty), so that a process killed while writing
// leaves nothing behind; elsewhere it is a hidden file named after the target.
int CreateTemporary(const std::string& target, std::string& temporary) {
    temporary.clear();
    const std::string folder = FolderOf(target);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryName(target, attempt);
        fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) temporary.clear();
    return fd;
}

// Gives a nameless temporary file a name beside `target`: "" or why not.
std::string NameTemporary(int fd, const std::string& target, std::string& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryName(target, attempt);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary = name;
            return "";
        }
        if (errno != EEXIST) break;
    }
    return ErrorText(errno);
}
}  // namespace

std::string FileReplacement::Begin(const std::string& path) {
    Abandon();
    std::string target;
    int error = 0;
    if (!FollowLinks(path, target, error)) return ErrorText(error);

    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return ErrorText(errno);
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return "a folder has this name";
        if (!S_ISREG(existing.st_mode)) return "not a regular file";
        // As an editor: no write permission bit means read-only, even to the superuser.
        if ((existing.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return "the file is read-only";
        }
    }
    const int fd = CreateTemporary(target, temporary_);
    if (fd < 0) return "cannot create a file in its folder: " + ErrorText(errno);
    fd_ = fd;
    target_ = target;
    exists_ = exists;
    existing_ = existing;
    return "";
}

int FileReplacement::Restart(std::string& reason) {
    if (fd_ < 0) {
        reason = "nothing is being written";
        return -1;
    }
    std::string fresh;
    const int fd = CreateTemporary(target_, fresh);
    if (fd < 0) {
        reason = "cannot create a file in its folder: " + ErrorText(errno);
        return -1;
    }
    if (!temporary_.empty()) unlink(temporary_.c_str());
    const int old = fd_;
    fd_ = fd;
    temporary_ = fresh;
    return old;
}

void FileReplacement::Abandon() {
    if (fd_ < 0) return;
    close(fd_);
    if (!temporary_.empty()) unlink(temporary_.c_str());
    fd_ = -1;
}

std::string FileReplacement::Commit() {
    if (fd_ < 0) return "nothing is being written";
    const int fd = fd_;
    fd_ = -1;
    std::string failure;
    if (const int synced = Sync(fd); synced != 0) failure = ErrorText(synced);
    bool inPlace = false;
    if (failure.empty() && exists_) {
        struct stat created {};
        const bool sameOwner =
            fstat(fd, &created) == 0 && created.st_uid == existing_.st_uid && created.st_gid == existing_.st_gid;
        // Replacing would cut the other links off, or give the file to us.
        inPlace = existing_.st_nlink > 1 || (!sameOwner && fchown(fd, existing_.st_uid, existing_.st_gid) != 0);
        // After fchown, which clears the set-id bits.
        if (!inPlace && fchmod(fd, existing_.st_mode & 07777) != 0) failure = ErrorText(errno);
    }
    if (failure.empty() && inPlace) failure = CopyInPlace(fd, target_, existing_);
    if (failure.empty() && !inPlace && temporary_.empty()) failure = NameTemporary(fd, target_, temporary_);
    if (close(fd) != 0 && failure.empty()) failure = ErrorText(errno);
    if (failure.empty() && !inPlace && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        failure = ErrorText(errno);
    }
    if ((!failure.empty() || inPlace) && !temporary_.empty()) unlink(temporary_.c_str());
    if (!failure.empty()) return failure;
    // Makes the rename itself durable; a failure here loses nothing written.
    const std::string folder = FolderOf(target_);
    const int folderFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return "";
}

}  // namespace imaging
