#include "link/monitor/busview_print.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/platform.h"

namespace fenwire::busview {

namespace {

constexpr int kHeaderRow = 1;  // in line heights from the top
constexpr int kFirstBodyRow = 3;
constexpr qreal kPrintPointSize = 9;  // 74-character lines fit a page's width

// Every character as wide as the next, so printed columns line up as they do on the screen.
QFont PrintFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(kPrintPointSize);
    return font;
}

}  // namespace

int PaintPages(QPagedPaintDevice& device, const std::vector<PrintPage>& pages) {
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    painter.setFont(PrintFont());
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    // Rows are counted to the top of the text; drawText wants the baseline.
    auto drawRow = [&](int row, const std::string& text) {
        painter.drawText(QPoint(0, row * lineHeight + metrics.ascent()), QString::fromStdString(text));
    };
    int painted = 0;
    for (const PrintPage& page : pages) {
        if (painted > 0 && !device.newPage()) break;
        drawRow(kHeaderRow, page.header);
        for (size_t i = 0; i < page.lines.size(); ++i) drawRow(kFirstBodyRow + static_cast<int>(i), page.lines[i]);
        ++painted;
    }
    painter.end();
    return painted;
}

bool PrintToDefaultPrinter(std::string_view text, const std::tm& localTime) {
    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    if (printerInfo.isNull() || printerInfo.printerName().isEmpty()) return false;
    QPrinter printer(printerInfo);
    printer.setDocName(QStringLiteral("Busview"));
    return PaintPages(printer, PaginateForPrint(text, localTime)) > 0;
}

void ShowPrinterSetup(QWidget* parent) {
    QPrinter printer;
    QPageSetupDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("dlgPrinterSetup"));
    platform::showModal(dialog);
}

std::string OutputText(const QString& selection) {
    QString text = selection;
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

}  // namespace fenwire::busview
