// One registration of the frame driver: an open line and the HART master that
// runs on it in its own I/O thread. Requests queue and run one at a time; each
// ends with one reply message. The I/O thread only posts to its client.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/driver/frame.h"
#include "link/driver/transport.h"
#include "link/driver/wendrel.h"

namespace wendrel {

namespace detail {
// One line to the driver's log sink (standard error unless a host set one).
void log(const std::string& line);
}  // namespace detail

// Timing of the data link at a line rate, in milliseconds.
struct LinkTiming {
    double characterMs;  // 11 bits a character
    int replyWaitMs;     // RT1: from the end of a request on the wire to the start of the reply
    int gapMs;           // silence inside a frame after which the frame is given up
    int burstWindowMs;   // RT2 after a burst frame, in which a master may send; never below the
                         // scheduling floor, so a busy machine still finds the window
    double linkGrantMs;  // RT2 exactly: after each of its own transactions a master leaves the
                         // line this long to another master
    int longestFrameMs;  // the longest legal frame with most preambles, and a gap: what a line may
                         // stay busy for without noise or a jam
    // What `characters` take on the wire at this rate.
    std::chrono::microseconds wireTime(size_t characters) const;
    static LinkTiming forBitRate(int bitsPerSecond, bool primaryMaster, int replyTimeoutOverrideMs);
};

class LinkMaster {
public:
    LinkMaster(int32_t port, std::unique_ptr<Transport> transport, const DriverRegistration& registration);
    ~LinkMaster();
    LinkMaster(const LinkMaster&) = delete;
    LinkMaster& operator=(const LinkMaster&) = delete;

    // Ends the I/O thread; nothing is posted once this returns. Idempotent.
    void stop();
    int32_t portHandle() const;
    DriverConfig config() const;
    void setConfig(const DriverConfig& config);
    void startHistory();
    void send(const HartRequest& request, int32_t tag);
    // 0 when there is nothing to collect for the key, kReplyDiscarded for a
    // reply discarded to bound memory, 1 otherwise.
    int32_t receive(int32_t key, HartReply* reply, int16_t* tag);
    void setMonitor(MessageTarget* target, int32_t message);

private:
    using Clock = std::chrono::steady_clock;

    struct Pending {
        int32_t command = 0;
        uint8_t addressKind = 0;
        uint8_t pollAddress = 0;
        std::array<uint8_t, 5> uniqueId{};
        std::vector<uint8_t> data;
        int32_t tag = 0;
        bool valid = true;
    };
    struct Stored {
        int32_t command = 0;
        std::vector<uint8_t> data;
        uint8_t response1 = 0;
        uint8_t response2 = 0;
        int32_t tag = 0;
        bool discarded = false;  // only command and tag kept: collected as a discarded reply
    };
    struct Outcome {
        std::optional<Frame> reply;  // the accepted reply, if any
    };

    void run();
    // The timing of the line as configured now; on a transport without line
    // timing, requests take no wire time and leave no link grant time.
    LinkTiming timing(const DriverConfig& config) const;
    void listenOnce(int timeoutMs);
    // Listens until `until`, to a fraction of a millisecond.
    void listenUntil(Clock::time_point until);
    void onFrame(const ParsedFrame& parsed);
    bool mayTransmit(Clock::time_point now) const;
    int waitBudgetMs(Clock::time_point now) const;
    enum class Turn { Ours, Jammed, Ended };
    // Listens until the line is ours and has been silent for `quiet`.
    Turn waitForTurn(Clock::duration quiet);
    void runTransaction(const Pending& request);
    // Listens for the reply to `request` until `deadline`, and on to the end
    // of a frame that is then arriving.
    std::optional<ParsedFrame> awaitReply(const Frame& request, Clock::time_point deadline,
                                          const LinkTiming& lineTiming);
    Frame buildFrame(const Pending& request, bool primaryMaster) const;
    void finish(const Pending& request, const std::optional<Frame>& reply);
    void portLost();
    void postMonitor(const std::vector<uint8_t>& bytes, MonitorOrigin origin, FrameError error, int preambles);
    void post(int32_t message, intptr_t wParam, intptr_t lParam);
    void applyLineRate();
    bool stopping() const { return stopping_.load(); }

    const int32_t port_;
    std::unique_ptr<Transport> transport_;
    MessageTarget* const window_;
    const int32_t notifyMessage_;
    const int32_t replyMessage_;
    const Clock::time_point registeredAt_;

    mutable std::mutex mutex_;  // guards everything below up to the thread
    DriverConfig config_;
    std::deque<Pending> queue_;
    std::condition_variable queued_;  // wakes the I/O thread of a lost port
    std::map<int32_t, Stored> replies_;
    std::set<int32_t> keysWithData_;  // uncollected replies still holding their data; keys grow with age
    MessageTarget* monitor_ = nullptr;
    int32_t monitorMessage_ = WM_HART_MONITOR;
    std::atomic<bool> lost_{false};
    std::atomic<bool> stopping_{false};

    // I/O thread only.
    FrameParser parser_;
    int appliedBitRate_ = 0;
    std::vector<uint8_t> lastSent_;            // to recognise the modem echoing our own frame
    const Frame* awaiting_ = nullptr;          // the request whose reply is awaited
    std::optional<ParsedFrame> matched_;       // its reply, good or damaged
    bool refused_ = false;                     // the transport refused the request being awaited
    std::optional<Clock::time_point> lastBurstEnd_;
    std::optional<Clock::time_point> grantEnds_;  // until then the line is left to another master
    Clock::time_point lastByteAt_{};              // when the last byte came off the line

    std::mutex monitorMutex_;  // held while posting to the monitor, so unregistering it is final
    std::thread thread_;
};

}  // namespace wendrel
