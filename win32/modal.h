// Modal windows on the program's one user-interface thread: the owner is disabled
// while the window is up, and the thread's messages keep running, so the hidden
// main window still hears a close request or the end of the session meanwhile.
#pragma once

#include <windows.h>

#include "win32/window.h"

namespace vantrel::win32 {

// Shows `window` over `owner` (disabled meanwhile) and runs the thread's messages
// until the window is destroyed. A WM_QUIT ends the loop early and is posted again
// for the loop below.
void RunModal(const Window& window, HWND owner);

// Closes a modal window: the owner is enabled first, so that it, and not some other
// program's window, is activated when this one goes.
void EndModal(HWND window, HWND owner);

}  // namespace vantrel::win32
