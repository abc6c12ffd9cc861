// The HART-IP bridge: one serial loop, reached through the frame driver,
// served to HART-IP clients over UDP and TCP.
//
// Every listening address runs its own HART-IP server with many sessions.
// Pass-through requests from all sessions wait in one queue in the order they
// arrived and go onto the line one at a time through the driver, which keeps
// the line's rules (link grant, reply wait, retries). Each reply goes back to
// the session and sequence number that asked: the device's own frame, with
// the master bit of the client's request. Burst frames seen on the loop are
// published to every session.
//
// A request the loop does not answer (the device stays silent through the
// retries, the line is lost, or it is down when the request arrives) is
// answered at once with a pass-through response without frame whose status
// is hartip::status::kNoDeviceResponse; the session stays. A lost line is
// opened again every reopen interval until it is back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/driver/frame.h"
#include "link/driver/wendrel.h"
#include "link/hartip/server.h"

namespace bridge {

struct BridgeOptions {
    int port = 1;                   // the driver's port 1..32 (its device path from the port map)
    std::string portPath;           // when set, the device path, whatever the port map says
    int mode = 0;                   // line rate: 0 1200, 1 9600, 2 19200 bit/s
    int retries = 2;                // after a request without valid reply
    bool primaryMaster = true;      // the bridge's role on the loop
    std::vector<hartip::Endpoint> listen;
    size_t maxSessions = 8;         // on each listening address
    size_t maxWaitingPerSession = 16;  // queued requests of one session; more are refused as busy
    int reopenIntervalMs = 1000;    // a lost line is tried again this often
    std::string requestLogPath;     // one line per pass-through request, appended; empty: none
    std::function<void(const std::string&)> log;  // session starts and ends, line losses; empty: none
};

class Bridge {
public:
    // Opens the line and the listening sockets. A line that cannot be opened
    // yet is not an error (it is tried again as a lost one); a listening
    // address or request log that cannot be had is: null, with the reason.
    static std::unique_ptr<Bridge> start(const BridgeOptions& options, std::string* error);
    // Closes every session (clients are told) and the line.
    ~Bridge();
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    // The listening addresses with the ports actually bound, in option order.
    std::vector<hartip::Endpoint> endpoints() const;
    bool lineOpen() const;
    size_t sessionCount() const;

private:
    struct Impl;
    explicit Bridge(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// A pass-through frame taken apart for the driver.
struct LoopRequest {
    wendrel::Frame frame;         // as the client sent it
    wendrel::HartRequest request; // its command and address; data points into frame.data
};
// Reads a client's pass-through frame: one whole STX frame with a good
// checksum and nothing after it, no expansion bytes, a polling address the
// driver can send (0..15). Nothing, with the HART-IP status to refuse it with
// and the reason, otherwise.
std::optional<LoopRequest> readRequestFrame(const std::vector<uint8_t>& bytes, uint8_t* refusalStatus,
                                            std::string* why);

// The frame returned to the client for its request: the device's own reply
// frame (from the line, preambles removed) when it matches what the driver
// collected, otherwise one built from the collected reply; either way with
// the master bit of the client's request.
std::vector<uint8_t> replyFrame(const wendrel::Frame& request, const std::vector<uint8_t>& deviceFrame,
                                const wendrel::HartReply& reply, bool burst);

}  // namespace bridge
