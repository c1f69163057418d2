#include "changes/save_changes_tree.h"

#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace cvn::changes {
namespace {

void WriteBytes(TChgArchive& archive, std::span<const uint8_t> bytes) {
  archive.WriteInt(static_cast<uint32_t>(bytes.size()));
  archive.WriteBlock(bytes.data(), bytes.size());
}

std::string_view BufferText(const Buffer& buffer, int32_t size) {
  return ZeroTerminatedText(buffer.get(), size);
}

// `prefix` is the path of the node's container: below the root key in the
// registry branch, from the drive in the file system.
void WriteNodeRecord(const TNodeData& d, const std::string& prefix, TChgArchive& archive,
                     std::string& scratch) {
  if (!IsChangeKind(d.Kind)) return;
  archive.WriteInt(static_cast<uint32_t>(d.Kind));
  if (IsRegistryChange(d.Kind)) archive.WriteInt(d.RootKey);

  auto write_full_path = [&] {
    scratch.assign(prefix);
    scratch += '\\';
    scratch += d.Name;
    archive.WriteString(scratch);
  };
  switch (d.Kind) {
    case nkKeyAdded:
    case nkKeyDeleted:
    case nkFolderAdded:
    case nkFolderDeleted:
      write_full_path();
      return;
    case nkFileAdded:
    case nkFileMovedTo:
      write_full_path();
      archive.WriteString(BufferText(d.After, d.AfterSize));
      return;
    case nkFileDeleted:
    case nkFileMovedFrom:
      write_full_path();
      archive.WriteString(BufferText(d.Before, d.BeforeSize));
      return;
    case nkFileChanged:
      write_full_path();
      archive.WriteString(BufferText(d.Before, d.BeforeSize));
      archive.WriteString(BufferText(d.After, d.AfterSize));
      return;
    default:
      break;
  }
  // Values and counters: the key path, the name, the type, then the data.
  archive.WriteString(prefix);
  archive.WriteString(d.Name);
  archive.WriteInt(d.ValueType);
  switch (d.Kind) {
    case nkValueAdded:
      WriteBytes(archive, d.AfterBytes());
      break;
    case nkValueDeleted:
      WriteBytes(archive, d.BeforeBytes());
      break;
    case nkValueChanged:  // the new data first
      WriteBytes(archive, d.AfterBytes());
      WriteBytes(archive, d.BeforeBytes());
      break;
    case nkCounterIncremented:
      if (d.ValueType == platform::regtype::kDword) {
        // The amount; a record without its 4 bytes stores 0 rather than
        // reading past its buffer.
        uint8_t amount[4] = {0, 0, 0, 0};
        const auto after = d.AfterBytes();
        for (size_t i = 0; i < 4 && i < after.size(); ++i) amount[i] = after[i];
        archive.WriteBlock(amount, 4);
      } else if (d.ValueType == platform::regtype::kSz) {
        archive.WriteString(BufferText(d.After, d.AfterSize));
      }
      break;
    default:
      break;
  }
}

// Writes `node`'s record and those of its subtree, a node before its
// children, without recursion: a damaged archive can make a tree of any depth.
void WriteBranch(const ChangeTree& tree, NodeId node, TChgArchive& archive) {
  struct Frame {
    NodeId next;         // the next child to write
    size_t prefix_size;  // the prefix to restore after the children
  };
  std::string prefix;
  std::string scratch;
  std::vector<Frame> stack;
  auto enter = [&](NodeId n) {
    const TNodeData& d = tree.Data(n);
    WriteNodeRecord(d, prefix, archive, scratch);
    stack.push_back({tree.FirstChild(n), prefix.size()});
    if (!prefix.empty()) prefix += '\\';
    prefix += d.Name;
  };
  enter(node);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == kNoNode) {
      prefix.resize(top.prefix_size);
      stack.pop_back();
      continue;
    }
    const NodeId child = top.next;
    top.next = tree.NextSibling(child);
    enter(child);
  }
}

}  // namespace

void WriteChangeRecords(const ChangeTree& tree, TChgArchive& archive) {
  // A hive's own name is not part of the key paths: its children start them.
  for (NodeId hive = tree.FirstChild(tree.RegistryRoot()); hive != kNoNode;
       hive = tree.NextSibling(hive)) {
    for (NodeId key = tree.FirstChild(hive); key != kNoNode; key = tree.NextSibling(key))
      WriteBranch(tree, key, archive);
  }
  // A drive's name is: file-system paths are full.
  for (NodeId drive = tree.FirstChild(tree.FileSystemRoot()); drive != kNoNode;
       drive = tree.NextSibling(drive))
    WriteBranch(tree, drive, archive);
}

void SaveChangesTree(const ChangeTree& tree, platform::FileSystem& fs,
                     std::string_view program_folder, std::string_view identifier,
                     const Clock& clock) {
  TChgArchive archive(fs, platform::JoinPath(program_folder, identifier), clock);
  archive.CreateHeader();
  WriteChangeRecords(tree, archive);
  archive.SaveFile();
}

}  // namespace cvn::changes
