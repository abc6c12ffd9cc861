#include "link/hartip/server.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hartip {

namespace {

using Clock = std::chrono::steady_clock;

bool samePeer(const sockaddr_storage& a, socklen_t aLen, const sockaddr_storage& b, socklen_t bLen) {
    return aLen == bLen && std::memcmp(&a, &b, aLen) == 0;
}

std::string peerText(const sockaddr_storage& peer, socklen_t len) {
    char host[NI_MAXHOST] = {}, port[NI_MAXSERV] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), len, host, sizeof host, port, sizeof port,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return std::string(host) + " port " + port;
}

}  // namespace

struct Server::Impl {
    // A client: for UDP a peer address with a session, for TCP a connection
    // (with a session once it has initiated one).
    struct Client {
        uint64_t id = 0;
        int fd = -1;  // the TCP connection; -1 for UDP
        sockaddr_storage peer{};
        socklen_t peerLen = 0;
        bool initiated = false;
        uint8_t masterType = kPrimaryMaster;
        uint32_t inactivityMs = 0;
        Clock::time_point lastHeard;
        std::vector<uint8_t> inbox;  // TCP bytes not yet a whole message
        uint16_t publishSequence = 0;
    };
    static constexpr uint64_t kEveryClient = 0;
    static constexpr size_t kSpareConnections = 8;  // TCP connections beyond the sessions, not yet initiated  // an Outgoing to every session: a burst frame to publish
    struct Outgoing {
        Clock::time_point due;
        uint64_t client;
        std::vector<uint8_t> bytes;
    };

