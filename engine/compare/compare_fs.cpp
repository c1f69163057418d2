#include "engine/compare/compare_fs.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/compare/file_info.h"
#include "engine/compare/first_match_index.h"

namespace cvn::compare {

using changes::TNodeData;
using snapshot::TNode;
using snapshot::TValori;

namespace {

bool SameData(const TValori& a, const TValori& b) {
  return a.Size == b.Size && std::equal(a.Data, a.Data + a.Size, b.Data);
}

std::string Concat(std::string_view a, std::string_view b) {
  std::string s;
  s.reserve(a.size() + b.size() + 1);
  s += a;
  s += b;
  return s;
}

}  // namespace

FileSystemComparer::FileSystemComparer(snapshot::ScanControl& thread, changes::ChangeSink& sink,
                                       platform::DateTimeSeparators separators)
    : thread_(thread), sink_(sink), separators_(std::move(separators)) {}

void FileSystemComparer::CompareTrees(const TNode* before, const TNode* after) {
  CompareFS(after, before, "", false);
  CompareFS(before, after, "", true);
}

void FileSystemComparer::CompareFS(const TNode* a, const TNode* b, std::string_view path,
                                   bool deleted) {
  const FirstMatchIndex<TNode> others(b);
  for (const TNode* n = a; n != nullptr && !thread_.CancelRequested(); n = n->Next) {
    const TNode* m = others.Find(n->Name);
    const std::string folder = Concat(path, n->Name);
    if (m == nullptr) {
      // The whole folder is new (or gone), and everything in it.
      ReportFolder(path, n->Name, deleted);
      for (const TValori* f = n->Values; f != nullptr; f = f->Next) ReportFile(folder, *f, deleted);
      CompareFS(n->Child, nullptr, folder + '\\', deleted);
    } else {
      const FirstMatchIndex<TValori> other_files(m->Values);
      for (const TValori* f = n->Values; f != nullptr; f = f->Next) {
        const TValori* g = other_files.Find(f->Name);
        if (g == nullptr) {
          ReportFile(folder, *f, deleted);
        } else if (!deleted && !SameData(*f, *g)) {
          ReportChangedFile(folder, *f, *g);
        }
        thread_.CheckPause();
      }
      CompareFS(n->Child, m->Child, folder + '\\', deleted);
    }
    thread_.CheckPause();
  }
}

void FileSystemComparer::ReportFolder(std::string_view path, std::string_view name, bool deleted) {
  TNodeData record;
  record.Kind = deleted ? changes::nkFolderDeleted : changes::nkFolderAdded;
  record.Path = path.substr(0, path.empty() ? 0 : path.size() - 1);
  sink_.AddToTree(path, name, record);
}

void FileSystemComparer::ReportFile(std::string_view folder, const TValori& file, bool deleted) {
  const std::string info = FileInfoText(file.Bytes(), separators_);
  const auto size = static_cast<int32_t>(info.size() + 1);
  TNodeData record;
  record.Path = folder;
  if (deleted) {
    record.Kind = changes::nkFileDeleted;
    record.Before = changes::TextBuffer(info);
    record.BeforeSize = size;
  } else {
    record.Kind = changes::nkFileAdded;
    record.After = changes::TextBuffer(info);
    record.AfterSize = size;
  }
  sink_.AddToTree(folder, file.Name, record);
}

void FileSystemComparer::ReportChangedFile(std::string_view folder, const TValori& after,
                                           const TValori& before) {
  const std::string before_info = FileInfoText(before.Bytes(), separators_);
  const std::string after_info = FileInfoText(after.Bytes(), separators_);
  TNodeData record;
  record.Kind = changes::nkFileChanged;
  record.Path = folder;
  record.Before = changes::TextBuffer(before_info);
  record.BeforeSize = static_cast<int32_t>(before_info.size() + 1);
  record.After = changes::TextBuffer(after_info);
  record.AfterSize = static_cast<int32_t>(after_info.size() + 1);
  sink_.AddToTree(folder, after.Name, record);
}

}  // namespace cvn::compare
