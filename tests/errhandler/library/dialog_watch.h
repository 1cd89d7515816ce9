#pragma once
// Plays the user in front of the error library's dialog in a process under test: as soon as a
// report has ended (Close enabled), writes the dialog's error text and status line to standard
// output as "error|status" and a line end, and presses Close.

namespace kx::test {

// Starts watching in the running application object, from its event loop on.
void watchForErrorDialog();

// For qAddPreRoutine: starts watching once the application object that is being made runs
// events.
void watchForErrorDialogFromFirstEvent();

}  // namespace kx::test
