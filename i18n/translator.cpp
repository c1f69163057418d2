#include "i18n/translator.h"

#include <algorithm>
#include <atomic>

#include "i18n/language_file.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace cvn::i18n {

namespace {

constexpr std::string_view kSystemSection = "*SYSTEM*";
constexpr std::string_view kMessagesSection = "RESOURCESTRING";
constexpr std::string_view kHelpSection = "HELP";
constexpr std::string_view kError = "(error)";

bool EndsWithLng(std::string_view name) {
  return name.size() > 4 && text::EqualsNoCaseAscii(name.substr(name.size() - 4), ".lng");
}

std::string FolderOf(std::string_view path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

// A text of the file, from the file's code page to UTF-8.
std::string ReadText(LanguageFile& file, std::string_view section, std::string_view key,
                     std::string_view fallback, uint8_t charset) {
  if (!file.ValueExists(section, key)) return std::string(fallback);
  return platform::CodePageToUtf8(file.ReadString(section, key, fallback),
                                  platform::CodePageOfCharset(charset));
}

uint8_t ReadCharset(LanguageFile& file) {
  return static_cast<uint8_t>(file.ReadInteger(kSystemSection, "CHARSET", 1));
}

}  // namespace

Translator::Translator(platform::FileSystem& fs, std::string executable_path)
    : fs_(fs), executable_path_(std::move(executable_path)) {
  LoadLanguageList();
}

Translator::~Translator() = default;

std::string Translator::FileOf(std::string_view language) const {
  return platform::JoinPath(languages_folder_, std::string(language) + ".lng");
}

void Translator::ReportDamage(const std::string& file_name) {
  std::lock_guard lock(damage_mutex_);
  if (damaged_files_.insert(text::ToUpper(file_name)).second)
    pending_reports_.push_back(std::string(InvalidFileFormat().what()) + " " + file_name);
}

std::optional<std::string> Translator::TakeDamageReport() {
  std::lock_guard lock(damage_mutex_);
  if (pending_reports_.empty()) return std::nullopt;
  std::string report = std::move(pending_reports_.front());
  pending_reports_.erase(pending_reports_.begin());
  return report;
}

bool Translator::ReadFile(std::string_view language,
                          const std::function<void(LanguageFile&)>& read) {
  LanguageFile file(fs_, FileOf(language));
  try {
    read(file);
    return true;
  } catch (const InvalidFileFormat&) {
    ReportDamage(file.FileName());
    return false;
  }
}

void Translator::LoadLanguageList() {
  languages_.clear();
  languages_folder_ = platform::JoinPath(FolderOf(executable_path_), "Translations");
  std::unique_ptr<platform::FolderListing> listing;
  if (!fs_.ListFolder(languages_folder_, &listing).ok()) return;
  platform::FindEntry entry;
  while (listing->Next(&entry).ok()) {
    if ((entry.attributes & platform::attr::kDirectory) || !EndsWithLng(entry.name)) continue;
    Language language{entry.name.substr(0, entry.name.size() - 4), {}};
    ReadFile(language.name, [&](LanguageFile& file) {
      if (auto flag = file.ReadValue(kSystemSection, "FLAG")) language.flag = std::move(*flag);
    });
    auto at = std::lower_bound(languages_.begin(), languages_.end(), language.name,
                               [](const Language& l, const std::string& name) {
                                 return text::CompareNoCase(l.name, name) < 0;
                               });
    languages_.insert(at, std::move(language));
  }
}

void Translator::SetLanguage(std::string_view name) {
  auto listed = [&](std::string_view wanted) {
    return std::any_of(languages_.begin(), languages_.end(),
                       [&](const Language& l) { return text::EqualsNoCase(l.name, wanted); });
  };
  if (listed(name)) {
    current_language_ = std::string(name);
  } else if (listed("English")) {
    current_language_ = "English";
  } else if (!languages_.empty()) {
    current_language_ = languages_.front().name;
  }
  if (current_language_.empty()) return;
  if (!ReadFile(current_language_, [&](LanguageFile& file) { charset_ = ReadCharset(file); }))
    charset_ = 1;
}

void Translator::TranslateForm(TranslatableForm& form, std::optional<int> component,
                               std::string_view language) {
  const std::string chosen =
      std::string(language.empty() ? std::string_view(current_language_) : language);
  if (chosen.empty()) return;
  ReadFile(chosen, [&](LanguageFile& file) {
    charset_ = ReadCharset(file);
    const std::string section = form.FormName();
    if (!component) {
      if (file.ValueExists(section, "Caption"))
        form.SetCaption(ReadText(file, section, "Caption", kError, charset_));
      form.SetFontCharset(charset_);
    }
    for (const std::string& key : file.ReadSectionKeys(section)) {
      const int target = form.FindComponent(key.substr(0, key.find('.')));
      if (target < 0 || (component && target != *component)) continue;
      const std::string property = key.substr(key.rfind('.') + 1);
      form.SetComponentText(target, property, ReadText(file, section, key, kError, charset_));
      form.SetComponentCharset(target, charset_);
    }
  });
  if (OnTranslated) OnTranslated(form);
}

std::string Translator::GetString(std::string_view id, std::string_view fallback) {
  if (current_language_.empty()) return std::string(fallback);
  std::string result(fallback);
  ReadFile(current_language_, [&](LanguageFile& file) {
    result = ReadText(file, kMessagesSection, id, fallback, ReadCharset(file));
  });
  return result;
}

std::string Translator::Translate(std::string_view id, std::string_view fallback) {
  if (current_language_.empty() || current_language_ == "English") return std::string(fallback);
  return GetString(id, fallback);
}

std::string Translator::HelpText(int context) {
  const std::string key = std::to_string(context);
  std::string result;
  auto read_from = [&](std::string_view language) {
    ReadFile(language, [&](LanguageFile& file) {
      result = ReadText(file, kHelpSection, key, {}, ReadCharset(file));
    });
  };
  if (!current_language_.empty()) read_from(current_language_);
  if (result.empty() && !text::EqualsNoCaseAscii(current_language_, "English")) {
    for (const Language& language : languages_) {
      if (text::EqualsNoCaseAscii(language.name, "English")) read_from(language.name);
    }
  }
  return result;
}

std::string Translator::LanguageCode() const {
  if (current_language_.empty()) return "en";
  // A damaged file is reported by the lookups of its texts; its code is "en".
  try {
    LanguageFile file(fs_, FileOf(current_language_));
    return file.ReadString(kSystemSection, "LNG_CODE", "en");
  } catch (const InvalidFileFormat&) {
    return "en";
  }
}

std::string Translator::GetHelpFile(std::string_view base) {
  std::string path = base.empty()
                         ? executable_path_.substr(
                               0, executable_path_.size() < 4 ? 0 : executable_path_.size() - 4)
                         : platform::JoinPath(FolderOf(executable_path_), base);
  std::string code = "en";
  if (!current_language_.empty())
    ReadFile(current_language_,
             [&](LanguageFile& file) { code = file.ReadString(kSystemSection, "LNG_CODE", "en"); });
  return path + "_" + code + ".hlp";
}

std::vector<uint8_t> Translator::GetFlag(std::string_view language) const {
  for (const Language& l : languages_)
    if (text::EqualsNoCase(l.name, language)) return l.flag;
  return {};
}

namespace {
std::atomic<Translator*> g_translator{nullptr};
}

void InstallTranslator(Translator* translator) {
  g_translator = translator;
}
Translator* CurrentTranslator() {
  return g_translator;
}

std::string Translate(std::string_view id, std::string_view fallback) {
  Translator* translator = g_translator;
  return translator ? translator->Translate(id, fallback) : std::string(fallback);
}

}  // namespace cvn::i18n
