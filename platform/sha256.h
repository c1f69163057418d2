// SHA-256 (FIPS 180-4) in portable C++: the content fingerprint of a file.
// The Win32 file system computes the same digest through BCrypt; this one
// serves the in-memory platform and every platform without its own.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace cvn::platform {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> data);
  // The digest of everything given to Update; the object is spent then.
  Sha256Digest Final();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes
};

// The digest of `data` in one call.
Sha256Digest Sha256Of(std::span<const uint8_t> data);
// 64 lower-case hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);

}  // namespace cvn::platform
