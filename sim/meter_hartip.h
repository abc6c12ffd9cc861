// The simulated meter served over HART-IP: each pass-through request goes to
// the meter as a frame on its line would, with the line's faults (a lost reply
// is no response, a bad checksum stays in the frame, a late reply comes after
// the client's wait, busy is busy; line noise has no place in a message and is
// left out), and burst frames are published to every session.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/hartip/server.h"
#include "sim/meter.h"
#include "sim/meter_line.h"

namespace corvane::sim {

class MeterHartIp {
public:
    // `meterMutex` guards the meter against every other user of it (the pty's
    // line); `afterRequest` is called under it after each request the meter
    // read (to write the request log).
    MeterHartIp(Meter& meter, std::mutex& meterMutex, const FaultOptions& faults, int lineMode,
                std::function<void()> afterRequest = {});
    // The devices of a multi-drop line behind one server: each answers at its
    // own address, as on the line.
    MeterHartIp(std::vector<Meter*> meters, std::mutex& meterMutex, const FaultOptions& faults, int lineMode,
                std::function<void()> afterRequest = {});
    ~MeterHartIp();

    // Serves on one more URL (hartip://HOST[:PORT] or hartip+tcp://...);
    // false with the reason in `error`. Port 0 takes a free port.
    bool serve(const std::string& url, std::string* error, const hartip::ServerOptions& options = {});
    // The endpoints served, with their bound ports, in the order added.
    std::vector<hartip::Endpoint> endpoints() const;
    // Sessions open on every server.
    size_t sessionCount() const;
    const FaultCounts& faultCounts() const { return line_.faultCounts(); }  // read under the meter mutex
    static constexpr int kPublishPeriodMs = 250;  // burst frames, as often as a slow line would carry them

private:
    void handle(hartip::Server& server, const hartip::PassThroughRequest& request);
    void publishLoop();

    std::mutex& meterMutex_;
    MeterLine line_;  // the meter's side of the requests that come over HART-IP
    std::function<void()> afterRequest_;
    mutable std::mutex serversMutex_;
    std::vector<std::unique_ptr<hartip::Server>> servers_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopped_;
    std::thread publisher_;
};

}  // namespace corvane::sim
