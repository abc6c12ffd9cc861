#include "bridge/bridge.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "link/driver/portmap.h"

namespace bridge {

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t kStatusBusy = 32;      // as the HART response code: try again later
constexpr size_t kReplyCapacity = 300;   // more than any reply's data
constexpr uint8_t kShortPollingMask = 0x3F;
constexpr uint8_t kMostPollingAddress = 15;  // the driver sends polling addresses 0..15

// The frame bytes from the delimiter on.
std::vector<uint8_t> withoutPreambles(const uint8_t* bytes, size_t count) {
    size_t i = 0;
    while (i < count && bytes[i] == 0xFF) ++i;
    return std::vector<uint8_t>(bytes + i, bytes + count);
}

// The frames in `bytes` as a line would carry them (two preambles in front).
std::vector<wendrel::ParsedFrame> parseFrames(const std::vector<uint8_t>& bytes) {
    std::vector<wendrel::ParsedFrame> found;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) { found.push_back(f); });
    const uint8_t preambles[] = {0xFF, 0xFF};
    parser.feed(preambles, sizeof preambles);
    parser.feed(bytes);
    parser.gapTimeout();
    return found;
}

std::string wallClock() {
    const auto now = std::chrono::system_clock::now();
    const auto since = now.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
    const std::time_t t = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[40];
    const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + n, sizeof stamp - n, ".%03d", static_cast<int>(millis));
    return stamp;
}

}  // namespace

std::optional<LoopRequest> readRequestFrame(const std::vector<uint8_t>& bytes, uint8_t* refusalStatus,
                                            std::string* why) {
    auto refuse = [&](uint8_t st, const char* reason) -> std::optional<LoopRequest> {
        if (refusalStatus) *refusalStatus = st;
        if (why) *why = reason;
        return std::nullopt;
    };
    const auto frames = parseFrames(bytes);
    if (frames.empty()) return refuse(hartip::status::kInvalidSelection, "not a HART frame");
    const wendrel::ParsedFrame& f = frames.front();
    if (f.error == wendrel::FrameError::Truncated)
        return refuse(hartip::status::kTooFewDataBytes, "the frame is shorter than its byte count");
    if (f.error != wendrel::FrameError::None) return refuse(hartip::status::kInvalidSelection, "bad checksum");
    // The parser put two preambles in front; anything it skipped or read
    // after the frame is not part of one request.
    if (frames.size() != 1 || f.raw.size() != bytes.size() + 2)
        return refuse(hartip::status::kInvalidSelection, "bytes after the frame");
    if (f.frame.type != wendrel::FrameType::Stx)
        return refuse(hartip::status::kInvalidSelection, "not a request frame (STX)");
    if (!f.frame.expansion.empty()) return refuse(hartip::status::kInvalidSelection, "expansion bytes");
    LoopRequest r;
    r.frame = f.frame;
    r.request.command = f.frame.command;
    if (f.frame.longAddress) {
        r.request.addressKind = wendrel::kAddressUniqueId;
        std::copy(f.frame.address.begin(), f.frame.address.end(), r.request.uniqueId);
        r.request.uniqueId[0] &= 0x3F;
    } else {
        const uint8_t polling = f.frame.address[0] & kShortPollingMask;
        if (polling > kMostPollingAddress)
            return refuse(hartip::status::kInvalidSelection, "polling address above 15");
        r.request.addressKind = wendrel::kAddressPolling;
        r.request.pollAddress = polling;
    }
    r.request.length = static_cast<int32_t>(f.frame.data.size());
    return r;
}

std::vector<uint8_t> replyFrame(const wendrel::Frame& request, const std::vector<uint8_t>& deviceFrame,
                                const wendrel::HartReply& reply, bool burst) {
    const std::vector<uint8_t> payload(reply.data, reply.data + std::max(0, reply.length));
    std::vector<uint8_t> out;
    if (!deviceFrame.empty()) {
        const auto frames = parseFrames(deviceFrame);
        if (frames.size() == 1 && frames[0].error == wendrel::FrameError::None) {
            const wendrel::Frame& f = frames[0].frame;
            if (f.type == wendrel::FrameType::Ack && f.command == reply.command &&
                f.longAddress == request.longAddress && f.responseCode() == reply.response1 &&
                f.deviceStatus() == reply.response2 && f.payload() == payload)
                out = deviceFrame;
        }
    }
    if (out.empty()) {
        wendrel::Frame f = wendrel::makeReply(request, reply.response1, reply.response2, payload);
        f.address[0] = static_cast<uint8_t>((f.address[0] & ~wendrel::kBurstBit) | (burst ? wendrel::kBurstBit : 0));
        return wendrel::encodeFrame(f, 0);
    }
    // The device answered the bridge, which may be the other master: the
    // client matches the reply to its own request's master bit.
    out[1] = static_cast<uint8_t>((out[1] & ~wendrel::kPrimaryMasterBit) |
                                  (request.address[0] & wendrel::kPrimaryMasterBit));
    out.back() = wendrel::checksum(out.data(), out.size() - 1);
    return out;
}

