// Helpers shared by the Win32 tests: scratch folders, clipboard reading, and a
// message-only window that stands in for the owner of a serial port.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::win32::test {

inline std::wstring MakeTempDir(const std::wstring& tag) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  for (;;) {
    std::wstring dir = std::wstring(base) + L"vantrel-" + tag + L"-" +
                       std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return dir;
  }
}

// Every entry of a folder except "." and "..", in file-system order.
inline std::vector<std::wstring> ListAll(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring n = found.cFileName;
    if (n != L"." && n != L"..") names.push_back(n);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

inline void RemoveTree(const std::wstring& dir) {
  for (const std::wstring& n : ListAll(dir)) {
    const std::wstring p = dir + L"\\" + n;
    SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(p.c_str())) RemoveTree(p);
  }
  RemoveDirectoryW(dir.c_str());
}

inline std::u16string ClipboardUnicode() {
  std::u16string text;
  if (!OpenClipboard(nullptr)) return u"<cannot open>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

inline std::string ClipboardAnsi() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "<cannot open>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const auto* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

// A message-only window whose procedure calls `on_message(msg)` for every message
// at or above WM_APP, on the thread that created it (the test's "UI thread").
class MessageWindow {
 public:
  explicit MessageWindow(std::function<void(UINT)> on_message)
      : on_message_(std::move(on_message)) {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &MessageWindow::Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VantrelTestMessageWindow";
      return RegisterClassW(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExW(0, L"VantrelTestMessageWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, GetModuleHandleW(nullptr), this);
  }
  ~MessageWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;
  HWND hwnd() const { return hwnd_; }

  // Runs the message loop until `done()` or the timeout; true when done.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_APP) {
      self->on_message_(msg);
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  std::function<void(UINT)> on_message_;
  HWND hwnd_ = nullptr;
};

}  // namespace vantrel::win32::test
