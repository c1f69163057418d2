// The shell on the real API: the Recycle Bin through the shell's delete with
// undo. Under Wine it moves items to the XDG trash ($XDG_DATA_HOME/Trash).
#pragma once

#include "platform/shell.h"

namespace cvn::platform::win32 {

class Win32Shell final : public Shell {
 public:
  Status RecycleFile(std::string_view path) override;
  // One shell operation for all the paths; an item it leaves in place is
  // tried again on its own, for its own status.
  std::vector<Status> RecycleFiles(std::span<const std::string> paths) override;
};

}  // namespace cvn::platform::win32
