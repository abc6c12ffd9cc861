#include "link/driver/link_master.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace wendrel {

namespace {

constexpr int kPrimaryReplyWaitChars = 33;    // RT1 of a primary master
constexpr int kSecondaryReplyWaitChars = 41;  // RT1 of a secondary master
constexpr int kLinkGrantChars = 8;            // RT2
constexpr int kGapChars = 4;                  // generous: USB modems deliver bytes in bursts
constexpr int kMinimumWaitMs = 20;            // below this, scheduling noise decides, not the line
constexpr int kMinimumGapMs = 25;
constexpr auto kBurstMemory = std::chrono::seconds(2);  // a burst device silent this long has stopped
// Uncollected replies keep their data up to this count; older ones keep only
// command and tag (a few dozen bytes) and are collected as discarded, so their
// requests still end. Past the second count the oldest are forgotten: no
// client has that many requests outstanding (the control counts them in 16 bits).
constexpr size_t kMaxRepliesWithData = 64;
constexpr size_t kMaxStoredReplies = 32768;
constexpr int kMostPreambles = 30;     // more than any device sends before its delimiter
constexpr int kLongestFrameChars = 1 + 5 + 3 + 1 + 1 + 255 + 1;  // delimiter to checksum
constexpr uint8_t kResponseBusy = 32;
constexpr uint8_t kCommunicationErrorBit = 0x80;
constexpr int kIdleWaitMs = 1000;

int clampInt(int v, int lo, int hi) { return std::max(lo, std::min(hi, v)); }

// Reply keys are unique across registrations, so a key posted by a registration
// that has since ended never collects a reply of the next one.
int32_t nextReplyKey() {
    static std::atomic<uint32_t> counter{0};
    return static_cast<int32_t>(counter.fetch_add(1) % 0x7FFFFFFEu) + 1;  // 1..0x7FFFFFFE, never -1
}

// A reply that asks for the request again: the device was busy or garbled it.
bool asksForRetry(const Frame& reply) {
    return reply.responseCode() == kResponseBusy || (reply.responseCode() & kCommunicationErrorBit);
}

bool isBroadcast(const Frame& f) {
    return f.longAddress && (f.address[0] & 0x3F) == 0 && f.address[1] == 0 && f.address[2] == 0 &&
           f.address[3] == 0 && f.address[4] == 0;
}

// Is `f` the device's answer to `request`?
bool answers(const Frame& request, const Frame& f) {
    if (f.type != FrameType::Ack || f.command != request.command) return false;
    if (f.longAddress != request.longAddress) return false;
    if ((f.address[0] & kPrimaryMasterBit) != (request.address[0] & kPrimaryMasterBit)) return false;
    if (!f.longAddress) return (f.address[0] & 0x0F) == (request.address[0] & 0x0F);
    if (isBroadcast(request)) return true;  // command 11: whoever owns the tag answers
    return (f.address[0] & 0x3F) == (request.address[0] & 0x3F) &&
           std::equal(f.address.begin() + 1, f.address.end(), request.address.begin() + 1);
}

// The frame bytes from the delimiter on: preamble counts may differ between
// what was sent and what an echoing modem hands back.
std::vector<uint8_t> withoutPreambles(const std::vector<uint8_t>& wire) {
    size_t i = 0;
    while (i < wire.size() && wire[i] == 0xFF) ++i;
    return std::vector<uint8_t>(wire.begin() + static_cast<long>(i), wire.end());
}

}  // namespace

int BitRateOfMode(int mode) {
    switch (mode) {
    case 1: return 9600;
    case 2: return 19200;
    default: return 1200;
    }
}

LinkTiming LinkTiming::forBitRate(int bitsPerSecond, bool primaryMaster, int replyTimeoutOverrideMs) {
    LinkTiming t{};
    t.characterMs = 11000.0 / bitsPerSecond;
    const int chars = primaryMaster ? kPrimaryReplyWaitChars : kSecondaryReplyWaitChars;
    t.replyWaitMs = replyTimeoutOverrideMs > 0
                        ? replyTimeoutOverrideMs
                        : std::max(kMinimumWaitMs, static_cast<int>(std::ceil(chars * t.characterMs)));
    t.gapMs = std::max(kMinimumGapMs, static_cast<int>(std::ceil(kGapChars * t.characterMs)));
    t.linkGrantMs = kLinkGrantChars * t.characterMs;
    t.burstWindowMs = std::max(kMinimumWaitMs, static_cast<int>(std::ceil(t.linkGrantMs)));
    t.longestFrameMs = static_cast<int>(std::ceil((kMostPreambles + kLongestFrameChars) * t.characterMs)) + t.gapMs;
    return t;
}

