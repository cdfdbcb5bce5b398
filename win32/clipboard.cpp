#include "win32/clipboard.h"

#include <windows.h>

#include <cstring>

#include "win32/handles.h"

namespace vantrel::win32 {

device::Clipboard::Result Win32Clipboard::SetText(std::u16string_view text) {
  // Zero-initialised and one character longer than the text: the terminator.
  GlobalBlock block(
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * sizeof(wchar_t)));
  if (!block.Get()) return Result::kUnlockFailed;
  void* p = GlobalLock(block.Get());
  if (!p) return Result::kUnlockFailed;
  if (!text.empty()) std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
  // GlobalUnlock returns 0 with NO_ERROR when the lock count reached zero.
  SetLastError(NO_ERROR);
  if (GlobalUnlock(block.Get()) || GetLastError() != NO_ERROR) return Result::kUnlockFailed;

  if (!api_.open(owner_)) return Result::kOpenFailed;
  api_.empty();
  // On success the clipboard owns the block; on failure it stays ours and is freed.
  const bool set = api_.set(CF_UNICODETEXT, block.Get()) != nullptr;
  if (set) block.Release();
  const bool closed = api_.close();
  if (!set) return Result::kSetFailed;
  return closed ? Result::kOk : Result::kCloseFailed;
}

}  // namespace vantrel::win32
