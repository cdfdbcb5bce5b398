#include "win32/line_thread.h"

#include <windows.h>

namespace vantrel::win32 {

void RaiseThisThreadForTheLine() noexcept {
  // Above normal, not higher: enough to run ahead of normal threads when a byte
  // arrives, without competing with the system's own time-critical work.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

}  // namespace vantrel::win32
