#include "engine/snapshot/saved_hive.h"

#include <cstring>

#include "engine/snapshot/saved_hive_regf.h"
#include "engine/snapshot/saved_hive_text.h"
#include "platform/text.h"

namespace cvn::snapshot {

namespace {

class DiscardValues final : public SavedValueSink {
 public:
  void Value(std::string_view, uint32_t, std::span<const uint8_t>) override { ++count; }
  size_t count = 0;
};

bool IsHigh(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

void SavedHive::CheckAllValues() {
  DiscardValues discard;
  size_t keys = 0;
  // Depth first without recursion: a deep file must not exhaust the stack.
  std::vector<const SavedKey*> pending = {root_};
  while (!pending.empty()) {
    const SavedKey* key = pending.back();
    pending.pop_back();
    ++keys;
    ReadValues(*key, discard);
    for (const SavedKey* child = key->first_child; child != nullptr; child = child->next)
      pending.push_back(child);
  }
  key_count_ = keys;
  value_count_ = discard.count;
}

SavedHiveFormat DetectSavedHiveFormat(std::span<const uint8_t> bytes) {
  constexpr std::string_view kText = "WINE REGISTRY Version ";
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "regf", 4) == 0) return SavedHiveFormat::kRegf;
  if (bytes.size() >= kText.size() && std::memcmp(bytes.data(), kText.data(), kText.size()) == 0)
    return SavedHiveFormat::kWineText;
  return SavedHiveFormat::kUnknown;
}

std::unique_ptr<SavedHive> ParseSavedHive(std::span<const uint8_t> bytes, SavedHiveCheck check) {
  std::unique_ptr<SavedHive> hive;
  switch (DetectSavedHiveFormat(bytes)) {
    case SavedHiveFormat::kRegf:
      hive = ParseRegfHive(bytes, SavedHiveCheck::kKeysOnly);
      break;
    case SavedHiveFormat::kWineText:
      hive = ParseWineTextHive(bytes, SavedHiveCheck::kKeysOnly);
      break;
    case SavedHiveFormat::kUnknown:
      throw SavedHiveError("saved registry file of an unknown format");
  }
  if (check == SavedHiveCheck::kWhole) hive->CheckAllValues();
  return hive;
}

namespace saved_hive_detail {

void AppendUtf16AsUtf8(std::span<const char16_t> units, std::string& out) {
  for (size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    if (IsHigh(unit) && i + 1 < units.size() && IsLow(units[i + 1])) {
      const char32_t low = units[++i];
      text::AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
    } else {
      text::AppendUtf8(unit, out);
    }
  }
}

void AppendUtf16LeBytesAsUtf8(std::span<const uint8_t> bytes, std::string& out) {
  const size_t count = bytes.size() / 2;
  for (size_t i = 0; i < count; ++i) {
    const char32_t unit = bytes[2 * i] | char32_t{bytes[2 * i + 1]} << 8;
    if (IsHigh(unit) && i + 1 < count) {
      const char32_t low = bytes[2 * i + 2] | char32_t{bytes[2 * i + 3]} << 8;
      if (IsLow(low)) {
        ++i;
        text::AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        continue;
      }
    }
    text::AppendUtf8(unit, out);
  }
}

}  // namespace saved_hive_detail

}  // namespace cvn::snapshot
