#include "link/driver/transport_hartip.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/driver/link_master.h"
#include "link/driver/wendrel.h"
#include "link/hartip/timing.h"

namespace wendrel {

namespace {

// Waits for a non-blocking connect; 0 or the error that ended it.
int awaitConnect(int fd, int timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return ETIMEDOUT;
    if (r < 0) return errno;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
    return error;
}

bool isSuccess(uint8_t status) { return status == hartip::status::kSuccess || status == hartip::status::kSetToNearest; }

}  // namespace

std::unique_ptr<HartIpTransport> HartIpTransport::open(const hartip::Endpoint& endpoint, std::string* error) {
    const std::string where = endpoint.url();
    auto fail = [&](const std::string& why) -> std::unique_ptr<HartIpTransport> {
        if (error) *error = where + ": " + why;
        return nullptr;
    };
    if (endpoint.port == 0) return fail("no port");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = endpoint.tcp ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (const int e = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found); e != 0)
        return fail(std::string("host not found (") + gai_strerror(e) + ")");
    int fd = -1;
    std::string lastError = "no address";
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        int e = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (e == EINPROGRESS) e = awaitConnect(fd, hartip::kConnectTimeoutMs);
        if (e == 0) break;
        lastError = e == ECONNREFUSED ? "connection refused: no HART-IP server listens there"
                    : e == ETIMEDOUT  ? "no connection within " + std::to_string(hartip::kConnectTimeoutMs / 1000) +
                                           " s: the host does not answer"
                                      : std::string(std::strerror(e));
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd < 0) return fail(lastError);
    if (endpoint.tcp) {
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        const int e = errno;
        ::close(fd);
        return fail(std::string("eventfd: ") + std::strerror(e));
    }
    std::unique_ptr<HartIpTransport> t(new HartIpTransport(fd, wakeFd, endpoint));
    if (!t->initiate(hartip::kPrimaryMaster)) return fail("the connection broke at once");
    // A server answers at once: a refused session fails the opening with its
    // reason. No answer at all opens the port (a datagram cannot tell whether
    // anyone listens); its requests then end without reply.
    const auto deadline = Clock::now() + kInitiateAnswerTime;
    while (t->initiateSequence_ && !t->lost_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) > 0 && !t->receive()) t->lost_ = true;
    }
    if (t->lost_ || (!t->sessionMaster_ && !t->initiateSequence_))
        return fail(t->problem_.empty() ? "the server ended the connection" : t->problem_);
    t->refused_ = false;
    return t;
}

HartIpTransport::HartIpTransport(int fd, int wakeFd, const hartip::Endpoint& endpoint)
    : fd_(fd),
      wakeFd_(wakeFd),
      endpoint_(endpoint),
      lastSent_(Clock::now()),
      keepAliveEvery_(hartip::kKeepAliveMs) {}

HartIpTransport::~HartIpTransport() {
    if (!lost_ && (sessionMaster_ || initiateSequence_)) sendMessage(hartip::sessionCloseRequest(nextSequence()));
    ::close(fd_);
    ::close(wakeFd_);
}

TransportTiming HartIpTransport::timing() const {
    TransportTiming t;
    t.lineCharacters = false;
    t.replyWaitMs = hartip::kReplyWaitMs;
    return t;
}

void HartIpTransport::log(const std::string& line) const { detail::log(endpoint_.url() + ": " + line); }

bool HartIpTransport::sendMessage(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) > 0) continue;
        }
        // A datagram refused by the host (nothing listens there) is a lost
        // message, not a lost port: nothing answers, as from a silent device.
        if (!endpoint_.tcp && n < 0 && errno == ECONNREFUSED) return true;
        return false;
    }
    lastSent_ = Clock::now();
    return true;
}

bool HartIpTransport::initiate(uint8_t masterType) {
    wantedMaster_ = masterType;
    initiateSequence_ = nextSequence();
    initiateSentAt_ = Clock::now();
    return sendMessage(hartip::sessionInitiateRequest(*initiateSequence_, masterType, hartip::kInactivityMs));
}

bool HartIpTransport::sendPassThrough() {
    awaitedSequence_ = nextSequence();
    const bool sent = sendMessage(hartip::passThroughRequest(*awaitedSequence_, frameToSend_));
    frameToSend_.clear();
    return sent;
}

IoStatus HartIpTransport::write(const uint8_t* bytes, size_t count, int) {
    if (lost_) return IoStatus::Lost;
    size_t start = 0;
    while (start < count && bytes[start] == 0xFF) ++start;
    if (start + 2 > count) return IoStatus::Ok;  // no frame: nothing to carry
    frameToSend_.assign(bytes + start, bytes + count);
    awaitedSequence_.reset();
    refused_ = false;
    // The address byte's top bit is the master bit of the frame.
    const uint8_t master = (frameToSend_[1] & kPrimaryMasterBit) ? hartip::kPrimaryMaster : hartip::kSecondaryMaster;
    bool sent;
    if (sessionMaster_ == master && !initiateSequence_) sent = sendPassThrough();
    else if (initiateSequence_ && wantedMaster_ == master && Clock::now() - initiateSentAt_ < kInitiateAnswerTime)
        sent = true;  // the session is on its way; its answer sends the frame
    else sent = initiate(master);  // no session yet, none answered, or the other master type: ask again
    if (!sent) {
        lost_ = true;
        return IoStatus::Lost;
    }
    return IoStatus::Ok;
}

