#include "wizard/wizard_input.h"

#include <algorithm>
#include <cctype>

namespace cvn::wizard {

namespace {

bool IsOneOf(char32_t typed, std::u32string_view set) {
  return set.find(typed) != std::u32string_view::npos;
}

// The text after the last backslash or colon.
std::string_view NamePart(std::string_view path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

}  // namespace

bool IdentifierAccepts(char32_t typed, bool field_empty) {
  if (typed == U' ') return !field_empty;
  return !IsOneOf(typed, U"\"*/:<>?\\|");
}

bool SetupPathAccepts(char32_t typed, bool field_empty) {
  if (typed == U' ') return !field_empty;
  return !IsOneOf(typed, U"*?");
}

std::string IdentifierFromDroppedFile(std::string_view path) {
  const std::string_view name = NamePart(path);
  const std::string upper = Upper(name);
  if (upper != "SETUP.EXE" && upper != "INSTALL.EXE") return std::string(name);
  std::string_view folder = path.substr(0, path.size() - name.size());
  while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  return std::string(NamePart(folder));
}

}  // namespace cvn::wizard
