#include "changes/load_check_tree.h"

#include <cstring>
#include <string_view>

#include "changes/split_path.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::changes {
namespace {

// Reads one record's fields after its kind into the template; `container`
// and `name` receive where AddToTree puts it. False when the kind is
// unknown; a field cut short shows as the archive's Eof.
class RecordReader {
 public:
  explicit RecordReader(TChgArchive& archive) : archive_(archive) {}

  bool Read(int32_t kind, TNodeData& tmpl, std::string& container, std::string& name) {
    tmpl.Before.reset();
    tmpl.After.reset();
    tmpl.BeforeSize = 0;
    tmpl.AfterSize = 0;
    tmpl.ValueType = 0;
    tmpl.Kind = kind;
    tmpl.RootKey = 0;
    container.clear();
    name.clear();
    if (IsRegistryChange(kind)) {
      tmpl.RootKey = archive_.ReadInt();
      container = platform::RootKeyName(tmpl.RootKey);
      container += '\\';
    }
    switch (kind) {
      case nkFileAdded:
      case nkFileMovedTo:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.After, tmpl.AfterSize);
        return true;
      case nkFileDeleted:
      case nkFileMovedFrom:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.Before, tmpl.BeforeSize);
        return true;
      case nkFileChanged:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.Before, tmpl.BeforeSize);
        ReadInfo(tmpl.After, tmpl.AfterSize);
        return true;
      case nkFolderAdded:
      case nkFolderDeleted:
        ReadFilePath(tmpl, container, name);
        return true;
      case nkKeyAdded:
      case nkKeyDeleted: {
        archive_.ReadString(path_);
        const SplitPath split = SplitLastPath(path_);
        path_of_parent_.assign(split.container);
        name.assign(split.name);
        tmpl.Path = path_of_parent_;
        container += path_of_parent_;
        return true;
      }
      case nkValueAdded:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.After, tmpl.AfterSize);
        return true;
      case nkValueDeleted:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.Before, tmpl.BeforeSize);
        return true;
      case nkValueChanged:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.After, tmpl.AfterSize);
        ReadData(tmpl.Before, tmpl.BeforeSize);
        return true;
      case nkCounterIncremented:
        ReadValueHead(tmpl, container, name);
        if (tmpl.ValueType == platform::regtype::kSz) {
          ReadInfo(tmpl.After, tmpl.AfterSize);
        } else if (tmpl.ValueType == platform::regtype::kDword) {
          ReadData(tmpl.After, tmpl.AfterSize, 4);
        }
        return true;
      default:
        return false;
    }
  }

 private:
  // A full file or folder path: the folder becomes the container and Path.
  void ReadFilePath(TNodeData& tmpl, std::string& container, std::string& name) {
    archive_.ReadString(path_);
    const SplitPath split = SplitLastPath(path_);
    container.assign(split.container);
    name.assign(split.name);
    tmpl.Path = container;
  }

  void ReadValueHead(TNodeData& tmpl, std::string& container, std::string& name) {
    archive_.ReadString(path_);
    archive_.ReadString(name);
    tmpl.ValueType = archive_.ReadInt();
    container += path_;
    tmpl.Path = path_;
  }

  // A text field, kept with a terminating zero as the tree holds it.
  void ReadInfo(Buffer& buffer, int32_t& size) {
    text_.clear();
    archive_.ReadString(text_);
    if (archive_.Eof()) return;
    buffer = TextBuffer(text_);
    size = static_cast<int32_t>(text_.size() + 1);
  }

  // A size and its block, or a block of `fixed` bytes without a size.
  void ReadData(Buffer& buffer, int32_t& size, uint32_t fixed = 0) {
    const uint32_t count = fixed != 0 ? fixed : archive_.ReadInt();
    if (archive_.Eof()) return;
    // The view is checked against the data, so a damaged size allocates nothing.
    const std::span<const uint8_t> bytes = archive_.ReadBlock(count);
    if (archive_.Eof() || count > static_cast<uint32_t>(INT32_MAX)) return;
    buffer = CopyBuffer(bytes);
    size = static_cast<int32_t>(count);
  }

  TChgArchive& archive_;
  std::string path_;
  std::string path_of_parent_;
  std::string text_;
};

}  // namespace

bool LoadChangeRecords(TChgArchive& archive, ChangeSink& sink, snapshot::LoadedChangeCounts& counts,
                       snapshot::ScanControl& control, LoadProgress* progress) {
  RecordReader reader(archive);
  TNodeData tmpl;
  std::string container;
  std::string name;
  int last_percent = -1;
  for (;;) {
    const auto kind = static_cast<int32_t>(archive.ReadInt());
    if (archive.Damaged()) return false;  // one to three bytes after the last record
    if (archive.Eof() || control.Terminated()) break;
    if (!reader.Read(kind, tmpl, container, name)) return false;  // unknown kind
    counts.Count(kind);
    // A record cut short would insert a change that was never found.
    if (archive.Eof()) return false;
    sink.AddToTree(container, name, tmpl);
    tmpl.Path = {};
    if (progress != nullptr) {
      const int percent = archive.PercentRead();
      if (percent != last_percent) progress->SetProgress(percent);
      last_percent = percent;
    }
    control.CheckPause();
  }
  return true;
}

TLoadCheckTree::TLoadCheckTree(snapshot::WorkerContext& context, platform::FileSystem& fs,
                               ChangeSink& sink, snapshot::MainThreadDispatcher& dispatcher,
                               LoadProgress& progress)
    : TSafeThread(dispatcher), context_(context), fs_(fs), sink_(sink), progress_(progress) {}

void TLoadCheckTree::Execute() {
  SetFreeOnTerminate(true);
  context_.ProgramState = snapshot::psLoading;
  context_.loaded_change_counts.Reset();
  try {
    TChgArchive archive(fs_,
                        platform::JoinPath(context_.program_folder, context_.CurrentIdentifier));
    // The wizard checked the header before starting the load; the file may
    // have changed since.
    const bool loaded =
        archive.Open() &&
        LoadChangeRecords(archive, sink_, context_.loaded_change_counts, *this, &progress_);
    if (!loaded) {
      context_.ProgramState = snapshot::psFailed;
    } else {
      context_.ProgramState = Terminated() ? snapshot::psStopRequested : snapshot::psIdle;
    }
  } catch (...) {
    // Memory for a record that does not fit, say: the load failed.
    context_.ProgramState = snapshot::psFailed;
  }
}

}  // namespace cvn::changes