void HartIpTransport::refuse(int32_t notice, const std::string& why) {
    log(why);
    problem_ = why;
    refused_ = true;
    refusalNotice_ = notice;
    awaitedSequence_.reset();
    frameToSend_.clear();
}

void HartIpTransport::take(const hartip::Message& m) {
    using hartip::MessageId;
    using hartip::MessageType;
    const auto& h = m.header;
    switch (h.type) {
    case MessageType::Response:
        if (h.id == MessageId::SessionInitiate && h.sequence == initiateSequence_) {
            initiateSequence_.reset();
            if (!isSuccess(h.status)) {
                sessionMaster_.reset();
                problem_ = "session refused, status " + std::to_string(h.status);
                if (!frameToSend_.empty()) refuse(NotifySessionRefused, problem_);
                return;
            }
            sessionMaster_ = wantedMaster_;
            // Keep-alives go well inside the time-out the server granted.
            if (const auto granted = hartip::decodeSessionInitiate(m.body); granted && granted->inactivityMs > 0)
                keepAliveEvery_ = std::chrono::milliseconds(
                    std::clamp<long long>(granted->inactivityMs / 3, 50, hartip::kKeepAliveMs));
            if (!frameToSend_.empty() && !sendPassThrough()) lost_ = true;
            return;
        }
        if (h.id == MessageId::PassThrough && h.sequence == awaitedSequence_) {
            awaitedSequence_.reset();
            if (!isSuccess(h.status) || m.body.empty()) {
                refuse(NotifyRequestRefused, "pass-through answered with status " + std::to_string(h.status));
                return;
            }
            incoming_.insert(incoming_.end(), kPreambles, 0xFF);
            incoming_.insert(incoming_.end(), m.body.begin(), m.body.end());
        }
        // Anything else is an answer to a request we no longer wait for
        // (a keep-alive, a pass-through given up on): dropped.
        return;
    case MessageType::Publish:
        if (h.id == MessageId::PassThrough && !m.body.empty()) {
            incoming_.insert(incoming_.end(), kPreambles, 0xFF);
            incoming_.insert(incoming_.end(), m.body.begin(), m.body.end());
        }
        return;
    case MessageType::Error: {
        const auto code = hartip::errorCodeOf(m);
        if (!code || *code == hartip::ErrorCode::SessionClosed) {
            log("the server closed the session");
            lost_ = true;
            return;
        }
        sessionMaster_.reset();
        initiateSequence_.reset();
        problem_ = "no session: " + hartip::describe(*code);
        if (!frameToSend_.empty() || awaitedSequence_) refuse(NotifySessionRefused, problem_);
        else log(problem_);
        return;
    }
    case MessageType::Nak:
        if (h.sequence == awaitedSequence_ || h.sequence == initiateSequence_) {
            if (h.sequence == initiateSequence_) initiateSequence_.reset();
            refuse(NotifyRequestRefused, hartip::describe(h.id) + " refused (NAK), status " + std::to_string(h.status));
        }
        return;
    default:
        return;  // a request from a server is not for a client
    }
}

bool HartIpTransport::receive() {
    uint8_t buffer[hartip::kMaxMessageSize + 64];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
        // A datagram answered by "port unreachable": nothing listens at the
        // address, which is a silent device, not a lost port.
        if (!endpoint_.tcp && errno == ECONNREFUSED) return true;
        log(std::string("connection broken: ") + std::strerror(errno));
        return false;
    }
    if (n == 0 && endpoint_.tcp) {
        log("the server closed the connection");
        return false;
    }
    if (!endpoint_.tcp) {
        const auto d = hartip::decode(buffer, static_cast<size_t>(n));
        if (d.status == hartip::DecodeStatus::Ok) take(d.message);
        else log("malformed message from the server dropped");
        return !lost_;
    }
    stream_.insert(stream_.end(), buffer, buffer + n);
    for (;;) {
        const auto d = hartip::decode(stream_.data(), stream_.size());
        if (d.status == hartip::DecodeStatus::NeedMore) break;
        if (d.status == hartip::DecodeStatus::BadLength) {
            log("the server's byte stream broke (a message with an impossible length)");
            return false;
        }
        if (d.status == hartip::DecodeStatus::Ok) take(d.message);
        stream_.erase(stream_.begin(), stream_.begin() + static_cast<long>(d.consumed));
        if (lost_) return false;
    }
    return !lost_;
}

IoStatus HartIpTransport::read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) {
    count = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        if (!incoming_.empty()) {
            while (count < capacity && !incoming_.empty()) {
                buffer[count++] = incoming_.front();
                incoming_.pop_front();
            }
            return IoStatus::Ok;
        }
        if (refused_) {
            refused_ = false;
            return IoStatus::Refused;
        }
        if (lost_) return IoStatus::Lost;
        const auto now = Clock::now();
        // Keep the session while the master has nothing to say.
        const auto keepAliveDue = lastSent_ + keepAliveEvery_;
        if (sessionMaster_ && now >= keepAliveDue) {
            if (!sendMessage(hartip::keepAliveRequest(nextSequence()))) {
                lost_ = true;
                continue;
            }
            continue;
        }
        if (now >= deadline) return IoStatus::Timeout;
        const auto until = sessionMaster_ ? std::min(deadline, keepAliveDue) : deadline;
        const int waitMs =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count()) + 1;
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(fds, 2, waitMs);
        if (r < 0 && errno != EINTR) {
            lost_ = true;
            continue;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t drained = ::read(wakeFd_, &v, sizeof v);
            return IoStatus::Interrupted;
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (!receive()) lost_ = true;
        }
    }
}

void HartIpTransport::interrupt() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace wendrel
