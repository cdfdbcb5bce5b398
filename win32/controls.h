// What the program's windows do alike with their child controls: tool tips, text,
// and the owner-drawn buttons whose back colour carries meaning.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "core/editor/form_places.h"

namespace vantrel::win32 {

// A dialog's control as its table lists it; the table's order is the tab order.
struct DialogControl {
  int id = 0;
  const wchar_t* cls = nullptr;
  DWORD style = 0;
  editor::Twips place;
  std::u16string_view caption;
  DWORD ex_style = 0;
};
// Creates the table's controls, visible, with their captions; they are placed by
// PlaceControls at the window's DPI.
void CreateControls(HWND parent, HINSTANCE instance, std::span<const DialogControl> controls);
void PlaceControls(HWND parent, std::span<const DialogControl> controls, UINT dpi);

// A tool-tip window owned by `owner` (destroyed with it), and one tip per control.
HWND CreateToolTips(HINSTANCE instance, HWND owner);
void AddToolTip(HWND tips, HWND owner, HWND control, std::u16string_view tip);

std::wstring TextOf(HWND control);

// A push button drawn on `back`, raised or pressed, with its caption centred in
// `font` and the focus rectangle when it has the focus.
void DrawColouredButton(const DRAWITEMSTRUCT& item, COLORREF back, HFONT font);

}  // namespace vantrel::win32
