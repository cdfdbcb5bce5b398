#include "win32/assign_key_window.h"

#include "core/editor/editor.h"
#include "win32/codec.h"
#include "win32/modal.h"
#include "win32/twips.h"
#include "win32/window.h"

namespace vantrel::win32 {
namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr editor::Twips kClient = {0, 0, 4800, 1200};

class AssignKeyWindow final : public Window {
 public:
  AssignKeyWindow(HINSTANCE instance, HWND editor, int key, int mouse_state) : editor_(editor) {
    RECT at{};
    GetWindowRect(editor, &at);
    const UINT dpi = WindowDpi(editor);
    const SIZE size = FrameSize({ToPixels(kClient.width, dpi), ToPixels(kClient.height, dpi)},
                                kStyle, 0, false, dpi);
    const WindowClass cls{L"VantrelAssignKeyWindow", nullptr, LoadCursorW(nullptr, IDC_ARROW),
                          GetSysColorBrush(COLOR_BTNFACE)};
    CreateWindowOf(instance, cls, 0, ToWide(editor::AssignKeyCaption(key, mouse_state)).c_str(),
                   kStyle, {at.left, at.top, at.left + size.cx, at.top + size.cy}, editor);
  }

 private:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_CLOSE) {
      EndModal(hwnd(), editor_);
      return 0;
    }
    return Default(message, wparam, lparam);
  }

  HWND editor_;
};

}  // namespace

void ShowAssignKeyDialog(HINSTANCE instance, HWND editor, int key, int mouse_state) {
  AssignKeyWindow dialog(instance, editor, key, mouse_state);
  RunModal(dialog, editor);
}

}  // namespace vantrel::win32
