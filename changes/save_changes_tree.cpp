#include "changes/save_changes_tree.h"

#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "platform/text.h"

namespace cvn::changes {
namespace {

void WriteBytes(ChangesArchive& archive, std::span<const uint8_t> bytes) {
  archive.WriteInt(static_cast<uint32_t>(bytes.size()));
  archive.WriteBlock(bytes.data(), bytes.size());
}

std::string_view BufferText(const Buffer& buffer, int32_t size) {
  return ZeroTerminatedText(buffer.get(), size);
}

// `prefix` is the path of the node's container: below the root key in the
// registry branch, from the drive in the file system.
void WriteNodeRecord(const ChangeRecord& d, const std::string& prefix, ChangesArchive& archive,
                     std::string& scratch) {
  if (!IsChangeKind(d.kind)) return;
  archive.WriteInt(static_cast<uint32_t>(d.kind));
  if (IsRegistryChange(d.kind)) archive.WriteInt(d.root_key);

  auto write_full_path = [&] {
    scratch.assign(prefix);
    scratch += '\\';
    scratch += d.name;
    archive.WriteString(scratch);
  };
  switch (d.kind) {
    case NodeKind::kKeyAdded:
    case NodeKind::kKeyDeleted:
    case NodeKind::kFolderAdded:
    case NodeKind::kFolderDeleted:
      write_full_path();
      return;
    case NodeKind::kFileAdded:
    case NodeKind::kFileMovedTo:
      write_full_path();
      archive.WriteString(BufferText(d.after, d.after_size));
      return;
    case NodeKind::kFileDeleted:
    case NodeKind::kFileMovedFrom:
      write_full_path();
      archive.WriteString(BufferText(d.before, d.before_size));
      return;
    case NodeKind::kFileChanged:
      write_full_path();
      archive.WriteString(BufferText(d.before, d.before_size));
      archive.WriteString(BufferText(d.after, d.after_size));
      return;
    default:
      break;
  }
  // Values and counters: the key path, the name, the type, then the data.
  archive.WriteString(prefix);
  archive.WriteString(d.name);
  archive.WriteInt(d.value_type);
  switch (d.kind) {
    case NodeKind::kValueAdded:
      WriteBytes(archive, d.AfterBytes());
      break;
    case NodeKind::kValueDeleted:
      WriteBytes(archive, d.BeforeBytes());
      break;
    case NodeKind::kValueChanged:  // the new data first
      WriteBytes(archive, d.AfterBytes());
      WriteBytes(archive, d.BeforeBytes());
      break;
    case NodeKind::kCounterIncremented:
      if (d.value_type == platform::regtype::kDword) {
        // The amount; a record without its 4 bytes stores 0 rather than
        // reading past its buffer.
        uint8_t amount[4] = {0, 0, 0, 0};
        const auto after = d.AfterBytes();
        for (size_t i = 0; i < 4 && i < after.size(); ++i) amount[i] = after[i];
        archive.WriteBlock(amount, 4);
      } else if (d.value_type == platform::regtype::kSz) {
        archive.WriteString(BufferText(d.after, d.after_size));
      }
      break;
    default:
      break;
  }
}

// Writes `node`'s record and those of its subtree, a node before its
// children, without recursion: a damaged archive can make a tree of any depth.
void WriteBranch(const ChangeTree& tree, NodeId node, ChangesArchive& archive) {
  struct Frame {
    NodeId next;         // the next child to write
    size_t prefix_size;  // the prefix to restore after the children
  };
  std::string prefix;
  std::string scratch;
  std::vector<Frame> stack;
  auto enter = [&](NodeId n) {
    const ChangeRecord& d = tree.Data(n);
    WriteNodeRecord(d, prefix, archive, scratch);
    stack.push_back({tree.FirstChild(n), prefix.size()});
    if (!prefix.empty()) prefix += '\\';
    prefix += d.name;
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

void WriteChangeRecords(const ChangeTree& tree, ChangesArchive& archive) {
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

size_t WriteFingerprints(const ChangeTree& tree, platform::FileSystem& fs,
                         ChangesArchive& archive, const Fingerprints* known) {
  size_t written = 0;
  std::string path;
  const NodeId root = tree.FileSystemRoot();
  for (NodeId n = tree.FirstChild(root); n != kNoNode; n = tree.NextInSubtree(n, root)) {
    const ChangeRecord& d = tree.Data(n);
    if (d.kind != NodeKind::kFileAdded && d.kind != NodeKind::kFileChanged) continue;
    path = platform::JoinPath(d.path, d.name);
    platform::Sha256Digest digest;
    if (known != nullptr) {
      const auto found = known->find(text::ToUpper(path));
      if (found == known->end()) continue;
      digest = found->second;
    } else if (!fs.HashFile(path, &digest).ok()) {
      // A file that is gone or locked has no fingerprint: it is handled as
      // in an archive without any.
      continue;
    }
    archive.WriteInt(kFingerprintRecord);
    archive.WriteString(path);
    WriteBytes(archive, digest);
    ++written;
  }
  return written;
}

void SaveChangesTree(const ChangeTree& tree, platform::FileSystem& fs,
                     std::string_view program_folder, std::string_view identifier,
                     const Clock& clock, const Fingerprints* known) {
  ChangesArchive archive(fs, platform::JoinPath(program_folder, identifier), clock);
  archive.CreateHeader();
  WriteChangeRecords(tree, archive);
  if (WriteFingerprints(tree, fs, archive, known) > 0)
    archive.SetVersion(kArchiveFingerprintVersion);
  archive.SaveFile();
}

}  // namespace cvn::changes
