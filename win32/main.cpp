// Vantrel.exe: the resident FK keyboard program. No command-line options; all
// configuration is in "Vantrel.sys" in the working directory.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "win32/main_window.h"
#include "win32/working_folder.h"

namespace {

vantrel::win32::MainWindow* g_window = nullptr;

// A failing or dying program must not leave keys it pressed down in the session:
// split mode's, or a chord's cut off in the middle.
void ReleaseKeysBeforeDying() noexcept {
  if (g_window) g_window->ReleaseEverythingDown();
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  ReleaseKeysBeforeDying();
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate() {
  ReleaseKeysBeforeDying();
  std::abort();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A DLL loaded by name, by us or by a system DLL on our behalf (the file dialogs,
  // printing), comes from System32 only: never from the program's folder or the
  // working folder, where layouts from anywhere are opened.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
  vantrel::win32::EnterUserWorkingFolder();
  vantrel::win32::MainWindow window(instance);
  if (!window.Create()) return 1;
  g_window = &window;
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
  vantrel::win32::SetFailureHandler(ReleaseKeysBeforeDying);

  window.Start();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  vantrel::win32::SetFailureHandler(nullptr);
  g_window = nullptr;
  return 0;
}
