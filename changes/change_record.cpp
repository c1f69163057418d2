#include "changes/change_record.h"

#include <algorithm>
#include <cstring>

namespace cvn::changes {

Buffer CopyBuffer(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  Buffer buffer(new uint8_t[bytes.size()]);
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  return buffer;
}

Buffer TextBuffer(std::string_view text) {
  Buffer buffer(new uint8_t[text.size() + 1]);
  std::memcpy(buffer.get(), text.data(), text.size());
  buffer[text.size()] = 0;
  return buffer;
}

std::string_view ZeroTerminatedText(const uint8_t* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return {};
  const auto* begin = reinterpret_cast<const char*>(buffer);
  const auto* end = begin + size;
  return std::string_view(begin, std::find(begin, end, '\0') - begin);
}

}  // namespace cvn::changes
