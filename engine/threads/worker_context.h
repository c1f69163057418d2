// What the workers share with the main window: the program's state byte, the
// application being monitored or uninstalled, the settings and the folders
// fixed at start-up. The main window owns one for the whole run and hands it
// to every worker by reference.
//
// Threads: ProgramState is written by the worker at its start and end and by
// the main thread when it stops a worker; everything else is set on the main
// thread while no worker runs and only read by workers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace cvn::threads {

// Values of ProgramState.
enum class ProgramState : uint8_t {
  kIdle = 0,
  kFailed = 1,
  kLoading = 2,
  kScanning = 3,
  kScanned = 4,
  kAwaitingRescan = 5,
  kRescanning = 6,
  kStopRequested = 7,
  kUninstalling = 8,
  kContinued = 9,
  kUninstalled = 10,
  kMonitored = 11,
};

// Per-kind counts of the records the archive loader read, for the kinds the
// uninstaller works through: the change kinds numbered 1 to 7 and 9. A kind is
// any enumeration with those numbers (the change tree's), so the workers' base
// need not know the change tree.
class LoadedChangeCounts {
 public:
  void Reset() { counts_.fill(0); }
  // Counts one record; other kinds are not counted.
  template <typename Kind>
  void Count(Kind kind) {
    const int slot = Slot(static_cast<int32_t>(kind));
    if (slot >= 0) ++counts_[static_cast<size_t>(slot)];
  }
  // The count of `kind`; 0 for a kind that is not counted.
  template <typename Kind>
  uint32_t Of(Kind kind) const {
    const int slot = Slot(static_cast<int32_t>(kind));
    return slot >= 0 ? counts_[static_cast<size_t>(slot)] : 0;
  }

 private:
  static int Slot(int32_t kind) {
    if (kind >= 1 && kind <= 7) return kind - 1;
    return kind == 9 ? 7 : -1;
  }
  std::array<uint32_t, 8> counts_{};
};

struct WorkerContext {
  explicit WorkerContext(const settings::Settings& s) : settings(s) {}
  WorkerContext(const WorkerContext&) = delete;
  WorkerContext& operator=(const WorkerContext&) = delete;

  std::atomic<ProgramState> program_state{ProgramState::kIdle};
  // The application's identifier; it names its changes archive.
  std::string current_identifier;
  // The folder of the executable, without a trailing backslash: snapshot
  // files and archives live there.
  std::string program_folder;
  // The Windows folder, for the file-system targets.
  std::string windows_folder;
  const settings::Settings& settings;
  LoadedChangeCounts loaded_change_counts;
};

}  // namespace cvn::threads
