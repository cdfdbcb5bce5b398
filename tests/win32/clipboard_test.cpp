// The clipboard through the real calls, their sequence checked on the way to the system:
// Windows (not Wine) refuses SetClipboardData after EmptyClipboard on a clipboard opened
// without an owner.
#include "win32/clipboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "win32/codec.h"

namespace vantrel::win32 {
namespace {

std::string g_calls;
bool g_refuse = false;
Win32Clipboard* g_clipboard = nullptr;
int g_rendered = 0;

// What a program asking for `format` gets, read as a zero-terminated string (code page
// 932 for CF_TEXT); nothing when there is none.
std::optional<std::u16string> Pasted(UINT format = CF_UNICODETEXT) {
  EXPECT_TRUE(OpenClipboard(nullptr));
  std::optional<std::u16string> text;
  const HANDLE h = GetClipboardData(format);
  if (const void* p = h ? GlobalLock(h) : nullptr) {
    text = format == CF_TEXT ? Cp932Codec().Decode(static_cast<const char*>(p))
                             : std::u16string(static_cast<const char16_t*>(p));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

// The text is promised, handed over once when a program asks, and marked for clipboard
// history to leave alone; the last one outlives its owner.
TEST(Clipboard, PromisesTheTextAndHandsItOverOnceAProgramAsks) {
  if (const char* acp = std::getenv("VANTREL_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
  }
  WNDCLASSW cls{};
  cls.lpszClassName = L"VantrelTestClipboardOwner";
  // The owner renders as the main window does.
  cls.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == WM_RENDERFORMAT) g_rendered += g_clipboard->Render(static_cast<UINT>(wparam));
    if (message == WM_RENDERALLFORMATS) g_clipboard->RenderAll();
    if (message == WM_DESTROYCLIPBOARD) g_clipboard->Emptied();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  };
  RegisterClassW(&cls);
  HWND owner =
      CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  const ClipboardApi api{[](HWND owner) {
                           g_calls += owner ? "open(owner) " : "open(none) ";
                           return OpenClipboard(owner);
                         },
                         [] { return g_calls += "empty ", EmptyClipboard(); },
                         [](UINT format, HANDLE block) -> HANDLE {
                           g_calls += format != CF_UNICODETEXT ? "set(flag) "
                                      : block                  ? "set(text) "
                                                               : "promise(text) ";
                           if (g_refuse) return SetLastError(ERROR_ACCESS_DENIED), nullptr;
                           return SetClipboardData(format, block);
                         },
                         [] { return g_calls += "close", CloseClipboard(); }};
  Win32Clipboard clipboard(owner, api);
  g_clipboard = &clipboard;
  const std::u16string text = u"図面 ｱｲｳ abc";
  for (bool refuse : {true, false}) {
    g_calls.clear();
    g_refuse = refuse;
    EXPECT_EQ(clipboard.OfferText(text),
              refuse ? device::Clipboard::Result::kSetFailed : device::Clipboard::Result::kOk);
    EXPECT_EQ(g_calls, refuse ? "open(owner) empty promise(text) close"
                              : "open(owner) empty promise(text) set(flag) set(flag) set(flag) "
                                "set(flag) close");
  }
  g_calls.clear();
  EXPECT_EQ(Pasted(), text);
  EXPECT_EQ(Pasted(), text);
  EXPECT_EQ(g_rendered, 1);
  EXPECT_EQ(g_calls, "set(text) ");
  EXPECT_EQ(Pasted(RegisterClipboardFormatW(L"CanIncludeInClipboardHistory")), u"");  // 0: no
  if (GetACP() == 932) {  // the system's own conversion, in its code page
    EXPECT_EQ(Pasted(CF_TEXT), text);
  }
  // Promised, never asked for: rendered as the owner goes, so it stays on the clipboard.
  ASSERT_EQ(clipboard.OfferText(u"部品"), device::Clipboard::Result::kOk);
  DestroyWindow(owner);
  EXPECT_EQ(Pasted(), u"部品");
  EXPECT_EQ(g_rendered, 1);
}

}  // namespace
}  // namespace vantrel::win32
