// Where a machine-wide install's Vantrel keeps its settings and layouts.
#pragma once

namespace vantrel::win32 {

// Vantrel keeps its settings and layouts in its working directory. Started in its
// own program folder (the machine-wide shortcuts start it there, as does a double
// click on Vantrel.exe) or in the system folder (a start by the system), where a
// user may not write and every user would share one, it works in the user's own
// Documents\Vantrel instead: made the first time, with the example layouts of the
// program folder copied in. Any other working directory is the user's choice and
// stays. When the folder cannot be made, the working directory stays as it was.
void EnterUserWorkingFolder();

}  // namespace vantrel::win32