    Endpoint endpoint;
    RequestHandler handler;
    ServerOptions options;
    LogSink logSink;
    int socketFd = -1;  // UDP socket or TCP listener
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};
    Clock::time_point acceptPausedUntil{};

    mutable std::mutex mutex;  // guards the two below; the rest is the thread's
    std::multimap<Clock::time_point, Outgoing> outgoing;
    size_t sessions = 0;

    std::map<uint64_t, Client> clients;
    uint64_t nextClientId = 1;

    // Without sockets (answerDatagrams): what would be sent, and to whom.
    struct Captured {
        sockaddr_storage peer;
        std::vector<uint8_t> bytes;
    };
    std::vector<Captured>* captured = nullptr;

    ~Impl() {
        for (auto& [id, c] : clients)
            if (c.fd >= 0) ::close(c.fd);
        if (socketFd >= 0) ::close(socketFd);
        if (wakeFd >= 0) ::close(wakeFd);
    }

    void log(const std::string& line) const {
        if (logSink) logSink(line);
    }

    void wake() const {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
    }

    void countSessions() {
        size_t n = 0;
        for (const auto& [id, c] : clients) n += c.initiated ? 1 : 0;
        std::lock_guard lock(mutex);
        sessions = n;
    }

    void queue(uint64_t client, std::vector<uint8_t> bytes, int delayMs) {
        const auto due = Clock::now() + std::chrono::milliseconds(std::max(0, delayMs));
        {
            std::lock_guard lock(mutex);
            outgoing.emplace(due, Outgoing{due, client, std::move(bytes)});
        }
        wake();
    }

    // Sends on the thread; false when a TCP connection broke (it is then dropped).
    bool send(Client& c, const std::vector<uint8_t>& bytes) {
        if (captured) {
            captured->push_back({c.peer, bytes});
            return true;
        }
        if (c.fd < 0) {
            ::sendto(socketFd, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&c.peer),
                     c.peerLen);
            return true;  // a datagram that did not go is lost, as datagrams may be
        }
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(c.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            // A client that does not read what it is sent is gone for our purposes.
            return false;
        }
        return true;
    }

    // Ends a client; a farewell message goes out once the session no longer counts.
    void drop(uint64_t id, const char* why, const std::vector<uint8_t>* farewell = nullptr) {
        auto it = clients.find(id);
        if (it == clients.end()) return;
        Client c = std::move(it->second);
        clients.erase(it);
        countSessions();
        if (c.initiated) log("session " + std::to_string(id) + " ended: " + why);
        if (farewell) send(c, *farewell);
        if (c.fd >= 0) ::close(c.fd);
    }

    size_t initiatedCount() const {
        size_t n = 0;
        for (const auto& [id, c] : clients) n += c.initiated ? 1 : 0;
        return n;
    }

    // Sends an answer; false when the client broke off (it is then dropped).
    bool answer(Client& c, const std::vector<uint8_t>& bytes) {
        if (send(c, bytes)) return true;
        drop(c.id, "connection broken");
        return false;
    }

    // One whole message from a client. False when the client was dropped.
    bool take(Client& c, const Message& m) {
        const Header& h = m.header;
        if (h.type != MessageType::Request) return answer(c, nak(h, status::kInvalidSelection));
        if (h.id == MessageId::SessionInitiate) return initiate(c, m);
        const bool knownId = h.id == MessageId::SessionClose || h.id == MessageId::KeepAlive ||
                             h.id == MessageId::PassThrough;
        if (!knownId) return answer(c, nak(h, status::kNotImplemented));
        // No session (it timed out, or never was): the client must initiate one again.
        if (!c.initiated) return answer(c, errorMessage(h, ErrorCode::SessionClosed));
        c.lastHeard = Clock::now();
        if (h.id == MessageId::SessionClose) {
            const auto closed = response(h, status::kSuccess);
            drop(c.id, "closed by the client", &closed);
            return false;
        }
        if (h.id == MessageId::KeepAlive) return answer(c, response(h, status::kSuccess));
        if (m.body.empty()) return answer(c, nak(h, status::kTooFewDataBytes));
        if (handler) handler(PassThroughRequest{c.id, h.sequence, c.masterType, m.body});
        return true;
    }

    bool initiate(Client& c, const Message& m) {
        const auto body = decodeSessionInitiate(m.body);
        if (!body) return answer(c, nak(m.header, status::kTooFewDataBytes));
        if (body->masterType != kPrimaryMaster && body->masterType != kSecondaryMaster)
            return answer(c, nak(m.header, status::kInvalidSelection));
        if (!c.initiated && initiatedCount() >= options.maxSessions) {
            log("session refused to " + peerText(c.peer, c.peerLen) + ": all sessions in use");
            send(c, errorMessage(m.header, ErrorCode::ServiceUnavailable));
            if (c.fd >= 0) drop(c.id, "no session free");
            return false;
        }
        const uint32_t granted =
            std::clamp(body->inactivityMs, options.shortestInactivityMs, options.longestInactivityMs);
        const bool wasInitiated = c.initiated;
        c.initiated = true;
        c.masterType = body->masterType;
        c.inactivityMs = granted;
        c.lastHeard = Clock::now();
        if (!wasInitiated) {
            log("session " + std::to_string(c.id) + " opened by " + peerText(c.peer, c.peerLen) + " (" +
                (c.masterType == kPrimaryMaster ? "primary" : "secondary") + " master, inactivity " +
                std::to_string(granted) + " ms)");
            countSessions();
        }
        const uint8_t st = granted == body->inactivityMs ? status::kSuccess : status::kSetToNearest;
        return answer(c, response(m.header, st, encodeSessionInitiate({c.masterType, granted})));
    }

    // What to answer a message that could not be decoded (a NAK), from what its header said.
    std::vector<uint8_t> refusal(const Decoded& d, const uint8_t* bytes, size_t count) const {
        Header h;
        peekHeader(bytes, count, h);  // zeros when even the header is short
        switch (d.status) {
        case DecodeStatus::BadVersion: return nak(h, status::kInvalidSelection);
        case DecodeStatus::BadLength:
            return nak(h, h.byteCount > kMaxMessageSize ? status::kTooLarge : status::kTooFewDataBytes);
        default: return nak(h, status::kTooFewDataBytes);
        }
    }

    void readDatagram() {
        uint8_t buffer[kMaxMessageSize + 64];
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        const ssize_t n =
            ::recvfrom(socketFd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peer), &peerLen);
        if (n < 0) return;
        takeDatagram(peer, peerLen, buffer, static_cast<size_t>(n));
    }

    // One datagram from a peer: every answer to it goes back to that peer.
    void takeDatagram(const sockaddr_storage& peer, socklen_t peerLen, const uint8_t* buffer, size_t count) {
        Client* client = nullptr;
        for (auto& [id, c] : clients)
            if (samePeer(c.peer, c.peerLen, peer, peerLen)) client = &c;
        Client stranger;
        if (!client) {
            stranger.peer = peer;
            stranger.peerLen = peerLen;
            stranger.id = nextClientId++;
            client = &stranger;
        }
        const Decoded d = decode(buffer, count);
        if (d.status != DecodeStatus::Ok) {
            log("malformed message from " + peerText(peer, peerLen) + ": answered with a NAK");
            send(*client, refusal(d, buffer, count));
            return;
        }
        if (client == &stranger) {
            if (!d.message.is(MessageType::Request, MessageId::SessionInitiate)) {
                take(stranger, d.message);  // answers "session closed" or a NAK
                return;
            }
            const uint64_t id = stranger.id;
            clients.emplace(id, std::move(stranger));
            take(clients.at(id), d.message);
            // A refused initiate leaves no client behind.
            if (auto it = clients.find(id); it != clients.end() && !it->second.initiated) clients.erase(it);
            return;
        }
        take(*client, d.message);
    }

    void accept() {
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        const int fd = ::accept4(socketFd, reinterpret_cast<sockaddr*>(&peer), &peerLen, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors: the listener stays readable, so wait a moment
            // instead of spinning on it; a dropped connection frees one.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                acceptPausedUntil = Clock::now() + std::chrono::milliseconds(100);
            return;
        }
        // A flood of connections that never initiate a session cannot crowd
        // out the clients that do: beyond the sessions and a few spare
        // connections, a new one is closed at once.
        if (clients.size() >= options.maxSessions + kSpareConnections) {
            log("connection from " + peerText(peer, peerLen) + " refused: too many connections");
            ::close(fd);
            return;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Client c;
        c.id = nextClientId++;
        c.fd = fd;
        c.peer = peer;
        c.peerLen = peerLen;
        c.lastHeard = Clock::now();
        clients.emplace(c.id, std::move(c));
    }

    void readConnection(uint64_t id) {
        Client& c = clients.at(id);
        uint8_t buffer[2048];
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            drop(id, "connection closed by the client");
            return;
        }
        if (n < 0) return;
        c.inbox.insert(c.inbox.end(), buffer, buffer + n);
        while (clients.count(id)) {
            Client& cl = clients.at(id);
            const Decoded d = decode(cl.inbox.data(), cl.inbox.size());
            if (d.status == DecodeStatus::NeedMore) return;
            if (d.status != DecodeStatus::Ok) {
                log("malformed message from " + peerText(cl.peer, cl.peerLen) + ": answered with a NAK");
                const auto answer = refusal(d, cl.inbox.data(), cl.inbox.size());
                // Behind a broken byte count the next message cannot be found: what came is dropped.
                if (d.status == DecodeStatus::BadLength) cl.inbox.clear();
                else cl.inbox.erase(cl.inbox.begin(), cl.inbox.begin() + static_cast<long>(d.consumed));
                if (!send(cl, answer)) drop(id, "connection broken");
                continue;
            }
            cl.inbox.erase(cl.inbox.begin(), cl.inbox.begin() + static_cast<long>(d.consumed));
            if (!take(cl, d.message)) return;
        }
    }

    void sendDue(Clock::time_point now) {
        std::vector<Outgoing> due;
        {
            std::lock_guard lock(mutex);
            while (!outgoing.empty() && outgoing.begin()->first <= now) {
                due.push_back(std::move(outgoing.begin()->second));
                outgoing.erase(outgoing.begin());
            }
        }
        for (auto& o : due) {
            if (o.client == kEveryClient) {
                std::vector<uint64_t> broken;
                for (auto& [id, c] : clients)
                    if (c.initiated && !send(c, hartip::publish(c.publishSequence++, o.bytes))) broken.push_back(id);
                for (uint64_t id : broken) drop(id, "connection broken");
                continue;
            }
            auto it = clients.find(o.client);
            if (it == clients.end() || !it->second.initiated) continue;
            if (!send(it->second, o.bytes)) drop(o.client, "connection broken");
        }
    }

    void expire(Clock::time_point now) {
        std::vector<uint64_t> ended;
        for (auto& [id, c] : clients) {
            const auto limit = std::chrono::milliseconds(c.initiated ? c.inactivityMs : options.connectionGraceMs);
            if (now - c.lastHeard < limit) continue;
            ended.push_back(id);
        }
        Header h;
        h.id = MessageId::SessionClose;
        const auto closed = errorMessage(h, ErrorCode::SessionClosed);
        for (uint64_t id : ended) drop(id, "inactivity time-out", &closed);
    }

    int pollTimeoutMs(Clock::time_point now) const {
        Clock::time_point next = now + std::chrono::seconds(1);
        {
            std::lock_guard lock(mutex);
            if (!outgoing.empty()) next = std::min(next, outgoing.begin()->first);
        }
        for (const auto& [id, c] : clients)
            next = std::min(next, c.lastHeard + std::chrono::milliseconds(c.initiated ? c.inactivityMs
                                                                                     : options.connectionGraceMs));
        if (acceptPausedUntil > now) next = std::min(next, acceptPausedUntil);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        return static_cast<int>(std::clamp<long long>(ms + 1, 0, 1000));
    }

    void run() {
        std::vector<pollfd> fds;
        std::vector<uint64_t> owners;
        while (!stopping) {
            const bool listening = !endpoint.tcp || Clock::now() >= acceptPausedUntil;
            fds.assign({{wakeFd, POLLIN, 0}, {listening ? socketFd : -1, POLLIN, 0}});
            owners.assign(2, 0);
            for (const auto& [id, c] : clients) {
                if (c.fd < 0) continue;
                fds.push_back({c.fd, POLLIN, 0});
                owners.push_back(id);
            }
            const int r = ::poll(fds.data(), fds.size(), pollTimeoutMs(Clock::now()));
            if (stopping) break;
            if (r < 0 && errno != EINTR) break;
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] auto n = ::read(wakeFd, &v, sizeof v);
            }
            if (fds[1].revents & POLLIN) {
                if (endpoint.tcp) accept();
                else readDatagram();
            }
            for (size_t i = 2; i < fds.size(); ++i)
                if (fds[i].revents && clients.count(owners[i])) readConnection(owners[i]);
            const auto now = Clock::now();
            sendDue(now);
            expire(now);
        }
        // Every client learns its session is over.
        for (auto& [id, c] : clients) {
            if (!c.initiated) continue;
            Header h;
            h.id = MessageId::SessionClose;
            send(c, errorMessage(h, ErrorCode::SessionClosed));
            if (c.fd >= 0) ::shutdown(c.fd, SHUT_RDWR);
        }
    }
};

