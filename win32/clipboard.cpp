#include "win32/clipboard.h"

#include <windows.h>

#include <cstring>

#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

// Registered formats that ask clipboard history, the cloud clipboard and clipboard
// managers to leave the content alone; their data is a DWORD (0: "no").
constexpr const wchar_t* kPrivateFormats[] = {
    L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
    L"CanUploadToCloudClipboard", L"Clipboard Viewer Ignore"};

HGLOBAL BlockOf(const void* data, std::size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return nullptr;
  if (void* p = GlobalLock(block)) {
    std::memcpy(p, data, bytes);
    GlobalUnlock(block);
    return block;
  }
  GlobalFree(block);
  return nullptr;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  if (window) GetWindowThreadProcessId(window, &process);
  return process;
}

}  // namespace

device::Clipboard::Result Win32Clipboard::OfferText(std::u16string_view text) {
  if (!api_.open(owner_)) return Result::kOpenFailed;
  api_.empty();  // our own WM_DESTROYCLIPBOARD ends the promise before
  // A null handle promises the data. SetClipboardData returns that null handle on
  // success as on failure: only the error code tells.
  SetLastError(NO_ERROR);
  const bool set = api_.set(CF_UNICODETEXT, nullptr) != nullptr || GetLastError() == NO_ERROR;
  promising_ = false;
  if (set) {
    promised_.assign(text);
    promising_ = true;
    for (const wchar_t* name : kPrivateFormats) {
      const DWORD no = 0;
      GlobalBlock block(BlockOf(&no, sizeof no));
      const UINT format = RegisterClipboardFormatW(name);
      if (format != 0 && block.Get() && api_.set(format, block.Get())) block.Release();
    }
  }
  const bool closed = api_.close();
  if (!set) return Result::kSetFailed;
  return closed ? Result::kOk : Result::kCloseFailed;
}

bool Win32Clipboard::Render(UINT format) {
  if (format != CF_UNICODETEXT || !promising_) return false;
  // Zero-terminated; on success the clipboard owns the block.
  GlobalBlock block(BlockOf(promised_.c_str(), (promised_.size() + 1) * sizeof(char16_t)));
  if (!block.Get() || !api_.set(CF_UNICODETEXT, block.Get())) return false;
  block.Release();
  promising_ = false;
  return true;
}

void Win32Clipboard::RenderAll() {
  if (!promising_ || !api_.open(owner_)) return;
  // Another program may have taken the clipboard since; then nothing here is ours.
  if (GetClipboardOwner() == owner_) Render(CF_UNICODETEXT);
  api_.close();
}

bool RequestedByPasteTarget() {
  const DWORD asking = ProcessOf(GetOpenClipboardWindow());
  if (asking == 0) return true;
  POINT cursor{};
  const HWND under = GetCursorPos(&cursor) ? WindowFromPoint(cursor) : nullptr;
  return asking == ProcessOf(GetForegroundWindow()) || asking == ProcessOf(under);
}

}  // namespace vantrel::win32
