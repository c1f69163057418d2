#include "engine/compare/first_match_index.h"

#include <string>

namespace cvn::compare {
namespace {

uint64_t Fnv1a(uint64_t h, uint8_t byte) {
  return (h ^ byte) * 1099511628211ull;
}

}  // namespace

size_t NoCaseHash(std::string_view name) {
  // text::ToUpper folds ASCII letters exactly like this and maps every other
  // character to a fixed text, so hashing its result agrees with
  // EqualsNoCase; pure ASCII names (nearly all) need no copy.
  uint64_t h = 1469598103934665603ull;
  for (char c : name) {
    if (static_cast<uint8_t>(c) >= 0x80) {
      h = 1469598103934665603ull;
      for (char u : text::ToUpper(name)) h = Fnv1a(h, static_cast<uint8_t>(u));
      return static_cast<size_t>(h);
    }
    h = Fnv1a(h, static_cast<uint8_t>((c >= 'a' && c <= 'z') ? c - 0x20 : c));
  }
  return static_cast<size_t>(h);
}

}  // namespace cvn::compare
