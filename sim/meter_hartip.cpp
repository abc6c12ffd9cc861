#include "sim/meter_hartip.h"

#include "link/hartip/timing.h"

namespace corvane::sim {

namespace {

// A late reply misses the client's wait by this much.
constexpr int kLateMarginMs = 500;

// The frame of a transmission without what only a line has: noise, preambles.
std::optional<std::vector<uint8_t>> frameOf(const std::vector<uint8_t>& wire) {
    std::optional<std::vector<uint8_t>> out;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& p) {
        if (!out) out.emplace(p.raw.begin() + p.preambles, p.raw.end());
    });
    parser.feed(wire);
    parser.gapTimeout();
    return out;
}

}  // namespace

MeterHartIp::MeterHartIp(Meter& meter, std::mutex& meterMutex, const FaultOptions& faults, int lineMode,
                         std::function<void()> afterRequest)
    : MeterHartIp(std::vector<Meter*>{&meter}, meterMutex, faults, lineMode, std::move(afterRequest)) {}

MeterHartIp::MeterHartIp(std::vector<Meter*> meters, std::mutex& meterMutex, const FaultOptions& faults,
                         int lineMode, std::function<void()> afterRequest)
    : meterMutex_(meterMutex),
      line_(std::move(meters), faults, lineMode),
      afterRequest_(std::move(afterRequest)) {
    publisher_ = std::thread([this] { publishLoop(); });
}

MeterHartIp::~MeterHartIp() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    publisher_.join();
    std::lock_guard lock(serversMutex_);
    servers_.clear();  // each tells its clients the session is over
}

bool MeterHartIp::serve(const std::string& url, std::string* error, const hartip::ServerOptions& options) {
    const auto endpoint = hartip::parseUrl(url, error);
    if (!endpoint) {
        if (error) *error = url + ": " + *error;
        return false;
    }
    auto self = std::make_shared<std::atomic<hartip::Server*>>(nullptr);
    auto server = hartip::Server::start(
        *endpoint,
        [this, self](const hartip::PassThroughRequest& request) {
            if (hartip::Server* s = self->load()) handle(*s, request);
        },
        error, options);
    if (!server) return false;
    self->store(server.get());
    std::lock_guard lock(serversMutex_);
    servers_.push_back(std::move(server));
    return true;
}

std::vector<hartip::Endpoint> MeterHartIp::endpoints() const {
    std::lock_guard lock(serversMutex_);
    std::vector<hartip::Endpoint> out;
    for (const auto& s : servers_) out.push_back(s->endpoint());
    return out;
}

size_t MeterHartIp::sessionCount() const {
    std::lock_guard lock(serversMutex_);
    size_t n = 0;
    for (const auto& s : servers_) n += s->sessionCount();
    return n;
}

void MeterHartIp::handle(hartip::Server& server, const hartip::PassThroughRequest& request) {
    // The frame must be one whole request, as a device on a line would read it.
    bool isRequest = false;
    wendrel::FrameParser check([&](const wendrel::ParsedFrame& p) {
        isRequest = p.error == wendrel::FrameError::None && p.frame.type == wendrel::FrameType::Stx &&
                    p.raw.size() == request.frame.size() + 2;
    });
    std::vector<uint8_t> wire = {0xFF, 0xFF};
    wire.insert(wire.end(), request.frame.begin(), request.frame.end());
    check.feed(wire);
    check.gapTimeout();
    if (!isRequest) {
        server.reject(request, hartip::status::kInvalidSelection);
        return;
    }
    std::vector<Transmission> replies;
    int turnaroundMs = 0;
    {
        std::lock_guard lock(meterMutex_);
        replies = line_.receive(wire);
        line_.lineSilent();
        turnaroundMs = line_.turnaroundMs();
        if (afterRequest_) afterRequest_();
    }
    for (const auto& t : replies) {
        auto frame = frameOf(t.bytes);
        if (!frame) continue;
        const bool late = t.delayMs > turnaroundMs;
        server.respond(request, std::move(*frame),
                       late ? std::max(t.delayMs, hartip::kReplyWaitMs + kLateMarginMs) : t.delayMs);
    }
}

void MeterHartIp::publishLoop() {
    std::unique_lock stop(stopMutex_);
    while (!stopped_.wait_for(stop, std::chrono::milliseconds(kPublishPeriodMs), [this] { return stopping_.load(); })) {
        {
            std::lock_guard lock(serversMutex_);
            if (servers_.empty()) continue;  // nobody to publish to: the meter's bursts are the line's
        }
        std::optional<std::vector<uint8_t>> frame;
        {
            std::lock_guard lock(meterMutex_);
            if (line_.anyBursting()) {
                if (auto burst = line_.nextBurst()) frame = frameOf(burst->bytes);
            }
        }
        if (!frame) continue;
        std::lock_guard lock(serversMutex_);
        for (const auto& s : servers_) s->publish(*frame);
    }
}

}  // namespace corvane::sim
