// Makes the service tools known to the main window, which enables their
// menu entries and opens them by name.
#pragma once

#include <QString>
#include <memory>

class QDialog;
class QWidget;

namespace app {

// Registers every tool built here.
void RegisterTools();
// Forgets them again (tests that need a main window without them).
void UnregisterTools();
// A new tool window of the registered name ("frmDiagnostics"), or null for a name not built here.
std::unique_ptr<QDialog> CreateTool(const QString& name, QWidget* parent);

}  // namespace app
