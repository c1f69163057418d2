#include "changes/archive_loader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "changes/split_path.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "engine/threads/scan_control.h"

namespace cvn::changes {
namespace {

// Reads one record's fields after its kind into the template; `container`
// and `name` receive where AddToTree puts it. False when the kind is
// unknown; a field cut short shows as the archive's Eof.
class RecordReader {
 public:
  explicit RecordReader(ChangesArchive& archive) : archive_(archive) {}

  bool Read(NodeKind kind, ChangeRecord& tmpl, std::string& container, std::string& name) {
    tmpl.before.reset();
    tmpl.after.reset();
    tmpl.before_size = 0;
    tmpl.after_size = 0;
    tmpl.value_type = 0;
    tmpl.kind = kind;
    tmpl.root_key = 0;
    container.clear();
    name.clear();
    if (IsRegistryChange(kind)) {
      tmpl.root_key = archive_.ReadInt();
      container = platform::RootKeyName(tmpl.root_key);
      container += '\\';
    }
    switch (kind) {
      case NodeKind::kFileAdded:
      case NodeKind::kFileMovedTo:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.after, tmpl.after_size);
        return true;
      case NodeKind::kFileDeleted:
      case NodeKind::kFileMovedFrom:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.before, tmpl.before_size);
        return true;
      case NodeKind::kFileChanged:
        ReadFilePath(tmpl, container, name);
        ReadInfo(tmpl.before, tmpl.before_size);
        ReadInfo(tmpl.after, tmpl.after_size);
        return true;
      case NodeKind::kFolderAdded:
      case NodeKind::kFolderDeleted:
        ReadFilePath(tmpl, container, name);
        return true;
      case NodeKind::kKeyAdded:
      case NodeKind::kKeyDeleted: {
        archive_.ReadString(path_);
        const SplitPath split = SplitLastPath(path_);
        path_of_parent_.assign(split.container);
        name.assign(split.name);
        tmpl.path = path_of_parent_;
        container += path_of_parent_;
        return true;
      }
      case NodeKind::kValueAdded:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.after, tmpl.after_size);
        return true;
      case NodeKind::kValueDeleted:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.before, tmpl.before_size);
        return true;
      case NodeKind::kValueChanged:
        ReadValueHead(tmpl, container, name);
        ReadData(tmpl.after, tmpl.after_size);
        ReadData(tmpl.before, tmpl.before_size);
        return true;
      case NodeKind::kCounterIncremented:
        ReadValueHead(tmpl, container, name);
        if (tmpl.value_type == platform::regtype::kSz) {
          ReadInfo(tmpl.after, tmpl.after_size);
        } else if (tmpl.value_type == platform::regtype::kDword) {
          ReadData(tmpl.after, tmpl.after_size, 4);
        }
        return true;
      default:
        return false;
    }
  }

 private:
  // A full file or folder path: the folder becomes the container and Path.
  void ReadFilePath(ChangeRecord& tmpl, std::string& container, std::string& name) {
    archive_.ReadString(path_);
    const SplitPath split = SplitLastPath(path_);
    container.assign(split.container);
    name.assign(split.name);
    tmpl.path = container;
  }

  void ReadValueHead(ChangeRecord& tmpl, std::string& container, std::string& name) {
    archive_.ReadString(path_);
    archive_.ReadString(name);
    tmpl.value_type = archive_.ReadInt();
    container += path_;
    tmpl.path = path_;
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

  ChangesArchive& archive_;
  std::string path_;
  std::string path_of_parent_;
  std::string text_;
};

}  // namespace

bool LoadChangeRecords(ChangesArchive& archive, ChangeSink& sink,
                       threads::LoadedChangeCounts& counts, threads::ScanControl& control,
                       LoadProgress* progress, Fingerprints* fingerprints) {
  RecordReader reader(archive);
  ChangeRecord tmpl;
  std::string container;
  std::string name;
  int last_percent = -1;
  for (;;) {
    const auto kind = static_cast<NodeKind>(archive.ReadInt());
    if (archive.Damaged()) return false;  // one to three bytes after the last record
    if (archive.Eof() || control.Terminated()) break;
    if (static_cast<uint32_t>(kind) == kFingerprintRecord) {
      archive.ReadString(name);
      const uint32_t size = archive.ReadInt();
      const std::span<const uint8_t> digest = archive.ReadBlock(size);
      if (archive.Eof() || size != sizeof(platform::Sha256Digest)) return false;
      if (fingerprints != nullptr)
        std::copy(digest.begin(), digest.end(), (*fingerprints)[text::ToUpper(name)].begin());
      continue;
    }
    if (!reader.Read(kind, tmpl, container, name)) return false;  // unknown kind
    counts.Count(kind);
    // A record cut short would insert a change that was never found.
    if (archive.Eof()) return false;
    sink.AddToTree(container, name, tmpl);
    tmpl.path = {};
    if (progress != nullptr) {
      const int percent = archive.PercentRead();
      if (percent != last_percent) progress->SetProgress(percent);
      last_percent = percent;
    }
    control.CheckPause();
  }
  return true;
}

namespace {

// Takes the changes and keeps none.
class DiscardingSink final : public ChangeSink {
 public:
  void AddToTree(std::string_view, std::string_view, ChangeRecord& tmpl) override {
    tmpl.before.reset();
    tmpl.after.reset();
  }
};

}  // namespace

Fingerprints ReadFingerprints(platform::FileSystem& fs, const std::string& file_base) {
  Fingerprints fingerprints;
  ChangesArchive archive(fs, file_base);
  if (!archive.Open()) return {};
  DiscardingSink sink;
  threads::LoadedChangeCounts counts;
  threads::RunToEnd control;
  if (!LoadChangeRecords(archive, sink, counts, control, nullptr, &fingerprints)) return {};
  return fingerprints;
}

ArchiveLoader::ArchiveLoader(threads::WorkerContext& context, platform::FileSystem& fs,
                             ChangeSink& sink, threads::MainThreadDispatcher& dispatcher,
                             LoadProgress& progress)
    : WorkerThread(dispatcher), context_(context), fs_(fs), sink_(sink), progress_(progress) {}

void ArchiveLoader::Execute() {
  SetFreeOnTerminate(true);
  context_.program_state = threads::ProgramState::kLoading;
  context_.loaded_change_counts.Reset();
  try {
    ChangesArchive archive(
        fs_, platform::JoinPath(context_.program_folder, context_.current_identifier));
    // The wizard checked the header before starting the load; the file may
    // have changed since.
    const bool loaded =
        archive.Open() &&
        LoadChangeRecords(archive, sink_, context_.loaded_change_counts, *this, &progress_);
    if (!loaded) {
      context_.program_state = threads::ProgramState::kFailed;
    } else {
      context_.program_state =
          Terminated() ? threads::ProgramState::kStopRequested : threads::ProgramState::kIdle;
    }
  } catch (...) {
    // Memory for a record that does not fit, say: the load failed.
    context_.program_state = threads::ProgramState::kFailed;
  }
}

}  // namespace cvn::changes
