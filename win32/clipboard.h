// Text onto the system clipboard for the paste of a text step.
#pragma once

#include <windows.h>

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
inline constexpr ClipboardApi kSystemClipboard{OpenClipboard, EmptyClipboard, SetClipboardData,
                                               CloseClipboard};

// Puts the text on the clipboard as CF_UNICODETEXT, so the paste is right on every
// system whatever its ANSI code page; the system derives CF_TEXT for programs that
// ask for it. The block is GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT), freed here
// unless the clipboard took it.
//
// The clipboard is opened with the owner window: opened without one, EmptyClipboard
// leaves it ownerless and Windows then refuses SetClipboardData, so the paste would
// bring back stale text.
//
// Results: kUnlockFailed when the block cannot be allocated, locked or unlocked
// (nothing reaches the clipboard then), kOpenFailed when OpenClipboard fails,
// kSetFailed when SetClipboardData refuses the block, kCloseFailed when
// CloseClipboard fails.
class Win32Clipboard final : public device::Clipboard {
 public:
  explicit Win32Clipboard(HWND owner = nullptr, const ClipboardApi& api = kSystemClipboard)
      : owner_(owner), api_(api) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  Result SetText(std::u16string_view text) override;

 private:
  HWND owner_;
  ClipboardApi api_;
};

}  // namespace vantrel::win32