std::chrono::microseconds LinkTiming::wireTime(size_t characters) const {
    return std::chrono::microseconds(std::llround(static_cast<double>(characters) * characterMs * 1000.0));
}

LinkMaster::LinkMaster(int32_t port, std::unique_ptr<Transport> transport,
                       const DriverRegistration& registration)
    : port_(port),
      transport_(std::move(transport)),
      window_(registration.window),
      notifyMessage_(registration.notifyMessage),
      replyMessage_(registration.replyMessage),
      registeredAt_(Clock::now()),
      parser_([this](const ParsedFrame& f) { onFrame(f); }) {
    config_.port = port;
    config_.mode = clampInt(registration.mode, 0, 2);
    thread_ = std::thread([this] { run(); });
}

LinkMaster::~LinkMaster() { stop(); }

void LinkMaster::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    transport_->interrupt();
    if (thread_.joinable()) thread_.join();
}

int32_t LinkMaster::portHandle() const { return lost_ ? -1 : transport_->nativeHandle(); }

DriverConfig LinkMaster::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void LinkMaster::setConfig(const DriverConfig& in) {
    {
        std::lock_guard lock(mutex_);
        DriverConfig c = in;
        c.port = port_;  // not changeable here: a new port is a new registration
        c.preambles = clampInt(c.preambles, 2, 30);
        c.retries = clampInt(c.retries, 0, 10);
        c.mode = (c.mode >= 0 && c.mode <= 2) ? c.mode : 0;
        c.rtsDelay = clampInt(c.rtsDelay, 0, 1000);
        c.masterType = c.masterType == 0 ? 0 : 1;
        c.replyTimeout = clampInt(c.replyTimeout, 0, 60000);
        c.silenceEndsRequest = c.silenceEndsRequest == 0 ? 0 : 1;
        config_ = c;
    }
    transport_->interrupt();  // a new line rate applies before the next byte
}

void LinkMaster::startHistory() {
    // The monitor stamps frames with the time since registration; a transaction
    // start needs no record of its own.
}

void LinkMaster::send(const HartRequest& request, int32_t tag) {
    Pending p;
    p.command = request.command;
    p.addressKind = request.addressKind;
    p.pollAddress = request.pollAddress;
    std::copy(std::begin(request.uniqueId), std::end(request.uniqueId), p.uniqueId.begin());
    p.tag = tag;
    const bool lengthFits = request.length >= 0 && request.length <= static_cast<int32_t>(kMaxDataBytes) &&
                            request.length <= request.capacity && (request.length == 0 || request.data);
    p.valid = lengthFits && request.command >= 0 && request.command <= 255 &&
              (request.addressKind == kAddressPolling || request.addressKind == kAddressUniqueId);
    if (p.valid && request.length > 0) p.data.assign(request.data, request.data + request.length);
    if (!p.valid)
        detail::log("request for command " + std::to_string(request.command) +
                    " refused: bad address kind, command or data length " + std::to_string(request.length));
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(p));
    }
    queued_.notify_all();
    transport_->interrupt();
}

int32_t LinkMaster::receive(int32_t key, HartReply* reply, int16_t* tag) {
    Stored s;
    {
        std::lock_guard lock(mutex_);
        auto it = replies_.find(key);
        if (it == replies_.end()) return 0;
        s = std::move(it->second);
        replies_.erase(it);
        keysWithData_.erase(key);
    }
    if (tag) *tag = static_cast<int16_t>(s.tag);
    if (reply) {
        reply->command = s.command;
        const int32_t room = std::max<int32_t>(0, reply->data ? reply->capacity : 0);
        const int32_t n = std::min<int32_t>(room, static_cast<int32_t>(s.data.size()));
        if (n > 0) std::memcpy(reply->data, s.data.data(), static_cast<size_t>(n));
        reply->length = n;
        reply->response1 = s.response1;
        reply->response2 = s.response2;
    }
    return s.discarded ? kReplyDiscarded : 1;
}

