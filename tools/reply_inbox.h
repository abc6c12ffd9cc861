// A message target for programs without an event loop (the demonstration and
// the benchmark): keeps the driver's reply messages for a blocking wait, and
// counts the monitored frames and their characters in each direction.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

#include "link/driver/wendrel.h"

namespace tools {

class ReplyInbox : public wendrel::MessageTarget {
public:
    void post(int32_t message, intptr_t wParam, intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        switch (message) {
        case wendrel::WM_HART_MONITOR: {
            auto& side = wParam == wendrel::OriginSent ? line_.sent : line_.received;
            ++side.frames;
            side.chars += wendrel::ReadMonitorRecord(lParam).count;
            wendrel::FreeMonitorRecord(lParam);
            return;
        }
        case wendrel::WM_HART_REPLY:
            replies_.push_back({wParam, lParam});
            arrived_.notify_all();
            return;
        case wendrel::WM_HART_NOTIFY:
            if (wParam == wendrel::NotifyPortLost) std::fprintf(stderr, "the port is gone\n");
            return;
        default:
            return;
        }
    }
    // The next request's end: its key and status word. The driver ends every
    // request, so this returns.
    std::pair<intptr_t, intptr_t> next() {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [this] { return !replies_.empty(); });
        auto r = replies_.front();
        replies_.pop_front();
        return r;
    }
    struct Frames {
        long frames = 0;
        long chars = 0;
    };
    struct LineCount {
        Frames sent, received;
    };
    LineCount takeLineCount() {
        std::lock_guard lock(mutex_);
        return std::exchange(line_, LineCount{});
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::pair<intptr_t, intptr_t>> replies_;
    LineCount line_;
};

}  // namespace tools
