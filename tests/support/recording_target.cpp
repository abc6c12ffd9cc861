#include "tests/support/recording_target.h"

#include <algorithm>

namespace testsupport {

RecordingTarget::~RecordingTarget() {
    for (const auto& m : messages_)
        if (m.message == wendrel::WM_HART_MONITOR) wendrel::FreeMonitorRecord(m.lParam);
}

void RecordingTarget::post(int32_t message, intptr_t wParam, intptr_t lParam) {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, wParam, lParam});
    arrived_.notify_all();
}

std::optional<Posted> RecordingTarget::take(int32_t message, int timeoutMs) {
    std::unique_lock lock(mutex_);
    std::optional<Posted> found;
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        auto it = std::find_if(messages_.begin(), messages_.end(),
                               [&](const Posted& p) { return p.message == message; });
        if (it == messages_.end()) return false;
        found = *it;
        messages_.erase(it);
        return true;
    });
    return found;
}

std::vector<Posted> RecordingTarget::peek(int32_t message) const {
    std::lock_guard lock(mutex_);
    std::vector<Posted> out;
    for (const auto& m : messages_)
        if (m.message == message) out.push_back(m);
    return out;
}

bool RecordingTarget::waitForCount(int32_t message, size_t count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(std::count_if(messages_.begin(), messages_.end(),
                                                 [&](const Posted& p) { return p.message == message; })) >= count;
    });
}

}  // namespace testsupport
