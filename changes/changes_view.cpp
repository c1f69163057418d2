#include "changes/changes_view.h"

#include "i18n/translator.h"

namespace cvn::changes {

std::string FormatBinaryData(std::span<const uint8_t> bytes, bool hexa) {
  if (bytes.empty()) return i18n::Translate("RS_ZERO_LENGTH_DATA", "(zero length data)");
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * (hexa ? 3 : 1));
  for (uint8_t b : bytes) {
    if (hexa) {
      text += kDigits[b >> 4];
      text += kDigits[b & 0x0F];
      text += ' ';
    } else {
      text += (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
    }
  }
  return text;
}

std::string ValueText(uint32_t value_type, std::span<const uint8_t> bytes, bool hexa) {
  if (value_type == kRegSz) {
    std::string text = "'";
    std::string_view data =
        ZeroTerminatedText(bytes.data(), static_cast<int32_t>(bytes.size()));
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
  return FormatBinaryData(bytes, hexa);
}

namespace {

std::string FileInfoText(std::span<const uint8_t> bytes) {
  std::string text(ZeroTerminatedText(bytes.data(), static_cast<int32_t>(bytes.size())));
  return text + i18n::Translate("RS_BYTES", " bytes");
}

}  // namespace

std::string CellText(const TNodeData& data, int column, bool hexa) {
  const int32_t kind = data.Kind;
  switch (column) {
    case kColumnName:
      if (data.Name.empty() &&
          (kind == nkValueAdded || kind == nkValueChanged || kind == nkValueDeleted))
        return i18n::Translate("RS_DEFAULT", "(Default)");
      return data.Name;
    case kColumnBefore:
      if (kind == nkValueChanged || kind == nkValueDeleted)
        return ValueText(data.ValueType, data.BeforeBytes(), hexa);
      if (kind == nkFileChanged || kind == nkFileDeleted || kind == nkFileMovedFrom)
        return FileInfoText(data.BeforeBytes());
      return {};
    case kColumnAfter:
      if (kind == nkValueAdded || kind == nkValueChanged)
        return ValueText(data.ValueType, data.AfterBytes(), hexa);
      if (kind == nkCounterIncremented)
        return ValueText(data.ValueType, data.AfterBytes(), hexa) + " " +
               i18n::Translate("RS_INCREMENTED", "(incremented)");
      if (kind == nkFileAdded || kind == nkFileChanged || kind == nkFileMovedTo)
        return FileInfoText(data.AfterBytes());
      return {};
    default:
      return {};
  }
}

int ImageIndex(const TNodeData& data) {
  const bool text = data.ValueType == kRegSz;
  switch (data.Kind) {
    case nkMyComputer: return 0;
    case nkFileSystem: return 1;
    case nkRegistry: return 2;
    case nkDrive: return kImageDrive;
    case nkPathNode: return kImagePathNode;
    case nkKeyAdded:
    case nkFolderAdded: return 5;
    case nkKeyDeleted:
    case nkFolderDeleted: return 6;
    case nkValueAdded: return text ? 11 : 7;
    case nkValueDeleted: return text ? 12 : 8;
    case nkValueChanged: return text ? 13 : 9;
    case nkCounterIncremented: return text ? 14 : 10;
    case nkFileAdded: return 15;
    case nkFileDeleted: return 16;
    case nkFileChanged: return 17;
    case nkFileMovedFrom: return 18;
    case nkFileMovedTo: return 19;
    default: return -1;
  }
}

}  // namespace cvn::changes
