// The subcommands of corvane-hart-cli, run on the link the port form opened
// (Fenwire1). Each prints its result on `out` and returns the exit status;
// failures reach standard error as the utility's own message texts, through
// the console platform backend.
#pragma once

#include <QtGlobal>
#include <csignal>
#include <cstdio>

#include "app/cli/cli_options.h"
#include "app/cli/line_recorder.h"

namespace cli {

int RunIdentify(const Options& options, std::FILE* out);
int RunValues(const Options& options, std::FILE* out);
int RunReport(const Options& options, std::FILE* out);
int RunTableExport(const Options& options);
int RunTableImport(const Options& options);
// Prints the command's frames as the bus monitor shows them, taken from the
// line through `recorder`.
int RunSend(const Options& options, LineRecorder& recorder, std::FILE* out);
int RunScan(const Options& options, std::FILE* out);
// Prints every frame's monitor line until the time is up or an interrupt.
int RunMonitor(const Options& options, LineRecorder& recorder, std::FILE* out);
// Reads a capture file; needs no link.
int RunShow(const Options& options, std::FILE* out);

// The utility's write guard without its main window: reads the meter's
// mode and, out of edit mode, asks the utility's question; the console
// backend answers it (Yes only with --yes), and Yes enters edit mode. A
// password-protected meter cannot be given its password here: that is
// reported as a cancelled password prompt. True when the meter is in edit mode.
bool EnsureEditMode();

// While it stands, SIGINT and SIGTERM ask a long run (monitor, repeated
// values) to end at its next step, so that a capture is closed whole,
// instead of ending the program.
class StopOnSignal {
public:
    static constexpr qint64 kStopCheckMs = 100;
    StopOnSignal();
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;
    bool requested() const;
    // Handles the link's messages for `ms` milliseconds; false when a stop
    // was asked for meanwhile.
    bool waitMs(qint64 ms) const;

private:
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
};

}  // namespace cli