void LinkMaster::setMonitor(MessageTarget* target, int32_t message) {
    std::lock_guard lock(monitorMutex_);
    monitor_ = target;
    monitorMessage_ = message;
}

void LinkMaster::post(int32_t message, intptr_t wParam, intptr_t lParam) {
    if (window_ && !stopping()) window_->post(message, wParam, lParam);
}

void LinkMaster::postMonitor(const std::vector<uint8_t>& bytes, MonitorOrigin origin, FrameError error,
                             int preambles) {
    std::lock_guard lock(monitorMutex_);
    if (!monitor_ || stopping() || bytes.empty()) return;
    const uint32_t ms = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - registeredAt_).count());
    monitor_->post(monitorMessage_, origin, MakeMonitorRecord(bytes.data(), bytes.size(), static_cast<int>(error), preambles, ms));
}

void LinkMaster::applyLineRate() {
    if (lost_) return;
    const int wanted = BitRateOfMode(config().mode);
    if (wanted == appliedBitRate_) return;
    if (!transport_->setBitRate(wanted))
        detail::log("port " + std::to_string(port_) + ": line rate " + std::to_string(wanted) + " refused");
    appliedBitRate_ = wanted;
    parser_.reset();
}

LinkTiming LinkMaster::timing(const DriverConfig& cfg) const {
    LinkTiming t = LinkTiming::forBitRate(BitRateOfMode(cfg.mode), cfg.masterType == 1, cfg.replyTimeout);
    const TransportTiming carried = transport_->timing();
    if (!carried.lineCharacters) {
        t.characterMs = 0;
        t.linkGrantMs = 0;
    }
    if (carried.replyWaitMs > 0 && cfg.replyTimeout <= 0) t.replyWaitMs = carried.replyWaitMs;
    return t;
}

// Everything seen on the line passes here, in the I/O thread.
void LinkMaster::onFrame(const ParsedFrame& parsed) {
    const Frame& f = parsed.frame;
    if (f.type == FrameType::Stx && parsed.error == FrameError::None && !lastSent_.empty() &&
        withoutPreambles(parsed.raw) == withoutPreambles(lastSent_)) {
        return;  // our own request, echoed by the modem
    }
    postMonitor(parsed.raw, OriginReceived, parsed.error, parsed.preambles);
    // Another master's request: it took its turn, so ours need not wait any more.
    if (f.type == FrameType::Stx) grantEnds_.reset();
    if (f.type == FrameType::Back && parsed.error == FrameError::None) {
        const bool announced = lastBurstEnd_ && Clock::now() - *lastBurstEnd_ < kBurstMemory;
        lastBurstEnd_ = Clock::now();
        if (!announced) post(notifyMessage_, NotifyBurstDevice, 0);
        return;
    }
    if (!awaiting_) return;
    if (parsed.error != FrameError::None) {
        // A damaged frame while we wait is most likely our reply: no good one will follow.
        if (f.type != FrameType::Stx && !matched_) matched_ = parsed;
        return;
    }
    if (answers(*awaiting_, f)) matched_ = parsed;
    // Anything else (other masters' traffic, replies to them) is not ours: dropped.
}

void LinkMaster::listenOnce(int timeoutMs) {
    uint8_t buffer[512];
    size_t count = 0;
    switch (transport_->read(buffer, sizeof buffer, std::max(0, timeoutMs), count)) {
    case IoStatus::Ok:
        lastByteAt_ = Clock::now();
        parser_.feed(buffer, count);
        break;
    case IoStatus::Timeout:
        // A short wait that ran out says nothing of the gap since the last byte.
        if (parser_.lineBusy() &&
            Clock::now() - lastByteAt_ >= std::chrono::milliseconds(timing(config()).gapMs))
            parser_.gapTimeout();
        break;
    case IoStatus::Interrupted:
        break;
    case IoStatus::Refused:
        refused_ = true;
        break;
    case IoStatus::Lost:
        portLost();
        break;
    }
}

