// The program's icon: the first icon among the executable's resources
// (app/corvane.rc, drawn by the build's corvane-pictures).
#pragma once

#include "platform/win32/windows_api.h"

namespace cvn::ui {

// The program's icon at `size` pixels; the system's application icon when
// the executable has none. The caller destroys it (DestroyIcon).
HICON LoadProgramIcon(int size);

// The program's icon at the system's large or small icon size, for window
// classes: loaded once and kept for the life of the process, never destroyed.
HICON ProgramClassIcon(bool small);

}  // namespace cvn::ui
