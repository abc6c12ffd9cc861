// The simulated meter started for a program ends with that program, also
// when the program is killed, and leaves nothing behind in the temporary directory.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "tools/sim_process.h"

namespace {

namespace fs = std::filesystem;

// Gone, or a zombie nobody has collected yet: either way it runs no more.
bool processEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string pidText, name, state;
    stat >> pidText >> name >> state;
    return state == "Z" || state == "X";
}

bool within(int timeoutMs, const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST(SimProcess, EndsAndRemovesItsLinkWhenItsParentIsKilled) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t parent = fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        // The parent: starts the meter, tells where it is, and waits to be killed.
        close(report[0]);
        tools::SimProcess sim;
        std::string error;
        if (!sim.start(CORVANE_SIM_PROGRAM, {}, &error)) _exit(1);
        const std::string line = std::to_string(sim.pid()) + " " + sim.linkPath() + "\n";
        if (write(report[1], line.data(), line.size()) < 0) _exit(1);
        for (;;) pause();
    }
    close(report[1]);
    std::string line;
    char c;
    while (read(report[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    close(report[0]);
    pid_t meter = 0;
    char link[256] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %255s", &meter, link), 2) << line;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));

    kill(parent, SIGKILL);
    waitpid(parent, nullptr, 0);
    EXPECT_TRUE(within(10000, [&] { return processEnded(meter); })) << "the meter outlived its parent";
    EXPECT_TRUE(within(10000, [&] { return !fs::exists(fs::symlink_status(link)); })) << link;
    if (!processEnded(meter)) kill(meter, SIGKILL);
}

TEST(SimProcess, StopEndsTheMeterAndRemovesItsLink) {
    tools::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, {}, &error)) << error;
    const std::string link = sim.linkPath();
    const pid_t meter = sim.pid();
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    sim.stop();
    EXPECT_TRUE(processEnded(meter));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

}  // namespace
