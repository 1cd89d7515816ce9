#pragma once
// For tests of error reports made by other processes: the user in front of the error library's
// dialog.

namespace kx::test {

// Call from a qAddPreRoutine: once the application object being made runs events, and as soon as
// a report has ended (Close enabled), writes the dialog's error text and status line to standard
// output as "error|status" and a line end, then presses Close, or with `bySigterm` sends the
// process SIGTERM (a process still running 5 s later says so and ends with 3).
void answerErrorDialogFromFirstEvent(bool bySigterm);

}  // namespace kx::test
