// A HART-IP session to a device or gateway, as a transport: the link master
// writes a frame as it would on a line, and it goes out as one pass-through
// request (preambles dropped); the matching response, and every burst frame
// the server publishes, come back to the master's reads as frames on a line
// would (with preambles, so one frame receiver serves every transport).
//
// The session follows the frames: it is initiated when the port opens, as a
// primary master, and again when a frame carries the other master bit; it is
// kept alive while idle and closed when the port closes. A response whose
// sequence number is not the request's is dropped. A NAK or error answer ends
// the request (read reports Refused); a session the server closes, or a TCP
// connection that breaks, is a lost port.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/driver/transport.h"
#include "link/hartip/message.h"
#include "link/hartip/url.h"

namespace wendrel {

class HartIpTransport : public Transport {
public:
    // Connects (TCP) or aims the socket (UDP) and initiates the session.
    // Null with a reason in `error` when the host is unknown, a TCP
    // connection is refused or not made in time, or the server refuses the
    // session.
    static std::unique_ptr<HartIpTransport> open(const hartip::Endpoint& endpoint, std::string* error);
    ~HartIpTransport() override;  // closes the session

    bool setBitRate(int) override { return true; }  // a network has no line rate
    IoStatus write(const uint8_t* bytes, size_t count, int rtsDelayMs) override;
    IoStatus read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) override;
    void interrupt() override;
    int nativeHandle() const override { return fd_; }
    TransportTiming timing() const override;
    int32_t refusalNotice() const override { return refusalNotice_; }

    // Preambles put before each frame handed to the master.
    static constexpr int kPreambles = 5;

private:
    using Clock = std::chrono::steady_clock;
    HartIpTransport(int fd, int wakeFd, const hartip::Endpoint& endpoint);

    uint16_t nextSequence() { return sequence_++; }
    bool sendMessage(const std::vector<uint8_t>& bytes);  // false when the connection broke
    bool initiate(uint8_t masterType);
    bool sendPassThrough();
    // Reads what the socket holds and takes every whole message; false when lost.
    bool receive();
    void take(const hartip::Message& message);
    void refuse(int32_t notice, const std::string& why);
    void log(const std::string& line) const;

    const int fd_;
    const int wakeFd_;
    const hartip::Endpoint endpoint_;
    uint16_t sequence_ = 1;
    bool lost_ = false;

    std::optional<uint8_t> sessionMaster_;       // the master type of the session the server granted
    uint8_t wantedMaster_ = hartip::kPrimaryMaster;
    std::optional<uint16_t> initiateSequence_;   // a session initiate awaiting its answer
    Clock::time_point initiateSentAt_;
    // A server answers a session initiate itself, at once; one unanswered this
    // long is sent again with the next request.
    static constexpr auto kInitiateAnswerTime = std::chrono::seconds(1);
    std::vector<uint8_t> frameToSend_;           // a frame waiting for the session
    std::optional<uint16_t> awaitedSequence_;    // the pass-through whose answer the master waits for
    bool refused_ = false;                       // a refusal not yet reported by read
    std::string problem_;                        // the last refusal's reason, for a failed opening
    int32_t refusalNotice_ = 0;

    std::deque<uint8_t> incoming_;  // frames for the master's reads
    std::vector<uint8_t> stream_;   // TCP bytes not yet a whole message
    Clock::time_point lastSent_;
    std::chrono::milliseconds keepAliveEvery_;
};

}  // namespace wendrel
