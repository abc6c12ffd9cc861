#include "tools/sim_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tools {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const std::string& program, const std::vector<std::string>& extraArgs,
                       std::string* error, int timeoutMs) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    // A fresh name for the link and no folder around it: the program removes
    // its link when it ends, so nothing is left behind even when this process
    // is killed and cannot clean up.
    char templ[] = "/tmp/corvane-sim-XXXXXX";
    const int reserved = mkstemp(templ);
    if (reserved < 0) return fail(std::string("mkstemp: ") + std::strerror(errno));
    close(reserved);
    unlink(templ);
    link_ = templ;

    std::vector<std::string> args{program, "--pty", link_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return fail(std::string("pipe: ") + std::strerror(errno));
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) return fail(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        // The meter ends with its parent, however the parent ends (a signal included).
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    // Kept open until stop: a later line from the program must not meet a closed pipe.
    output_ = out[0];
    // Ready when the program says it listens.
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ready = false;
    while (!ready) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[256];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        seen.append(buf, static_cast<size_t>(n));
        ready = seen.find("listening") != std::string::npos && seen.find('\n') != std::string::npos;
    }
    if (!ready) return fail("the simulated meter did not start: " + program + (seen.empty() ? "" : ": " + seen));
    startupText_ = seen;
    return true;
}

void SimProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void SimProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill();
    }
    if (output_ >= 0) {
        close(output_);
        output_ = -1;
    }
    if (!link_.empty()) {
        // Left only when the program was killed before it could remove it.
        std::error_code ec;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(link_, ec))) std::filesystem::remove(link_, ec);
        link_.clear();
    }
}

std::string besideSelf(const std::string& name) {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return name;
    return (self.parent_path() / name).string();
}

}  // namespace tools
