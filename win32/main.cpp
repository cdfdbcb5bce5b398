// Vantrel.exe: the resident FK keyboard program. No command-line options; all
// configuration is in "Vantrel.sys" in the working directory.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "win32/main_window.h"

namespace {

vantrel::win32::MainWindow* g_window = nullptr;
LONG g_released = 0;

// A dying process must not leave split-mode keys pressed in the session.
void ReleaseKeysBeforeDying() noexcept {
  if (!g_window || InterlockedExchange(&g_released, 1) != 0) return;
  g_window->ReleaseHeldKeysFromAnyThread();
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
  vantrel::win32::MainWindow window(instance);
  if (!window.Create()) return 1;
  g_window = &window;
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);

  window.Start();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_window = nullptr;
  return 0;
}
