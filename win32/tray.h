// The main window's icon in the notification area, with its balloon.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>
#include <string_view>
#include <type_traits>

#include "core/shell/resident.h"

namespace vantrel::win32 {

class Tray {
 public:
  // The shell reports mouse activity over the icon with this message to the window;
  // its lParam is the mouse message.
  static constexpr UINT kCallbackMessage = WM_MOUSEMOVE;

  Tray(HINSTANCE instance, HWND window);

  // Fills the record from icon and tip and changes the icon shown; adds it when the
  // shell has none (at start-up, or a taskbar that was re-created).
  void Show(shell::TrayIcon icon, std::u16string_view tip);
  void Remove();
  // A notification balloon from the icon; the record itself is left as it was.
  void Balloon(std::u16string_view title, std::u16string_view text);

 private:
  struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
  };
  using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

  NOTIFYICONDATAW record_{};
  Icon idle_;
  Icon active_;
};

}  // namespace vantrel::win32
