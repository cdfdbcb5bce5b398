// Text onto the system clipboard for the paste of a text step, by delayed rendering:
// the clipboard is told that text is there, and the text itself is handed over when
// a program asks for it (WM_RENDERFORMAT). The asking tells playback that the program
// in front has taken the text, so the next text step may replace it.
#pragma once

#include <windows.h>

#include <string>

#include "core/device/platform.h"

namespace vantrel::win32 {

// The clipboard calls, in one place so a test can check their sequence: Wine does
// not enforce the owner rule that Windows does.
struct ClipboardApi {
  BOOL(WINAPI* open)(HWND);
  BOOL(WINAPI* empty)();
  HANDLE(WINAPI* set)(UINT, HANDLE);
  BOOL(WINAPI* close)();
};
// Not constexpr: an imported function's address is known only once the program is
// loaded, so clang refuses it as a constant (g++ accepts it).
inline const ClipboardApi kSystemClipboard{OpenClipboard, EmptyClipboard, SetClipboardData,
                                           CloseClipboard};

// The text is offered as CF_UNICODETEXT, so the paste is right on every system
// whatever its ANSI code page; the system derives CF_TEXT for programs that ask for
// it. With it go the registered formats that keep clipboard history, the cloud
// clipboard and clipboard managers from taking it: a macro's text is not the user's
// copy.
//
// The clipboard is opened with the owner window: opened without one, EmptyClipboard
// leaves it ownerless, Windows then refuses SetClipboardData, and there would be no
// window to render to.
//
// OfferText's results: kOpenFailed when another program holds the clipboard open,
// kSetFailed when the promise is refused (the clipboard holds nothing of ours then),
// kCloseFailed when CloseClipboard fails.
class Win32Clipboard final : public device::Clipboard {
 public:
  explicit Win32Clipboard(HWND owner = nullptr, const ClipboardApi& api = kSystemClipboard)
      : owner_(owner), api_(api) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  Result OfferText(std::u16string_view text) override;

  // WM_RENDERFORMAT (the asking program holds the clipboard open): hands over the
  // text promised. True when it did.
  bool Render(UINT format);
  // WM_RENDERALLFORMATS: the owner window is going; the text still promised is put on
  // the clipboard so that it outlives the program.
  void RenderAll();
  // WM_DESTROYCLIPBOARD: the clipboard was emptied; nothing is promised any more.
  void Emptied() { promising_ = false; }

 private:
  HWND owner_;
  ClipboardApi api_;
  std::u16string promised_;
  bool promising_ = false;
};

// Whether the program that opened the clipboard (inside WM_RENDERFORMAT) is the one
// the paste was for: the window in front's, or the one under the cursor's, whose
// context menu pastes. A clipboard monitor reading every change is not; a program
// that opened the clipboard without a window cannot be told apart and counts.
bool RequestedByPasteTarget();

}  // namespace vantrel::win32
