#include "win32/help.h"

#include <htmlhelp.h>

#include <string>

#include "core/editor/form_places.h"
#include "win32/codec.h"
#include "win32/files.h"

namespace vantrel::win32 {

void ShowHelp(HWND owner) {
  using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  // Kept loaded: the viewer's window lives on after the call.
  static const HtmlHelpFunction html_help = [] {
    HMODULE viewer = LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return viewer ? reinterpret_cast<HtmlHelpFunction>(
                        reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")))
                  : nullptr;
  }();
  // A help file can run active content: only ours, beside the program, is opened.
  const std::wstring path = PathBesideProgram(ToWide(editor::kHelpFile));
  if (html_help && !path.empty()) html_help(owner, path.c_str(), HH_DISPLAY_TOPIC, 0);
}

}  // namespace vantrel::win32
