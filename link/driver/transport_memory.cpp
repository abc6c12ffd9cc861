#include <chrono>

#include "link/driver/transport.h"

namespace wendrel {

struct PipeShared {
    std::mutex mutex;
    std::condition_variable arrived;
    struct Side {
        std::deque<uint8_t> queue;  // bytes waiting to be read at this end
        std::function<void(const std::vector<uint8_t>&)> hook;
        bool interrupted = false;
        bool closed = false;
        int bitRate = 1200;
    } side[2];
};

MemoryPipe::MemoryPipe() : shared_(std::make_shared<PipeShared>()) {
    a_.reset(new End(shared_, 0));
    b_.reset(new End(shared_, 1));
}

std::unique_ptr<MemoryPipe::End> MemoryPipe::takeA() { return std::move(a_); }
std::unique_ptr<MemoryPipe::End> MemoryPipe::takeB() { return std::move(b_); }

bool MemoryPipe::End::setBitRate(int bitsPerSecond) {
    std::lock_guard lock(shared_->mutex);
    shared_->side[index_].bitRate = bitsPerSecond;
    return true;
}

int MemoryPipe::End::bitRate() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->side[index_].bitRate;
}

IoStatus MemoryPipe::End::write(const uint8_t* bytes, size_t count, int) {
    std::function<void(const std::vector<uint8_t>&)> hook;
    {
        std::lock_guard lock(shared_->mutex);
        auto& self = shared_->side[index_];
        auto& peer = shared_->side[1 - index_];
        if (self.closed || peer.closed) return IoStatus::Lost;
        hook = peer.hook;
        if (!hook) {
            peer.queue.insert(peer.queue.end(), bytes, bytes + count);
            shared_->arrived.notify_all();
            return IoStatus::Ok;
        }
    }
    // Outside the lock: the hook may answer by injecting into this end.
    hook(std::vector<uint8_t>(bytes, bytes + count));
    return IoStatus::Ok;
}

IoStatus MemoryPipe::End::read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) {
    count = 0;
    std::unique_lock lock(shared_->mutex);
    auto& self = shared_->side[index_];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (self.closed || shared_->side[1 - index_].closed) {
            if (self.queue.empty()) return IoStatus::Lost;
        }
        if (!self.queue.empty()) {
            while (count < capacity && !self.queue.empty()) {
                buffer[count++] = self.queue.front();
                self.queue.pop_front();
            }
            return IoStatus::Ok;
        }
        if (self.interrupted) {
            self.interrupted = false;
            return IoStatus::Interrupted;
        }
        if (shared_->arrived.wait_until(lock, deadline) == std::cv_status::timeout &&
            self.queue.empty() && !self.interrupted && !self.closed &&
            !shared_->side[1 - index_].closed)
            return IoStatus::Timeout;
    }
}

void MemoryPipe::End::interrupt() {
    std::lock_guard lock(shared_->mutex);
    shared_->side[index_].interrupted = true;
    shared_->arrived.notify_all();
}

void MemoryPipe::End::setIncomingHook(std::function<void(const std::vector<uint8_t>&)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->side[index_].hook = std::move(hook);
}

void MemoryPipe::End::inject(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(shared_->mutex);
    auto& self = shared_->side[index_];
    self.queue.insert(self.queue.end(), bytes.begin(), bytes.end());
    shared_->arrived.notify_all();
}

void MemoryPipe::End::close() {
    std::lock_guard lock(shared_->mutex);
    shared_->side[index_].closed = true;
    shared_->arrived.notify_all();
}

}  // namespace wendrel
