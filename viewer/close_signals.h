// The signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) close the viewer as its Close command does.
// The handler only writes the signal's number to a pipe. A thread of its own reads it and posts the
// registered message "QSMCloseSignal" (wParam: the signal) to the window set here, the main window, which
// closes the modal window that is open, if any, and then itself. A program that still runs two seconds after
// the signal ends then; one that has no such window yet ends at once, as the signal's own action would end
// it.
#pragma once

#include "platform/wm/winuser.h"

namespace qsm {

// Installs the handlers and starts the thread; once per process.
void InstallCloseSignals();
// The window the signals go to (null: none).
void SetCloseSignalWindow(HWND window);
// The signal that asked the program to close; 0 when none did.
int GetCloseSignal();
// The registered message "QSMCloseSignal".
UINT CloseSignalMessage();

}  // namespace qsm
