// The scheduling of the thread that serves the FK device's line.
#pragma once

namespace vantrel::win32 {

// Raises the calling thread above the normal priority of the program's other threads
// and of ordinary programs. The line thread only waits and hands bytes on, but every
// key press and lamp frame passes through it: once it waits behind busy programs for
// its turn at a core, the wait shows between a press and its lamp. It does next to no
// work, so it takes nothing that others would miss. Failing to raise it changes
// nothing but that wait, so a failure is ignored.
void RaiseThisThreadForTheLine() noexcept;

}  // namespace vantrel::win32
