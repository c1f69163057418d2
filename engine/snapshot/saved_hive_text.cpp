#include "engine/snapshot/saved_hive_text.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace cvn::snapshot {

namespace {

using saved_hive_detail::AppendUtf16AsUtf8;
using saved_hive_detail::AppendUtf16LeBytesAsUtf8;

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

[[noreturn]] void Fail(const char* what, size_t at) {
  throw SavedHiveError(std::string("saved registry file damaged: ") + what + " at byte " +
                       std::to_string(at));
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendCodePoint(char32_t cp, std::vector<char16_t>& units) {
  if (cp >= 0x10000) {
    units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
  } else {
    units.push_back(static_cast<char16_t>(cp));
  }
}

// A cursor over the file that never moves past its end.
class Cursor {
 public:
  Cursor(std::span<const uint8_t> bytes, size_t pos, size_t end)
      : bytes_(bytes), pos_(pos), end_(end) {}

  bool AtEnd() const { return pos_ >= end_; }
  size_t pos() const { return pos_; }
  uint8_t Peek() const { return AtEnd() ? 0 : bytes_[pos_]; }
  uint8_t Take() { return AtEnd() ? 0 : bytes_[pos_++]; }
  bool Skip(std::string_view literal) {
    if (end_ - pos_ < literal.size()) return false;
    for (size_t i = 0; i < literal.size(); ++i)
      if (bytes_[pos_ + i] != static_cast<uint8_t>(literal[i])) return false;
    pos_ += literal.size();
    return true;
  }
  void SkipSpaces() {
    while (!AtEnd() && (bytes_[pos_] == ' ' || bytes_[pos_] == '\t')) ++pos_;
  }
  // Past the end of the current line (its '\n' included).
  void SkipLine() {
    while (!AtEnd() && bytes_[pos_] != '\n') ++pos_;
    if (!AtEnd()) ++pos_;
  }
  // At the end of a line: only spaces and a '\r' may be left before '\n'.
  void EndLine() {
    SkipSpaces();
    if (Peek() == '\r') ++pos_;
    if (AtEnd()) return;
    if (bytes_[pos_] != '\n') Fail("text after the end of an entry", pos_);
    ++pos_;
  }
  // A hexadecimal number of 1 to `most` digits.
  uint32_t Hex(int most) {
    uint32_t value = 0;
    int digits = 0;
    for (int d; digits < most && (d = HexDigit(Peek())) >= 0; ++digits) {
      value = value << 4 | static_cast<uint32_t>(d);
      ++pos_;
    }
    if (digits == 0) Fail("hexadecimal number expected", pos_);
    return value;
  }

  // The text up to the unescaped `close`, as UTF-16 code units: the escapes
  // \a \b \e \f \n \r \t \v, \x and 1 to 4 hex digits, \ and 1 to 3 octal
  // digits, and \ before any other character for that character. Bytes above
  // 127 are UTF-8 (one U+FFFD for each byte that is not).
  void QuotedText(uint8_t close, std::vector<char16_t>& units) {
    units.clear();
    for (;;) {
      if (AtEnd() || Peek() == '\n') Fail("unterminated text", pos_);
      const uint8_t c = Take();
      if (c == close) return;
      if (c == '\\') {
        Escape(units);
      } else if (c < 0x80) {
        units.push_back(c);
      } else {
        --pos_;
        AppendCodePoint(Utf8CodePoint(), units);
      }
    }
  }

 private:
  void Escape(std::vector<char16_t>& units) {
    if (AtEnd() || Peek() == '\n') Fail("unterminated escape", pos_);
    const uint8_t e = Take();
    switch (e) {
      case 'a':
        units.push_back(7);
        return;
      case 'b':
        units.push_back(8);
        return;
      case 'e':
        units.push_back(0x1B);
        return;
      case 'f':
        units.push_back(0x0C);
        return;
      case 'n':
        units.push_back(0x0A);
        return;
      case 'r':
        units.push_back(0x0D);
        return;
      case 't':
        units.push_back(0x09);
        return;
      case 'v':
        units.push_back(0x0B);
        return;
      case 'x':
        units.push_back(static_cast<char16_t>(Hex(4)));
        return;
      default:
        break;
    }
    if (e >= '0' && e <= '7') {
      uint32_t value = e - '0';
      for (int digits = 1; digits < 3 && Peek() >= '0' && Peek() <= '7'; ++digits)
        value = value << 3 | (Take() - '0');
      units.push_back(static_cast<char16_t>(value));
      return;
    }
    if (e < 0x80) {
      units.push_back(e);
      return;
    }
    --pos_;
    AppendCodePoint(Utf8CodePoint(), units);
  }

  char32_t Utf8CodePoint() {
    const uint8_t b0 = Take();
    const int length = (b0 & 0xE0) == 0xC0   ? 2
                       : (b0 & 0xF0) == 0xE0 ? 3
                       : (b0 & 0xF8) == 0xF0 ? 4
                                             : 0;
    if (length == 0 || end_ - pos_ < static_cast<size_t>(length - 1)) return 0xFFFD;
    char32_t cp = b0 & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const uint8_t b = bytes_[pos_ + k - 1];
      if ((b & 0xC0) != 0x80) return 0xFFFD;
      cp = cp << 6 | (b & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF) return 0xFFFD;
    pos_ += length - 1;
    return cp;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_;
  size_t end_;
};

class WineTextHive final : public SavedHive {
 public:
  explicit WineTextHive(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  void Parse();
  void ReadValues(const SavedKey& key, SavedValueSink& sink) const override;

 private:
  // The section header's path after its '[', as elements; the cursor ends
  // past the header line.
  void HeaderPath(Cursor& at, std::vector<std::string>& elements);
  SavedKey* KeyFor(const std::vector<std::string>& elements, size_t at);
  void ReadValue(Cursor& at, SavedValueSink& sink) const;
  void HexBytes(Cursor& at, std::vector<uint8_t>& out) const;

  std::span<const uint8_t> bytes_;
  // While parsing: the keys from the root to the last section's key, and
  // the last child of each, where the next child is linked.
  std::vector<SavedKey*> open_;
  std::vector<SavedKey*> last_child_;
  std::unordered_set<std::string> seen_;  // parent and upper-case name of each key
  // Scratch of ReadValues.
  mutable std::vector<char16_t> units_;
  mutable std::string name_;
  mutable std::string text_;
  mutable std::vector<uint8_t> data_;
};

void WineTextHive::Parse() {
  Cursor at(bytes_, 0, bytes_.size());
  if (!at.Skip(kHeader)) Fail("not a registry file of version 2", 0);
  at.EndLine();
  root_ = arena_.New<SavedKey>();
  open_ = {root_};
  last_child_ = {nullptr};
  SavedKey* section = nullptr;
  std::vector<std::string> elements;
  while (!at.AtEnd()) {
    const size_t line = at.pos();
    const uint8_t first = at.Peek();
    if (first == '[') {
      if (section != nullptr) section->values_end = line;
      at.Take();
      HeaderPath(at, elements);
      section = KeyFor(elements, line);
      if (section->values_begin != 0) Fail("key listed twice", line);
      section->values_begin = at.pos();
      section->values_end = at.pos();
      continue;
    }
    if (section != nullptr && at.Skip("#link")) {
      section->link = true;
      at.EndLine();
      continue;
    }
    // Before the first section only options (#arch=...), comments and
    // blank lines may stand; inside one, its values are read later.
    if (section == nullptr && first != '#' && first != ';' && first != '\n' && first != '\r')
      Fail("value outside any key", line);
    at.SkipLine();
  }
  if (section != nullptr) section->values_end = bytes_.size();
  open_.clear();
  last_child_.clear();
  seen_.clear();
}

void WineTextHive::HeaderPath(Cursor& at, std::vector<std::string>& elements) {
  const size_t start = at.pos();
  std::vector<char16_t> units;
  at.QuotedText(']', units);
  at.SkipLine();  // the modification time
  elements.clear();
  if (units.empty()) return;
  size_t begin = 0;
  for (size_t i = 0; i <= units.size(); ++i) {
    if (i < units.size() && units[i] != u'\\') continue;
    if (i == begin) Fail("empty key name", start);
    std::string element;
    AppendUtf16AsUtf8(std::span(units).subspan(begin, i - begin), element);
    elements.push_back(std::move(element));
    begin = i + 1;
  }
}

SavedKey* WineTextHive::KeyFor(const std::vector<std::string>& elements, size_t at) {
  // Keys come depth first, so a section's path shares a beginning with the
  // keys open from the last one; keys on the way that have no section of
  // their own (no values, but subkeys) are made here.
  size_t depth = 1;
  while (depth <= elements.size() && depth < open_.size() &&
         open_[depth]->name == elements[depth - 1])
    ++depth;
  open_.resize(depth);
  last_child_.resize(depth);
  for (; depth <= elements.size(); ++depth) {
    SavedKey* parent = open_[depth - 1];
    SavedKey* previous = last_child_[depth - 1];
    const std::string& name = elements[depth - 1];
    // A key met again after its subtree ended: the file is not in order.
    std::string seen(reinterpret_cast<const char*>(&parent), sizeof parent);
    seen += text::ToUpper(name);
    if (!seen_.insert(std::move(seen)).second) Fail("key listed twice", at);
    auto* key = arena_.New<SavedKey>();
    key->name = arena_.CopyText(name);
    if (previous == nullptr) {
      parent->first_child = key;
    } else {
      previous->next = key;
    }
    ++parent->child_count;
    last_child_[depth - 1] = key;
    open_.push_back(key);
    last_child_.push_back(nullptr);
  }
  return open_[elements.size()];
}

void WineTextHive::ReadValues(const SavedKey& key, SavedValueSink& sink) const {
  Cursor at(bytes_, key.values_begin, key.values_end);
  while (!at.AtEnd()) {
    const uint8_t first = at.Peek();
    if (first == '#' || first == ';' || first == '\n' || first == '\r') {
      at.SkipLine();
      continue;
    }
    ReadValue(at, sink);
  }
}

void WineTextHive::ReadValue(Cursor& at, SavedValueSink& sink) const {
  const size_t start = at.pos();
  name_.clear();
  if (at.Skip("@")) {
    // the default value
  } else if (at.Skip("\"")) {
    at.QuotedText('"', units_);
    AppendUtf16AsUtf8(units_, name_);
  } else {
    Fail("value name expected", start);
  }
  if (!at.Skip("=")) Fail("'=' expected", at.pos());

  uint32_t type = platform::regtype::kSz;
  data_.clear();
  const bool hex_type = at.Skip("hex(");
  if (at.Peek() == '"' || at.Skip("str(")) {
    if (at.Peek() != '"') {
      type = at.Hex(8);
      if (!at.Skip("):")) Fail("'):' expected", at.pos());
    }
    if (!at.Skip("\"")) Fail("'\"' expected", at.pos());
    at.QuotedText('"', units_);
    units_.push_back(0);  // the terminator, which the file leaves out
    if (platform::regtype::IsText(type)) {
      text_.clear();
      AppendUtf16AsUtf8(units_, text_);
      data_.assign(text_.begin(), text_.end());
    } else {
      for (const char16_t u : units_) {
        data_.push_back(static_cast<uint8_t>(u));
        data_.push_back(static_cast<uint8_t>(u >> 8));
      }
    }
  } else if (!hex_type && at.Skip("dword:")) {
    type = platform::regtype::kDword;
    const uint32_t value = at.Hex(8);
    for (int shift = 0; shift < 32; shift += 8)
      data_.push_back(static_cast<uint8_t>(value >> shift));
  } else if (hex_type || at.Skip("hex:")) {
    type = platform::regtype::kBinary;
    if (hex_type) {
      type = at.Hex(8);
      if (!at.Skip("):")) Fail("'):' expected", at.pos());
    }
    HexBytes(at, data_);
    if (platform::regtype::IsText(type)) {
      text_.clear();
      AppendUtf16LeBytesAsUtf8(data_, text_);
      data_.assign(text_.begin(), text_.end());
    }
  } else {
    Fail("unknown value data", at.pos());
  }
  at.EndLine();
  sink.Value(name_, type, data_);
}

// Bytes as two hexadecimal digits each, separated by commas; a backslash at
// the end of a line continues the list on the next.
void WineTextHive::HexBytes(Cursor& at, std::vector<uint8_t>& out) const {
  at.SkipSpaces();
  if (at.AtEnd() || at.Peek() == '\n' || at.Peek() == '\r') return;
  for (;;) {
    const size_t start = at.pos();
    out.push_back(static_cast<uint8_t>(at.Hex(2)));
    if (at.pos() != start + 2) Fail("byte of one digit", start);
    at.SkipSpaces();
    if (!at.Skip(",")) return;
    at.SkipSpaces();
    if (at.Skip("\\")) {
      at.EndLine();
      at.SkipSpaces();
    }
  }
}

}  // namespace

std::unique_ptr<SavedHive> ParseWineTextHive(std::span<const uint8_t> bytes, SavedHiveCheck check) {
  auto hive = std::make_unique<WineTextHive>(bytes);
  hive->Parse();
  if (check == SavedHiveCheck::kWhole) hive->CheckAllValues();
  return hive;
}

}  // namespace cvn::snapshot
