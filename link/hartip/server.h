// A HART-IP server over a frame handler: it keeps the sessions of its clients
// on one UDP socket or one TCP listening socket, answers session initiate,
// session close and keep-alive itself, and hands each pass-through request's
// HART frame to the handler, which answers it (now or later, from any thread)
// or does not (the client then hears nothing, as from a silent device).
//
// The server runs its own thread; the handler is called on it. Sessions end
// when the client closes them, when the client is silent for the inactivity
// time-out it asked for, or when the server stops. A message the server cannot
// take is answered with a NAK whose status says why, and the session stays.
// Used by the simulated meter (corvane-meter-sim --hartip) and by the bridge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/hartip/message.h"
#include "link/hartip/url.h"

namespace hartip {

// One pass-through request as the handler receives it.
struct PassThroughRequest {
    uint64_t session = 0;      // unique for the server's life
    uint16_t sequence = 0;     // of the request; the response echoes it
    uint8_t masterType = kPrimaryMaster;  // as the session was initiated
    std::vector<uint8_t> frame;  // the HART frame, delimiter to checksum; never empty
};

struct ServerOptions {
    size_t maxSessions = 8;                 // further clients get the error "service unavailable"
    uint32_t shortestInactivityMs = 1000;   // a client asking for less (or 0) gets this
    uint32_t longestInactivityMs = 600000;  // ... for more gets this
    uint32_t connectionGraceMs = 10000;     // a TCP connection without a session is dropped after this
};

struct Datagram {
    uint8_t peer = 0;  // peers are told apart by this number
    std::vector<uint8_t> bytes;
};
struct DatagramAnswer {
    size_t datagram = 0;  // the index of the datagram answered
    uint8_t peer = 0;
    std::vector<uint8_t> bytes;
};

class Server {
public:
    using RequestHandler = std::function<void(const PassThroughRequest&)>;
    using LogSink = std::function<void(const std::string&)>;

    // Binds the endpoint (port 0: a free port, see endpoint()) and starts
    // serving. Null, with the reason in `error`, when the socket cannot be had.
    static std::unique_ptr<Server> start(const Endpoint& endpoint, RequestHandler handler, std::string* error,
                                         const ServerOptions& options = {}, LogSink log = {});
    // Tells every client its session is closed (TCP: closes the connection) and stops.
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Where the server listens, with the port actually bound.
    Endpoint endpoint() const;

    // Answers a pass-through request with the reply frame (delimiter to
    // checksum), after `delayMs`. Thread-safe; dropped when the session has
    // ended meanwhile.
    void respond(const PassThroughRequest& request, std::vector<uint8_t> replyFrame, int delayMs = 0);
    // Answers it with a NAK carrying `status` (the frame was no request).
    void reject(const PassThroughRequest& request, uint8_t status);
    // Answers it with a pass-through response that carries no frame, only
    // `status` (status::kNoDeviceResponse: the device gave no reply).
    void respondWithout(const PassThroughRequest& request, uint8_t status);
    // Sends a burst frame to every session as a publish message. Thread-safe.
    void publish(std::vector<uint8_t> burstFrame);
    // Sessions open now. Thread-safe.
    size_t sessionCount() const;

private:
    struct Impl;
    explicit Server(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend std::vector<DatagramAnswer> answerDatagrams(const std::vector<Datagram>&, const ServerOptions&,
                                                       const RequestHandler&);
};

// The UDP server's message handling without sockets, threads or clock: the
// datagrams are taken in turn, each from one of a few peers, by one server's
// sessions, and what the server sends back is returned in order. Pass-through
// requests reach `handler`, whose answers (through a Server) are not part of
// this. For tests and the fuzz target.
std::vector<DatagramAnswer> answerDatagrams(const std::vector<Datagram>& datagrams, const ServerOptions& options,
                                            const Server::RequestHandler& handler = {});

}  // namespace hartip
