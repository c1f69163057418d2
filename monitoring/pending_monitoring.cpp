#include "monitoring/pending_monitoring.h"

#include <memory>
#include <vector>

#include "engine/snapshot/snapshot_store.h"
#include "settings/settings.h"

namespace cvn::monitoring {

PendingMonitoring::PendingMonitoring(platform::FileSystem& fs, platform::Registry& registry,
                                     std::string program_folder)
    : fs_(fs), registry_(registry), program_folder_(std::move(program_folder)) {}

std::string PendingMonitoring::ContinuePath() const {
  std::string path = program_folder_;
  if (!path.empty() && !path.ends_with('\\')) path += '\\';
  return path + std::string(kContinueFile);
}

platform::Status PendingMonitoring::Begin(const Continuation& continuation, bool at_logon,
                                          std::string_view executable) {
  if (at_logon) {
    std::unique_ptr<platform::RegKey> key;
    if (registry_
            .OpenKey(platform::RootKey::kLocalMachine, kRunKey, platform::KeyAccess::kReadWrite,
                     &key)
            .ok())
      (void)platform::SetString(registry_, *key, kRunValue, executable);
  }
  const std::string text = FormatContinuation(continuation);
  return fs_.WriteFile(ContinuePath(),
                       {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

PendingMonitoring::State PendingMonitoring::Read(Continuation* continuation) {
  if (!fs_.GetAttributes(ContinuePath())) return State::kNone;
  std::vector<uint8_t> bytes;
  if (!fs_.ReadFile(ContinuePath(), &bytes).ok()) return State::kDamaged;
  const auto read = ParseContinuation(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  settings::Settings check;
  if (!read || (!read->targets.empty() && !ApplyTargetList(read->targets, check).empty()))
    return State::kDamaged;
  *continuation = *read;
  return State::kPending;
}

void PendingMonitoring::RemoveRunValue() {
  std::unique_ptr<platform::RegKey> key;
  if (registry_
          .OpenKey(platform::RootKey::kLocalMachine, kRunKey, platform::KeyAccess::kReadWrite, &key)
          .ok())
    (void)registry_.DeleteValue(*key, kRunValue);
}

void PendingMonitoring::StartSecondScan() {
  RemoveRunValue();
  (void)fs_.DeleteFile(ContinuePath());
}

void PendingMonitoring::Abandon() {
  (void)fs_.DeleteFile(ContinuePath());
  snapshot::DeleteSnapshotFiles(fs_, program_folder_);
  RemoveRunValue();
}

}  // namespace cvn::monitoring
