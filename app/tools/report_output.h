// Where a report goes: the user chooses between a text file and the printer.
// What the report windows know of the meter before they read.
#pragma once

#include <QStringList>

#include "app/reports/meter_identity.h"

namespace app {

// Asks "Do you want to print to a file?". Yes writes the lines to a text
// file chosen in the save dialog (CR LF line ends, the whole file or none);
// No prints them, one job per copy chosen in the print dialog. Cancelling
// either dialog does nothing; a file or printer that fails says so.
void OutputReport(const QStringList& lines);

// What the report windows take from the main window: the facts Connect
// read. Nothing is known without a main window.
MeterIdentity MainWindowIdentity();

}  // namespace app
