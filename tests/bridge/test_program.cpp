// corvane-hart-bridge as a process: its options, a client served through it,
// its standard error lines and a clean end on SIGTERM that tells the client.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "link/driver/frame.h"
#include "tests/link/hartip/hartip_client.h"
#include "tools/sim_process.h"

namespace {

using testsupport::Bytes;
using testsupport::RawHartIpClient;

struct Run {
    int status = -1;
    std::string out, err;
};

// Runs the program to its end, with its output.
Run runProgram(const std::vector<std::string>& args) {
    int out[2], err[2];
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<std::string> all{CORVANE_BRIDGE_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    Run r;
    for (auto [fd, text] : {std::pair{out[0], &r.out}, std::pair{err[0], &r.err}}) {
        char buf[4096];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0) text->append(buf, static_cast<size_t>(n));
        close(fd);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(BridgeProgram, OptionsHelpAndVersion) {
    auto r = runProgram({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--listen URL"), std::string::npos);
    r = runProgram({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_search(r.out, std::regex("^corvane-hart-bridge [0-9]+\\.[0-9]+\\.[0-9]+\n$"))) << r.out;
    for (const std::vector<std::string>& bad : {
             std::vector<std::string>{"--listen", "hartip://127.0.0.1:0"},                  // no port
             std::vector<std::string>{"--port", "1"},                                        // no address
             std::vector<std::string>{"--port", "33", "--listen", "hartip://127.0.0.1:0"},  // no such port
             std::vector<std::string>{"--port", "1", "--listen", "http://127.0.0.1"},
             std::vector<std::string>{"--port", "1", "--listen", "hartip://127.0.0.1:0", "--mode", "3"},
             std::vector<std::string>{"--port", "1", "--listen", "hartip://127.0.0.1:0", "--max-sessions", "0"},
             std::vector<std::string>{"--port", "1", "--listen", "hartip://127.0.0.1:0", "--frobnicate"},
             std::vector<std::string>{"--port", "1", "--listen"},
         }) {
        r = runProgram(bad);
        EXPECT_EQ(r.status, 2) << bad.back();
        EXPECT_NE(r.err.find("corvane-hart-bridge: "), std::string::npos) << r.err;
    }
}

TEST(BridgeProgram, ServesAClientLogsItsSessionAndEndsCleanlyOnSigterm) {
    tools::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, {"--mode", "2"}, &error)) << error;
    const std::string requestLog = testing::TempDir() + "/bridge-program-" + std::to_string(getpid()) + ".log";
    std::filesystem::remove(requestLog);

    int err[2];
    ASSERT_EQ(pipe2(err, O_CLOEXEC), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        execl(CORVANE_BRIDGE_PROGRAM, CORVANE_BRIDGE_PROGRAM, "--port", sim.linkPath().c_str(), "--mode", "2",
              "--listen", "hartip://127.0.0.1:0", "--log", requestLog.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    // Its first lines name the address it listens on and the open line.
    std::string text;
    std::smatch found;
    const std::regex listening("listening on hartip://127\\.0\\.0\\.1:([0-9]+)");
    for (int i = 0; i < 100 && !(std::regex_search(text, found, listening) && text.find("line open") != std::string::npos); ++i) {
        pollfd p{err[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        const ssize_t n = read(err[0], buf, sizeof buf);
        if (n > 0) text.append(buf, static_cast<size_t>(n));
    }
    ASSERT_TRUE(std::regex_search(text, found, listening)) << text;
    hartip::Endpoint at{false, "127.0.0.1", static_cast<uint16_t>(std::stoi(found[1]))};

    {
        RawHartIpClient c(at);
        c.send(hartip::sessionInitiateRequest(1, hartip::kPrimaryMaster, 30000));
        ASSERT_TRUE(c.receive());
        c.send(hartip::passThroughRequest(2, Bytes("02 80 00 00 82")));
        const auto m = c.receive(5000);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->header.type, hartip::MessageType::Response);
        ASSERT_GE(m->body.size(), 8u);
        EXPECT_EQ(m->body[0], 0x06);
        kill(pid, SIGTERM);
        const auto closed = c.receive(5000);
        ASSERT_TRUE(closed);
        EXPECT_EQ(hartip::errorCodeOf(*closed), hartip::ErrorCode::SessionClosed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    char buf[4096];
    ssize_t n;
    while ((n = read(err[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(err[0]);
    EXPECT_NE(text.find("session 1 opened by 127.0.0.1"), std::string::npos) << text;
    EXPECT_NE(text.find("stopping on SIGTERM"), std::string::npos) << text;

    std::ifstream in(requestLog);
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_NE(log.str().find("session 1 sequence 2: 02 80 00 00 82 -> 06 80 00"), std::string::npos) << log.str();
    std::filesystem::remove(requestLog);
}

}  // namespace
