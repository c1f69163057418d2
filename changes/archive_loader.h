// ArchiveLoader: the worker that reads a changes archive back into the
// changes tree. Every record becomes one AddToTree, so the hierarchy, the
// ignore lists and (in uninstall mode) the check boxes follow the settings
// of the moment.
//
// ProgramState goes 2 (loading) to 0 (finished), 7 (stopped by the user) or
// 1 (failed: the file could not be read, or its records are damaged). A
// damaged archive keeps what was read before the damage in the tree; a
// record cut short is not inserted.
#pragma once

#include <string>
#include <unordered_map>

#include "changes/change_sink.h"
#include "changes/changes_archive.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "platform/filesystem.h"
#include "platform/sha256.h"

namespace cvn::changes {

// How far the load has come.
class LoadProgress {
 public:
  virtual ~LoadProgress() = default;
  // Called on the worker whenever the percentage read (0 to 100) changes;
  // the program forwards it to the progress bar by a posted message.
  virtual void SetProgress(int percent) = 0;
};

// The content fingerprints of an archive: SHA-256 digests by full file
// path, upper-cased so that a path is looked up without regard to case.
using Fingerprints = std::unordered_map<std::string, platform::Sha256Digest>;

// Reads the records of an opened archive (position after the header) into
// `sink`, counting them in `counts`, until the data ends or `control` is
// terminated. Returns false when the records are damaged: a record cut
// short, a length beyond the end, or an unknown kind. `progress` may be null.
// Fingerprint records are not changes: they go to `fingerprints` when it
// is given and are skipped otherwise.
bool LoadChangeRecords(ChangesArchive& archive, ChangeSink& sink,
                       threads::LoadedChangeCounts& counts, threads::ScanControl& control,
                       LoadProgress* progress, Fingerprints* fingerprints = nullptr);

// The fingerprints of the archive "<file_base>.cvn"; empty when it has
// none, is missing or is damaged before them.
Fingerprints ReadFingerprints(platform::FileSystem& fs, const std::string& file_base);

class ArchiveLoader : public threads::WorkerThread {
 public:
  // Loads "<program folder>\<CurrentIdentifier>.cvn" into `sink` (the
  // main window's changes tree, reset to its fixed top, in uninstall mode).
  // Frees itself after its end notification.
  ArchiveLoader(threads::WorkerContext& context, platform::FileSystem& fs, ChangeSink& sink,
                threads::MainThreadDispatcher& dispatcher, LoadProgress& progress);

 protected:
  void Execute() override;

 private:
  threads::WorkerContext& context_;
  platform::FileSystem& fs_;
  ChangeSink& sink_;
  LoadProgress& progress_;
};

}  // namespace cvn::changes