struct Bridge::Impl {
    struct Event {
        enum Kind { Request, Reply, LineFrame, PortLost } kind = Request;
        uint64_t generation = 0;  // of the line registration (driver events)
        size_t server = 0;
        hartip::PassThroughRequest request;
        intptr_t key = 0;
        intptr_t status = 0;
        std::vector<uint8_t> bytes;
    };
    struct Pending {
        size_t server = 0;
        hartip::PassThroughRequest request;
        LoopRequest loop;
        Clock::time_point arrived;
    };
    // Where one registration of the driver posts; its events carry its generation.
    struct DriverTarget : wendrel::MessageTarget {
        Impl* impl;
        uint64_t generation;
        DriverTarget(Impl* i, uint64_t g) : impl(i), generation(g) {}
        void post(int32_t message, intptr_t wParam, intptr_t lParam) override { impl->fromDriver(generation, message, wParam, lParam); }
    };

    BridgeOptions options;
    std::vector<std::unique_ptr<hartip::Server>> servers;
    std::vector<std::string> serverNames;
    FILE* requestLog = nullptr;
    std::mutex logMutex;

    std::mutex mutex;  // guards the events and stopping
    std::condition_variable wake;
    std::deque<Event> events;
    bool stopping = false;
    std::atomic<bool> lineUp{false};
    std::atomic<uint64_t> generation{0};

    // The worker's own.
    std::thread worker;
    int32_t handle = -1;
    std::unique_ptr<DriverTarget> target;
    bool lineLost = false;          // the driver said so; the line is closed on the next turn
    bool everOpened = false;
    bool reportedClosed = false;    // "cannot be opened" said once per outage
    Clock::time_point nextOpen{};
    std::deque<Pending> queue;
    std::optional<Pending> inFlight;
    int16_t inFlightTag = 0;
    int16_t nextTag = 0;
    std::vector<uint8_t> lastReplyFrame;  // the latest good reply frame off the line
    std::map<std::pair<size_t, uint64_t>, size_t> waitingPerSession;

    ~Impl() {
        if (requestLog) std::fclose(requestLog);
    }

    void log(const std::string& line) {
        if (!options.log) return;
        std::lock_guard lock(logMutex);
        options.log(line);
    }
    // A line of server `index`'s, named by its address (set under the same lock once bound).
    void logFrom(size_t index, const std::string& line) {
        if (!options.log) return;
        std::lock_guard lock(logMutex);
        options.log((index < serverNames.size() ? serverNames[index] : std::string("?")) + ": " + line);
    }

    std::string linePath() const {
        return options.portPath.empty() ? wendrel::PortPath(options.port) : options.portPath;
    }

    void push(Event e) {
        {
            std::lock_guard lock(mutex);
            events.push_back(std::move(e));
        }
        wake.notify_one();
    }

    // On the driver's I/O thread: burst frames go out at once, the rest to the worker.
    void fromDriver(uint64_t gen, int32_t message, intptr_t wParam, intptr_t lParam) {
        switch (message) {
        case wendrel::WM_HART_MONITOR: {
            const auto record = wendrel::ReadMonitorRecord(lParam);
            std::vector<uint8_t> frame;
            if (wParam == wendrel::OriginReceived && record.error == 0)
                frame = withoutPreambles(record.bytes, static_cast<size_t>(record.count));
            wendrel::FreeMonitorRecord(lParam);
            if (frame.empty()) return;
            const auto type = static_cast<wendrel::FrameType>(frame[0] & 0x07);
            if (type == wendrel::FrameType::Back) {
                for (auto& s : servers) s->publish(frame);
            } else if (type == wendrel::FrameType::Ack) {
                Event e;
                e.kind = Event::LineFrame;
                e.generation = gen;
                e.bytes = std::move(frame);
                push(std::move(e));
            }
            return;
        }
        case wendrel::WM_HART_REPLY: {
            Event e;
            e.kind = Event::Reply;
            e.generation = gen;
            e.key = wParam;
            e.status = lParam;
            push(std::move(e));
            return;
        }
        case wendrel::WM_HART_NOTIFY:
            if (wParam == wendrel::NotifyPortLost) {
                Event e;
                e.kind = Event::PortLost;
                e.generation = gen;
                push(std::move(e));
            }
            return;
        default:
            return;
        }
    }

