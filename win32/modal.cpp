#include "win32/modal.h"

#include "win32/twips.h"

namespace vantrel::win32 {

void RunModal(const Window& window, HWND owner) {
  if (!window.hwnd()) return;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(window.hwnd(), SW_SHOW);
  SetForegroundWindow(window.hwnd());
  MSG msg;
  while (window.hwnd()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    // Tab and arrow keys move between the window's controls.
    if (window.hwnd() && IsDialogMessageW(window.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // Ended early (WM_QUIT) or destroyed without EndModal: the owner must not stay
  // disabled.
  if (owner && IsWindow(owner)) EnableWindow(owner, TRUE);
}

void EndModal(HWND window, HWND owner) {
  if (owner) EnableWindow(owner, TRUE);
  // An active window that goes hands the activation to its owner only when the owner
  // is visible; for a hidden one, Windows picks the next window in its order, whichever
  // program it belongs to. The owner takes the foreground first and hands it on.
  if (owner && window && GetForegroundWindow() == window) SetForegroundWindow(owner);
  if (window) DestroyWindow(window);
}

LRESULT ModalDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CLOSE:
      CloseBox();
      return 0;
    case WM_DPICHANGED:
      MoveToSuggestedCorner(hwnd(), lparam);
      Layout(HIWORD(wparam));
      return 0;
    default:
      return Default(message, wparam, lparam);
  }
}

}  // namespace vantrel::win32
