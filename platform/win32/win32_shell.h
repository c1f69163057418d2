// The shell on the real API: the Recycle Bin through the shell's delete with
// undo. Under Wine it moves items to the XDG trash ($XDG_DATA_HOME/Trash).
#pragma once

#include "platform/shell.h"

namespace cvn::platform::win32 {

class Win32Shell final : public Shell {
 public:
  Status RecycleFile(std::string_view path) override;
};

}  // namespace cvn::platform::win32
