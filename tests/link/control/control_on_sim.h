// The control over the real driver on the in-memory line, with the simulated
// meter at its far end: the fixture the engine's tests share.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "tests/link/control/hosted_control.h"
#include "tests/support/sim_on_pipe.h"

namespace testsupport {

inline std::vector<int> commandsSeen(const SimOnPipe& sim) {
    std::vector<int> out;
    for (const auto& r : sim.meter.requestLog()) out.push_back(r.command);
    return out;
}

struct ControlOnSim : ::testing::Test {
    SimOnPipe sim;
    HostedControl host;

    void open(int mode) {
        ASSERT_EQ(host.put("cComMode", mode), 0);
        ASSERT_EQ(host.put("cComState", 1), 0);
        ASSERT_EQ(host.number("cComError"), 0);
        host.log.clear();
    }
    void learnIdentity() {
        host.put("cDoCommand", 0);
        ASSERT_TRUE(host.waitIdle());
        ASSERT_EQ(host.number("cComResult"), 1);
        sim.meter.clearRequestLog();
        host.log.clear();
    }
};

}  // namespace testsupport
