// Makes the service tools known to the main window, which enables their
// menu entries and opens them by name.
#pragma once

namespace app {

// Registers every tool built here.
void RegisterTools();
// Forgets them again (tests that need a main window without them).
void UnregisterTools();

}  // namespace app
