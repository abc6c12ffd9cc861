#include "tests/support/control_soak.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <sstream>
#include <thread>

#include "link/control/fenwire.h"
#include "link/control/fenwire_dispids.h"
#include "link/driver/link_master.h"
#include "tests/support/sim_on_pipe.h"

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A burst frame of the meter (command 1, primary variable), as a device in
// burst mode puts it on the line between the master's transactions.
std::vector<uint8_t> burstFrameOf(const corvane::sim::Meter& meter) {
    auto frame = wendrel::makeReply(wendrel::makeRequestLong(meter.state().uniqueId(), 1, {}), 0, 0,
                                    {0x20, 0x41, 0x20, 0x00, 0x00});
    frame.type = wendrel::FrameType::Back;
    frame.address[0] |= wendrel::kBurstBit;
    return wendrel::encodeFrame(frame, 5);
}

// A simulated meter on one port. With burst frames, a reply now and then puts
// the meter into burst mode for a while: it sends a burst frame every few
// character times, and the master sends in the windows after them. A master
// waits up to two seconds after a device's last burst frame before it takes
// the line freely again, so episodes are rare and long rather than many.
struct SoakMeter {
    static constexpr int kEpisodeMs = 1500;
    static constexpr int kBurstPeriodMs = 25;
    static constexpr double kRepliesPerEpisode = 50;  // transactions a burst episode lasts, roughly

    SimOnPipe sim;
    std::mt19937 random;  // the I/O thread's only
    double episodeRate;
    std::vector<uint8_t> burstFrame;
    std::atomic<int> burstsSent{0};
    std::atomic<int64_t> burstUntilMs{0};
    std::atomic<bool> stop{false};
    std::thread burster;

    SoakMeter(const corvane::sim::FaultOptions& faults, int port, double burstShare)
        : sim(faults, 2, port),
          random(faults.seed ^ 0x5eed),
          episodeRate(burstShare / kRepliesPerEpisode),
          burstFrame(burstFrameOf(sim.meter)) {
        sim.line.setResponder([this](const std::vector<uint8_t>& written) {
            std::vector<Answer> out;
            for (auto& t : sim.meterLine->receive(written.data(), written.size())) {
                out.push_back({t.bytes, t.delayMs});
                if (std::uniform_real_distribution<double>(0, 1)(random) < episodeRate && nowMs() > burstUntilMs)
                    burstUntilMs = nowMs() + kEpisodeMs;
            }
            // The records of the line and the meter would grow with the run: the
            // memory that counts is the control's and the driver's.
            sim.meter.clearRequestLog();
            sim.line.forgetWritten();
            return out;
        });
        if (burstShare <= 0) return;
        burster = std::thread([this] {
            while (!stop) {
                if (nowMs() < burstUntilMs) {
                    sim.line.inject(burstFrame);
                    ++burstsSent;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(kBurstPeriodMs));
            }
        });
    }
    ~SoakMeter() {
        stop = true;
        if (burster.joinable()) burster.join();
    }
    static int64_t nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    }
};

class SoakHost {
public:
    explicit SoakHost(SoakReport& report) : report_(report) {
        control_ = fw_create("Fenwire.HartCtrl.1");
        fw_advise(control_, &SoakHost::onEvent, this);
        fw_advise_changes(control_, &SoakHost::onChange, this);
    }
    ~SoakHost() {
        if (!control_) return;
        put(FW_cComState, 0);
        fw_release(control_);
    }
    SoakHost(const SoakHost&) = delete;
    SoakHost& operator=(const SoakHost&) = delete;

    bool created() const { return control_ != nullptr; }

