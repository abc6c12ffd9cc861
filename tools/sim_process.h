// Starts corvane-meter-sim as its own process on a pseudo-terminal and stops it.
// Used by the demonstration, the benchmark and the end-to-end tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tools {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts `program --pty <link> extraArgs...` with a fresh link name in the
    // temporary directory and waits (up to timeoutMs) for its ready line.
    // The program ends when this process does, however it ends. False with a
    // reason on failure.
    bool start(const std::string& program, const std::vector<std::string>& extraArgs,
               std::string* error, int timeoutMs = 10000);
    // The symbolic link to the pty's device, which the driver opens.
    const std::string& linkPath() const { return link_; }
    pid_t pid() const { return pid_; }
    // What the program printed until it was ready (its HART-IP endpoints with their ports among it).
    const std::string& startupText() const { return startupText_; }
    // SIGTERM, then SIGKILL if it does not end within a second; removes the link.
    void stop();
    // Kills the process at once (the port vanishes under the driver).
    void kill();

private:
    pid_t pid_ = -1;
    int output_ = -1;  // the read end of the program's standard output
    std::string link_;
    std::string startupText_;
};

// The path of a program that sits beside the running executable, or `name` alone.
std::string besideSelf(const std::string& name);

}  // namespace tools
