#include "engine/compare/first_match_index.h"

#include <string>

#include "platform/text.h"

namespace cvn::compare {
namespace {

uint64_t Fnv1a(uint64_t h, uint8_t byte) {
  return (h ^ byte) * 1099511628211ull;
}

// FNV-1a spreads poorly into its low bits, which pick the slot: mix them.
size_t Finish(uint64_t h) {
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 32;
  return static_cast<size_t>(h);
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
      return Finish(h);
    }
    h = Fnv1a(h, static_cast<uint8_t>((c >= 'a' && c <= 'z') ? c - 0x20 : c));
  }
  return Finish(h);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
      const auto x = static_cast<uint8_t>(a[i]);
      const auto y = static_cast<uint8_t>(b[i]);
      if ((x | y) >= 0x80) break;  // beyond ASCII: the full comparison decides
      // Both prefixes are the same ASCII letters so far, so an ASCII
      // difference here is a difference for the full comparison too.
      if ((x >= 'a' && x <= 'z' ? x - 0x20 : x) != (y >= 'a' && y <= 'z' ? y - 0x20 : y))
        return false;
    }
    if (i == a.size()) return true;
  }
  return text::EqualsNoCase(a, b);
}

}  // namespace cvn::compare
