#include "win32/help.h"

#include <htmlhelp.h>

#include <string>

#include "core/editor/form_places.h"
#include "win32/codec.h"
#include "win32/files.h"
#include "win32/system_dll.h"

namespace vantrel::win32 {

void ShowHelp(HWND owner) {
  using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  static const auto html_help = SystemFunction<HtmlHelpFunction>(L"hhctrl.ocx", "HtmlHelpW");
  // A help file can run active content: only ours, beside the program, is opened.
  const std::wstring path = PathBesideProgram(ToWide(editor::kHelpFile));
  if (html_help && !path.empty()) html_help(owner, path.c_str(), HH_DISPLAY_TOPIC, 0);
}

}  // namespace vantrel::win32
