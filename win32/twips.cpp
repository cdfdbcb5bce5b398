#include "win32/twips.h"

#include <cmath>

#include "core/editor/editor.h"
#include "win32/system_dll.h"

namespace vantrel::win32 {
namespace {

// A user32 call of newer systems, or null.
template <typename Function>
Function User32(const char* name) {
  return SystemFunction<Function>(L"user32.dll", name);
}

UINT ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

NONCLIENTMETRICSW NonClientMetrics(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto for_dpi = User32<ForDpi>("SystemParametersInfoForDpi");
  if (for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics;
  }
  // The system's metrics are for the system's DPI.
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(ScreenDpi()));
  } else {
    metrics.lfMessageFont.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
    metrics.lfMessageFont.lfCharSet = DEFAULT_CHARSET;
  }
  return metrics;
}

}  // namespace

UINT WindowDpi(HWND window) {
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto for_window = User32<ForWindow>("GetDpiForWindow");
  const UINT dpi = for_window && window ? for_window(window) : 0;
  return dpi ? dpi : DesktopDpi();
}

UINT DesktopDpi() {
  using ForSystem = UINT(WINAPI*)();
  static const auto for_system = User32<ForSystem>("GetDpiForSystem");
  const UINT dpi = for_system ? for_system() : 0;
  return dpi ? dpi : ScreenDpi();
}

RECT PixelRect(const editor::Twips& place, UINT dpi, POINT origin) {
  const int left = origin.x + place.left, top = origin.y + place.top;
  // Both edges are scaled, so neighbours stay apart by the same rounding.
  return {ToPixels(left, dpi), ToPixels(top, dpi), ToPixels(left + place.width, dpi),
          ToPixels(top + place.height, dpi)};
}

SIZE FrameSize(SIZE client, DWORD style, DWORD ex_style, bool menu, UINT dpi) {
  RECT r{0, 0, client.cx, client.cy};
  using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto for_dpi = User32<ForDpi>("AdjustWindowRectExForDpi");
  if (!for_dpi || !for_dpi(&r, style, menu, ex_style, dpi)) {
    AdjustWindowRectEx(&r, style, menu, ex_style);
  }
  return {r.right - r.left, r.bottom - r.top};
}

void SizeClientArea(HWND window, const editor::Twips& client, DWORD style, UINT dpi) {
  const SIZE size = FrameSize({ToPixels(client.width, dpi), ToPixels(client.height, dpi)}, style,
                              0, false, dpi);
  SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceControl(HWND control, const editor::Twips& place, UINT dpi) {
  const RECT r = PixelRect(place, dpi);
  MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

UniqueFont MessageFont(UINT dpi) {
  const NONCLIENTMETRICSW metrics = NonClientMetrics(dpi);
  return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

UniqueFont NamedFont(const wchar_t* face, double points, UINT dpi) {
  LOGFONTW font{};
  font.lfHeight = -std::lround(points * dpi / 72);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return UniqueFont(CreateFontIndirectW(&font));
}

void SetFontOfChildren(HWND parent, HFONT font) {
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM f) -> BOOL {
        SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(f), TRUE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(font));
}

POINT DesktopPixels(editor::WindowPosition where) {
  const UINT dpi = DesktopDpi();
  return {ToPixels(where.left, dpi), ToPixels(where.top, dpi)};
}

editor::WindowPosition DesktopTwips(POINT corner) {
  const UINT dpi = DesktopDpi();
  return {ToTwips(corner.y, dpi), ToTwips(corner.x, dpi)};
}

void MoveOntoScreen(HWND window, POINT corner) {
  RECT now{};
  GetWindowRect(window, &now);
  const int width = now.right - now.left, height = now.bottom - now.top;
  const RECT there{corner.x, corner.y, corner.x + width, corner.y + height};
  if (!MonitorFromRect(&there, MONITOR_DEFAULTTONULL)) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&there, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& work = monitor.rcWork;
      const editor::WindowPosition moved =
          editor::MoveInto({corner.y, corner.x}, {0, 0, width, height},
                           {work.left, work.top, work.right - work.left, work.bottom - work.top});
      corner = {moved.left, moved.top};
    }
  }
  SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveToSuggestedCorner(HWND window, LPARAM suggested) {
  const RECT* r = reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(window, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vantrel::win32
