#include "platform/memory/memory_shell.h"

namespace cvn::platform {

Status MemoryShell::RemoveTree(const std::string& path) {
  const std::optional<uint32_t> attributes = fs_.GetAttributes(path);
  if (!attributes) return Status(StatusCode::kNotFound, 2);
  // The Recycle Bin takes read-only items as well.
  if (*attributes & attr::kReadOnly) fs_.SetAttributes(path, *attributes & ~attr::kReadOnly);
  if (!(*attributes & attr::kDirectory)) return fs_.DeleteFile(path);
  std::unique_ptr<FolderListing> listing;
  if (Status s = fs_.ListFolder(path, &listing); !s.ok()) return s;
  std::vector<std::string> names;
  FindEntry entry;
  while (listing->Next(&entry).ok()) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  for (const std::string& name : names) {
    if (Status s = RemoveTree(JoinPath(path, name)); !s.ok()) return s;
  }
  return fs_.RemoveFolder(path);
}

Status MemoryShell::Recycle(const std::string& path) {
  Status s = RemoveTree(path);
  if (s.ok()) {
    std::lock_guard lock(mutex_);
    recycled_.push_back(path);
  }
  return s;
}

Status MemoryShell::RecycleFile(std::string_view path) {
  {
    std::lock_guard lock(mutex_);
    ++operations_;
  }
  return Recycle(std::string(path));
}

std::vector<Status> MemoryShell::RecycleFiles(std::span<const std::string> paths) {
  {
    std::lock_guard lock(mutex_);
    ++operations_;
  }
  std::vector<Status> results;
  for (const std::string& path : paths) results.push_back(Recycle(path));
  return results;
}

int MemoryShell::Operations() const {
  std::lock_guard lock(mutex_);
  return operations_;
}

std::vector<std::string> MemoryShell::Recycled() const {
  std::lock_guard lock(mutex_);
  return recycled_;
}

}  // namespace cvn::platform
