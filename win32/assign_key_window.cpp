#include "win32/assign_key_window.h"

#include <commctrl.h>
#include <imm.h>

#include <array>
#include <utility>

#include "win32/codec.h"
#include "win32/controls.h"
#include "win32/modal.h"
#include "win32/text_input_window.h"
#include "win32/twips.h"
#include "win32/window.h"

namespace vantrel::win32 {
namespace {

using editor::AssignControl;
using editor::KeyAssignment;

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
// Clear of IDOK and IDCANCEL, which the dialog keys send.
constexpr UINT kControlBase = 100;  // + AssignControl
constexpr UINT kSlotBase = 200;     // + slot 1..60
constexpr std::size_t kControlCount = static_cast<std::size_t>(AssignControl::kTabCatcher) + 1;
constexpr LPARAM kRepeat = 1 << 30;  // of a key message: the key was down already

COLORREF ColourOf(editor::SlotColour colour) {
  switch (colour) {
    case editor::SlotColour::kYellow:
      return RGB(0xFF, 0xFF, 0x00);
    case editor::SlotColour::kLightGreen:
      return RGB(0x80, 0xFF, 0x80);
    case editor::SlotColour::kButtonFace:
      break;
  }
  return GetSysColor(COLOR_BTNFACE);
}

editor::MouseButton ButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return editor::MouseButton::kLeft;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return editor::MouseButton::kRight;
    default:
      return editor::MouseButton::kMiddle;
  }
}

int HeldModifiers(bool shift, bool ctrl) {
  return (shift ? editor::kShiftHeld : 0) | (ctrl ? editor::kCtrlHeld : 0) |
         (GetKeyState(VK_MENU) < 0 ? editor::kAltHeld : 0);
}

class AssignKeyWindow final : public ModalDialog, public editor::AssignKeyPlatform {
 public:
  AssignKeyWindow(HINSTANCE instance, HWND editor, const editor::AssignKeyRequest& request)
      : instance_(instance), editor_(editor), dialog_(request, *this) {
    RECT at{};
    GetWindowRect(editor, &at);
    editor_corner_ = DesktopTwips({at.left, at.top});
    const POINT corner =
        DesktopPixels({editor_corner_.top, editor_corner_.left + editor::kAssignKeyOffset});
    const WindowClass cls{L"VantrelAssignKeyWindow", nullptr, LoadCursorW(nullptr, IDC_ARROW),
                          GetSysColorBrush(COLOR_BTNFACE)};
    if (!CreateWindowOf(instance, cls, 0, ToWide(dialog_.Caption()).c_str(), kStyle,
                        {corner.x, corner.y, corner.x, corner.y}, editor)) {
      return;
    }
    CreateControls();
    Layout(WindowDpi(hwnd()));
    MoveOntoScreen(hwnd(), corner);
    // The dialog opens with the label box in focus, not the capture field.
    focus_ = Control(AssignControl::kLabel);
    SetFocus(focus_);
  }

  // editor::AssignKeyPlatform
  void Refuse(const editor::Refusal& refusal) override {
    MessageBoxW(hwnd(), ToWide(refusal.text).c_str(), ToWide(refusal.title).c_str(), MB_OK);
  }
  std::optional<std::u16string> AskText(std::u16string_view text) override {
    return win32::AskText(instance_, hwnd(), text, editor_corner_);
  }
  void FocusCaptureField() override { SetFocus(Control(AssignControl::kCaptureField)); }
  void EmptyCaptureField() override { SetWindowTextW(Control(AssignControl::kCaptureField), L""); }
  void CloseDialog() override { EndModal(hwnd(), editor_); }

 private:
  HWND Control(AssignControl which) const { return controls_[static_cast<std::size_t>(which)]; }
  HWND Slot(int s) const { return slots_[static_cast<std::size_t>(s - 1)]; }

