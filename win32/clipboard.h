// Text onto the system clipboard for the paste of a text step.
#pragma once

#include "core/device/platform.h"

namespace vantrel::win32 {

// Puts the text on the clipboard as CF_UNICODETEXT, so the paste is right on every
// system whatever its ANSI code page; the system derives CF_TEXT for programs that
// ask for it. The block is GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT), freed here
// unless the clipboard took it.
//
// Results: kUnlockFailed when the block cannot be allocated, locked or unlocked
// (nothing reaches the clipboard then), kOpenFailed when OpenClipboard(nullptr)
// fails, kCloseFailed when CloseClipboard fails. A refused SetClipboardData is not
// a distinct result: the clipboard is then left empty and kOk or kCloseFailed is
// returned, as the close decides.
class Win32Clipboard final : public device::Clipboard {
 public:
  Result SetText(std::u16string_view text) override;
};

}  // namespace vantrel::win32
