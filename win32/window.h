// The base of the program's windows: registers the class once, routes the window
// procedure to the object, and keeps exceptions from crossing into the system.
#pragma once

#include <windows.h>

namespace vantrel::win32 {

// Called when a window's handler throws, before the message goes on to the system:
// the program lets go of the keys it has pressed, which the handler may have left down.
using FailureHandler = void (*)() noexcept;
void SetFailureHandler(FailureHandler handler) noexcept;

struct WindowClass {
  const wchar_t* name = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroys the window if it still exists.
  virtual ~Window();

  HWND hwnd() const noexcept { return hwnd_; }

 protected:
  Window() = default;

  // Registers the class (once per process) and creates the window; false when
  // either fails.
  bool CreateWindowOf(HINSTANCE instance, const WindowClass& cls, DWORD ex_style,
                      const wchar_t* title, DWORD style, RECT bounds, HWND parent) noexcept;

  // Every message after creation; DefWindowProcW for what it does not handle.
  virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

  HWND hwnd_ = nullptr;
};

}  // namespace vantrel::win32
