// Byte helpers that many tests share: data from text, registry data of the
// common types, and bytes as hexadecimal for readable failure messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cvn::test {

inline std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The data of a REG_SZ value: the text and its terminating zero.
inline std::vector<uint8_t> SzData(std::string_view text) {
  std::vector<uint8_t> data = Bytes(text);
  data.push_back(0);
  return data;
}

inline std::vector<uint8_t> DwordData(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

inline std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

}  // namespace cvn::test
