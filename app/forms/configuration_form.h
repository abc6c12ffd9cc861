// The read/write cycle that every configuration dialog shares: opening and
// "Read" read the meter's values into the controls; "Write" asks the main
// window's write guard, validates and sends, and then reads back whatever
// the outcome, so the dialog always ends showing what the meter holds.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "app/shell/frmComPort.h"

class QLineEdit;

namespace app {

class ConfigurationForm : public QDialog {
    Q_OBJECT
protected:
    enum class AfterWrite { ReadBack, KeepEntries };
    explicit ConfigurationForm(QWidget* parent, AfterWrite afterWrite = AfterWrite::ReadBack);

    // Wires Read, Write and Close (found by name) and reads once. Enter
    // never presses Write (platform/keyboard.h): Close is the default. The derived constructor calls it last,
    // after setupUi, so the routines below are its own. Before Connect it
    // reads the meter's mode and options first, so that what the dialog
    // decides on them is the meter's; when the opening read does not get
    // through, the dialog shows nothing read rather than defaults.
    void Open();

    // Sends the topic's read commands and fills the controls from the store.
    virtual void ReadRoutine() = 0;
    // Asks CanWrite, validates in field order, converts and sends.
    virtual void WriteRoutine() = 0;
    // Runs while opening, before the first read, with the busy pointer shown.
    virtual void BeforeFirstRead() {}
    // "Close"; closing by the window frame only closes.
    virtual void btnCancel_Click();
    // After an opening read that did not get through: entry boxes empty,
    // lists and option groups without a selection.
    virtual void ShowNothingRead();

    // The main window's write guard; false without a main window.
    static bool CanWrite();
    // The main window's facts about the meter, read first if nothing has read them.
    static bool MeterFactsKnown();
    // The error box of a rejected entry: title "Error", critical icon, OK.
    static void ShowError(const QString& message);
    // The entry as a 4-byte float; on a text that is not a number, or one
    // too large for a float, shows `invalidMessage` and returns false.
    static bool ParseEntry(const QLineEdit& entry, const QString& invalidMessage, float& value);

private:
    void btnRead_Click();
    void btnWrite_Click();

    AfterWrite afterWrite_;
};

}  // namespace app
