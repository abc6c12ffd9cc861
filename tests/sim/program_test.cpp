// The corvane-meter-sim program on a pseudo-terminal, run as its own process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim_test_util.h"

namespace corvane::sim::test {
namespace {

namespace fs = std::filesystem;

class SimProcess {
public:
    // With `errorsToo`, what the program says on standard error reads as its output as well.
    explicit SimProcess(std::vector<std::string> args, bool errorsToo = false) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            if (errorsToo) dup2(out[1], STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(CORVANE_SIM_PROGRAM)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
    }
    ~SimProcess() {
        stop();
        if (stdout_ >= 0) close(stdout_);
    }

    // The first line the program prints, or "" after the time-out.
    std::string readyLine(int timeoutMs = 5000) {
        std::string line;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c;
            if (read(stdout_, &c, 1) != 1) break;
            line.push_back(c);
        }
        return line;
    }

    int stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        return wait();
    }

    int wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

// Reads until one frame is complete or the time-out passes.
std::optional<wendrel::ParsedFrame> readFrame(int fd, int timeoutMs) {
    std::optional<wendrel::ParsedFrame> got;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) { got = f; });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!got && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        uint8_t buffer[64];
        const auto n = read(fd, buffer, sizeof buffer);
        if (n > 0) parser.feed(buffer, static_cast<size_t>(n));
    }
    return got;
}

TEST(MeterProgram, AnswersCommand0OnItsPseudoTerminal) {
    const fs::path dir = fs::temp_directory_path() / ("corvane_sim_pty_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto link = (dir / "meter").string();
    const auto log = (dir / "requests.log").string();
    SimProcess sim({"--pty", link, "--profile", std::string(CORVANE_SIM_PROFILES) + "/liquid_wafer.profile",
                    "--log", log, "--pace", "--mode", "1"});
    const auto ready = sim.readyLine();
    ASSERT_EQ(ready.rfind("corvane-meter-sim: listening on " + link + " -> /dev/pts/", 0), 0u) << ready;

    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);

    const auto identify = bytes("FF FF FF FF FF 02 80 00 00 82");
    ASSERT_EQ(write(fd, identify.data(), identify.size()), static_cast<ssize_t>(identify.size()));
    auto reply = readFrame(fd, 3000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->error, wendrel::FrameError::None);
    EXPECT_EQ(reply->preambles, 5);
    EXPECT_EQ(hexOf(reply->frame), "06 80 00 0E 00 00 FE 3D 01 05 05 01 0C 08 00 0A 1B 2C 72");

    // A client closing and coming back still finds the meter.
    close(fd);
    const int again = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(again, 0);
    tcsetattr(again, TCSANOW, &raw);
    const auto damping = wendrel::encodeFrame(request(34, floatHex(3)), 5);
    ASSERT_EQ(write(again, damping.data(), damping.size()), static_cast<ssize_t>(damping.size()));
    reply = readFrame(again, 3000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->frame.command, 34);
    close(again);

    const int status = sim.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link is removed on exit";

    std::ifstream in(log);
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    // "YYYY-MM-DD HH:MM:SS.mmm 0 -"
    ASSERT_EQ(first.size(), 27u) << first;
    EXPECT_EQ(first[4], '-');
    EXPECT_EQ(first[19], '.');
    EXPECT_EQ(first.substr(23), " 0 -");
    EXPECT_EQ(second.substr(23), " 34 40400000");
    fs::remove_all(dir);
}

// Raw terminal on a path; -1 on failure.
int openRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return fd;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

TEST(MeterProgram, EveryShippedProfileAnswersTheWholeCatalogue) {
    std::vector<std::string> profiles;
    for (const auto& file : fs::directory_iterator(CORVANE_SIM_PROFILES))
        if (file.path().extension() == ".profile") profiles.push_back(file.path().string());
    std::sort(profiles.begin(), profiles.end());
    ASSERT_EQ(profiles.size(), 5u);

    const fs::path dir = fs::temp_directory_path() / ("corvane_sim_cat_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto link = (dir / "meter").string();
    for (const auto& profile : profiles) {
        SCOPED_TRACE(profile);
        SimProcess sim({"--pty", link, "--profile", profile, "--mode", "2"});
        ASSERT_NE(sim.readyLine().find("listening"), std::string::npos);
        const int fd = openRaw(link);
        ASSERT_GE(fd, 0);
        for (const auto& entry : catalogue()) {
            if (entry.command == 11) continue;  // silent unless the tag is the meter's own
            const auto wire = wendrel::encodeFrame(wendrel::makeRequestShort(0, entry.command, bytes(entry.request)), 5);
            ASSERT_EQ(write(fd, wire.data(), wire.size()), static_cast<ssize_t>(wire.size()));
            const auto reply = readFrame(fd, 2000);
            ASSERT_TRUE(reply) << int(entry.command);
            EXPECT_EQ(reply->error, wendrel::FrameError::None);
            EXPECT_EQ(reply->frame.command, entry.command);
            const uint8_t code = reply->frame.responseCode();
            EXPECT_TRUE(code != 64 && code != 5) << int(entry.command) << " answered " << int(code);
        }
        close(fd);
        const int status = sim.stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    fs::remove_all(dir);
}

TEST(MeterProgram, RefusesBadOptionsAndProfiles) {
    {
        SimProcess sim({"--mode", "7", "--pty", "/tmp/x"});
        EXPECT_EQ(WEXITSTATUS(sim.wait()), 2);
    }
    {
        SimProcess sim({"--pty", "/tmp/x", "--profile", "/nonexistent.profile"});
        EXPECT_EQ(WEXITSTATUS(sim.wait()), 2);
    }
    {
        // Two devices of one line at the same polling address: refused before any pty is made.
        const std::string profiles = CORVANE_SIM_PROFILES;
        SimProcess sim({"--pty", "/tmp/x", "--profile", profiles + "/liquid_wafer.profile", "--profile",
                        profiles + "/gas_insertion.profile"},
                       true);
        EXPECT_EQ(sim.readyLine(), "corvane-meter-sim: one line cannot carry these profiles: devices 1 and 2 both "
                                   "answer at polling address 0\n");
        EXPECT_EQ(WEXITSTATUS(sim.wait()), 2);
    }
}

}  // namespace
}  // namespace corvane::sim::test
