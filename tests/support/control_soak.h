// A long run of transactions through the link control's C interface against
// simulated meters on the in-memory line, with faults on the line and a host
// that changes port and mode and closes and opens the line at random moments.
// It counts what the control reports (sends and collected replies from the
// cBusy change reports, Result events, what each close ended) so a caller can
// check that every request ended exactly once. Used by the test suite and by
// the soak-control program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/meter_line.h"

namespace testsupport {

struct SoakOptions {
    int transactions = 2000;       // requests the host has sent when the run stops
    double faultRate = 0.2;        // per reply: split evenly over the kinds of fault
    bool burstFrames = false;      // burst frames are one more kind of fault
    bool lineChanges = true;       // port, mode, close and open at random moments
    uint32_t seed = 1;
    // Called after every transaction the host sent, with their count so far.
    std::function<void(int sent)> progress;
};

struct SoakReport {
    // What the control did.
    int sends = 0;           // transactions started (cBusy went up)
    int collected = 0;       // replies collected (cBusy went down)
    int results = 0;         // Result events
    int answered = 0;        // ... with a reply
    int noResponse = 0;      // ... without one
    int endedByClose = 0;    // outstanding when a close or a new registration ended them
    int refused = 0;         // cDoCommand writes refused while a command waited for the identifier
    int oddBusyChanges = 0;  // cBusy changes that were neither a send, a collection nor a close
    int busyAtEnd = -1;
    // What the host did.
    int hostRequests = 0, closes = 0, portChanges = 0, modeChanges = 0;
    // What the line did.
    corvane::sim::FaultCounts faults;
    int burstFramesSent = 0;
    double longestCallMs = 0;     // the longest single put or get
    std::string longestCall;
    double retryTimeMs = 0;       // the slowest line's whole retry time: the bound for any call
    double seconds = 0;

    // Every request ended exactly once, the line is idle and no call blocked too long.
    std::vector<std::string> problems() const;
    std::string summary() const;  // the counts, one "name value" per line
};

// Runs the soak on ports 1 and 2 (the in-memory line); needs a Qt application.
SoakReport runControlSoak(const SoakOptions& options);

}  // namespace testsupport
