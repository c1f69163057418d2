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
  // One operation for all the paths, as the real shell does.
  std::vector<Status> RecycleFiles(std::span<const std::string> paths) override;

  // The paths sent to the Recycle Bin, in order.
  std::vector<std::string> Recycled() const;
  // The shell operations so far: one for each RecycleFile or RecycleFiles.
  int Operations() const;

 private:
  Status RemoveTree(const std::string& path);
  Status Recycle(const std::string& path);

  MemoryFileSystem& fs_;
  mutable std::mutex mutex_;
  std::vector<std::string> recycled_;
  int operations_ = 0;
};

}  // namespace cvn::platform
