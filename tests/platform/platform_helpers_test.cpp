// The helpers built on the platform interfaces, run on the in-memory platform.
#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "platform/registry.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"

namespace cvn::platform {
namespace {

TEST(PlatformHelpersTest, NamesPathsAndText) {
  EXPECT_EQ(RootKeyName(RootKey::kLocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(0x80000000u), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(RootKeyName(0x80000005u), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RootKeyName(0x80000004u), "(error)");  // HKEY_PERFORMANCE_DATA is not one of ours
  EXPECT_EQ(RootKeyName(0u), "(error)");

  EXPECT_EQ(JoinPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinPath("C:\\a", "x"), "C:\\a\\x");
  EXPECT_EQ(JoinPath("", "x"), "x");

  EXPECT_EQ(DataAsText(test::Bytes({"ab\0\0", 4})), "ab");
  EXPECT_EQ(DataAsText({}), "");
}

// The archive on disk is replaced whole or not at all, and no temporary
// file stays behind.
TEST(PlatformHelpersTest, AtomicWriteReplacesWholeOrNotAtAll) {
  MemoryFileSystem fs;
  const std::string path = "C:\\data\\app.cvn";
  ASSERT_STATUS(kOk, fs.AddFile(path, "the good archive"));
  const auto contents = [&] {
    std::vector<uint8_t> data;
    EXPECT_STATUS(kOk, fs.ReadFile(path, &data));
    return std::string(data.begin(), data.end());
  };
  for (bool fail_move : {false, true}) {
    SCOPED_TRACE(fail_move ? "the move fails" : "the disk fills up half-way");
    fail_move ? fs.FailNextMove() : fs.FailNextWrite(4);
    EXPECT_FALSE(WriteFileAtomically(fs, path, test::Bytes("a newer, longer archive")).ok());
    EXPECT_EQ(contents(), "the good archive");
    EXPECT_FALSE(fs.Exists(path + ".tmp"));
  }
  ASSERT_STATUS(kOk, WriteFileAtomically(fs, path, test::Bytes("newer")));
  EXPECT_EQ(contents(), "newer");
}

}  // namespace
}  // namespace cvn::platform