void LinkMaster::listenUntil(Clock::time_point until) {
    const auto left = until - Clock::now();
    if (left >= std::chrono::milliseconds(1)) {
        listenOnce(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
        return;
    }
    // A port waits in whole milliseconds: the last fraction is slept, then
    // whatever came in meanwhile is read without waiting.
    std::this_thread::sleep_until(until);
    listenOnce(0);
}

// HART bus arbitration: after its own transaction a master leaves the line
// to another master for the link grant time; with a burst device on the
// line, it sends only in the short window after a burst frame; otherwise
// whenever the line is quiet.
bool LinkMaster::mayTransmit(Clock::time_point now) const {
    if (!transport_->timing().lineCharacters) return true;  // a network carries every master's request
    if (parser_.lineBusy()) return false;
    if (grantEnds_ && now < *grantEnds_) return false;
    if (!lastBurstEnd_ || now - *lastBurstEnd_ >= kBurstMemory) return true;
    return now - *lastBurstEnd_ < std::chrono::milliseconds(timing(config()).burstWindowMs);
}

int LinkMaster::waitBudgetMs(Clock::time_point now) const {
    if (parser_.lineBusy()) return timing(config()).gapMs;
    if (lastBurstEnd_) {
        const auto untilForgotten =
            std::chrono::duration_cast<std::chrono::milliseconds>(*lastBurstEnd_ + kBurstMemory - now).count();
        return static_cast<int>(std::clamp<long long>(untilForgotten, 1, kIdleWaitMs));
    }
    return kIdleWaitMs;
}

// Listens until the line is ours. A line busy for longer than the longest
// frame is jammed (a modem or device that never stops sending), and so is one
// that gives no turn for longer than a burst device may stay silent: the
// request then ends rather than wait for ever.
LinkMaster::Turn LinkMaster::waitForTurn(Clock::duration quiet) {
    const auto start = Clock::now();
    const auto longestFrame = std::chrono::milliseconds(timing(config()).longestFrameMs);
    std::optional<Clock::time_point> busySince;
    for (;;) {
        if (stopping() || lost_) return Turn::Ended;
        const auto now = Clock::now();
        const bool quietLongEnough = now - lastByteAt_ >= quiet;
        if (quietLongEnough && mayTransmit(now)) return Turn::Ours;
        if (!parser_.lineBusy()) busySince.reset();
        else if (!busySince) busySince = now;
        if ((busySince && now - *busySince > longestFrame) || now - start > kBurstMemory + longestFrame)
            return Turn::Jammed;
        if (!quietLongEnough && !parser_.lineBusy())
            listenUntil(lastByteAt_ + quiet);
        else if (grantEnds_ && now < *grantEnds_ && !parser_.lineBusy())
            listenUntil(*grantEnds_);
        else
            listenOnce(waitBudgetMs(now));
    }
}

Frame LinkMaster::buildFrame(const Pending& request, bool primaryMaster) const {
    const auto command = static_cast<uint8_t>(request.command);
    if (request.addressKind == kAddressUniqueId)
        return makeRequestLong(request.uniqueId, command, request.data, primaryMaster);
    return makeRequestShort(request.pollAddress, command, request.data, primaryMaster);
}

std::optional<ParsedFrame> LinkMaster::awaitReply(const Frame& request, Clock::time_point deadline,
                                                  const LinkTiming& lineTiming) {
    awaiting_ = &request;
    matched_.reset();
    // A reply that has started in time is read to its end, but no legal reply
    // lasts past this: preambles or noise without end cannot hold the request.
    const auto lastByte = deadline + std::chrono::milliseconds(lineTiming.longestFrameMs);
    while (!matched_ && !refused_ && !stopping() && !lost_) {
        const auto now = Clock::now();
        if (now >= lastByte || (!parser_.lineBusy() && now >= deadline)) break;
        const auto until = parser_.lineBusy() ? lastByte : deadline;
        const int left =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count()) + 1;
        listenOnce(parser_.lineBusy() ? std::min(lineTiming.gapMs, left) : left);
    }
    awaiting_ = nullptr;
    auto result = std::move(matched_);
    matched_.reset();
    return result;
}

