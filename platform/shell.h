// The shell's services that the uninstaller uses.
#pragma once

#include <string_view>

#include "platform/status.h"

namespace cvn::platform {

class Shell {
 public:
  virtual ~Shell() = default;

  // Sends a file or folder (with its contents) to the Recycle Bin, from where
  // the user can restore it; asks nothing and shows nothing. kNotFound when it
  // does not exist; kAccessDenied when it is in use; kIoError for any other
  // failure. Safe on a worker thread.
  virtual Status RecycleFile(std::string_view path) = 0;
};

}  // namespace cvn::platform
