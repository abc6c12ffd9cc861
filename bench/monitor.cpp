// How fast the bus monitor window takes frames, and what a long recording
// costs in memory: frames go through the window as the driver's records do
// (request and reply pairs, every column shown), the window shown offscreen
// and its events processed as on a live line. Prints the rate over the first
// and the last 10000 frames and the resident memory at the end.
//   bench-monitor [frames]   (default 1000000)
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    auto* r = new uint8_t[8 + bytes.size()];
    r[0] = static_cast<uint8_t>(bytes.size() >> 8);
    r[1] = static_cast<uint8_t>(bytes.size());
    r[2] = r[3] = 0;
    for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<uint8_t>(timeMs >> (24 - 8 * i));
    std::memcpy(r + 8, bytes.data(), bytes.size());
    return reinterpret_cast<intptr_t>(r);
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
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
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

    using Clock = std::chrono::steady_clock;
    auto rateOf = [](Clock::time_point from) {
        return kWindow / std::chrono::duration<double>(Clock::now() - from).count();
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
        if (n % 1000 == 999) app.processEvents();
        if (n == kWindow - 1) firstRate = rateOf(windowStart);
    }
    app.processEvents();
    const double lastRate = frames > kWindow ? rateOf(windowStart) : firstRate;
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("frames %ld, kept lines at most %d, total %.1f s\n", frames, fenwire::kMaxKeptLines, total);
    std::printf("frames per second, first %ld: %.0f\n", kWindow, firstRate);
    std::printf("frames per second, last %ld: %.0f\n", kWindow, lastRate);
    std::printf("last over first (1.0 = constant cost per frame): %.2f\n", lastRate / firstRate);
    std::printf("resident memory after %ld frames: %.1f MB\n", frames, residentKb() / 1024.0);
    return 0;
}
