// Splitting a path at its last backslash.
#pragma once

#include <string_view>

namespace cvn::changes {

struct SplitPath {
  std::string_view container;  // the text before the last backslash; "" when there is none
  std::string_view name;       // the text after it (the whole path when there is none)
};

inline SplitPath SplitLastPath(std::string_view path) {
  const size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) return {{}, path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

}  // namespace cvn::changes