void LinkMaster::runTransaction(const Pending& request) {
    if (!request.valid) {
        finish(request, std::nullopt);
        return;
    }
    const DriverConfig cfg = config();
    const LinkTiming lineTiming = timing(cfg);
    const Frame frame = buildFrame(request, cfg.masterType == 1);
    const auto wire = encodeFrame(frame, cfg.preambles);
    const int attempts = cfg.retries + 1;
    const auto grant = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(lineTiming.linkGrantMs));
    std::optional<Frame> lastReply;
    bool sent = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        // A retry goes out only once the line has been silent for the link
        // grant time: the rest of a reply cut short by a pause (a stalled
        // sender, a USB adapter's burst) must not meet the retry on the line.
        if (waitForTurn(attempt == 0 ? Clock::duration::zero() : grant) != Turn::Ours) break;
        lastSent_ = wire;
        const auto handedAt = Clock::now();
        if (transport_->write(wire.data(), wire.size(), cfg.rtsDelay) != IoStatus::Ok) {
            portLost();
            break;
        }
        sent = true;
        // The reply wait runs from the end of the request on the wire: a USB
        // adapter returns from its drain before the last byte has left, so
        // the return of write says little about a long request at a low rate.
        const auto requestEnd = std::max(Clock::now(), handedAt + lineTiming.wireTime(wire.size()));
        postMonitor(wire, OriginSent, FrameError::None, cfg.preambles);
        refused_ = false;
        auto parsed =
            awaitReply(frame, requestEnd + std::chrono::milliseconds(lineTiming.replyWaitMs), lineTiming);
        if (refused_) {
            // The far end will not carry this request: no retry, and the client is told why.
            post(notifyMessage_, transport_->refusalNotice(), 0);
            lastReply.reset();
            break;
        }
        if (!parsed && cfg.silenceEndsRequest) {
            lastReply.reset();
            break;  // nobody there: asking again only costs the line time
        }
        if (!parsed || parsed->error != FrameError::None) {
            lastReply.reset();
            continue;  // nothing valid came back: try again
        }
        lastReply = parsed->frame;
        if (!asksForRetry(parsed->frame)) break;
    }
    if (stopping()) return;
    if (sent) grantEnds_ = Clock::now() + grant;
    finish(request, lastReply);
}

void LinkMaster::finish(const Pending& request, const std::optional<Frame>& reply) {
    Stored s;
    s.command = request.command;
    s.tag = request.tag;
    intptr_t status = kNoDeviceResponse;
    if (reply) {
        s.data = reply->payload();
        s.response1 = reply->responseCode();
        s.response2 = reply->deviceStatus();
        status = static_cast<intptr_t>(s.data.size());
        if (reply->burstBit()) status |= kReplyBurstBit;
    }
    const int32_t key = nextReplyKey();
    bool dropped = false;
    {
        std::lock_guard lock(mutex_);
        while (replies_.size() >= kMaxStoredReplies) {
            keysWithData_.erase(replies_.begin()->first);
            replies_.erase(replies_.begin());
        }
        replies_.emplace(key, std::move(s));
        keysWithData_.insert(key);
        while (keysWithData_.size() > kMaxRepliesWithData) {
            Stored& oldest = replies_.at(*keysWithData_.begin());
            oldest.discarded = true;
            oldest.data = {};
            keysWithData_.erase(keysWithData_.begin());
            dropped = true;
        }
    }
    if (dropped) post(notifyMessage_, NotifyRepliesDropped, 0);
    post(replyMessage_, key, status);
}

void LinkMaster::portLost() {
    if (lost_.exchange(true)) return;
    detail::log("port " + std::to_string(port_) + ": lost (the device, or the HART-IP server, is gone)");
    parser_.reset();
    post(notifyMessage_, NotifyPortLost, 0);
}

void LinkMaster::run() {
    while (!stopping()) {
        applyLineRate();
        std::optional<Pending> next;
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty()) {
                next = std::move(queue_.front());
                queue_.pop_front();
            }
        }
        if (next) {
            if (lost_) finish(*next, std::nullopt);  // a lost port answers nothing
            else runTransaction(*next);
            continue;
        }
        if (lost_) {
            // Nothing can arrive any more; sleep until a request or the stop wakes us.
            std::unique_lock lock(mutex_);
            queued_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                             [this] { return stopping() || !queue_.empty(); });
            continue;
        }
        listenOnce(waitBudgetMs(Clock::now()));
    }
}

}  // namespace wendrel
