#include "win32/rules_window.h"

#include <string>

#include "win32/codec.h"
#include "win32/controls.h"
#include "win32/modal.h"
#include "win32/twips.h"
#include "win32/window.h"

namespace vantrel::win32 {
namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr wchar_t kTitle[] = L"レイアウト切替";
// Clear of IDOK and IDCANCEL, which the dialog keys (Enter, Esc) send.
enum ControlId { kList = 100, kUp, kDown, kDelete, kSwitch, kClose };

constexpr editor::Twips kClient{0, 0, 6600, 4260};
// In tab order.
constexpr DialogControl kControls[] = {
    {kList,
     L"LISTBOX",
     LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
     {120, 120, 5040, 3180},
     u"",
     WS_EX_CLIENTEDGE},
    {kUp, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, {5280, 120, 1200, 390}, u"上へ"},
    {kDown, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, {5280, 600, 1200, 390}, u"下へ"},
    {kDelete, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, {5280, 1200, 1200, 390}, u"削除"},
    {kSwitch,
     L"BUTTON",
     BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP,
     {120, 3420, 5040, 330},
     u"ウィンドウに合わせてレイアウトを切り替える"},
    {kClose,
     L"BUTTON",
     BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP,
     {5280, 3750, 1200, 390},
     u"閉じる"},
};

class RulesWindow final : public ModalDialog {
 public:
  RulesWindow(HINSTANCE instance, HWND owner, shell::RulesEditor& rules)
      : owner_(owner), rules_(rules) {
    const WindowClass cls{kRulesClassName, nullptr, LoadCursorW(nullptr, IDC_ARROW),
                          GetSysColorBrush(COLOR_BTNFACE)};
    if (!CreateWindowOf(instance, cls, 0, kTitle, kStyle,
                        {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT}, owner)) {
      return;
    }
    CreateControls(hwnd(), instance, kControls);
    CheckDlgButton(hwnd(), kSwitch, rules_.Enabled() ? BST_CHECKED : BST_UNCHECKED);
    Fill(0);
    Layout(WindowDpi(hwnd()));
    Centre();
    SetFocus(GetDlgItem(hwnd(), kList));
  }

 private:
  void CloseBox() override { EndModal(hwnd(), owner_); }

  void Command(UINT id, UINT code) override {
    const HWND list = GetDlgItem(hwnd(), kList);
    const LRESULT picked = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const auto row = static_cast<std::size_t>(picked < 0 ? 0 : picked);
    if (id == kList && code == LBN_SELCHANGE) {
      Enable();
    } else if (code != BN_CLICKED) {
      return;
    } else if (id == kUp && picked > 0 && rules_.MoveUp(row)) {
      Fill(row - 1);
    } else if (id == kDown && picked >= 0 && rules_.MoveDown(row)) {
      Fill(row + 1);
    } else if (id == kDelete && picked >= 0 && rules_.Delete(row)) {
      Fill(row);
    } else if (id == kSwitch) {
      rules_.SetEnabled(IsDlgButtonChecked(hwnd(), kSwitch) == BST_CHECKED);
    } else if (id == kClose || id == IDCANCEL || id == IDOK) {
      EndModal(hwnd(), owner_);
    }
  }

  // The rows again, the one at `selected` (or the last) chosen.
  void Fill(std::size_t selected) {
    const HWND list = GetDlgItem(hwnd(), kList);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::vector<std::u16string> rows = rules_.Rows();
    for (const std::u16string& row : rows) {
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(row).c_str()));
    }
    if (!rows.empty()) {
      SendMessageW(list, LB_SETCURSEL, std::min(selected, rows.size() - 1), 0);
    }
    Enable();
  }

  void Enable() {
    const auto picked = SendMessageW(GetDlgItem(hwnd(), kList), LB_GETCURSEL, 0, 0);
    const auto count = SendMessageW(GetDlgItem(hwnd(), kList), LB_GETCOUNT, 0, 0);
    EnableWindow(GetDlgItem(hwnd(), kUp), picked > 0);
    EnableWindow(GetDlgItem(hwnd(), kDown), picked >= 0 && picked + 1 < count);
    EnableWindow(GetDlgItem(hwnd(), kDelete), picked >= 0);
  }

  void Layout(UINT dpi) override {
    SizeClientArea(hwnd(), kClient, kStyle, dpi);
    PlaceControls(hwnd(), kControls, dpi);
    UniqueFont font = MessageFont(dpi);
    SetFontOfChildren(hwnd(), font.get());
    font_ = std::move(font);
  }

  // In the middle of the work area of the monitor the cursor is on.
  void Centre() {
    POINT cursor{};
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT window{};
    if (!GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor) ||
        !GetWindowRect(hwnd(), &window)) {
      return;
    }
    const RECT& work = monitor.rcWork;
    SetWindowPos(hwnd(), nullptr,
                 work.left + (work.right - work.left - (window.right - window.left)) / 2,
                 work.top + (work.bottom - work.top - (window.bottom - window.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HWND owner_;
  shell::RulesEditor& rules_;
  UniqueFont font_;
};

}  // namespace

void ShowRulesDialog(HINSTANCE instance, HWND owner, shell::RulesEditor& rules) {
  RulesWindow dialog(instance, owner, rules);
  RunModal(dialog, owner);
}

}  // namespace vantrel::win32
