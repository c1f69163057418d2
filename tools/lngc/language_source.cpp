#include "tools/lngc/language_source.h"

#include <charconv>
#include <cstring>

#include "i18n/language_file.h"
#include "i18n/language_file_writer.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace cvn::lngc {

namespace {

constexpr std::string_view kSystem = "*SYSTEM*";

bool IsCharsetKey(std::string_view section, std::string_view key) {
  return text::EqualsNoCaseAscii(section, kSystem) && text::EqualsNoCaseAscii(key, "CHARSET");
}
bool IsFlagKey(std::string_view section, std::string_view key) {
  return text::EqualsNoCaseAscii(section, kSystem) && text::EqualsNoCaseAscii(key, "FLAG");
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct SourceKey {
  int line;
  std::string section;
  std::string name;
  std::string value;  // as written, escapes not yet applied
};

// Applies the escapes of a value, converting its text to `code_page`.
std::string EncodeValue(const SourceKey& key, uint32_t code_page) {
  std::string out, pending;  // pending: UTF-8 text not yet converted
  auto flush = [&] {
    if (pending.empty()) return;
    std::optional<std::string> converted = platform::Utf8ToCodePage(pending, code_page);
    if (!converted)
      throw SourceError(key.line,
                        "text that code page " + std::to_string(code_page) + " cannot hold");
    out += *converted;
    pending.clear();
  };
  const std::string& v = key.value;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\') {
      pending += v[i];
      continue;
    }
    if (++i >= v.size()) throw SourceError(key.line, "a backslash ends the value (write \\\\)");
    switch (v[i]) {
      case '\\':
        pending += '\\';
        break;
      case 'n':
        pending += '\n';
        break;
      case 'r':
        pending += '\r';
        break;
      case 't':
        pending += '\t';
        break;
      case 's':
        pending += ' ';
        break;
      case 'x': {
        const int hi = i + 1 < v.size() ? HexDigit(v[i + 1]) : -1;
        const int lo = i + 2 < v.size() ? HexDigit(v[i + 2]) : -1;
        if (hi < 0 || lo < 0) throw SourceError(key.line, "\\x needs two hexadecimal digits");
        flush();
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        throw SourceError(key.line, std::string("unknown escape \\") + v[i]);
    }
  }
  flush();
  return out;
}

struct SourceSection {
  std::string name;
  std::vector<SourceKey> keys;
};

// A section named again goes on where it left off: texts added later at the
// end of a source land in the section they belong to.
std::vector<SourceSection> Parse(std::string_view source) {
  std::vector<SourceSection> sections;
  size_t current = 0;
  int line_number = 0;
  size_t start = 0;
  while (start <= source.size()) {
    size_t end = source.find('\n', start);
    if (end == std::string_view::npos) end = source.size();
    std::string_view line = source.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    ++line_number;
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']') throw SourceError(line_number, "a section name must end with ]");
      std::string name(trimmed.substr(1, trimmed.size() - 2));
      if (name.size() > i18n::kNameSize)
        throw SourceError(line_number, "section name longer than 36 bytes");
      current = 0;
      while (current < sections.size() && !text::EqualsNoCaseAscii(sections[current].name, name))
        ++current;
      if (current == sections.size()) sections.push_back({std::move(name), {}});
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      throw SourceError(line_number, "expected [section] or key = value");
    if (sections.empty()) throw SourceError(line_number, "a key before the first [section]");
    SourceKey key{line_number, sections[current].name, std::string(Trim(line.substr(0, eq))), {}};
    if (key.name.empty()) throw SourceError(line_number, "a key without a name");
    if (key.name.size() > i18n::kNameSize)
      throw SourceError(line_number, "key name longer than 36 bytes");
    std::string_view value = line.substr(eq + 1);
    if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    key.value = std::string(value);
    sections[current].keys.push_back(std::move(key));
  }
  return sections;
}

}  // namespace

std::vector<int> MissingHelpTexts(std::string_view source) {
  std::vector<bool> present(kLastHelpContext + 1, false);
  for (const SourceSection& section : Parse(source)) {
    if (!text::EqualsNoCaseAscii(section.name, "HELP")) continue;
    for (const SourceKey& key : section.keys) {
      int context = 0;
      const char* end = key.name.data() + key.name.size();
      const auto [stop, error] = std::from_chars(key.name.data(), end, context);
      if (error != std::errc() || stop != end) continue;
      if (context >= kFirstHelpContext && context <= kLastHelpContext && !Trim(key.value).empty())
        present[static_cast<size_t>(context)] = true;
    }
  }
  std::vector<int> missing;
  for (int context = kFirstHelpContext; context <= kLastHelpContext; ++context)
    if (!present[static_cast<size_t>(context)]) missing.push_back(context);
  return missing;
}

