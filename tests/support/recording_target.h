// A message target for tests: keeps every message the driver posts and lets a
// test wait for them. Monitor records still held at destruction are freed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "link/driver/wendrel.h"

namespace testsupport {

struct Posted {
    int32_t message;
    intptr_t wParam;
    intptr_t lParam;
};

class RecordingTarget : public wendrel::MessageTarget {
public:
    ~RecordingTarget() override;
    void post(int32_t message, intptr_t wParam, intptr_t lParam) override;

    // Removes and returns the first message of this kind, waiting up to timeoutMs.
    std::optional<Posted> take(int32_t message, int timeoutMs = 5000);
    // Messages of this kind received so far (not removed).
    std::vector<Posted> peek(int32_t message) const;
    // Waits until `count` messages of this kind are held; false on time-out.
    bool waitForCount(int32_t message, size_t count, int timeoutMs = 5000);

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Posted> messages_;
};

}  // namespace testsupport
