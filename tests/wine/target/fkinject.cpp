// Sends synthetic input through the program's own input and clipboard classes,
// one command-line token per event, in order:
//   kd:VK / ku:VK   key down / up (VK decimal or 0x..)    m:FLAGS  mouse_event flags
//   c:HEX           text onto the clipboard, given as the hex digits of its UTF-8
//                   form (command lines are not safe for it under every locale)
//   w:MS            wait
// Exit code 0, or 2 for a token it does not know.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "win32/clipboard.h"
#include "win32/input.h"

int wmain(int argc, wchar_t** argv) {
  vantrel::win32::SendInputSink input;
  vantrel::win32::Win32Clipboard clipboard;
  for (int i = 1; i < argc; ++i) {
    const std::wstring token = argv[i];
    const std::wstring value = token.substr(token.find(L':') + 1);
    const auto number = static_cast<std::uint32_t>(std::wcstoul(value.c_str(), nullptr, 0));
    if (token.rfind(L"kd:", 0) == 0) {
      input.Key(static_cast<std::uint8_t>(number), false);
    } else if (token.rfind(L"ku:", 0) == 0) {
      input.Key(static_cast<std::uint8_t>(number), true);
    } else if (token.rfind(L"m:", 0) == 0) {
      input.Mouse(number);
    } else if (token.rfind(L"c:", 0) == 0) {
      std::string utf8;
      for (std::size_t at = 0; at + 1 < value.size(); at += 2)
        utf8.push_back(static_cast<char>(std::wcstoul(value.substr(at, 2).c_str(), nullptr, 16)));
      std::wstring text(utf8.size(), L'\0');
      text.resize(static_cast<std::size_t>(
          MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                              static_cast<int>(text.size()))));
      if (clipboard.SetText(std::u16string(text.begin(), text.end())) !=
          vantrel::device::Clipboard::Result::kOk)
        return 3;
    } else if (token.rfind(L"w:", 0) == 0) {
      Sleep(number);
    } else {
      return 2;
    }
  }
  return 0;
}