namespace {

int CharsetOf(const std::vector<SourceSection>& sections) {
  int charset = 1;
  for (const SourceSection& section : sections) {
    for (const SourceKey& key : section.keys) {
      if (!IsCharsetKey(key.section, key.name)) continue;
      try {
        size_t used = 0;
        charset = std::stoi(key.value, &used);
        if (used != key.value.size()) throw std::invalid_argument(key.value);
      } catch (const std::exception&) {
        throw SourceError(key.line, "CHARSET must be a number");
      }
    }
  }
  return charset;
}

std::string Int32Bytes(int32_t value) {
  const auto n = static_cast<uint32_t>(value);
  const char bytes[4] = {static_cast<char>(n), static_cast<char>(n >> 8),
                         static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
  return std::string(bytes, 4);
}

// A value's bytes written as source text: converted from the code page,
// with escapes. Bytes that would not come back the same are written as \xHH.
std::string DecodeValue(std::string_view bytes, uint32_t code_page) {
  const std::string text = platform::CodePageToUtf8(bytes, code_page);
  const std::optional<std::string> back = platform::Utf8ToCodePage(text, code_page);
  const bool exact = back && *back == bytes;
  std::string out;
  const std::string_view shown = exact ? std::string_view(text) : bytes;
  for (size_t i = 0; i < shown.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(shown[i]);
    const bool at_end = i == 0 || i + 1 == shown.size();
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == ' ' && at_end) {
      out += "\\s";
    } else if (c < 0x20 || c == 0x7F || (!exact && c >= 0x80)) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

SourceError::SourceError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

std::vector<uint8_t> Compile(std::string_view source, const ReadFileFn& read_file) {
  const std::vector<SourceSection> sections = Parse(source);
  const int charset = CharsetOf(sections);
  const uint32_t code_page = platform::CodePageOfCharset(charset);

  i18n::LanguageFileWriter writer;
  for (const SourceSection& section : sections) {
    writer.Section(section.name);
    for (const SourceKey& key : section.keys) {
      if (IsCharsetKey(key.section, key.name)) {
        writer.Key(key.name, Int32Bytes(charset));
      } else if (IsFlagKey(key.section, key.name) && !key.value.empty() &&
                 key.value.front() == '@') {
        std::optional<std::vector<uint8_t>> picture = read_file(key.value.substr(1));
        if (!picture) throw SourceError(key.line, "cannot read the picture " + key.value.substr(1));
        writer.Key(key.name, std::string_view(reinterpret_cast<const char*>(picture->data()),
                                              picture->size()));
      } else {
        writer.Key(key.name, EncodeValue(key, code_page));
      }
    }
  }
  return writer.Build();
}

Decompiled Decompile(const std::vector<uint8_t>& lng, std::string_view flag_file_name) {
  // Walks the file header by header, the way the reader does, so that any
  // file the program can read comes back.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
  size_t pos = 0;
  auto header_at = [&](size_t at, uint32_t magic) {
    if (lng.size() - at < i18n::kHeaderSize) throw i18n::InvalidFileFormat();
    std::vector<uint8_t> raw(lng.begin() + static_cast<ptrdiff_t>(at),
                             lng.begin() + static_cast<ptrdiff_t>(at + i18n::kHeaderSize));
    i18n::Scramble(raw);
    uint32_t found, length;
    std::memcpy(&found, raw.data(), 4);
    std::memcpy(&length, raw.data() + 40, 4);
    if (found != magic || length > lng.size() - at - i18n::kHeaderSize)
      throw i18n::InvalidFileFormat();
    const char* name = reinterpret_cast<const char*>(raw.data() + 4);
    return std::make_pair(std::string(name, strnlen(name, i18n::kNameSize)),
                          static_cast<size_t>(length));
  };
  while (pos < lng.size()) {
    const auto [section, body_length] = header_at(pos, i18n::kSectionMagic);
    pos += i18n::kHeaderSize;
    const size_t body_end = pos + body_length;
    sections.push_back({section, {}});
    while (pos < body_end) {
      const auto [key, value_length] = header_at(pos, i18n::kKeyMagic);
      pos += i18n::kHeaderSize;
      if (pos + value_length > body_end) throw i18n::InvalidFileFormat();
      std::vector<uint8_t> value(lng.begin() + static_cast<ptrdiff_t>(pos),
                                 lng.begin() + static_cast<ptrdiff_t>(pos + value_length));
      i18n::Scramble(value);
      sections.back().second.emplace_back(key, std::string(value.begin(), value.end()));
      pos += value_length;
    }
  }

  int charset = 1;
  for (const auto& [section, keys] : sections)
    for (const auto& [key, value] : keys)
      if (IsCharsetKey(section, key) && value.size() >= 4) {
        int32_t n;
        std::memcpy(&n, value.data(), 4);
        charset = n;
      }
  const uint32_t code_page = platform::CodePageOfCharset(charset);

  Decompiled out;
  for (const auto& [section, keys] : sections) {
    if (!out.source.empty()) out.source += "\n";
    out.source += "[" + section + "]\n";
    for (const auto& [key, value] : keys) {
      std::string shown;
      if (IsCharsetKey(section, key) && value.size() == 4) {
        shown = std::to_string(charset);
      } else if (IsFlagKey(section, key)) {
        out.flag.assign(value.begin(), value.end());
        shown = "@" + std::string(flag_file_name);
      } else {
        shown = DecodeValue(value, code_page);
      }
      out.source += key + " = " + shown + "\n";
    }
  }
  return out;
}

}  // namespace cvn::lngc
