#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "interruption.h"

extern char** environ;

namespace render {

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t at = 0; at <= folders.size();) {
        size_t end = folders.find(':', at);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > at ? folders.substr(at, end - at) : ".";
        const std::string candidate = folder + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        at = end + 1;
    }
    return {};
}

std::string MissingProgram(const std::string& program, const std::string& neededBy, const std::string& package) {
    return neededBy + " needs the program " + program + ", which is not installed (Debian package \"" + package +
           "\")";
}

ChildProcess::~ChildProcess() { Stop(); }

std::string ChildProcess::Start(const std::vector<std::string>& argv, bool feed, bool capture, int descriptor3) {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if ((feed && ::pipe2(in, O_CLOEXEC) != 0) || (capture && ::pipe2(out, O_CLOEXEC) != 0)) {
        const std::string reason = std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]})
            if (fd >= 0) ::close(fd);
        return reason;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (feed) posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    if (descriptor3 >= 0) posix_spawn_file_actions_adddup2(&actions, descriptor3, 3);
    if (capture) {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGPIPE, SIGQUIT, SIGHUP}) sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (feed) ::close(in[0]);
    if (capture) ::close(out[1]);
    if (error != 0) {
        pid_ = -1;
        if (feed) ::close(in[1]);
        if (capture) ::close(out[0]);
        return std::strerror(error);
    }
    input_ = feed ? in[1] : -1;
    output_ = capture ? out[0] : -1;
    return {};
}

void ChildProcess::CloseInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
}

int ChildProcess::Wait(std::string* output) {
    CloseInput();
    if (output_ >= 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (output != nullptr) output->append(buffer, static_cast<size_t>(got));
        }
        ::close(output_);
        output_ = -1;
    }
    if (pid_ <= 0) return 127;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
        // An interrupted run does not wait for the child to finish its work.
        if (errno == EINTR && Interrupted()) ::kill(pid_, SIGTERM);
        if (errno != EINTR) {
            pid_ = -1;
            return 127;
        }
    }
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void ChildProcess::Stop() {
    CloseInput();
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    Wait();
}

int RunProgram(const std::vector<std::string>& argv, std::string& output) {
    ChildProcess child;
    if (!child.Start(argv, false, true).empty()) return 127;
    return child.Wait(&output);
}

}  // namespace render
