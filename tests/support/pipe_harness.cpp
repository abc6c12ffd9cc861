#include "tests/support/pipe_harness.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {
// The harnesses alive, by port: several may stand for several ports at once.
std::mutex gHarnessesMutex;
std::map<int, PipeHarness*> gHarnesses;
}  // namespace

PipeHarness::PipeHarness(int port) : port_(port) {
    {
        std::lock_guard lock(gHarnessesMutex);
        gHarnesses[port] = this;
    }
    wendrel::SetTransportFactory([](int port, int, std::string* error) -> std::unique_ptr<wendrel::Transport> {
        PipeHarness* harness = nullptr;
        {
            std::lock_guard lock(gHarnessesMutex);
            if (auto it = gHarnesses.find(port); it != gHarnesses.end()) harness = it->second;
        }
        if (!harness) {
            *error = "no such port in this test";
            return nullptr;
        }
        return harness->open();
    });
    deliverer_ = std::thread([this] { deliverLoop(); });
}

std::unique_ptr<wendrel::Transport> PipeHarness::open() {
    wendrel::MemoryPipe pipe;
    auto master = pipe.takeA();
    std::shared_ptr<wendrel::MemoryPipe::End> device = pipe.takeB();
    device->setIncomingHook([this](const std::vector<uint8_t>& bytes) {
        Responder responder;
        {
            std::lock_guard lock(mutex_);
            written_.push_back(bytes);
            responder = responder_;
        }
        if (!responder) return;
        for (auto& a : responder(bytes)) inject(a.bytes, a.delayMs);
    });
    std::lock_guard lock(mutex_);
    deviceEnd_ = std::move(device);
    ++openings_;
    return master;
}

int PipeHarness::openings() const {
    std::lock_guard lock(mutex_);
    return openings_;
}

std::shared_ptr<wendrel::MemoryPipe::End> PipeHarness::device() const {
    std::lock_guard lock(mutex_);
    return deviceEnd_;
}

PipeHarness::~PipeHarness() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    deliverer_.join();
    std::lock_guard lock(gHarnessesMutex);
    if (auto it = gHarnesses.find(port_); it != gHarnesses.end() && it->second == this) gHarnesses.erase(it);
    if (gHarnesses.empty()) wendrel::SetTransportFactory(nullptr);
}

void PipeHarness::setResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<std::vector<uint8_t>> PipeHarness::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void PipeHarness::forgetWritten() {
    std::lock_guard lock(mutex_);
    written_.clear();
    written_.shrink_to_fit();
}

size_t PipeHarness::writeCount() const {
    std::lock_guard lock(mutex_);
    return written_.size();
}

void PipeHarness::inject(const std::vector<uint8_t>& bytes, int delayMs) {
    if (bytes.empty()) return;
    if (delayMs <= 0) {
        if (auto d = device()) d->write(bytes.data(), bytes.size(), 0);
        return;
    }
    std::lock_guard lock(mutex_);
    scheduled_.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs), bytes);
    wake_.notify_all();
}

void PipeHarness::unplug() {
    if (auto d = device()) d->close();
}

int32_t PipeHarness::registerDriver(wendrel::MessageTarget* target, int mode) {
    wendrel::DriverRegistration reg;
    reg.window = target;
    reg.port = port_;
    reg.mode = mode;
    int32_t handle = -1;
    wendrel::HART_RegisterDriver(&reg, &handle);
    return handle;
}

void PipeHarness::deliverLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (scheduled_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto first = scheduled_.begin();
        if (wake_.wait_until(lock, first->first) == std::cv_status::timeout || first->first <= std::chrono::steady_clock::now()) {
            first = scheduled_.begin();
            if (first == scheduled_.end() || first->first > std::chrono::steady_clock::now()) continue;
            auto bytes = std::move(first->second);
            scheduled_.erase(first);
            auto d = deviceEnd_;
            lock.unlock();
            if (d) d->write(bytes.data(), bytes.size(), 0);
            lock.lock();
        }
    }
}

std::vector<uint8_t> hex(const char* text) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(wendrel::fromHex(text, out)) << "bad hex: " << text;
    return out;
}

}  // namespace testsupport
