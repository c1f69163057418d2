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
  if (*count <= 0) unused_shared_.push_back(data.name);
  // Written also at zero or below: the unused-file phase removes it.
  if (!registry.SetValue(*key, data.name, current.type, EncodeCounter(current.type, *count)).ok())
    Fail(i18n::Translate("RS_ERR", "ERROR"));
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
    if (platform_.registry
            .OpenKey(platform::RootKey::kLocalMachine, kSharedDllsKey, KeyAccess::kReadWrite, &key)
            .ok()) {
      platform_.registry.DeleteValue(*key, path);
    }
    const std::optional<uint32_t> attributes = fs.GetAttributes(path);
    if (!attributes || (*attributes & platform::attr::kDirectory)) {
      Fail(i18n::Translate(
          "RS_ERR_SHARED_DEL",
          "ERROR (shared file already deleted -> application is already uninstalled?)"));
    } else {
      if (remove_answer_ == RemoveAnswer::kYes || remove_answer_ == RemoveAnswer::kNo)
        remove_answer_ = AskRemoveShared(path);
      if (remove_answer_ == RemoveAnswer::kYes || remove_answer_ == RemoveAnswer::kYesToAll) {
        fs.SetAttributes(path, platform::attr::kArchive);
        if (!RecycleFile(fs, platform_.shell, path)) {
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
  Synchronize([&] { answer = view_.AskRemoveShared(ask_file_name_, ask_folder_); });
  // Anything but the four answers keeps the file.
  if (answer != RemoveAnswer::kYes && answer != RemoveAnswer::kYesToAll &&
      answer != RemoveAnswer::kNoToAll)
    answer = RemoveAnswer::kNo;
  return answer;
}

}  // namespace cvn::uninstall
