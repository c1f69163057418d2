// Translator: the interface language of windows and messages.
//
// English is built in: with the language "English", or none, every message
// is its English default and windows keep their designed texts. Other
// languages come from "<name>.lng" files in the folder "Translations" beside
// the executable (see language_file.h). Texts in a language file are 8-bit in the
// code page of the file's character set; the translator hands them out as
// UTF-8.
//
// A damaged language file never stops the program: the lookup that meets the
// damage gives the English default, and the damage is reported once per file
// (TakeDamageReport).
//
// Threads: lookups (GetString, Translate) may run on workers; choosing the
// language and translating windows happen on the main thread while no worker
// runs.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace cvn::i18n {

class LanguageFile;

// What a window offers to the translator. Components are addressed by the
// index FindComponent gives.
class TranslatableForm {
 public:
  virtual ~TranslatableForm() = default;
  // The form's name in language files: its class name without the "T".
  virtual std::string FormName() const = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void SetFontCharset(uint8_t charset) = 0;
  // The component named `name` (letter case ignored), or -1.
  virtual int FindComponent(std::string_view name) const = 0;
  // Sets a text property ("Caption", "Text", "Hint"); false, and nothing
  // changes, when the component has no text property of that name.
  virtual bool SetComponentText(int component, std::string_view property,
                                std::string_view text) = 0;
  // Sets the character set of the component's font, when it has a font.
  virtual void SetComponentCharset(int component, uint8_t charset) = 0;
};

struct Language {
  std::string name;           // the file name without ".lng"
  std::vector<uint8_t> flag;  // the flag picture as BMP file bytes; empty when the file has none
};

class Translator {
 public:
  // `executable_path` is the full path of the program; the languages are
  // listed at once.
  Translator(platform::FileSystem& fs, std::string executable_path);
  ~Translator();

  // Lists the language files again.
  void LoadLanguageList();
  // Chooses the language: `name` when a file of that name exists (keeping
  // the caller's letter case), else "English" when it has a file, else the
  // first language in sorted order; with no files nothing changes.
  void SetLanguage(std::string_view name);
  // Applies a language file (the current language when `language` is empty)
  // to the whole form, or to one component of it.
  void TranslateForm(TranslatableForm& form, std::optional<int> component = std::nullopt,
                     std::string_view language = {});

  // The text of message `id` in the current language; `fallback` when there
  // is no language, no such text, or the file is damaged.
  std::string GetString(std::string_view id, std::string_view fallback);
  // As GetString, except that the language "English" (exactly so spelt)
  // gives the built-in defaults without opening any file.
  std::string Translate(std::string_view id, std::string_view fallback);

  // The short help text of a control's help context number, from the
  // section HELP of the current language's file, else of the English file;
  // empty when neither has one.
  std::string HelpText(int context);
  // The LNG_CODE of the current language's file ("de"); "en" without one.
  std::string LanguageCode() const;

  // The help file beside the executable, named after it, with the language
  // code of the current language: "C:\Apps\corvane_de.hlp".
  std::string GetHelpFile(std::string_view base = {});

  const std::string& LanguagesFolder() const { return languages_folder_; }
  const std::string& CurrentLanguage() const { return current_language_; }
  const std::vector<Language>& Languages() const { return languages_; }
  // The flag of the named language; empty when it has none or is unknown.
  std::vector<uint8_t> GetFlag(std::string_view language) const;
  // The character set of the current (or last previewed) language.
  uint8_t Charset() const { return charset_; }

  // Called with a form after TranslateForm has finished with it.
  std::function<void(TranslatableForm&)> OnTranslated;

  // "Invalid file format." with the path of a damaged language file, once
  // per file the first time its damage is met; empty when there is none new.
  std::optional<std::string> TakeDamageReport();

 private:
  std::string FileOf(std::string_view language) const;
  // Runs `read` on the language's file; a damaged file is reported and
  // gives false.
  bool ReadFile(std::string_view language, const std::function<void(LanguageFile&)>& read);
  void ReportDamage(const std::string& file_name);

  platform::FileSystem& fs_;
  std::string executable_path_;
  std::string languages_folder_;
  std::string current_language_;
  std::vector<Language> languages_;
  uint8_t charset_ = 1;

  std::mutex damage_mutex_;
  std::set<std::string> damaged_files_;
  std::vector<std::string> pending_reports_;
};

// The process-wide translator: the program installs it at start-up; until
// then (and in tools and tests that install none) every text is English.
void InstallTranslator(Translator* translator);
Translator* CurrentTranslator();
// The message lookup used by the whole program.
std::string Translate(std::string_view id, std::string_view fallback);

}  // namespace cvn::i18n
