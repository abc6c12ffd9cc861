// The loop scan: finds the HART devices that share one line (a multi-drop
// loop), without any widget, so the utility's dialog and the command line
// both use it.
//
// It sends command 0 to polling addresses 0 to 15 in turn through the link
// control. A silent address gets one try: the control is told not to repeat a
// request met by silence, while a damaged or busy reply is still retried as
// the control's cNoRetries says. Each device that gave its identity is then
// asked for its tag (command 13, by its unique identifier).
//
// While it runs the scan owns the line: it waits until the control is idle
// before it starts, the port form leaves its transactions alone (no message
// for a silent address, nothing decoded into the device data store), and
// WaitingForMeter() is true so that timers hold back. When it ends, however it
// ends, the control's addressing (cAddrMode, cPollAddress) and cRetrySilence
// are as they were, and the next request finds its device afresh by its
// polling address.
//
// Usage:
//   LoopScan scan(*Fenwire1());
//   scan.onFound = [](const FoundDevice& d) { ... };        // as each is found
//   scan.onProgress = [](int done, int total) { ... };      // after each address
//   LoopScanResult result = scan.run();                     // returns at the end
// cancel() (from a handler or from the event loop the scan keeps running, a
// Cancel button) ends the scan after the transaction on the line.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace app {

class FenwireControl;

struct FoundDevice {
    int pollAddress = 0;        // 0..15
    int manufacturerId = 0;     // command 0 byte 1
    QString manufacturer;       // the manufacturer's name from the vendor table
    int deviceType = 0;         // command 0 byte 2
    int32_t deviceId = 0;       // command 0 bytes 9..11, the 24-bit device identification
    QString tag;                // command 13; empty when the device did not give it
    int universalRevision = 0;  // command 0 byte 4
    int softwareRevision = 0;   // command 0 byte 6
};

struct LoopScanResult {
    std::vector<FoundDevice> devices;  // in polling-address order
    bool cancelled = false;
    // The link was closed or lost: the scan stopped with what it had found.
    bool linkFailed = false;
};

class LoopScan {
public:
    static constexpr int kFirstAddress = 0;
    static constexpr int kLastAddress = 15;
    static constexpr int kAddressCount = kLastAddress - kFirstAddress + 1;

    explicit LoopScan(FenwireControl& control);
    LoopScan(const LoopScan&) = delete;
    LoopScan& operator=(const LoopScan&) = delete;

    std::function<void(const FoundDevice&)> onFound;
    std::function<void(int addressesDone, int addressesTotal)> onProgress;

    // Scans the line on which the control's link is open; processes events
    // (sleeping in the event loop) while it waits for each reply.
    LoopScanResult run();
    void cancel() { cancelRequested_ = true; }

    // True while a scan runs in this process.
    static bool running();

private:
    enum class Outcome { Replied, Silent, NotSent };
    Outcome transact(int command);
    void waitIdle();

    FenwireControl& control_;
    bool cancelRequested_ = false;
    int lastCommand_ = -1;
    int lastResult_ = 0;
};

}  // namespace app
