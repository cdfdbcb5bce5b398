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

// Closes a modal window: the owner is enabled, and takes the foreground if this one
// has it, so that the owner, and not some other program's window, is activated when
// this one goes.
void EndModal(HWND window, HWND owner);

// A modal dialog's window: its controls' commands, the close box and a move to a
// monitor of another DPI are routed alike; the dialog says what each means.
class ModalDialog : public Window {
 protected:
  virtual void Command(UINT id, UINT code) = 0;
  virtual void CloseBox() = 0;
  // Sizes the window and places and fonts its controls at the DPI.
  virtual void Layout(UINT dpi) = 0;
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace vantrel::win32
