// Places in twips (1440 an inch) turned into pixels at a window's DPI, and what else
// follows the DPI: the frame around a client area and the user-interface font. The
// calls that per-monitor DPI brought (Windows 10) are looked up at run time, with
// the system-wide DPI in their place on older systems.
#pragma once

#include <windows.h>

#include "core/editor/form_places.h"
#include "win32/handles.h"

namespace vantrel::win32 {

inline constexpr UINT kDefaultDpi = 96;
inline constexpr int kTwipsPerInch = 1440;

// The window's DPI, else the system's.
UINT WindowDpi(HWND window);
// The DPI of positions on the desktop, which the settings keep in twips: the
// system's, the same for every window, so a stored position comes back unchanged.
UINT DesktopDpi();

inline int ToPixels(int twips, UINT dpi) {
  return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}
inline int ToTwips(int pixels, UINT dpi) {
  return MulDiv(pixels, kTwipsPerInch, static_cast<int>(dpi));
}
// A control's rectangle in its parent's client area; `origin` (twips) is the corner
// of the container it is placed in.
RECT PixelRect(const editor::Twips& place, UINT dpi, POINT origin = {0, 0});

// The outer size of a window of this style whose client area is `client` pixels.
SIZE FrameSize(SIZE client, DWORD style, DWORD ex_style, bool menu, UINT dpi);
// A dialog's size at the DPI: a window of this style without a menu whose client
// area is `client` twips; its corner stays.
void SizeClientArea(HWND window, const editor::Twips& client, DWORD style, UINT dpi);
// A control moved to its place (twips) at the DPI.
void PlaceControl(HWND control, const editor::Twips& place, UINT dpi);

// The font dialogs use (the system's message font) at the DPI; a font by face name.
UniqueFont MessageFont(UINT dpi);
UniqueFont NamedFont(const wchar_t* face, double points, UINT dpi);
void SetFontOfChildren(HWND parent, HFONT font);

// A window's top-left corner on the desktop: twips as stored <-> pixels.
POINT DesktopPixels(editor::WindowPosition where);
editor::WindowPosition DesktopTwips(POINT corner);
// After WM_DPICHANGED: the window's corner goes where the system suggests (the
// message's LPARAM); its size follows from the twips at the new DPI.
void MoveToSuggestedCorner(HWND window, LPARAM suggested);
// Moves the window's top-left corner to `corner`; a place off every monitor (one
// was removed since) becomes the nearest monitor's work area.
void MoveOntoScreen(HWND window, POINT corner);

}  // namespace vantrel::win32
