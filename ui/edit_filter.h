// An edit that refuses some typed characters, as the wizard's rules decide.
// Pasted text passes through the same rule, character by character, so a
// paste cannot bring in what typing could not.
#pragma once

#include "platform/win32/windows_api.h"

namespace cvn::ui {

// Whether the edit takes `typed`; `field_empty` tells whether it is empty.
using CharacterRule = bool (*)(char32_t typed, bool field_empty);

// Installs `rule` on `edit` for the edit's lifetime.
void FilterTypedCharacters(HWND edit, CharacterRule rule);

}  // namespace cvn::ui
