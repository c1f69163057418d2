// The shared-file side of Uninstaller: keeping shared files out of the
// files phase, giving counters back, and offering the files nobody uses
// any more.
#include <optional>

#include "i18n/translator.h"
#include "platform/text.h"
#include "uninstall/shared_counter.h"
#include "uninstall/uninstaller.h"

namespace cvn::uninstall {

using platform::KeyAccess;
using platform::RegKey;
using platform::Status;
using platform::StatusCode;

void Uninstaller::BuildSharedNames() {
  shared_names_.clear();
  shared_names_complete_ = false;
  platform::Registry& registry = platform_.registry;
  std::unique_ptr<RegKey> key;
  const Status opened =
      registry.OpenKey(platform::RootKey::kLocalMachine, kSharedDllsKey, KeyAccess::kRead, &key);
  if (!opened.ok()) {
    shared_names_complete_ = opened.code() == StatusCode::kNotFound;  // no counters at all
    return;
  }
  platform::RegValue value;
  for (uint32_t index = 0;; ++index) {
    const Status s = registry.EnumValue(*key, index, platform::Registry::kUnlimited, &value);
    if (!s.ok()) {
      shared_names_complete_ = s.code() == StatusCode::kNoMoreItems;
      break;
    }
    // Counters may name a file by its short (8.3) path; the tree holds long ones.
    std::string name = ExpandLongPath(platform_.fs, value.name);
    if (name.empty()) name = value.name;
    shared_names_.insert(text::ToUpper(name));
  }
}

bool Uninstaller::IsSharedName(std::string_view path) const {
  return shared_names_.contains(text::ToUpper(path));
}

void Uninstaller::UpdateSharedCounter(const changes::ChangeRecord& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_UPD_SHARED", "UPDATING SHARED FILE COUNTER: ") + data.name;
  const std::string counter_deleted =
      i18n::Translate("RS_ERR_COUNTER_DEL",
                      "ERROR (counter already deleted -> application is already uninstalled?)");
  // The interrupted run this one finishes gave it back already (and may have
  // removed it since, as unused).
  if (const auto done = counters_done_.find(text::ToUpper(
          std::to_string(data.root_key) + '\\' + std::string(data.path) + '\\' + data.name));
      done != counters_done_.end()) {
    if (done->second <= 0) unused_shared_.push_back(data.name);
    return;
  }
  // A counter key that is gone has taken the counter with it: that is the
  // missing counter, not a success.
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  std::unique_ptr<RegKey> key;
  Status s = root ? registry.OpenKey(*root, data.path, KeyAccess::kReadWrite, &key)
                  : Status(StatusCode::kNotFound);
  platform::RegValue current;
  if (s.ok()) s = registry.QueryValue(*key, data.name, &current);
  if (!s.ok()) {
    return Fail(s.code() == StatusCode::kNotFound ? counter_deleted
                                                  : i18n::Translate("RS_ERR", "ERROR"));
  }
  // A counter that changed its type since is not ours to change.
  if (current.type != data.value_type) return;
  const std::optional<int64_t> count =
      GiveBackIncrement(current.type, current.data, data.AfterBytes());
  if (!count) return;
  uint32_t number = 0;
  if (!Ahead(
          [&](UninstallBackup& b) {
            return b.SaveCounter(data.root_key, data.path, data.name, current, *count);
          },
          &number))
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  if (*count <= 0) unused_shared_.push_back(data.name);
  // Written also at zero or below: the unused-file phase removes it.
  if (!registry.SetValue(*key, data.name, current.type, EncodeCounter(current.type, *count)).ok())
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  Done(number);
}

void Uninstaller::RemoveUnusedShared() {
  platform::FileSystem& fs = platform_.fs;
  remove_answer_ = RemoveAnswer::kYes;
  for (const std::string& path : unused_shared_) {
    log_class_ = LogClass::kSuccess;
    result_ = i18n::Translate("RS_OK", "Ok");
    const std::string item = i18n::Translate("RS_REM_SHARED", "DELETE SHARED FILE: ") + path;
    // The counter goes whatever the user decides about the file.
    std::unique_ptr<RegKey> key;
    platform::RegValue counter;
    uint32_t number = 0;
    if (platform_.registry
            .OpenKey(platform::RootKey::kLocalMachine, kSharedDllsKey, KeyAccess::kReadWrite, &key)
            .ok() &&
        platform_.registry.QueryValue(*key, path, &counter).ok() &&
        Ahead(
            [&](UninstallBackup& b) {
              return b.SaveValue(static_cast<uint32_t>(platform::RootKey::kLocalMachine),
                                 kSharedDllsKey, path, &counter);
            },
            &number)) {
      if (platform_.registry.DeleteValue(*key, path).ok()) Done(number);
    }
    const std::optional<uint32_t> attributes = fs.GetAttributes(path);
    if (!attributes && files_done_.contains(text::ToUpper(path))) {
      // The interrupted run this one finishes removed it: nothing is left to do.
    } else if (!attributes || (*attributes & platform::attr::kDirectory)) {
      Fail(i18n::Translate(
          "RS_ERR_SHARED_DEL",
          "ERROR (shared file already deleted -> application is already uninstalled?)"));
    } else {
      if (remove_answer_ == RemoveAnswer::kYes || remove_answer_ == RemoveAnswer::kNo)
        remove_answer_ = AskRemoveShared(path);
      if (remove_answer_ == RemoveAnswer::kYes || remove_answer_ == RemoveAnswer::kYesToAll) {
        uint32_t file_number = 0;
        const bool saved = !backup_enabled_ ||
                           (backup_ && backup_->SaveFile(path, *attributes, true, &file_number).ok());
        fs.SetAttributes(path, platform::attr::kArchive);
        if (saved && RecycleFile(fs, platform_.shell, path)) {
          Done(file_number);
        } else {
          fs.SetAttributes(path, *attributes);
          Fail(i18n::Translate("RS_ERR_FILE_USED", "ERROR (in use)"));
        }
      } else {
        result_ = i18n::Translate("RS_OK_SKIPPED", "Ok (Skipped)");
      }
    }
    log_line_ = item + " ... " + result_;
    AddLogLine();
  }
}

RemoveAnswer Uninstaller::AskRemoveShared(const std::string& path) {
  const size_t cut = path.rfind('\\');
  ask_file_name_ = cut == std::string::npos ? path : path.substr(cut + 1);
  ask_folder_ = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  RemoveAnswer answer = RemoveAnswer::kNo;
  Deliver();  // the question comes after the lines before it
  Synchronize([&] { answer = view_.AskRemoveShared(ask_file_name_, ask_folder_); });
  // Anything but the four answers keeps the file.
  if (answer != RemoveAnswer::kYes && answer != RemoveAnswer::kYesToAll &&
      answer != RemoveAnswer::kNoToAll)
    answer = RemoveAnswer::kNo;
  return answer;
}

}  // namespace cvn::uninstall