    int32_t put(int32_t dispid, int value) {
        fw_variant v{3, value, 0, nullptr};
        const auto start = Clock::now();
        const int32_t hr = fw_put(control_, dispid, &v);
        noteCall(start, dispid);
        return hr;
    }
    int32_t putFloat(int32_t dispid, float value) {
        fw_variant v{4, 0, value, nullptr};
        const auto start = Clock::now();
        const int32_t hr = fw_put(control_, dispid, &v);
        noteCall(start, dispid);
        return hr;
    }
    int number(int32_t dispid) const {
        fw_variant v{};
        fw_get(control_, dispid, &v);
        return v.i4;
    }
    // A change of the line: what it ends counts as ended by a close.
    template <typename F>
    void changeLine(F&& change) {
        changingLine_ = true;
        change();
        changingLine_ = false;
    }
    // Handles messages until nothing is outstanding; false when that never comes.
    bool waitIdle(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (number(FW_cBusy) != 0) {
            if (Clock::now() > deadline) return false;
            fw_process_events(20);
        }
        return true;
    }
    void pump(int ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < deadline) fw_process_events(5);
    }

private:
    void noteCall(Clock::time_point start, int32_t dispid) {
        const double ms = msSince(start);
        if (ms <= report_.longestCallMs) return;
        report_.longestCallMs = ms;
        report_.longestCall = fw_name_of(dispid) ? fw_name_of(dispid) : "?";
    }
    static void onEvent(void* context, int32_t dispid, int32_t argc, int16_t* args) {
        auto& r = static_cast<SoakHost*>(context)->report_;
        if (dispid != FW_EVENT_Result || argc < 3) return;
        ++r.results;
        if (args[2] == 1) ++r.answered;
        else ++r.noResponse;
    }
    static void onChange(void* context, int32_t dispid) {
        auto* self = static_cast<SoakHost*>(context);
        if (dispid != FW_cBusy) return;
        const int now = self->number(FW_cBusy);
        auto& r = self->report_;
        if (self->changingLine_ && now == 0) r.endedByClose += self->lastBusy_;
        else if (now == self->lastBusy_ + 1) ++r.sends;
        else if (now == self->lastBusy_ - 1) ++r.collected;
        else ++r.oddBusyChanges;
        self->lastBusy_ = now;
    }

    SoakReport& report_;
    void* control_ = nullptr;
    int lastBusy_ = 0;
    bool changingLine_ = false;
};

// How long a request may last at most on the slower of the two line rates used:
// every attempt puts the request on the wire, waits for its reply and may read
// the longest frame; the link grant time of the transaction before comes first.
double retryTimeMs(int retries) {
    const auto t = wendrel::LinkTiming::forBitRate(wendrel::BitRateOfMode(1), true, 0);
    return t.linkGrantMs + (retries + 1) * double(t.replyWaitMs + 2 * t.longestFrameMs);
}

}  // namespace

std::vector<std::string> SoakReport::problems() const {
    std::vector<std::string> out;
    if (sends != results + endedByClose)
        out.push_back("sent " + std::to_string(sends) + " but " + std::to_string(results) + " results and " +
                      std::to_string(endedByClose) + " ended by a close");
    if (collected != results)
        out.push_back(std::to_string(collected) + " replies collected but " + std::to_string(results) + " results");
    if (oddBusyChanges != 0)
        out.push_back(std::to_string(oddBusyChanges) + " changes of cBusy were neither a send, a collection nor a close");
    if (busyAtEnd != 0) out.push_back("cBusy " + std::to_string(busyAtEnd) + " at the end");
    if (longestCallMs > retryTimeMs)
        out.push_back("a write of " + longestCall + " blocked " + std::to_string(longestCallMs) + " ms");
    return out;
}

std::string SoakReport::summary() const {
    std::ostringstream s;
    s << "host_requests " << hostRequests << "\nrefused_while_pending " << refused << "\nsends " << sends
      << "\nresults " << results << "\nanswered " << answered << "\nno_device_response " << noResponse
      << "\nended_by_close " << endedByClose << "\nodd_busy_changes " << oddBusyChanges << "\ncloses " << closes << "\nport_changes " << portChanges
      << "\nmode_changes " << modeChanges << "\nfault_no_answer " << faults.noAnswer << "\nfault_bad_checksum "
      << faults.badChecksum << "\nfault_busy " << faults.busy << "\nfault_late " << faults.late << "\nfault_noise "
      << faults.noise << "\nburst_frames " << burstFramesSent << "\nbusy_at_end " << busyAtEnd
      << "\nlongest_call_ms " << longestCallMs << " (" << longestCall << ")\nretry_time_ms " << retryTimeMs
      << "\nseconds " << seconds << "\n";
    return s.str();
}

