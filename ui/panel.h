// A plain container window for grouping controls. It paints the button-face
// colour and passes its children's notifications (WM_COMMAND, WM_NOTIFY,
// colour requests) up to its parent, so that they reach the form however
// deeply the control is nested.
#pragma once

#include "platform/win32/windows_api.h"

namespace cvn::ui {

// The window class name of panels, registered on the first call.
const wchar_t* PanelClassName();

}  // namespace cvn::ui
