#include "ui/user_guide.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace cvn::ui {

namespace {

std::string GuideIn(const std::string& folder, const std::string& code) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + "corvane_" + code + ".html";
}

}  // namespace

std::string UserGuidePath(const std::string& program_folder, const std::string& language_code,
                          const std::function<bool(const std::string&)>& exists) {
  if (!language_code.empty() && language_code.find_first_of("\\/:.") == std::string::npos) {
    std::string own = GuideIn(program_folder, language_code);
    if (exists(own)) return own;
  }
  return GuideIn(program_folder, "en");
}

platform::Status OpenUserGuide(const std::string& program_folder, const std::string& language_code,
                               std::string* tried) {
  auto exists = [](const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::win32::ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  };
  const std::string path = UserGuidePath(program_folder, language_code, exists);
  if (tried != nullptr) *tried = path;
  if (!exists(path)) return platform::Status(platform::StatusCode::kNotFound, ERROR_FILE_NOT_FOUND);
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
      nullptr, L"open", platform::win32::ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // ShellExecute reports success with a value above 32.
  if (result <= 32)
    return platform::Status(platform::StatusCode::kIoError, static_cast<uint32_t>(result));
  return platform::Status::Ok();
}

}  // namespace cvn::ui
