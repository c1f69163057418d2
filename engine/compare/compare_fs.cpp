#include "engine/compare/compare_fs.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/compare/file_info.h"
#include "engine/compare/first_match_index.h"

namespace cvn::compare {

using changes::ChangeRecord;
using snapshot::SnapshotNode;
using snapshot::SnapshotValue;

namespace {

bool SameData(const SnapshotValue& a, const SnapshotValue& b) {
  return a.size == b.size && std::equal(a.data, a.data + a.size, b.data);
}

std::string Concat(std::string_view a, std::string_view b) {
  std::string s;
  s.reserve(a.size() + b.size() + 1);
  s += a;
  s += b;
  return s;
}

}  // namespace

FileSystemComparer::FileSystemComparer(threads::ScanControl& thread, changes::ChangeSink& sink,
                                       platform::DateTimeSeparators separators)
    : thread_(thread), sink_(sink), separators_(std::move(separators)) {}

void FileSystemComparer::CompareTrees(const SnapshotNode* before, const SnapshotNode* after) {
  CompareFS(after, before, "", false);
  CompareFS(before, after, "", true);
}

void FileSystemComparer::CompareFS(const SnapshotNode* a, const SnapshotNode* b,
                                   std::string_view path, bool deleted) {
  const FirstMatchIndex<SnapshotNode> others(b);
  for (const SnapshotNode* n = a; n != nullptr && !thread_.CancelRequested(); n = n->next) {
    const SnapshotNode* m = others.Find(n->name);
    const std::string folder = Concat(path, n->name);
    if (m == nullptr) {
      // The whole folder is new (or gone), and everything in it.
      ReportFolder(path, n->name, deleted);
      for (const SnapshotValue* f = n->values; f != nullptr; f = f->next)
        ReportFile(folder, *f, deleted);
      CompareFS(n->child, nullptr, folder + '\\', deleted);
    } else {
      const FirstMatchIndex<SnapshotValue> other_files(m->values);
      for (const SnapshotValue* f = n->values; f != nullptr; f = f->next) {
        const SnapshotValue* g = other_files.Find(f->name);
        if (g == nullptr) {
          ReportFile(folder, *f, deleted);
        } else if (!deleted && !SameData(*f, *g)) {
          ReportChangedFile(folder, *f, *g);
        }
        thread_.CheckPause();
      }
      CompareFS(n->child, m->child, folder + '\\', deleted);
    }
    thread_.CheckPause();
  }
}

void FileSystemComparer::ReportFolder(std::string_view path, std::string_view name, bool deleted) {
  ChangeRecord record;
  record.kind = deleted ? changes::NodeKind::kFolderDeleted : changes::NodeKind::kFolderAdded;
  record.path = path.substr(0, path.empty() ? 0 : path.size() - 1);
  sink_.AddToTree(path, name, record);
}

void FileSystemComparer::ReportFile(std::string_view folder, const SnapshotValue& file,
                                    bool deleted) {
  const std::string info = FileInfoText(file.Bytes(), separators_);
  const auto size = static_cast<int32_t>(info.size() + 1);
  ChangeRecord record;
  record.path = folder;
  if (deleted) {
    record.kind = changes::NodeKind::kFileDeleted;
    record.before = changes::TextBuffer(info);
    record.before_size = size;
  } else {
    record.kind = changes::NodeKind::kFileAdded;
    record.after = changes::TextBuffer(info);
    record.after_size = size;
  }
  sink_.AddToTree(folder, file.name, record);
}

void FileSystemComparer::ReportChangedFile(std::string_view folder, const SnapshotValue& after,
                                           const SnapshotValue& before) {
  const std::string before_info = FileInfoText(before.Bytes(), separators_);
  const std::string after_info = FileInfoText(after.Bytes(), separators_);
  ChangeRecord record;
  record.kind = changes::NodeKind::kFileChanged;
  record.path = folder;
  record.before = changes::TextBuffer(before_info);
  record.before_size = static_cast<int32_t>(before_info.size() + 1);
  record.after = changes::TextBuffer(after_info);
  record.after_size = static_cast<int32_t>(after_info.size() + 1);
  sink_.AddToTree(folder, after.name, record);
}

}  // namespace cvn::compare
