#include "platform/printing.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include "platform/platform.h"

namespace platform {

namespace {

// The busy pointer does not show while the user works a dialog.
template <typename Show>
auto whileUserChooses(Show show) {
    Backend& b = backend();
    b.pauseBusyPointer();
    const auto result = show(b);
    b.resumeBusyPointer();
    return result;
}

}  // namespace

QString SaveFileName(const SaveDialogRequest& request) {
    return whileUserChooses([&](Backend& b) { return b.saveFileName(request); });
}
bool PrintDialog(QPrinter& printer) {
    return whileUserChooses([&](Backend& b) { return b.printDialog(printer); });
}
bool PrintJob(QPrinter& printer, const QStringList& lines) { return backend().printJob(printer, lines); }

QFont ReportFont() {
    constexpr int kPointSize = 14;
    QFont font(QStringLiteral("Courier"), kPointSize);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (QFontInfo(font).fixedPitch()) return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(kPointSize);
    return fixed;
}

bool PaintLines(QPrinter& printer, const QStringList& lines) {
    printer.setFullPage(true);  // margins count from the paper's edge
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    painter.setFont(ReportFont());
    const int dpi = printer.resolution();
    const int margin = kPrintMarginTwips * dpi / 1440;
    const QFontMetrics metrics(painter.font(), &printer);
    const int pageHeight = printer.pageLayout().fullRectPixels(dpi).height();
    int baseline = margin + metrics.ascent();
    for (const QString& line : lines) {
        if (baseline + metrics.descent() > pageHeight - margin && baseline > margin + metrics.ascent()) {
            printer.newPage();
            baseline = margin + metrics.ascent();
        }
        painter.drawText(margin, baseline, line);
        baseline += metrics.lineSpacing();
    }
    return painter.end();
}

}  // namespace platform
