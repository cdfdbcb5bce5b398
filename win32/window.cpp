#include "win32/window.h"

#include <atomic>

namespace vantrel::win32 {
namespace {
std::atomic<FailureHandler> g_failure_handler{nullptr};
}  // namespace

void SetFailureHandler(FailureHandler handler) noexcept {
  g_failure_handler = handler;
}

Window::~Window() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Window::CreateWindowOf(HINSTANCE instance, const WindowClass& cls, DWORD ex_style,
                            const wchar_t* title, DWORD style, RECT bounds, HWND parent) noexcept {
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, cls.name, &wc)) {
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hIcon = cls.icon;
    wc.hCursor = cls.cursor;
    wc.hbrBackground = cls.background;
    wc.lpszClassName = cls.name;
    if (!RegisterClassExW(&wc)) return false;
  }
  // WM_NCCREATE stores hwnd_ before CreateWindowExW returns.
  CreateWindowExW(ex_style, cls.name, title, style, bounds.left, bounds.top,
                  bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr, instance,
                  this);
  return hwnd_ != nullptr;
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  try {
    return self->OnMessage(message, wparam, lparam);
  } catch (...) {
    // A handler that failed leaves the message to the system rather than end the
    // program, and no key it pressed stays down.
    if (const FailureHandler handler = g_failure_handler) handler();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace vantrel::win32
