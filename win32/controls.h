// What the program's windows do alike with their child controls: tool tips, text,
// and the owner-drawn buttons whose back colour carries meaning.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vantrel::win32 {

// A tool-tip window owned by `owner` (destroyed with it), and one tip per control.
HWND CreateToolTips(HINSTANCE instance, HWND owner);
void AddToolTip(HWND tips, HWND owner, HWND control, std::u16string_view tip);

std::wstring TextOf(HWND control);

// A push button drawn on `back`, raised or pressed, with its caption centred in
// `font` and the focus rectangle when it has the focus.
void DrawColouredButton(const DRAWITEMSTRUCT& item, COLORREF back, HFONT font);

}  // namespace vantrel::win32
