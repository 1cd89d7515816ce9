#pragma once
// Whether this process can show a window at all, asked before any window-toolkit object exists:
// the toolkit ends the process when it cannot reach the display it was told to use.

namespace kx::errhandler {

// True when the toolkit's platform is one that needs no display server (QT_QPA_PLATFORM names
// another platform than xcb, such as "offscreen"), or when the X server named by DISPLAY accepts
// a connection. False in a service or a terminal session without a display.
bool displayAvailable();

}  // namespace kx::errhandler
