// The key-assignment dialog for one key and mouse state, shown modally over the
// editor. For now a window captioned as the dialog is, with its close box: the
// editor's key buttons already light the key and put the lamps out when it closes.
#pragma once

#include <windows.h>

namespace vantrel::win32 {

// Shows the dialog for (mouse_state, key) over `editor` at the editor's top-left
// corner and returns when it has closed, however it was closed.
void ShowAssignKeyDialog(HINSTANCE instance, HWND editor, int key, int mouse_state);

}  // namespace vantrel::win32