  HWND Child(const wchar_t* cls, std::u16string_view caption, DWORD style, UINT id,
             DWORD ex_style = 0) {
    return CreateWindowExW(ex_style, cls, ToWide(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                           0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           instance_, nullptr);
  }

  void CreateControls() {
    tips_ = CreateToolTips(instance_, hwnd());
    // Creation order is the tab order; the slots come before the capture field so
    // that the Tab catcher follows the field directly.
    for (const editor::AssignControlPlace& c : editor::kAssignControls) {
      const UINT id = kControlBase + static_cast<UINT>(c.id);
      HWND control = nullptr;
      switch (c.id) {
        case AssignControl::kLabel:
          control = Child(WC_EDITW, dialog_.Label(), ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, id,
                          WS_EX_CLIENTEDGE);
          break;
        case AssignControl::kScrollBar:
          control = Child(WC_SCROLLBARW, u"", SBS_HORZ, id);
          for (int s = 1; s <= KeyAssignment::kSlots; ++s) {
            slots_[static_cast<std::size_t>(s - 1)] =
                Child(WC_BUTTONW, dialog_.SlotAt(s).caption, BS_OWNERDRAW, kSlotBase + s);
          }
          break;
        case AssignControl::kCaptureField:
          control = Child(WC_EDITW, u"", ES_AUTOHSCROLL | WS_TABSTOP, id);
          // The Japanese keyboard's own keys reach the field as key presses only
          // while no input method takes them.
          ImmAssociateContextEx(control, nullptr, 0);
          break;
        case AssignControl::kTabCatcher:
          control = Child(WC_BUTTONW, c.caption, BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, id);
          break;
        default:
          control = Child(WC_BUTTONW, c.caption, BS_PUSHBUTTON | WS_TABSTOP, id);
          break;
      }
      controls_[static_cast<std::size_t>(c.id)] = control;
      AddToolTip(tips_, hwnd(), control, c.tip);
    }
    SetWindowSubclass(Control(AssignControl::kCaptureField), FieldProcedure, 0,
                      reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Control(AssignControl::kLabel), FieldProcedure, 1,
                      reinterpret_cast<DWORD_PTR>(this));
  }

  void Layout(UINT dpi) override {
    dpi_ = dpi;
    SizeClientArea(hwnd(), editor::kAssignKeyClient, kStyle, dpi);
    for (const editor::AssignControlPlace& c : editor::kAssignControls) {
      PlaceControl(Control(c.id), c.place, dpi);
    }
    UniqueFont ui = MessageFont(dpi);
    UniqueFont slots = NamedFont(ToWide(editor::kSlotFont).c_str(), editor::kSlotFontPoints, dpi);
    SetFontOfChildren(hwnd(), ui.get());
    for (HWND slot : slots_) {
      SendMessageW(slot, WM_SETFONT, reinterpret_cast<WPARAM>(slots.get()), FALSE);
    }
    if (tips_) SendMessageW(tips_, WM_SETFONT, reinterpret_cast<WPARAM>(ui.get()), FALSE);
    ui_font_ = std::move(ui);
    slot_font_ = std::move(slots);
    shown_ = {};
    placed_ = false;
    Refresh();
  }

  // Shows what the dialog says now: the mode button, every slot that changed, the
  // scroll bar.
  void Refresh() {
    if (!hwnd() || dialog_.Closed()) return;
    const HWND mode = Control(AssignControl::kMode);
    SetWindowTextW(mode, ToWide(dialog_.ModeCaption()).c_str());
    ShowWindow(mode, dialog_.ModeButtonShown() ? SW_SHOWNA : SW_HIDE);
    const int view = ToPixels(editor::kAssignKeyClient.width, dpi_);
    for (int s = 1; s <= KeyAssignment::kSlots; ++s) {
      const editor::Slot& slot = dialog_.SlotAt(s);
      editor::Slot& shown = shown_[static_cast<std::size_t>(s - 1)];
      if (placed_ && slot.left == shown.left && slot.top == shown.top &&
          slot.width == shown.width && slot.caption == shown.caption &&
          slot.colour == shown.colour) {
        continue;
      }
      if (!placed_ || slot.caption != shown.caption) {
        SetWindowTextW(Slot(s), ToWide(slot.caption).c_str());
      }
      // Slots scrolled out of view are parked just right of the client area, so no
      // window coordinate grows with the strip.
      int left = ToPixels(static_cast<int>(slot.left), dpi_);
      const int width = ToPixels(static_cast<int>(slot.width), dpi_);
      if (left + width <= 0 || left >= view) left = view + 1;
      MoveWindow(Slot(s), left, ToPixels(static_cast<int>(slot.top), dpi_), width,
                 ToPixels(static_cast<int>(editor::kSlotHeight), dpi_), TRUE);
      InvalidateRect(Slot(s), nullptr, FALSE);
      shown = slot;
    }
    placed_ = true;
    // Scroll positions are twips: a 32-bit range holds the longest strip unscaled.
    const editor::ScrollBar& bar = dialog_.Scroll();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    if (bar.maximum > bar.minimum) {
      info.nMin = static_cast<int>(bar.minimum);
      info.nMax = static_cast<int>(bar.maximum + editor::kStripView - 1);
      info.nPage = static_cast<UINT>(editor::kStripView);
      info.nPos = static_cast<int>(bar.value);
    } else {
      info.nPage = 1;
    }
    SetScrollInfo(Control(AssignControl::kScrollBar), SB_CTL, &info, TRUE);
  }

  void Scrolled(WORD request) {
    const editor::ScrollBar& bar = dialog_.Scroll();
    editor::StripTwips value = bar.value;
    switch (request) {
      case SB_LINELEFT:
        value -= editor::kScrollSmallStep;
        break;
      case SB_LINERIGHT:
        value += editor::kScrollSmallStep;
        break;
      case SB_PAGELEFT:
        value -= editor::kScrollLargeStep;
        break;
      case SB_PAGERIGHT:
        value += editor::kScrollLargeStep;
        break;
      case SB_LEFT:
        value = bar.minimum;
        break;
      case SB_RIGHT:
        value = bar.maximum;
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        // The message's own position has 16 bits only.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(Control(AssignControl::kScrollBar), SB_CTL, &info);
        value = info.nTrackPos;
        break;
      }
      default:
        return;
    }
    dialog_.ScrollTo(value);
  }