SoakReport runControlSoak(const SoakOptions& options) {
    SoakReport report;
    const auto started = Clock::now();
    const int kinds = options.burstFrames ? 6 : 5;
    const double each = options.faultRate / kinds;
    corvane::sim::FaultOptions faults;
    faults.noAnswer = faults.badChecksum = faults.busy = faults.late = faults.noise = each;
    faults.seed = options.seed;
    SoakMeter port1(faults, 1, options.burstFrames ? each : 0);
    faults.seed = options.seed + 1;
    SoakMeter port2(faults, 2, options.burstFrames ? each : 0);

    {
        SoakHost host(report);
        if (!host.created()) return report;
        std::mt19937 random(options.seed);
        auto percent = [&] { return std::uniform_int_distribution<int>(0, 99)(random); };
        int port = 1, mode = 2;
        host.put(FW_cComMode, mode);
        host.put(FW_cComPort, port);
        host.put(FW_cComState, 1);
        report.retryTimeMs = retryTimeMs(host.number(FW_cNoRetries));  // the most retries the run uses

        constexpr int kCommands[] = {1, 2, 3, 13, 15, 34};
        while (report.hostRequests < options.transactions) {
            const int draw = percent();
            if (options.lineChanges && draw < 1) {
                host.changeLine([&] {
                    host.put(FW_cComState, 0);
                    host.put(FW_cComState, 1);
                });
                ++report.closes;
            } else if (options.lineChanges && draw < 2) {
                port = port == 1 ? 2 : 1;
                host.changeLine([&] { host.put(FW_cComPort, port); });
                ++report.portChanges;
            } else if (options.lineChanges && draw < 3) {
                mode = mode == 1 ? 2 : 1;
                host.changeLine([&] { host.put(FW_cComMode, mode); });
                ++report.modeChanges;
            } else if (draw < 5) {
                // Fewer retries let faults end requests without a reply.
                host.put(FW_cNoRetries, std::uniform_int_distribution<int>(0, 2)(random));
            } else {
                const int command = kCommands[std::uniform_int_distribution<int>(0, 5)(random)];
                if (command == 34) {
                    host.put(FW_xOffset, 0);
                    host.putFloat(FW_xFloat, 0.5f + static_cast<float>(percent()) / 10.0f);
                    host.put(FW_xReqLen, 4);
                } else {
                    host.put(FW_xReqLen, 0);
                }
                if (host.put(FW_cDoCommand, command) == FW_E_PENDING_COMMAND) {
                    ++report.refused;
                } else {
                    ++report.hostRequests;
                    if (options.progress) options.progress(report.hostRequests);
                }
            }
            // Sometimes the host waits for the outcome, sometimes it goes on at once.
            if (percent() < 60 || host.number(FW_cBusy) >= 4) {
                if (!host.waitIdle(60000)) break;
            } else {
                fw_process_events(0);
            }
        }
        host.waitIdle(60000);
        host.pump(2 * faults.lateMs);  // late replies and leftovers of closed lines arrive or not
        report.busyAtEnd = host.number(FW_cBusy);
    }
    for (const SoakMeter* m : {&port1, &port2}) {
        const auto& c = m->sim.meterLine->faultCounts();
        report.faults.noAnswer += c.noAnswer;
        report.faults.badChecksum += c.badChecksum;
        report.faults.busy += c.busy;
        report.faults.late += c.late;
        report.faults.noise += c.noise;
        report.burstFramesSent += m->burstsSent;
    }
    report.seconds = msSince(started) / 1000.0;
    return report;
}

}  // namespace testsupport
