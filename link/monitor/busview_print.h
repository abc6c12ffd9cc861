// Printing of the bus monitor's text: pages laid out by page_layout.h, on
// the system's default printer, in a fixed-pitch font.
#pragma once

#include <QString>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "link/monitor/page_layout.h"

class QPagedPaintDevice;
class QWidget;

namespace fenwire::busview {

// Paints the pages on `device`: on each, the header one line height from
// the top and body line i at (i + 3) line heights, at the left edge; a line
// height is the font's. The font is of fixed pitch, so columns line up. The number of pages painted (0 when painting could
// not start).
int PaintPages(QPagedPaintDevice& device, const std::vector<PrintPage>& pages);

// Prints `text` as the document "Busview" on the default printer. False,
// with nothing printed, when the system has no default printer or it cannot
// be started.
bool PrintToDefaultPrinter(std::string_view text, const std::tm& localTime);

// The platform's printer set-up dialog. Printing always takes the default
// printer, so what is chosen there is not kept.
void ShowPrinterSetup(QWidget* parent);

// A text area's selection as plain text with "\r\n" line breaks.
std::string OutputText(const QString& selection);

}  // namespace fenwire::busview
