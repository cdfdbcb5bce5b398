// The text input dialog ("テキスト入力"): the user types the text of a text step,
// new or edited; editor::TextInput decides what is handed back.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "core/editor/form_places.h"

namespace vantrel::win32 {

// Shows the dialog modally over `owner`, the box holding `text`, placed after the
// editor window's corner `editor`. The text saved, or nothing when the dialog was
// left without saving or saved empty.
std::optional<std::u16string> AskText(HINSTANCE instance, HWND owner, std::u16string_view text,
                                      editor::WindowPosition editor);

}  // namespace vantrel::win32
