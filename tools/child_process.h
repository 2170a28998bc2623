// Other programs halvane-render runs (ffmpeg, ffprobe): found on the PATH
// and started directly, without a shell, in a process group of their own
// (so that the terminal's Ctrl+C reaches halvane-render alone, which then
// stops them), with the default handling of every signal.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace render {

// The program's path on the PATH; "" when it is not there.
std::string FindProgram(const std::string& name);

// One line for a program that is missing: what needs it, the Debian package.
std::string MissingProgram(const std::string& program, const std::string& neededBy, const std::string& package);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // stops a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv (argv[0] a path). With `feed`, the child's standard input
    // is a pipe (Input()); its standard output and error stay ours unless
    // `capture`, which collects both (Wait returns them). `descriptor3`,
    // where given, is the child's descriptor 3. "" or why not.
    [[nodiscard]] std::string Start(const std::vector<std::string>& argv, bool feed, bool capture = false,
                                    int descriptor3 = -1);
    int Input() const { return input_; }
    // Closes the child's input: the end of what it is given.
    void CloseInput();
    // Waits for the end; the exit status, or 128 + the signal that ended it.
    // `output` receives what was captured.
    int Wait(std::string* output = nullptr);
    // Ends a child still running (SIGTERM) and waits for it.
    void Stop();
    bool Running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

// Runs argv to its end, capturing its output; the exit status, 127 when it
// could not be started.
int RunProgram(const std::vector<std::string>& argv, std::string& output);

}  // namespace render