Server::Server(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Server> Server::start(const Endpoint& endpoint, RequestHandler handler, std::string* error,
                                      const ServerOptions& options, LogSink log) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<Server> {
        if (error) *error = endpoint.url() + ": " + why;
        return nullptr;
    };
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = endpoint.tcp ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (const int e = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found); e != 0)
        return fail(gai_strerror(e));
    auto impl = std::make_unique<Impl>();
    std::string lastError = "no address";
    for (addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || (endpoint.tcp && ::listen(fd, 16) != 0)) {
            lastError = std::strerror(errno);
            ::close(fd);
            continue;
        }
        impl->socketFd = fd;
        break;
    }
    freeaddrinfo(found);
    if (impl->socketFd < 0) return fail(lastError);
    impl->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl->wakeFd < 0) return fail(std::string("eventfd: ") + std::strerror(errno));

    sockaddr_storage bound{};
    socklen_t boundLen = sizeof bound;
    getsockname(impl->socketFd, reinterpret_cast<sockaddr*>(&bound), &boundLen);
    impl->endpoint = endpoint;
    impl->endpoint.port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                            : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    impl->handler = std::move(handler);
    impl->options = options;
    impl->logSink = std::move(log);
    Impl* raw = impl.get();
    impl->thread = std::thread([raw] { raw->run(); });
    return std::unique_ptr<Server>(new Server(std::move(impl)));
}

