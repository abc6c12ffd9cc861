// Makes the configuration dialogs known to the main window, which enables
// their menu entries and opens them by name.
#pragma once

#include <QString>
#include <memory>

class QDialog;
class QWidget;

namespace app {

// Registers every dialog built here, the password prompt included.
void RegisterForms();
// Forgets them again (tests that need a main window without them).
void UnregisterForms();
// A new dialog of the registered name, or null for a name not built here.
std::unique_ptr<QDialog> CreateForm(const QString& name, QWidget* parent);

}  // namespace app
