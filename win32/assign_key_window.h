// The key-assignment dialog for one key and mouse state, shown modally over the
// editor: the label, the buttons, the strip of 60 step slots with its scroll bar,
// and the unseen capture field that records key presses. editor::KeyAssignment
// decides everything; this window shows it and hands it the user's events.
#pragma once

#include <windows.h>

#include "core/editor/assign.h"

namespace vantrel::win32 {

// Shows the dialog over `editor` and returns when it has closed, however it was
// closed; saving writes request.entry.
void ShowAssignKeyDialog(HINSTANCE instance, HWND editor, const editor::AssignKeyRequest& request);

}  // namespace vantrel::win32
