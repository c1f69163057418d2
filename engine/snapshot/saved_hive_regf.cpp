#include "engine/snapshot/saved_hive_regf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace cvn::snapshot {

namespace {

using saved_hive_detail::AppendUtf16LeBytesAsUtf8;

constexpr size_t kBaseBlockSize = 4096;
constexpr size_t kChecksumAt = 508;
constexpr size_t kRootCellAt = 36;
constexpr size_t kBinsSizeAt = 40;

// Key node ("nk") fields, from the start of the cell's data.
constexpr size_t kNkFlags = 2, kNkSubkeyCount = 20, kNkSubkeyList = 28, kNkValueCount = 36,
                 kNkValueList = 40, kNkNameLength = 72, kNkName = 76;
constexpr uint16_t kKeyLink = 0x0010;
constexpr uint16_t kKeyCompressedName = 0x0020;

// Value ("vk") fields.
constexpr size_t kVkNameLength = 2, kVkDataSize = 4, kVkDataOffset = 8, kVkType = 12, kVkFlags = 16,
                 kVkName = 20;
constexpr uint16_t kValueCompressedName = 0x0001;
constexpr uint32_t kDataInOffset = 0x80000000u;
// The most data one cell carries when a value is split into segments ("db").
constexpr uint32_t kSegmentSize = 16344;
// Subkey lists nest at most this deep ("ri" holding "lf", "lh" or "li").
constexpr int kListDepth = 2;
// Keys nest at most this deep in a registry.
constexpr size_t kDeepest = 512;

[[noreturn]] void Fail(const char* what, size_t at) {
  throw SavedHiveError(std::string("saved registry hive damaged: ") + what + " at offset " +
                       std::to_string(at));
}

uint16_t U16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t U32(std::span<const uint8_t> b, size_t at) {
  return b[at] | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// A name as the hive stores it: Latin-1 ("compressed") or UTF-16.
void AppendName(std::span<const uint8_t> raw, bool compressed, std::string& out) {
  if (!compressed) {
    if (raw.size() % 2 != 0) Fail("name of odd length", 0);
    AppendUtf16LeBytesAsUtf8(raw, out);
    return;
  }
  for (const uint8_t c : raw) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

class RegfHive final : public SavedHive {
 public:
  explicit RegfHive(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  void Parse();
  void ReadValues(const SavedKey& key, SavedValueSink& sink) const override;

 private:
  // The data of the allocated cell at `offset` (relative to the first bin),
  // at least `least` bytes long.
  std::span<const uint8_t> Cell(uint32_t offset, size_t least) const;
  SavedKey* Key(uint32_t offset, size_t depth);
  void SubkeyList(uint32_t offset, int depth, std::vector<uint32_t>& keys) const;
  void ValueData(std::span<const uint8_t> vk, std::vector<uint8_t>& out) const;

  std::span<const uint8_t> bytes_;
  std::span<const uint8_t> bins_;
  std::vector<bool> seen_;  // key cells met, by offset / 8
  mutable std::string name_;
  mutable std::string text_;
  mutable std::vector<uint8_t> data_;
};

void RegfHive::Parse() {
  if (bytes_.size() < kBaseBlockSize) Fail("file shorter than its base block", 0);
  if (std::memcmp(bytes_.data(), "regf", 4) != 0) Fail("no regf signature", 0);
  uint32_t sum = 0;
  for (size_t at = 0; at < kChecksumAt; at += 4) sum ^= U32(bytes_, at);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
  if (sum != U32(bytes_, kChecksumAt)) Fail("base block checksum", kChecksumAt);
  const uint32_t bins_size = U32(bytes_, kBinsSizeAt);
  if (bins_size > bytes_.size() - kBaseBlockSize) Fail("hive bins past the end of the file", 0);
  bins_ = bytes_.subspan(kBaseBlockSize, bins_size);
  seen_.assign(bins_.size() / 8 + 1, false);
  root_ = Key(U32(bytes_, kRootCellAt), 0);
  seen_.clear();
  seen_.shrink_to_fit();
}

std::span<const uint8_t> RegfHive::Cell(uint32_t offset, size_t least) const {
  if (offset % 8 != 0 || offset > bins_.size() || bins_.size() - offset < 4)
    Fail("cell offset outside the hive", offset);
  const auto size = static_cast<int32_t>(U32(bins_, offset));
  // An allocated cell has a negative size, which counts its own 4 bytes.
  if (size >= 0) Fail("cell not in use", offset);
  const uint32_t length = 0u - static_cast<uint32_t>(size);
  if (length < 4 + least || length > bins_.size() - offset) Fail("cell size", offset);
  return bins_.subspan(offset + 4, length - 4);
}

SavedKey* RegfHive::Key(uint32_t offset, size_t depth) {
  if (depth > kDeepest) Fail("keys nested too deep", offset);
  const std::span<const uint8_t> nk = Cell(offset, kNkName);
  if (nk[0] != 'n' || nk[1] != 'k') Fail("key signature", offset);
  if (seen_[offset / 8]) Fail("key met twice", offset);
  seen_[offset / 8] = true;
  const uint16_t flags = U16(nk, kNkFlags);
  const uint16_t name_length = U16(nk, kNkNameLength);
  if (name_length > nk.size() - kNkName) Fail("key name past its cell", offset);

  auto* key = arena_.New<SavedKey>();
  key->link = (flags & kKeyLink) != 0;
  if (depth > 0) {
    name_.clear();
    AppendName(nk.subspan(kNkName, name_length), (flags & kKeyCompressedName) != 0, name_);
    if (name_.empty()) Fail("empty key name", offset);
    key->name = arena_.CopyText(name_);
  }
  key->values_begin = U32(nk, kNkValueList);
  key->values_end = U32(nk, kNkValueCount);

  const uint32_t subkey_count = U32(nk, kNkSubkeyCount);
  if (subkey_count == 0) return key;
  std::vector<uint32_t> children;
  SubkeyList(U32(nk, kNkSubkeyList), 0, children);
  if (children.size() != subkey_count) Fail("subkey count", offset);
  SavedKey* last = nullptr;
  for (const uint32_t child_offset : children) {
    SavedKey* child = Key(child_offset, depth + 1);
    if (last == nullptr) {
      key->first_child = child;
    } else {
      last->next = child;
    }
    last = child;
  }
  key->child_count = subkey_count;
  return key;
}

// "li" lists key offsets; "lf" and "lh" pair each with a hint; "ri" lists
// lists.
void RegfHive::SubkeyList(uint32_t offset, int depth, std::vector<uint32_t>& keys) const {
  const std::span<const uint8_t> list = Cell(offset, 4);
  const uint16_t count = U16(list, 2);
  size_t stride = 0;
  if (list[0] == 'l' && list[1] == 'i') stride = 4;
  if (list[0] == 'l' && (list[1] == 'f' || list[1] == 'h')) stride = 8;
  const bool nested = list[0] == 'r' && list[1] == 'i';
  if (nested) stride = 4;
  if (stride == 0) Fail("subkey list signature", offset);
  if (nested && depth + 1 >= kListDepth) Fail("subkey lists nested too deep", offset);
  if (count > (list.size() - 4) / stride) Fail("subkey list past its cell", offset);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t element = U32(list, 4 + i * stride);
    if (nested) {
      SubkeyList(element, depth + 1, keys);
    } else {
      keys.push_back(element);
    }
  }
}

void RegfHive::ReadValues(const SavedKey& key, SavedValueSink& sink) const {
  const auto count = static_cast<uint32_t>(key.values_end);
  if (count == 0) return;
  const auto list_offset = static_cast<uint32_t>(key.values_begin);
  if (count > bins_.size() / 4) Fail("value count", list_offset);
  const std::span<const uint8_t> list = Cell(list_offset, size_t{count} * 4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t vk_offset = U32(list, size_t{i} * 4);
    const std::span<const uint8_t> vk = Cell(vk_offset, kVkName);
    if (vk[0] != 'v' || vk[1] != 'k') Fail("value signature", vk_offset);
    const uint16_t name_length = U16(vk, kVkNameLength);
    if (name_length > vk.size() - kVkName) Fail("value name past its cell", vk_offset);
    name_.clear();
    AppendName(vk.subspan(kVkName, name_length), (U16(vk, kVkFlags) & kValueCompressedName) != 0,
               name_);
    const uint32_t type = U32(vk, kVkType);
    ValueData(vk, data_);
    if (platform::regtype::IsText(type)) {
      text_.clear();
      AppendUtf16LeBytesAsUtf8(data_, text_);
      data_.assign(text_.begin(), text_.end());
    }
    sink.Value(name_, type, data_);
  }
}

// The data of a value: in the offset field itself (4 bytes at most), in one
// cell, or split over the segments of a "db" cell.
void RegfHive::ValueData(std::span<const uint8_t> vk, std::vector<uint8_t>& out) const {
  out.clear();
  const uint32_t raw_size = U32(vk, kVkDataSize);
  const uint32_t offset = U32(vk, kVkDataOffset);
  if (raw_size & kDataInOffset) {
    const uint32_t size = raw_size & ~kDataInOffset;
    if (size > 4) Fail("inline value data size", offset);
    out.assign(vk.begin() + kVkDataOffset, vk.begin() + kVkDataOffset + size);
    return;
  }
  if (raw_size == 0) return;
  if (raw_size > bins_.size()) Fail("value data size", offset);
  const std::span<const uint8_t> cell = Cell(offset, 0);
  if (raw_size > kSegmentSize && cell.size() >= 8 && cell[0] == 'd' && cell[1] == 'b') {
    const uint16_t segments = U16(cell, 2);
    const std::span<const uint8_t> list = Cell(U32(cell, 4), size_t{segments} * 4);
    out.reserve(raw_size);
    for (uint16_t i = 0; i < segments && out.size() < raw_size; ++i) {
      const std::span<const uint8_t> segment = Cell(U32(list, size_t{i} * 4), 0);
      const size_t take = std::min<size_t>({segment.size(), kSegmentSize, raw_size - out.size()});
      out.insert(out.end(), segment.begin(), segment.begin() + static_cast<ptrdiff_t>(take));
    }
    if (out.size() != raw_size) Fail("value data segments", offset);
    return;
  }
  if (cell.size() < raw_size) Fail("value data past its cell", offset);
  out.assign(cell.begin(), cell.begin() + raw_size);
}

}  // namespace

std::unique_ptr<SavedHive> ParseRegfHive(std::span<const uint8_t> bytes, SavedHiveCheck check) {
  auto hive = std::make_unique<RegfHive>(bytes);
  hive->Parse();
  if (check == SavedHiveCheck::kWhole) hive->CheckAllValues();
  return hive;
}

}  // namespace cvn::snapshot
