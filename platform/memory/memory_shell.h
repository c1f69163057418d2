// The shell over a MemoryFileSystem: what is recycled leaves the file
// system and is kept in a list a test can read.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/memory/memory_filesystem.h"
#include "platform/shell.h"

namespace cvn::platform {

class MemoryShell : public Shell {
 public:
  explicit MemoryShell(MemoryFileSystem& fs) : fs_(fs) {}

  Status RecycleFile(std::string_view path) override;

  // The paths sent to the Recycle Bin, in order.
  std::vector<std::string> Recycled() const;

 private:
  Status RemoveTree(const std::string& path);

  MemoryFileSystem& fs_;
  mutable std::mutex mutex_;
  std::vector<std::string> recycled_;
};

}  // namespace cvn::platform
