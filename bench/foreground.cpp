// Brings windows to the front for bench/rule_switch.py, one per line read, and raises
// EVENT_SYSTEM_FOREGROUND for each: Windows raises it itself as the window in front
// changes, Wine (8.0) does not, and the layout rules follow that event.
//   foreground.exe            reads "CLASS" lines; for each, the first window of that
//                             class comes to the front and "ok" (or "none") is printed
// Built by the benchmark itself with the mingw preset's compiler.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    line[std::strcspn(line, "\r\n")] = '\0';
    HWND window = FindWindowA(line, nullptr);
    if (window) {
      SetForegroundWindow(window);
      NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window, OBJID_WINDOW, CHILDID_SELF);
    }
    std::puts(window ? "ok" : "none");
    std::fflush(stdout);
  }
  return 0;
}
