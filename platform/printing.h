// Printed text and the save and print dialogs of the reports. The dialogs go
// through the installed Backend, so tests answer them like message boxes.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "platform/platform.h"

class QPrinter;

namespace platform {

// Shows the save dialog (it confirms overwriting an existing file); the
// chosen path, or empty when cancelled.
QString SaveFileName(const SaveDialogRequest& request);
// Shows the print dialog on `printer`; false when cancelled. The copies
// chosen are then the printer's copyCount().
bool PrintDialog(QPrinter& printer);
// Prints `lines` as one job on `printer`; false when the job could not start.
bool PrintJob(QPrinter& printer, const QStringList& lines);

// Courier 14, or the nearest fixed-pitch font the system has.
QFont ReportFont();
// The margins of printed text, left and top, in twips (1/1440 inch).
inline constexpr int kPrintMarginTwips = 1000;
// Paints `lines` on `printer` in ReportFont, each line starting at the left
// margin below the top one, onto further pages when one is full. False when
// the printer cannot start the job.
bool PaintLines(QPrinter& printer, const QStringList& lines);

}  // namespace platform