Server::~Server() {
    impl_->stopping = true;
    impl_->wake();
    if (impl_->thread.joinable()) impl_->thread.join();
}

Endpoint Server::endpoint() const { return impl_->endpoint; }

void Server::respond(const PassThroughRequest& request, std::vector<uint8_t> replyFrame, int delayMs) {
    Header h;
    h.id = MessageId::PassThrough;
    h.sequence = request.sequence;
    impl_->queue(request.session, response(h, status::kSuccess, replyFrame), delayMs);
}

void Server::reject(const PassThroughRequest& request, uint8_t st) {
    Header h;
    h.id = MessageId::PassThrough;
    h.sequence = request.sequence;
    impl_->queue(request.session, nak(h, st), 0);
}

void Server::respondWithout(const PassThroughRequest& request, uint8_t st) {
    Header h;
    h.id = MessageId::PassThrough;
    h.sequence = request.sequence;
    impl_->queue(request.session, response(h, st), 0);
}

void Server::publish(std::vector<uint8_t> burstFrame) {
    // Each session numbers its publish messages; the thread builds them.
    impl_->queue(Impl::kEveryClient, std::move(burstFrame), 0);
}

size_t Server::sessionCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sessions;
}

std::vector<DatagramAnswer> answerDatagrams(const std::vector<Datagram>& datagrams, const ServerOptions& options,
                                            const Server::RequestHandler& handler) {
    Server::Impl impl;
    impl.endpoint.host = "127.0.0.1";
    impl.options = options;
    impl.handler = handler;
    std::vector<Server::Impl::Captured> sent;
    impl.captured = &sent;
    std::vector<DatagramAnswer> answers;
    for (size_t i = 0; i < datagrams.size(); ++i) {
        const Datagram& d = datagrams[i];
        // Peer n is 127.0.0.1 port 40000 + n: distinct peers, distinct sessions.
        sockaddr_storage peer{};
        auto* v4 = reinterpret_cast<sockaddr_in*>(&peer);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(40000 + d.peer));
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        impl.takeDatagram(peer, sizeof(sockaddr_in), d.bytes.data(), d.bytes.size());
        for (auto& c : sent) {
            const auto port = ntohs(reinterpret_cast<const sockaddr_in*>(&c.peer)->sin_port);
            answers.push_back({i, static_cast<uint8_t>(port - 40000), std::move(c.bytes)});
        }
        sent.clear();
    }
    return answers;
}

}  // namespace hartip