    void logRequest(const Pending& p, const std::string& outcome) {
        if (!requestLog) return;
        const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - p.arrived).count() / 1000.0;
        std::fprintf(requestLog, "%s %s session %llu sequence %u: %s -> %s (%.1f ms)\n", wallClock().c_str(),
                     serverNames[p.server].c_str(), static_cast<unsigned long long>(p.request.session),
                     p.request.sequence, wendrel::toHex(p.request.frame).c_str(), outcome.c_str(), ms);
        std::fflush(requestLog);
    }

    void settled(const Pending& p) {
        auto it = waitingPerSession.find({p.server, p.request.session});
        if (it != waitingPerSession.end() && --it->second == 0) waitingPerSession.erase(it);
    }

    // A request the loop did not answer: the client hears so at once.
    void unanswered(const Pending& p, const std::string& why) {
        servers[p.server]->respondWithout(p.request, hartip::status::kNoDeviceResponse);
        logRequest(p, why);
        settled(p);
    }

    void takeRequest(Event& e) {
        Pending p;
        p.server = e.server;
        p.request = std::move(e.request);
        p.arrived = Clock::now();
        uint8_t refusal = 0;
        std::string why;
        auto loop = readRequestFrame(p.request.frame, &refusal, &why);
        if (!loop) {
            servers[p.server]->reject(p.request, refusal);
            logRequest(p, "refused: " + why);
            return;
        }
        p.loop = std::move(*loop);
        if (handle < 0 || lineLost) {
            ++waitingPerSession[{p.server, p.request.session}];
            unanswered(p, "line down");
            return;
        }
        size_t& waiting = waitingPerSession[{p.server, p.request.session}];
        if (waiting >= options.maxWaitingPerSession) {
            // One client cannot fill the line's queue for everyone.
            servers[p.server]->reject(p.request, kStatusBusy);
            logRequest(p, "busy: " + std::to_string(waiting) + " requests of the session waiting");
            return;
        }
        ++waiting;
        queue.push_back(std::move(p));
    }

    void takeReply(const Event& e) {
        uint8_t data[kReplyCapacity] = {};
        wendrel::HartReply reply;
        reply.data = data;
        reply.capacity = sizeof data;
        int16_t tag = 0;
        const int32_t taken = wendrel::HART_ReceiveRequest(handle, static_cast<int32_t>(e.key), &reply, &tag);
        if (!inFlight || tag != inFlightTag) return;
        Pending p = std::move(*inFlight);
        inFlight.reset();
        const bool answered = taken == 1 && (e.status & 0xFFFF) != wendrel::kNoDeviceResponse;
        if (!answered) {
            unanswered(p, lineLost ? "line lost" : "no device response");
            return;
        }
        auto frame = replyFrame(p.loop.frame, lastReplyFrame, reply, (e.status & wendrel::kReplyBurstBit) != 0);
        lastReplyFrame.clear();
        logRequest(p, wendrel::toHex(frame));
        servers[p.server]->respond(p.request, std::move(frame));
        settled(p);
    }

    void openLine() {
        const auto now = Clock::now();
        if (now < nextOpen) return;
        nextOpen = now + std::chrono::milliseconds(std::max(10, options.reopenIntervalMs));
        if (!options.portPath.empty()) wendrel::SetPortPath(options.port, options.portPath);
        auto t = std::make_unique<DriverTarget>(this, generation + 1);
        wendrel::DriverRegistration reg;
        reg.window = t.get();
        reg.port = options.port;
        reg.mode = options.mode;
        int32_t h = -1;
        if (wendrel::HART_RegisterDriver(&reg, &h) == -1) {
            if (!reportedClosed)
                log("line " + linePath() + " cannot be opened; trying again every " +
                    std::to_string(options.reopenIntervalMs) + " ms");
            reportedClosed = true;
            return;
        }
        generation = generation + 1;
        wendrel::DriverConfig c;
        wendrel::HART_GetConfiguration(h, &c);
        c.retries = options.retries;
        c.masterType = options.primaryMaster ? 1 : 0;
        wendrel::HART_SetConfiguration(h, &c);
        wendrel::RegisterLLMonitor(h, t.get(), wendrel::WM_HART_MONITOR);
        handle = h;
        target = std::move(t);
        lineLost = false;
        reportedClosed = false;
        lastReplyFrame.clear();
        lineUp = true;
        log(std::string(everOpened ? "line back: " : "line open: ") + linePath() + " at " +
            std::to_string(wendrel::BitRateOfMode(options.mode)) + " bit/s");
        everOpened = true;
    }

    void closeLine(const char* why) {
        lineUp = false;
        log(std::string("line lost: ") + linePath() + " (" + why + "); " +
            std::to_string(queue.size() + (inFlight ? 1 : 0)) + " waiting requests answered");
        if (inFlight) {
            unanswered(*inFlight, "line lost");
            inFlight.reset();
        }
        while (!queue.empty()) {
            unanswered(queue.front(), "line lost");
            queue.pop_front();
        }
        const int32_t h = handle;
        handle = -1;
        generation = generation + 1;  // whatever the old registration still posts is dropped
        wendrel::HART_UnRegisterDriver(h);
        target.reset();
        reportedClosed = true;  // "line lost" said it
        nextOpen = Clock::now() + std::chrono::milliseconds(std::max(10, options.reopenIntervalMs));
    }

    void sendNext() {
        if (handle < 0 || lineLost || inFlight || queue.empty()) return;
        inFlight = std::move(queue.front());
        queue.pop_front();
        wendrel::HartRequest r = inFlight->loop.request;
        r.data = inFlight->loop.frame.data.data();
        r.capacity = static_cast<int32_t>(wendrel::kMaxDataBytes) + 1;
        inFlightTag = ++nextTag;
        lastReplyFrame.clear();
        if (wendrel::HART_SendRequest(handle, &r, inFlightTag) != 0) lineLost = true;
    }

    void run() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (handle < 0) wake.wait_until(lock, nextOpen, [this] { return stopping || !events.empty(); });
            else wake.wait(lock, [this] { return stopping || !events.empty(); });
            if (stopping) break;
            std::deque<Event> batch;
            batch.swap(events);
            lock.unlock();
            for (Event& e : batch) {
                if (e.kind == Event::Request) {
                    takeRequest(e);
                    continue;
                }
                if (e.generation != generation || handle < 0) continue;
                switch (e.kind) {
                case Event::Reply: takeReply(e); break;
                case Event::LineFrame: lastReplyFrame = std::move(e.bytes); break;
                case Event::PortLost: lineLost = true; break;
                case Event::Request: break;
                }
            }
            if (handle >= 0 && lineLost) closeLine("the device is gone");
            if (handle >= 0 && wendrel::GetComPortHandle(handle) == -1) closeLine("the device is gone");
            if (handle < 0) openLine();
            sendNext();
            lock.lock();
        }
    }
};

