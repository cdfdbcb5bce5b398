#include "win32/input.h"

#include <windows.h>

#include "win32/codec.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

bool Down(int vk) {
  return (static_cast<unsigned short>(GetAsyncKeyState(vk)) & 0x8000u) != 0;
}

// The relative id of the token's mandatory label: 0x2000 medium, 0x3000 high...
std::optional<std::uint32_t> IntegrityLevel(HANDLE token) {
  alignas(TOKEN_MANDATORY_LABEL) BYTE buffer[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &size)) return {};
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
  if (!IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return {};
  return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
}

std::optional<std::uint32_t> LevelOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  const UniqueHandle owned(token);
  return IntegrityLevel(owned.Get());
}

std::optional<std::uint32_t> LevelOf(DWORD process_id) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return {};
  return LevelOf(process.Get());
}

}  // namespace

ForegroundIntegrity::ForegroundIntegrity() : own_level_(LevelOf(GetCurrentProcess())) {}

device::ForegroundWindow ForegroundIntegrity::Front() {
  return Describe(GetForegroundWindow());
}

device::ForegroundWindow ForegroundIntegrity::UnderCursor() {
  POINT cursor;
  if (!GetCursorPos(&cursor)) return {};
  const HWND window = WindowFromPoint(cursor);
  return Describe(window ? GetAncestor(window, GA_ROOT) : nullptr);
}

device::ForegroundWindow ForegroundIntegrity::Describe(HWND window) const {
  if (!window) return {};
  device::ForegroundWindow front;
  front.id = reinterpret_cast<std::uintptr_t>(window);
  // Another process's caption is read without a message, so a hung window cannot hang us.
  wchar_t title[256];
  const int n = GetWindowTextW(window, title, 256);
  if (n > 0) front.title = FromWide(std::wstring_view(title, static_cast<std::size_t>(n)));
  DWORD process_id = 0;
  if (!GetWindowThreadProcessId(window, &process_id) || process_id == GetCurrentProcessId()) {
    return front;
  }
  const std::optional<std::uint32_t> theirs = LevelOf(process_id);
  front.blocked = theirs && own_level_ && *theirs > *own_level_;
  return front;
}

int SendInputSink::Key(std::uint8_t vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = 0;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  in.ki.time = 0;
  in.ki.dwExtraInfo = 0;
  const int inserted = Send(in);
  // A release the system refused leaves the key down.
  if (inserted > 0) keys_down_[vk] = !up;
  return inserted;
}

int SendInputSink::Mouse(std::uint32_t flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = 0;
  in.mi.dy = 0;
  in.mi.mouseData = 0;
  // Without MOUSEEVENTF_MOVE the coordinates are ignored: the event happens where
  // the cursor is. Strip it in case a caller passes it, as the contract says "no move".
  in.mi.dwFlags =
      static_cast<DWORD>(flags) & ~static_cast<DWORD>(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
  in.mi.time = 0;
  in.mi.dwExtraInfo = 0;
  const int inserted = Send(in);
  if (inserted > 0) {
    // Down and up flags of the left, right and middle buttons: 2/4, 8/16, 32/64.
    for (std::size_t b = 0; b < buttons_down_.size(); ++b) {
      const DWORD down = 2u << (2 * b);
      if (in.mi.dwFlags & down) buttons_down_[b] = true;
      if (in.mi.dwFlags & (down << 1)) buttons_down_[b] = false;
    }
  }
  return inserted;
}

void SendInputSink::ReleaseEverythingDown() noexcept {
  for (std::size_t b = 0; b < buttons_down_.size(); ++b) {
    if (!buttons_down_[b].exchange(false)) continue;
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = 4u << (2 * b);
    Send(in);
  }
  for (std::size_t vk = keys_down_.size(); vk-- > 0;) {
    if (!keys_down_[vk].exchange(false)) continue;
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(vk);
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    Send(in);
  }
}

bool AsyncMouseButtons::LeftDown() const {
  return Down(VK_LBUTTON);
}
bool AsyncMouseButtons::MiddleDown() const {
  return Down(VK_MBUTTON);
}
bool AsyncMouseButtons::RightDown() const {
  return Down(VK_RBUTTON);
}

}  // namespace vantrel::win32
