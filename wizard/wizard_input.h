// What the install path's edits take from the keyboard and from a dropped
// file. The window asks these as each character is typed.
#pragma once

#include <string>
#include <string_view>

namespace cvn::wizard {

// An identifier names a file: the characters a file name cannot hold are
// refused, and so is a space while the field is empty.
bool IdentifierAccepts(char32_t typed, bool field_empty);

// A setup path refuses the wildcards, and a space while the field is empty.
bool SetupPathAccepts(char32_t typed, bool field_empty);

// The identifier a dropped file suggests: its name, or, for a file named
// setup.exe or install.exe (any letter case), the name of its folder.
std::string IdentifierFromDroppedFile(std::string_view path);

}  // namespace cvn::wizard
