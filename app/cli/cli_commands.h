// The subcommands of corvane-hart-cli, run on the link the port form opened
// (Fenwire1). Each prints its result on `out` and returns the exit status;
// failures reach standard error as the utility's own message texts, through
// the console platform backend.
#pragma once

#include <cstdio>

#include "app/cli/cli_options.h"

namespace cli {

int RunIdentify(const Options& options, std::FILE* out);
int RunValues(const Options& options, std::FILE* out);
int RunReport(const Options& options, std::FILE* out);
int RunTableExport(const Options& options);
int RunTableImport(const Options& options);
int RunSend(const Options& options, std::FILE* out);
int RunScan(const Options& options, std::FILE* out);
// Reads a capture file; needs no link.
int RunShow(const Options& options, std::FILE* out);

// The utility's write guard without its main window: reads the meter's
// mode and, out of edit mode, asks the utility's question; the console
// backend answers it (Yes only with --yes), and Yes enters edit mode. A
// password-protected meter cannot be given its password here: that is
// reported as a cancelled password prompt. True when the meter is in edit mode.
bool EnsureEditMode();

}  // namespace cli
