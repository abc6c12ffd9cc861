// Makes the configuration dialogs known to the main window, which enables
// their menu entries and opens them by name.
#pragma once

namespace app {

// Registers every dialog built here, the password prompt included.
void RegisterForms();
// Forgets them again (tests that need a main window without them).
void UnregisterForms();

}  // namespace app
