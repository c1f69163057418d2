// The shell's services that the uninstaller uses.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  // Sends many files and folders to the Recycle Bin, in one operation where
  // the shell can: one status for each path, as RecycleFile gives it. The
  // default sends them one at a time.
  virtual std::vector<Status> RecycleFiles(std::span<const std::string> paths) {
    std::vector<Status> results;
    results.reserve(paths.size());
    for (const std::string& path : paths) results.push_back(RecycleFile(path));
    return results;
  }
};

}  // namespace cvn::platform
