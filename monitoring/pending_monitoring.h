// What keeps a monitoring alive between its first and second scan, across
// an exit of the program or a restart of the computer: the continuation file
// "Continue.dat" in the program folder (the identifier and the monitoring's
// own targets) and the start-at-logon value "Corvane" under
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run. Both
// front ends use this one piece, so a monitoring started in one is finished
// in the other.
//
// A monitoring is pending exactly while "Continue.dat" exists. The Run key is
// opened, never created; when it cannot be opened nothing is written there.
#pragma once

#include <string>
#include <string_view>

#include "monitoring/scan_targets.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::monitoring {

inline constexpr std::string_view kContinueFile = "Continue.dat";
inline constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValue = "Corvane";

class PendingMonitoring {
 public:
  PendingMonitoring(platform::FileSystem& fs, platform::Registry& registry,
                    std::string program_folder);

  // "<program folder>\Continue.dat".
  std::string ContinuePath() const;

  // After a first scan that was not stopped: the start-at-logon value when
  // `at_logon` (it starts `executable`, the window program, which finishes
  // the monitoring), then the continuation file. The status is the file
  // system's when the file cannot be written; the Run value may fail silently.
  platform::Status Begin(const Continuation& continuation, bool at_logon,
                         std::string_view executable);

  enum class State {
    kNone,     // no monitoring is pending
    kPending,  // *continuation holds it
    kDamaged,  // the file is there but empty, unreadable or with bad targets
  };
  State Read(Continuation* continuation);

  // When the second scan starts: the Run value and the file go first, so
  // that a crash during the scan does not resume it at the next start. The
  // snapshots stay for the comparison.
  void StartSecondScan();

  // Abandons the monitoring: the file, the snapshots and the Run value go.
  void Abandon();

 private:
  void RemoveRunValue();

  platform::FileSystem& fs_;
  platform::Registry& registry_;
  std::string program_folder_;
};

}  // namespace cvn::monitoring
