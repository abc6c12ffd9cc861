// Our HART-IP traffic as an independent decoder reads it: tshark captures the
// loopback interface while the driver talks to the simulated meter over UDP
// and TCP, then decodes the capture. Skipped where tshark is missing or the
// capture is not permitted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/driver/wendrel.h"
#include "tests/support/recording_target.h"
#include "tests/support/sim_on_hartip.h"

using namespace wendrel;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

bool haveTshark() { return std::system("command -v tshark >/dev/null 2>&1") == 0; }

// tshark capturing loopback into a file until stopped.
class Capture {
public:
    // False, with tshark's own words, when the capture does not start.
    bool start(const std::string& filter, const std::string& file, std::string& why) {
        messages_ = file + ".stderr";
        pid_ = fork();
        if (pid_ == 0) {
            const int err = ::open(messages_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            execlp("tshark", "tshark", "-i", "lo", "-f", filter.c_str(), "-w", file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (slurp(messages_).find("Capturing on") != std::string::npos) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the filter is in place
                return true;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                why = slurp(messages_);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        why = "tshark did not start capturing: " + slurp(messages_);
        return false;
    }
    void stop() {
        if (pid_ <= 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the last packets reach the file
        ::kill(pid_, SIGINT);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~Capture() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove(messages_);
    }

private:
    pid_t pid_ = -1;
    std::string messages_;
};

void transact(int32_t handle, testsupport::RecordingTarget& client, int command) {
    HartRequest r;
    r.command = command;
    HART_SendRequest(handle, &r, 0);
    auto done = client.take(WM_HART_REPLY, 10000);
    ASSERT_TRUE(done);
    EXPECT_NE(done->lParam & 0xFFFF, kNoDeviceResponse) << command;
    HART_ReceiveRequest(handle, static_cast<int32_t>(done->wParam), nullptr, nullptr);
}

TEST(HartIpCapture, TsharkDecodesSessionsAndEveryCommandWithoutMalformedPackets) {
    if (!haveTshark()) GTEST_SKIP() << "tshark is not installed";
    testsupport::SimOnHartIp udp(false, {}, 1);
    testsupport::SimOnHartIp tcp(true, {}, 2);
    const uint16_t udpPort = udp.network->endpoints()[0].port;
    const uint16_t tcpPort = tcp.network->endpoints()[0].port;
    const std::string file = testing::TempDir() + "/hartip-" + std::to_string(getpid()) + ".pcapng";
    Capture capture;
    std::string why;
    if (!capture.start("udp port " + std::to_string(udpPort) + " or tcp port " + std::to_string(tcpPort), file, why))
        GTEST_SKIP() << "no capture on loopback here: " << why;

    for (int port : {1, 2}) {
        testsupport::RecordingTarget client;
        DriverRegistration reg;
        reg.window = &client;
        reg.port = port;
        int32_t handle = -1;
        ASSERT_NE(HART_RegisterDriver(&reg, &handle), -1);
        for (int command : {0, 1, 3, 13}) transact(handle, client, command);
        HART_UnRegisterDriver(handle);
    }
    capture.stop();

    const std::string decodeAs = " -d udp.port==" + std::to_string(udpPort) + ",hart_ip -d tcp.port==" +
                                 std::to_string(tcpPort) + ",hart_ip";
    const std::string fields = run("tshark -r " + file + decodeAs +
                                   " -Y hart_ip -T fields -E separator=: -E occurrence=a -e ip.proto"
                                   " -e hart_ip.message_type -e hart_ip.message_id -e hart_ip.session_init.master_type"
                                   " -e hart_ip.pt.command -e hart_ip.pt.response_code 2>/dev/null");
    const std::string malformed = run("tshark -r " + file + decodeAs + " -Y _ws.malformed 2>/dev/null");
    std::filesystem::remove(file);

    // Per transport (17 UDP, 6 TCP): initiate and its answer as a primary
    // master, each command out and back with response code 0, and the close.
    for (const char* proto : {"17", "6"}) {
        const std::string p = std::string(proto) + ":";
        EXPECT_NE(fields.find(p + "0:0:1"), std::string::npos) << proto << "\n" << fields;  // initiate
        EXPECT_NE(fields.find(p + "1:0:1"), std::string::npos) << proto << "\n" << fields;  // its answer
        for (const char* command : {"0", "1", "3", "13"}) {
            EXPECT_NE(fields.find(p + "0:3::" + command + ":\n"), std::string::npos) << command << "\n" << fields;
            EXPECT_NE(fields.find(p + "1:3::" + command + ":0\n"), std::string::npos) << command << "\n" << fields;
        }
        EXPECT_NE(fields.find(p + "0:1::"), std::string::npos) << proto << "\n" << fields;  // close
    }
    EXPECT_EQ(malformed, "") << malformed;
}

}  // namespace
