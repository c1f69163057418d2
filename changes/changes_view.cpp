#include "changes/changes_view.h"

#include "i18n/translator.h"

namespace cvn::changes {

std::string FormatBinaryData(std::span<const uint8_t> bytes, bool hex) {
  if (bytes.empty()) return i18n::Translate("RS_ZERO_LENGTH_DATA", "(zero length data)");
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * (hex ? 3 : 1));
  for (uint8_t b : bytes) {
    if (hex) {
      text += kDigits[b >> 4];
      text += kDigits[b & 0x0F];
      text += ' ';
    } else {
      text += (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
    }
  }
  return text;
}

std::string ValueText(uint32_t value_type, std::span<const uint8_t> bytes, bool hex) {
  if (value_type == kRegSz) {
    std::string text = "'";
    std::string_view data = ZeroTerminatedText(bytes.data(), static_cast<int32_t>(bytes.size()));
    for (char c : data) {
      if (c == '\'') text += '\'';
      text += c;
    }
    text += '\'';
    return text;
  }
  if (value_type == kRegDword && bytes.size() >= 4) {
    uint32_t raw = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return std::to_string(static_cast<int32_t>(raw));
  }
  return FormatBinaryData(bytes, hex);
}

namespace {

std::string FileInfoText(std::span<const uint8_t> bytes) {
  std::string text(ZeroTerminatedText(bytes.data(), static_cast<int32_t>(bytes.size())));
  return text + i18n::Translate("RS_BYTES", " bytes");
}

}  // namespace

std::string CellText(const ChangeRecord& data, ChangeColumn column, bool hex) {
  const NodeKind kind = data.kind;
  switch (column) {
    case ChangeColumn::kName:
      if (data.name.empty() && (kind == NodeKind::kValueAdded || kind == NodeKind::kValueChanged ||
                                kind == NodeKind::kValueDeleted))
        return i18n::Translate("RS_DEFAULT", "(Default)");
      return data.name;
    case ChangeColumn::kBefore:
      if (kind == NodeKind::kValueChanged || kind == NodeKind::kValueDeleted)
        return ValueText(data.value_type, data.BeforeBytes(), hex);
      if (kind == NodeKind::kFileChanged || kind == NodeKind::kFileDeleted ||
          kind == NodeKind::kFileMovedFrom)
        return FileInfoText(data.BeforeBytes());
      return {};
    case ChangeColumn::kAfter:
      if (kind == NodeKind::kValueAdded || kind == NodeKind::kValueChanged)
        return ValueText(data.value_type, data.AfterBytes(), hex);
      if (kind == NodeKind::kCounterIncremented)
        return ValueText(data.value_type, data.AfterBytes(), hex) + " " +
               i18n::Translate("RS_INCREMENTED", "(incremented)");
      if (kind == NodeKind::kFileAdded || kind == NodeKind::kFileChanged ||
          kind == NodeKind::kFileMovedTo)
        return FileInfoText(data.AfterBytes());
      return {};
    default:
      return {};
  }
}

int ImageIndex(const ChangeRecord& data) {
  const bool text = data.value_type == kRegSz;
  switch (data.kind) {
    case NodeKind::kMyComputer:
      return 0;
    case NodeKind::kFileSystem:
      return 1;
    case NodeKind::kRegistry:
      return 2;
    case NodeKind::kDrive:
      return kImageDrive;
    case NodeKind::kPathNode:
      return kImagePathNode;
    case NodeKind::kKeyAdded:
    case NodeKind::kFolderAdded:
      return 5;
    case NodeKind::kKeyDeleted:
    case NodeKind::kFolderDeleted:
      return 6;
    case NodeKind::kValueAdded:
      return text ? 11 : 7;
    case NodeKind::kValueDeleted:
      return text ? 12 : 8;
    case NodeKind::kValueChanged:
      return text ? 13 : 9;
    case NodeKind::kCounterIncremented:
      return text ? 14 : 10;
    case NodeKind::kFileAdded:
      return 15;
    case NodeKind::kFileDeleted:
      return 16;
    case NodeKind::kFileChanged:
      return 17;
    case NodeKind::kFileMovedFrom:
      return 18;
    case NodeKind::kFileMovedTo:
      return 19;
    default:
      return -1;
  }
}

}  // namespace cvn::changes