  void CloseBox() override { dialog_.CloseBox(); }

  void Command(UINT id, UINT code) override {
    if (id >= kSlotBase + 1 && id <= kSlotBase + KeyAssignment::kSlots) {
      if (code == BN_CLICKED) dialog_.EditText(static_cast<int>(id - kSlotBase));
      return;
    }
    if (id < kControlBase || id >= kControlBase + kControlCount) return;
    const auto which = static_cast<AssignControl>(id - kControlBase);
    if (which == AssignControl::kTabCatcher && code == BN_SETFOCUS) return dialog_.TabCaught();
    if (code != BN_CLICKED) return;
    switch (which) {
      case AssignControl::kText:
        return dialog_.AddText();
      case AssignControl::kMode:
        return dialog_.SwitchMode();
      case AssignControl::kNew:
        return dialog_.Clear();
      case AssignControl::kSave:
        return dialog_.Save(FromWide(TextOf(Control(AssignControl::kLabel))));
      case AssignControl::kBack:
        return dialog_.Back();
      default:
        return;
    }
  }

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_COMMAND:
        Command(LOWORD(wparam), HIWORD(wparam));
        Refresh();
        return 0;
      case WM_HSCROLL:
        Scrolled(LOWORD(wparam));
        Refresh();
        return 0;
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        dialog_.MouseDown(ButtonOf(message), HeldModifiers(wparam & MK_SHIFT, wparam & MK_CONTROL));
        Refresh();
        return 0;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        dialog_.MouseUp(ButtonOf(message));
        return 0;
      case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        const int s = static_cast<int>(item.CtlID) - static_cast<int>(kSlotBase);
        if (s < 1 || s > KeyAssignment::kSlots) return FALSE;
        DrawColouredButton(item, ColourOf(dialog_.SlotAt(s).colour), slot_font_.get());
        return TRUE;
      }
      case WM_ACTIVATE:
        // As a dialog does: the control that had the focus gets it back, after a
        // message box too.
        if (LOWORD(wparam) == WA_INACTIVE) {
          const HWND focus = GetFocus();
          if (focus && IsChild(hwnd(), focus)) focus_ = focus;
        } else if (focus_ && IsWindow(focus_)) {
          SetFocus(focus_);
        }
        return 0;
      default:
        return ModalDialog::OnMessage(message, wparam, lparam);
    }
  }

  // The capture field (id 0) and the label box (id 1).
  static LRESULT CALLBACK FieldProcedure(HWND field, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR id, DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<AssignKeyWindow*>(data);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(field, FieldProcedure, id);
    if (id == 1) {
      if (message == WM_LBUTTONDOWN) self->dialog_.LabelClick();
      return DefSubclassProc(field, message, wparam, lparam);
    }
    try {
      switch (message) {
        case WM_GETDLGCODE: {
          // Every key but Tab, which moves on to the catcher; a held Tab's repeats
          // stay here, where repeats record nothing.
          const auto* msg = reinterpret_cast<const MSG*>(lparam);
          const LRESULT code = DefSubclassProc(field, message, wparam, lparam);
          if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB &&
              !(msg->lParam & kRepeat)) {
            return code;
          }
          return code | DLGC_WANTALLKEYS;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
          // A key held down records once, not once per repeat.
          const bool repeat = lparam & kRepeat;
          const bool taken =
              !repeat && self->dialog_.KeyDown(
                             static_cast<int>(wparam),
                             HeldModifiers(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0));
          self->Refresh();
          // Alt and F10 never wake the window menu from here.
          if (taken || message == WM_SYSKEYDOWN) return 0;
          break;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
          const bool taken = self->dialog_.KeyUp(static_cast<int>(wparam));
          self->Refresh();
          if (taken || message == WM_SYSKEYUP) return 0;
          break;
        }
        case WM_CHAR:
        case WM_SYSCHAR:
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR:
          return 0;  // the field holds nothing anybody reads
        default:
          break;
      }
    } catch (...) {
      return 0;
    }
    return DefSubclassProc(field, message, wparam, lparam);
  }

  HINSTANCE instance_;
  HWND editor_;
  editor::WindowPosition editor_corner_;
  KeyAssignment dialog_;
  std::array<HWND, kControlCount> controls_{};
  std::array<HWND, KeyAssignment::kSlots> slots_{};
  std::array<editor::Slot, KeyAssignment::kSlots> shown_{};
  bool placed_ = false;
  HWND tips_ = nullptr;  // owned by the window, destroyed with it
  HWND focus_ = nullptr;
  UINT dpi_ = kDefaultDpi;
  UniqueFont ui_font_;
  UniqueFont slot_font_;
};

}  // namespace

void ShowAssignKeyDialog(HINSTANCE instance, HWND editor, const editor::AssignKeyRequest& request) {
  AssignKeyWindow dialog(instance, editor, request);
  RunModal(dialog, editor);
}

}  // namespace vantrel::win32
