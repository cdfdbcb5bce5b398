#include "win32/text_input_window.h"

#include <commctrl.h>

#include <utility>

#include "core/editor/text_input.h"
#include "win32/codec.h"
#include "win32/controls.h"
#include "win32/modal.h"
#include "win32/twips.h"
#include "win32/window.h"

namespace vantrel::win32 {
namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
// Clear of IDOK and IDCANCEL, which the dialog keys (Enter, Esc) send.
enum ControlId { kBox = 100, kClear, kSave, kBack };

// In tab order: the box, "新規", "保存", "戻る".
constexpr DialogControl kControls[] = {
    {kBox, L"EDIT",
     ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
     editor::kTextInputBox, u"", WS_EX_CLIENTEDGE},
    {kClear, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, editor::kTextInputClear,
     editor::kTextInputClearCaption},
    {kSave, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, editor::kTextInputSave,
     editor::kTextInputSaveCaption},
    {kBack, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, editor::kTextInputBack,
     editor::kTextInputBackCaption},
};

// A multi-line box wants every key, Tab too, and then asks its parent to move on
// with WM_NEXTDLGCTL, which only a dialog box's own procedure knows: the focus would
// stay in the box. Tab and Shift+Tab are left to the dialog keys; Enter stays the box's.
LRESULT CALLBACK BoxProcedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                              DWORD_PTR) noexcept {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, BoxProcedure, id);
  const LRESULT code = DefSubclassProc(box, message, wparam, lparam);
  const auto* msg = reinterpret_cast<const MSG*>(lparam);
  if (message == WM_GETDLGCODE && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
    return code & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
  }
  return code;
}

class TextInputWindow final : public ModalDialog {
 public:
  TextInputWindow(HINSTANCE instance, HWND owner, std::u16string_view text,
                  editor::WindowPosition editor)
      : owner_(owner), input_(text, editor) {
    const WindowClass cls{L"VantrelTextInputWindow", nullptr, LoadCursorW(nullptr, IDC_ARROW),
                          GetSysColorBrush(COLOR_BTNFACE)};
    const POINT at = DesktopPixels(input_.Place());
    if (!CreateWindowOf(instance, cls, 0, ToWide(editor::kTextInputTitle).c_str(), kStyle,
                        {at.x, at.y, at.x, at.y}, owner)) {
      return;
    }
    CreateControls(hwnd(), instance, kControls);
    SetWindowSubclass(GetDlgItem(hwnd(), kBox), BoxProcedure, 0, 0);
    SetWindowTextW(GetDlgItem(hwnd(), kBox), ToWide(input_.Text()).c_str());
    Layout(WindowDpi(hwnd()));
    MoveOntoScreen(hwnd(), at);
    SetFocus(GetDlgItem(hwnd(), kBox));
  }

  const std::optional<std::u16string>& Result() const { return input_.Result(); }

 private:
  void CloseBox() override {
    input_.Back();
    EndModal(hwnd(), owner_);
  }

  void Command(UINT id, UINT code) override {
    if (id == kBox && code == EN_CHANGE) {
      input_.Edit(FromWide(TextOf(GetDlgItem(hwnd(), kBox))));
    } else if (code == BN_CLICKED && id == kClear) {
      input_.Clear();
      SetWindowTextW(GetDlgItem(hwnd(), kBox), L"");
    } else if (code == BN_CLICKED && (id == kSave || id == kBack)) {
      if (id == kSave) {
        input_.Save();
      } else {
        input_.Back();
      }
      EndModal(hwnd(), owner_);
    }
  }

  void Layout(UINT dpi) override {
    SizeClientArea(hwnd(), editor::kTextInputClient, kStyle, dpi);
    PlaceControls(hwnd(), kControls, dpi);
    // The fonts in use are let go of only once the controls have the new ones.
    UniqueFont ui = MessageFont(dpi);
    UniqueFont box =
        NamedFont(ToWide(editor::kTextInputFont).c_str(), editor::kTextInputFontPoints, dpi);
    SetFontOfChildren(hwnd(), ui.get());
    SendMessageW(GetDlgItem(hwnd(), kBox), WM_SETFONT, reinterpret_cast<WPARAM>(box.get()), TRUE);
    ui_font_ = std::move(ui);
    box_font_ = std::move(box);
  }

  HWND owner_;
  editor::TextInput input_;
  UniqueFont ui_font_;
  UniqueFont box_font_;
};

}  // namespace

std::optional<std::u16string> AskText(HINSTANCE instance, HWND owner, std::u16string_view text,
                                      editor::WindowPosition editor) {
  TextInputWindow dialog(instance, owner, text, editor);
  RunModal(dialog, owner);
  return dialog.Result();
}

}  // namespace vantrel::win32
