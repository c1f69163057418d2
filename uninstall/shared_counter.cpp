#include "uninstall/shared_counter.h"

#include <string>

#include "platform/registry.h"

namespace cvn::uninstall {
namespace {

// The 32-bit signed number of a REG_DWORD's data; missing bytes count as 0.
int64_t DwordOf(std::span<const uint8_t> data) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) value |= uint32_t{data[i]} << (8 * i);
  return static_cast<int32_t>(value);
}

}  // namespace

int64_t ParseCounterText(std::span<const uint8_t> data) {
  size_t end = 0;
  while (end < data.size() && data[end] != 0) ++end;
  size_t i = 0;
  bool negative = false;
  if (i < end && (data[i] == '-' || data[i] == '+')) negative = data[i++] == '-';
  if (i == end) return 0;
  int64_t value = 0;
  for (; i < end; ++i) {
    if (data[i] < '0' || data[i] > '9') return 0;
    value = value * 10 + (data[i] - '0');
    if (value > INT32_MAX) return 0;  // beyond any counter: not a number
  }
  return negative ? -value : value;
}

std::optional<int64_t> GiveBackIncrement(uint32_t type, std::span<const uint8_t> current,
                                         std::span<const uint8_t> increment) {
  if (type == platform::regtype::kDword) return DwordOf(current) - DwordOf(increment);
  if (type == platform::regtype::kSz)
    return ParseCounterText(current) - ParseCounterText(increment);
  return std::nullopt;
}

std::vector<uint8_t> EncodeCounter(uint32_t type, int64_t count) {
  if (type == platform::regtype::kDword) {
    const auto value = static_cast<uint32_t>(count);
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  }
  const std::string text = std::to_string(count);
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

}  // namespace cvn::uninstall
