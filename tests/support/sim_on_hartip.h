// The simulated meter in-process behind a HART-IP server on loopback, with the
// port map pointing a driver port at it: the driver opens it as any HART-IP
// port, through its real client transport and real sockets.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "sim/meter.h"
#include "sim/meter_hartip.h"

namespace testsupport {

struct SimOnHartIp {
    corvane::sim::Meter meter;
    std::mutex meterMutex;  // held by the server's thread while the meter answers
    std::unique_ptr<corvane::sim::MeterHartIp> network;
    int port;

    explicit SimOnHartIp(bool tcp, const corvane::sim::FaultOptions& faults = {}, int port = 1,
                         const hartip::ServerOptions& options = {})
        : network(std::make_unique<corvane::sim::MeterHartIp>(meter, meterMutex, faults, 2)), port(port) {
        std::string error;
        EXPECT_TRUE(network->serve(tcp ? "hartip+tcp://127.0.0.1:0" : "hartip://127.0.0.1:0", &error, options))
            << error;
        wendrel::SetTransportFactory(nullptr);  // the port map decides, as in the program
        wendrel::SetPortPath(port, url());
    }
    ~SimOnHartIp() { wendrel::SetPortPath(port, ""); }

    std::string url() const { return network->endpoints().at(0).url(); }
    // The commands the meter received, in order.
    std::vector<int> commandsSeen() {
        std::lock_guard lock(meterMutex);
        std::vector<int> out;
        for (const auto& r : meter.requestLog()) out.push_back(r.command);
        return out;
    }
    void clearRequestLog() {
        std::lock_guard lock(meterMutex);
        meter.clearRequestLog();
    }
    corvane::sim::FaultCounts faultCounts() {
        std::lock_guard lock(meterMutex);
        return network->faultCounts();
    }
    // The server goes away: every session is told it is closed.
    void stop() { network.reset(); }
};

}  // namespace testsupport
