// Measures how quickly a window answers: sends WM_NULL to the first window of a
// class again and again for a while and prints "ping COUNT MAX_MS TIMEOUTS".
//   fkping CLASS MS
// A window whose thread waits on something (a serial line, say) answers late or not.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  HWND window = FindWindowW(argv[1], nullptr);
  if (!window) return 4;
  const ULONGLONG end =
      GetTickCount64() + static_cast<ULONGLONG>(std::wcstol(argv[2], nullptr, 10));
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  long count = 0, timeouts = 0;
  double max_ms = 0;
  while (GetTickCount64() < end) {
    DWORD_PTR result = 0;
    QueryPerformanceCounter(&before);
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) ++timeouts;
    QueryPerformanceCounter(&after);
    const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    if (ms > max_ms) max_ms = ms;
    ++count;
    Sleep(10);
  }
  std::printf("ping %ld %.1f %ld\n", count, max_ms, timeouts);
  return 0;
}
