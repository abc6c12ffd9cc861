// A long run under faults: the host sends, waits or goes on at once, and changes
// port and mode and closes the line at random moments; every request still ends.
// The suite runs a short soak; soak-control runs the long ones (see README.md).
#include <gtest/gtest.h>

#include <iostream>

#include "tests/support/control_soak.h"

TEST(ControlSoak, EveryRequestEndsUnderFaultsAndLineChanges) {
    testsupport::SoakOptions options;
    options.transactions = 500;
    const auto report = testsupport::runControlSoak(options);
    std::cout << report.summary();
    for (const auto& problem : report.problems()) ADD_FAILURE() << problem;
    EXPECT_EQ(report.hostRequests, options.transactions);
    EXPECT_EQ(report.busyAtEnd, 0);
    // The run did meet what it is about.
    EXPECT_GT(report.closes + report.portChanges + report.modeChanges, 5);
    EXPECT_GT(report.noResponse, 0);
    EXPECT_GT(report.faults.noAnswer + report.faults.badChecksum + report.faults.busy + report.faults.late +
                  report.faults.noise,
              options.transactions / 10);
}
