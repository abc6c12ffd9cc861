// A meter that answers each command with a reply the test scripted as hex:
// response code, field device status and payload. Commands without a script
// get no answer.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "link/driver/frame.h"
#include "tests/support/pipe_harness.h"

namespace testsupport {

struct ScriptedReply {
    std::string payloadHex;
    uint8_t responseCode = 0;
    uint8_t deviceStatus = 0;
};

class ScriptedMeter {
public:
    explicit ScriptedMeter(int port = 1) : line(port) {
        line.setResponder([this](const std::vector<uint8_t>& written) {
            std::vector<Answer> out;
            wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) {
                std::lock_guard lock(mutex_);
                auto it = replies_.find(f.frame.command);
                if (it == replies_.end() || f.error != wendrel::FrameError::None) return;
                const auto& r = it->second;
                out.push_back({wendrel::encodeFrame(
                    wendrel::makeReply(f.frame, r.responseCode, r.deviceStatus, hex(r.payloadHex.c_str())), 5)});
            });
            parser.feed(written);
            return out;
        });
    }
    void script(int command, std::string payloadHex, uint8_t responseCode = 0, uint8_t deviceStatus = 0) {
        std::lock_guard lock(mutex_);
        replies_[command] = {std::move(payloadHex), responseCode, deviceStatus};
    }
    void forget(int command) {
        std::lock_guard lock(mutex_);
        replies_.erase(command);
    }

    PipeHarness line;

private:
    std::mutex mutex_;
    std::map<int, ScriptedReply> replies_;
};

}  // namespace testsupport
