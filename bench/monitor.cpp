// How fast the bus monitor window takes frames on a live line, and what a
// long recording costs in memory: frames go through the window as the
// driver's records do (request and reply pairs, every column shown), the
// window shown offscreen and the event loop run after every frame, as a busy
// line has it. Prints the rate over the first and last 10000 frames, then as
// its last line the rate over all frames, the frames kept and the resident
// memory they took (growth from before the first frame) per kept frame.
//   bench-monitor [frames]   (default 400000: the kept frames twice over)
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "link/driver/frame.h"
#include "link/driver/wendrel.h"
#include "link/monitor/busview_window.h"

namespace {

struct NoTarget : wendrel::MessageTarget {
    void post(int32_t, intptr_t, intptr_t) override {}
};

intptr_t record(const std::vector<uint8_t>& bytes, uint32_t timeMs) {
    return wendrel::MakeMonitorRecord(bytes.data(), bytes.size(), 0, 0, timeMs);
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 10, '\n');
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : 2L * fenwire::kDefaultKeptFrames;
    constexpr long kWindow = 10000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;  // the window's settings files go here, not into the caller's directory
    QDir::setCurrent(dir.path());
    {
        std::ofstream ini((dir.path() + "/busvw.ini").toStdString());
        ini << "[Settings]\nNoPreambles=0\nNoAddress=0\nNoTiming=0\n";
    }

    const std::array<uint8_t, 5> id{0xA6, 0x0C, 0x00, 0x01, 0x02};
    const wendrel::Frame request = wendrel::makeRequestLong(id, 3, {});
    const std::vector<uint8_t> requestBytes = wendrel::encodeFrame(request, 5);
    const std::vector<uint8_t> replyBytes = wendrel::encodeFrame(
        wendrel::makeReply(request, 0, 0, {0x40, 0x80, 0, 0, 0x39, 0x41, 0x48, 0, 0}), 5);

    NoTarget target;
    fenwire::BusviewWindow window(target, -1);
    window.show();
    app.processEvents();
    const long residentBefore = residentKb();

    using Clock = std::chrono::steady_clock;
    auto rateOf = [](long count, Clock::time_point from) {
        return count / std::chrono::duration<double>(Clock::now() - from).count();
    };
    double firstRate = 0;
    Clock::time_point windowStart = Clock::now();
    const auto start = windowStart;
    const long lastFrom = std::max(kWindow, frames - kWindow);
    for (long n = 0; n < frames; ++n) {
        if (n == lastFrom) windowStart = Clock::now();
        const bool isRequest = n % 2 == 0;
        window.onFrameMessage(isRequest ? 0 : 1, record(isRequest ? requestBytes : replyBytes,
                                                         static_cast<uint32_t>(n * 40)));
        app.processEvents();  // as on a live line: the event loop runs between frames
        if (n == kWindow - 1) firstRate = rateOf(kWindow, windowStart);
    }
    const double lastRate = frames > kWindow ? rateOf(frames - lastFrom, windowStart) : firstRate;
    const double liveRate = rateOf(frames, start);
    const size_t kept = window.core().rows().size();
    const long grownKb = residentKb() - residentBefore;
    std::printf("frames %ld, total %.1f s, %llu older frames dropped\n", frames,
                std::chrono::duration<double>(Clock::now() - start).count(),
                static_cast<unsigned long long>(window.core().rows().droppedFrames()));
    std::printf("frames per second, first %ld: %.0f, last %ld: %.0f\n", kWindow, firstRate, frames - lastFrom,
                lastRate);
    std::printf("resident memory before the first frame %.1f MB, grown by %.1f MB\n", residentBefore / 1024.0,
                grownKb / 1024.0);
    std::printf("live %.0f frames/s, kept %zu frames, %.0f bytes per kept frame\n", liveRate, kept,
                kept > 0 ? grownKb * 1024.0 / static_cast<double>(kept) : 0.0);
    return 0;
}
