// The portable SHA-256 against the standard test vectors, fed whole and in
// pieces that cross the 64-byte blocks.
#include <gtest/gtest.h>

#include <string>

#include "platform/sha256.h"

namespace cvn::platform {
namespace {

TEST(Sha256Test, StandardVectors) {
  const struct {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
       "lmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(c.input.data()),
                                         c.input.size());
    EXPECT_EQ(DigestHex(Sha256Of(bytes)), c.digest) << c.input.size();
    for (size_t piece : {1u, 7u, 63u, 64u, 65u, 1000u}) {
      Sha256 hash;
      for (size_t at = 0; at < bytes.size(); at += piece)
        hash.Update(bytes.subspan(at, std::min(piece, bytes.size() - at)));
      EXPECT_EQ(DigestHex(hash.Final()), c.digest) << c.input.size() << " in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace cvn::platform
