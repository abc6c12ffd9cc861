// The driver on an in-memory pipe with a scripted device on the far end.
// While alive, the harness is what the driver opens for its port (each opening
// gets a fresh pipe, so a port may be closed and opened again); the device
// answers each chunk the master writes through a responder, at once or after a
// delay, and a test can put bytes on the line itself (burst frames, noise).
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "link/driver/frame.h"
#include "link/driver/transport.h"
#include "link/driver/wendrel.h"

namespace testsupport {

struct Answer {
    std::vector<uint8_t> bytes;
    int delayMs = 0;
};

class PipeHarness {
public:
    // Called with the bytes of each write by the master; returns what to put on the line.
    using Responder = std::function<std::vector<Answer>(const std::vector<uint8_t>& written)>;

    explicit PipeHarness(int port = 1);
    ~PipeHarness();

    void setResponder(Responder responder);
    // Every chunk the master has written, in order.
    std::vector<std::vector<uint8_t>> written() const;
    size_t writeCount() const;
    // Drops the record of what was written (a long run keeps its memory flat).
    void forgetWritten();
    // Bytes arriving at the master as if the device had sent them.
    void inject(const std::vector<uint8_t>& bytes, int delayMs = 0);
    // The device vanishes: the master's next read reports the port lost.
    void unplug();
    // How many times the driver has opened this port.
    int openings() const;
    // Registers the driver on this harness' port; returns the handle.
    int32_t registerDriver(wendrel::MessageTarget* target, int mode = 2);

private:
    void deliverLoop();

    std::unique_ptr<wendrel::Transport> open();
    std::shared_ptr<wendrel::MemoryPipe::End> device() const;

    int port_;
    mutable std::mutex mutex_;
    std::shared_ptr<wendrel::MemoryPipe::End> deviceEnd_;  // the far end of the latest opening
    int openings_ = 0;
    std::condition_variable wake_;
    Responder responder_;
    std::vector<std::vector<uint8_t>> written_;
    std::multimap<std::chrono::steady_clock::time_point, std::vector<uint8_t>> scheduled_;
    bool stopping_ = false;
    std::thread deliverer_;
};

// A device frame as wire bytes, from hex text; fails the test on bad hex.
std::vector<uint8_t> hex(const char* text);

}  // namespace testsupport
