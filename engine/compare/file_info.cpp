#include "engine/compare/file_info.h"

#include <string>

namespace cvn::compare {
namespace {

void AppendTwoDigits(std::string& out, unsigned value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

uint32_t ReadU32(std::span<const uint8_t> data, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && offset + i < data.size(); ++i)
    value |= static_cast<uint32_t>(data[offset + i]) << (8 * i);
  return value;
}

}  // namespace

std::string FileInfoText(uint32_t dos_date_time, uint32_t size,
                         const platform::DateTimeSeparators& separators) {
  const unsigned date = dos_date_time >> 16;
  const unsigned time = dos_date_time & 0xFFFF;
  std::string text;
  text.reserve(32);
  AppendTwoDigits(text, (time >> 11) & 0x1F);
  text += separators.time;
  AppendTwoDigits(text, (time >> 5) & 0x3F);
  text += ' ';
  AppendTwoDigits(text, date & 0x1F);
  text += separators.date;
  AppendTwoDigits(text, (date >> 5) & 0x0F);
  text += separators.date;
  AppendTwoDigits(text, (1980 + (date >> 9)) % 100);
  text += ' ';
  text += std::to_string(static_cast<int32_t>(size));
  return text;
}

std::string FileInfoText(std::span<const uint8_t> entry_data,
                         const platform::DateTimeSeparators& separators) {
  return FileInfoText(ReadU32(entry_data, 0), ReadU32(entry_data, 4), separators);
}

}  // namespace cvn::compare
