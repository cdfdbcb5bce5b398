#include "win32/tray.h"

#include <algorithm>

#include "win32/resource.h"

namespace vantrel::win32 {

namespace {

constexpr UINT kIconId = 1;

// Copies as much of text as fits, always terminated.
template <std::size_t N>
void CopyText(wchar_t (&field)[N], std::u16string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::copy_n(text.data(), n, field);
  field[n] = L'\0';
}

HICON LoadTrayIcon(HINSTANCE instance, int id) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_DEFAULTCOLOR));
}

}  // namespace

Tray::Tray(HINSTANCE instance, HWND window)
    : idle_(LoadTrayIcon(instance, IDI_IDLE)), active_(LoadTrayIcon(instance, IDI_ACTIVE)) {
  record_.cbSize = sizeof record_;
  record_.hWnd = window;
  record_.uID = kIconId;
}

void Tray::Show(shell::TrayIcon icon, std::u16string_view tip) {
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = kCallbackMessage;
  record_.hIcon = icon == shell::TrayIcon::kActive ? active_.get() : idle_.get();
  CopyText(record_.szTip, tip);
  if (!Shell_NotifyIconW(NIM_MODIFY, &record_)) Shell_NotifyIconW(NIM_ADD, &record_);
}

void Tray::Remove() {
  Shell_NotifyIconW(NIM_DELETE, &record_);
}

void Tray::Balloon(std::u16string_view title, std::u16string_view text) {
  NOTIFYICONDATAW info = record_;
  info.uFlags = NIF_INFO;
  info.dwInfoFlags = NIIF_WARNING;
  CopyText(info.szInfoTitle, title);
  CopyText(info.szInfo, text);
  Shell_NotifyIconW(NIM_MODIFY, &info);
}

}  // namespace vantrel::win32
