// Runs a command line through the shell for the tests of the programs:
// its exit status and what it wrote to stdout and stderr, together.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace test_support {

struct CommandResult {
    int status = -1;     // the exit status; -1 when it did not exit normally
    std::string output;  // stdout and stderr together
};

inline CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace test_support
