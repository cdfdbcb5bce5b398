// The rules dialog ("レイアウト切替"): the layout rules in order, to delete, move,
// or set aside all together.
#pragma once

#include <windows.h>

#include "core/shell/layout_rules.h"

namespace vantrel::win32 {

inline constexpr wchar_t kRulesClassName[] = L"VantrelRulesWindow";

// Shows the dialog modally over `owner`, centred on the screen, working on `rules`;
// returns when the user closes it.
void ShowRulesDialog(HINSTANCE instance, HWND owner, shell::RulesEditor& rules);

}  // namespace vantrel::win32
