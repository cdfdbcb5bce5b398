#include "win32/controls.h"

#include <commctrl.h>

#include "win32/codec.h"
#include "win32/twips.h"

namespace vantrel::win32 {

void CreateControls(HWND parent, HINSTANCE instance, std::span<const DialogControl> controls) {
  for (const DialogControl& c : controls) {
    CreateWindowExW(c.ex_style, c.cls, ToWide(c.caption).c_str(), WS_CHILD | WS_VISIBLE | c.style,
                    0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                    instance, nullptr);
  }
}

void PlaceControls(HWND parent, std::span<const DialogControl> controls, UINT dpi) {
  for (const DialogControl& c : controls) PlaceControl(GetDlgItem(parent, c.id), c.place, dpi);
}

HWND CreateToolTips(HINSTANCE instance, HWND owner) {
  return CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, nullptr);
}

void AddToolTip(HWND tips, HWND owner, HWND control, std::u16string_view tip) {
  if (!tips || !control || tip.empty()) return;
  std::wstring text = ToWide(tip);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = owner;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text.data();  // copied by the control
  SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void DrawColouredButton(const DRAWITEMSTRUCT& item, COLORREF back, HFONT font) {
  const HDC dc = item.hDC;
  RECT r = item.rcItem;
  SetDCBrushColor(dc, back);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  const bool pressed = item.itemState & ODS_SELECTED;
  DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  const std::wstring caption = TextOf(item.hwndItem);
  const HGDIOBJ before = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  RECT text = r;
  if (pressed) OffsetRect(&text, 1, 1);
  DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, before);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&r, -3, -3);
    DrawFocusRect(dc, &r);
  }
}

}  // namespace vantrel::win32