Bridge::Bridge(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Bridge> Bridge::start(const BridgeOptions& options, std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<Bridge> {
        if (error) *error = why;
        return nullptr;
    };
    if (options.listen.empty()) return fail("no address to listen on");
    if (options.port < wendrel::kFirstPort || options.port > wendrel::kLastPort)
        return fail("port " + std::to_string(options.port) + " is outside 1.." + std::to_string(wendrel::kLastPort));
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    if (!options.requestLogPath.empty()) {
        impl->requestLog = std::fopen(options.requestLogPath.c_str(), "a");
        if (!impl->requestLog) return fail(options.requestLogPath + ": " + std::strerror(errno));
    }
    Impl* raw = impl.get();
    hartip::ServerOptions serverOptions;
    serverOptions.maxSessions = options.maxSessions;
    for (size_t i = 0; i < options.listen.size(); ++i) {
        std::string why;
        auto server = hartip::Server::start(
            options.listen[i],
            [raw, i](const hartip::PassThroughRequest& r) {
                Impl::Event e;
                e.kind = Impl::Event::Request;
                e.server = i;
                e.request = r;
                raw->push(std::move(e));
            },
            &why, serverOptions, [raw, i](const std::string& line) { raw->logFrom(i, line); });
        if (!server) return fail(why);
        {
            std::lock_guard lock(impl->logMutex);
            impl->serverNames.push_back(server->endpoint().url());
        }
        impl->servers.push_back(std::move(server));
        impl->log("listening on " + impl->serverNames.back());
    }
    impl->openLine();
    impl->worker = std::thread([raw] { raw->run(); });
    return std::unique_ptr<Bridge>(new Bridge(std::move(impl)));
}

Bridge::~Bridge() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    if (impl_->worker.joinable()) impl_->worker.join();
    // The driver first: it posts burst frames to the servers.
    if (impl_->handle >= 0) wendrel::HART_UnRegisterDriver(impl_->handle);
    impl_->handle = -1;
    impl_->target.reset();
    impl_->servers.clear();
}

std::vector<hartip::Endpoint> Bridge::endpoints() const {
    std::vector<hartip::Endpoint> out;
    for (const auto& s : impl_->servers) out.push_back(s->endpoint());
    return out;
}

bool Bridge::lineOpen() const { return impl_->lineUp; }

size_t Bridge::sessionCount() const {
    size_t n = 0;
    for (const auto& s : impl_->servers) n += s->sessionCount();
    return n;
}

}  // namespace bridge
