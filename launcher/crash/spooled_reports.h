#pragma once
// Sending the error reports that earlier runs could not deliver. The error library keeps each
// report in its spool until the server has confirmed it; the launcher asks the library, once its
// window is shown, to send what is due, on a thread of its own, so that nothing waits for the
// network.

namespace kx::crash {

// Starts a thread that creates "ZNErrHandler.Error" and calls its SendSpooledReports (the
// library sends a bounded number of reports, each post bounded by the report's time-out). A
// library that is missing or fails leaves a line in the debug log, nothing else. At most one such
// thread runs at a time; a call while one runs does nothing.
void sendSpooledReportsInBackground();

// Whether that thread is still at work.
bool spooledReportsBeingSent();

// Ends the process at once with `exitCode` (standard streams flushed, no clean-up of the program
// or of the libraries it loaded) while that thread is still at work: the error library's code
// must not be torn down under it. A post cut short loses nothing, since a report stays in the
// spool until the server has confirmed it, and the server stores a report sent twice once.
// Returns when no sending is under way.
void endAtOnceWhileSpooledReportsAreSent(int exitCode);

}  // namespace kx::crash
