// The shared-file side of TDezinstaler: keeping shared files out of the
// files phase, giving counters back, and offering the files nobody uses
// any more.
#include <optional>

#include "i18n/translator.h"
#include "platform/text.h"
#include "uninstall/dezinstaler.h"
#include "uninstall/shared_counter.h"

namespace cvn::uninstall {

using platform::KeyAccess;
using platform::RegKey;
using platform::Status;
using platform::StatusCode;

void TDezinstaler::BuildSharedNames() {
  FSharedNames.clear();
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
    FSharedNames.insert(text::ToUpper(name));
  }
}

bool TDezinstaler::IsSharedName(std::string_view path) const {
  return FSharedNames.contains(text::ToUpper(path));
}

void TDezinstaler::UpdateSharedCounter(const changes::TNodeData& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_UPD_SHARED", "UPDATING SHARED FILE COUNTER: ") + data.Name;
  const std::string counter_deleted =
      i18n::Translate("RS_ERR_COUNTER_DEL",
                      "ERROR (counter already deleted -> application is already uninstalled?)");
  // A counter key that is gone has taken the counter with it: that is the
  // missing counter, not a success.
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  std::unique_ptr<RegKey> key;
  Status s = root ? registry.OpenKey(*root, data.Path, KeyAccess::kReadWrite, &key)
                  : Status(StatusCode::kNotFound);
  platform::RegValue current;
  if (s.ok()) s = registry.QueryValue(*key, data.Name, &current);
  if (!s.ok()) {
    return Fail(s.code() == StatusCode::kNotFound ? counter_deleted
                                                  : i18n::Translate("RS_ERR", "ERROR"));
  }
  // A counter that changed its type since is not ours to change.
  if (current.type != data.ValueType) return;
  const std::optional<int64_t> count =
      GiveBackIncrement(current.type, current.data, data.AfterBytes());
  if (!count) return;
  if (*count <= 0) FUnusedShared.push_back(data.Name);
  // Written also at zero or below: the unused-file phase removes it.
  if (!registry.SetValue(*key, data.Name, current.type, EncodeCounter(current.type, *count)).ok())
    Fail(i18n::Translate("RS_ERR", "ERROR"));
}

void TDezinstaler::RemoveUnusedShared() {
  platform::FileSystem& fs = platform_.fs;
  FRemoveAnswer = raYes;
  for (const std::string& path : FUnusedShared) {
    FLogClass = lcSuccess;
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
      if (FRemoveAnswer == raYes || FRemoveAnswer == raNo) FRemoveAnswer = AskRemoveShared(path);
      if (FRemoveAnswer == raYes || FRemoveAnswer == raYesToAll) {
        fs.SetAttributes(path, platform::attr::kArchive);
        if (!RecycleFile(fs, platform_.shell, path)) {
          fs.SetAttributes(path, *attributes);
          Fail(i18n::Translate("RS_ERR_FILE_USED", "ERROR (in use)"));
        }
      } else {
        result_ = i18n::Translate("RS_OK_SKIPPED", "Ok (Skipped)");
      }
    }
    FLogLine = item + " ... " + result_;
    AddLogLine();
  }
}

RemoveAnswer TDezinstaler::AskRemoveShared(const std::string& path) {
  const size_t cut = path.rfind('\\');
  FAskFileName = cut == std::string::npos ? path : path.substr(cut + 1);
  FAskFolder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  RemoveAnswer answer = raNo;
  Synchronize([&] { answer = view_.AskRemoveShared(FAskFileName, FAskFolder); });
  // Anything but the four answers keeps the file.
  if (answer != raYes && answer != raYesToAll && answer != raNoToAll) answer = raNo;
  return answer;
}

}  // namespace cvn::uninstall
