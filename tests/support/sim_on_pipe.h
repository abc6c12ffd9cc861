// The simulated meter in-process at the far end of the driver's in-memory pipe.
#pragma once

#include <atomic>
#include <memory>

#include "sim/meter.h"
#include "sim/meter_line.h"
#include "tests/support/pipe_harness.h"

namespace testsupport {

struct SimOnPipe {
    PipeHarness line;
    corvane::sim::Meter meter;
    std::unique_ptr<corvane::sim::MeterLine> meterLine;
    std::atomic<bool> silent{false};  // the meter hears requests but nothing comes back

    explicit SimOnPipe(const corvane::sim::FaultOptions& faults = {}, int mode = 2, int port = 1)
        : line(port), meterLine(std::make_unique<corvane::sim::MeterLine>(meter, faults, mode)) {
        // Called on the driver's I/O thread only, so the meter needs no lock
        // as long as the test reads its state while the line is quiet.
        line.setResponder([this](const std::vector<uint8_t>& written) {
            std::vector<Answer> out;
            for (auto& t : meterLine->receive(written.data(), written.size()))
                if (!silent) out.push_back({t.bytes, t.delayMs});
            return out;
        });
    }
};

}  // namespace testsupport
