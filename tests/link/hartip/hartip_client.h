// A bare HART-IP client for tests: a socket to a server on loopback that sends
// whatever bytes a test gives it and hands back whole messages as they come.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

#include <netinet/in.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/driver/frame.h"
#include "link/hartip/message.h"
#include "link/hartip/url.h"

namespace testsupport {

// Bytes from hex text ("01 00 02"); fails the test on bad hex.
inline std::vector<uint8_t> Bytes(std::string_view hex) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(wendrel::fromHex(hex, out)) << hex;
    return out;
}

class RawHartIpClient {
public:
    explicit RawHartIpClient(const hartip::Endpoint& server) : tcp_(server.tcp) {
        fd_ = ::socket(AF_INET, tcp_ ? SOCK_STREAM : SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(server.port);
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawHartIpClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool connected() const { return connected_; }

    void send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // The next whole message within `timeoutMs`; nothing on time-out or a closed connection.
    std::optional<hartip::Message> receive(int timeoutMs = 2000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto d = hartip::decode(inbox_);
            if (d.status == hartip::DecodeStatus::Ok) {
                inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(d.consumed));
                return d.message;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) return std::nullopt;
            uint8_t buffer[2048];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                return std::nullopt;
            }
            inbox_.insert(inbox_.end(), buffer, buffer + n);
        }
    }
    // The peer closed the connection (TCP), as seen by the last receive.
    bool closed() const { return closed_; }

private:
    bool tcp_;
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
    std::vector<uint8_t> inbox_;
};

}  // namespace testsupport
