#include "app/tools/report_output.h"

#include <QLineEdit>
#include <QPrinter>
#include <algorithm>

#include "app/shell/frmMain.h"
#include "platform/platform.h"
#include "platform/printing.h"
#include "platform/textfile.h"

namespace app {

namespace {

void showError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

void writeTextFile(const QStringList& lines) {
    const QString path = platform::SaveFileName({QStringLiteral("Save As"), QStringLiteral("Text (*.txt)")});
    if (path.isEmpty()) return;
    QString why;
    if (!platform::WriteTextFileWhole(path, lines, &why))
        showError(QStringLiteral("The report was not written to %1: %2").arg(path, why));
}

void print(const QStringList& lines) {
    QPrinter printer;
    if (!platform::PrintDialog(printer)) return;
    // One job per copy: the printer is told to make one of each.
    const int copies = std::max(1, printer.copyCount());
    printer.setCopyCount(1);
    for (int copy = 0; copy < copies; ++copy) {
        if (!platform::PrintJob(printer, lines)) {
            showError(QStringLiteral("The report could not be printed."));
            return;
        }
    }
}

}  // namespace

void OutputReport(const QStringList& lines) {
    const int answer = platform::MsgBox(QStringLiteral("Do you want to print to a file?"),
                                        platform::vbYesNo | platform::vbDefaultButton2, platform::vbQuestion,
                                        QStringLiteral("Printing Option"));
    // Escape answers neither: no file and no printer.
    if (answer == platform::vbYes) writeTextFile(lines);
    else if (answer == platform::vbNo) print(lines);
}

MeterIdentity MainWindowIdentity() {
    MeterIdentity identity;
    const frmMain* main = MainWindow();
    if (!main) return identity;
    identity.known = true;
    identity.modelNumber = main->findChild<QLineEdit*>(QStringLiteral("txtModelNumber"))->text();
    identity.tag = main->findChild<QLineEdit*>(QStringLiteral("txtTag"))->text();
    identity.deviceNumber = main->DeviceNumber;
    identity.deviceType = main->DeviceType;
    identity.softwareRevision = main->SoftwareRevision;
    return identity;
}

}  // namespace app
