// The help file, shown by the system's HTML Help viewer.
#pragma once

#include <windows.h>

namespace vantrel::win32 {

// Shows "Vantrel.chm" from the program's own folder, owned by `owner`. The viewer
// (hhctrl.ocx) is loaded from System32 the first time, not at start-up: a DLL of
// that name in the program's or the working folder is never loaded. Nothing
// happens when the program's folder cannot be had or the viewer cannot be loaded.
void ShowHelp(HWND owner);

}  // namespace vantrel::win32
