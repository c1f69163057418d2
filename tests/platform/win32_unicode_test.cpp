// Names and text outside the ANSI code page go through the Win32 platform
// exactly: what the program writes in UTF-8 is what the W functions store,
// and what they store comes back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/windows_api.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"
#include "tests/support/platform_win32_sandbox.h"

namespace cvn::platform::win32 {
namespace {

using test::Bytes;

// A name in UTF-8 and, written independently, in UTF-16.
struct Name {
  std::string utf8;
  std::wstring wide;
};
const Name kNames[] = {
    {"Überprüfung", L"\u00DCberpr\u00FCfung"},
    {"日本語", L"\u65E5\u672C\u8A9E"},
    {"Grinning 😀 face", L"Grinning \xD83D\xDE00 face"},  // U+1F600, a surrogate pair
};

class Win32UnicodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_STATUS(kOk,
                  registry_.OpenKey(RootKey::kCurrentUser, box_.key, KeyAccess::kReadWrite, &key_));
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test::AsciiToWide(box_.key).c_str(), 0,
                            KEY_ALL_ACCESS, &raw_),
              ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(raw_); }

  // A short text value of the sandbox key as the bare API stored it.
  std::wstring RawText(const std::wstring& name) {
    std::wstring text(256, L'\0');
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    EXPECT_EQ(RegQueryValueExW(raw_, name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(text.data()), &size),
              ERROR_SUCCESS);
    text.resize(size / sizeof(wchar_t));
    return text;
  }

  test::Win32Sandbox box_;
  Win32Registry registry_;
  Win32FileSystem fs_;
  std::unique_ptr<RegKey> key_;
  HKEY raw_ = nullptr;
};

// Each name is stored under the very UTF-16 name and listed back as it was
// given, for files and folders, keys and values.
// A name the system stores may hold a lone surrogate; it must come back as the
// same code unit, or the item could never be opened or deleted again. Bytes
// that are no UTF-8 at all become U+FFFD, one each.
TEST(WideTextTest, LoneSurrogatesRoundTripAndBadBytesBecomeReplacementCharacters) {
  for (const std::wstring wide : {L"a\xD800z", L"\xDC00", L"\xDBFF\xDBFF"})
    EXPECT_EQ(ToWide(ToUtf8(wide)), wide);
  EXPECT_EQ(ToWide("a\xFF\xFEz"), L"a\xFFFD\xFFFDz");
}

TEST_F(Win32UnicodeTest, NamesRoundTripExactly) {
  for (const Name& name : kNames) {
    SCOPED_TRACE(name.utf8);
    const std::string folder = JoinPath(box_.folder, name.utf8), file = JoinPath(folder, name.utf8);
    ASSERT_STATUS(kOk, fs_.CreateFolder(folder));
    ASSERT_STATUS(kOk, fs_.WriteFile(file, Bytes(name.utf8)));
    const std::wstring raw = test::AsciiToWide(box_.folder) + L"\\" + name.wide;
    EXPECT_NE(GetFileAttributesW((raw + L"\\" + name.wide).c_str()), INVALID_FILE_ATTRIBUTES);
    std::unique_ptr<FolderListing> listing;
    ASSERT_STATUS(kOk, fs_.ListFolder(folder, &listing));
    std::vector<std::string> listed;
    for (FindEntry entry; listing->Next(&entry).ok();) listed.push_back(entry.name);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), name.utf8), 1);
    EXPECT_STATUS(kOk, fs_.DeleteFile(file));
    EXPECT_STATUS(kOk, fs_.RemoveFolder(folder));

    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, registry_.CreateKey(RootKey::kCurrentUser, box_.key + "\\" + name.utf8,
                                           KeyAccess::kRead, &key));
    key.reset();
    ASSERT_STATUS(kOk, SetString(registry_, *key_, name.utf8, name.utf8));
    EXPECT_EQ(RawText(name.wide), name.wide + L'\0');
    std::string key_name;
    EXPECT_STATUS(kOk, registry_.EnumKey(*key_, 0, &key_name));
    RegValue value;
    ASSERT_STATUS(kOk, registry_.EnumValue(*key_, 0, Registry::kUnlimited, &value));
    EXPECT_EQ(key_name + "|" + value.name, name.utf8 + "|" + name.utf8);
    EXPECT_EQ(RegDeleteKeyW(raw_, name.wide.c_str()), ERROR_SUCCESS);  // there by that name
    EXPECT_EQ(RegDeleteValueW(raw_, name.wide.c_str()), ERROR_SUCCESS);
  }
}

// Text data is one buffer converted whole: every zero, every terminator and
// every surrogate pair lands where the bare API puts it, both ways.
TEST_F(Win32UnicodeTest, RegistryTextIsWhatTheWideApiStores) {
  const std::string utf8("eins\0日本\0😀\0\0", 18);
  const std::wstring wide(L"eins\0\u65E5\u672C\0\xD83D\xDE00\0\0", 12);
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Multi", REG_MULTI_SZ, Bytes(utf8)));
  EXPECT_EQ(RawText(L"Multi"), wide);
  ASSERT_EQ(
      RegSetValueExW(raw_, L"Raw", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(wide.data()),
                     static_cast<DWORD>(wide.size() * sizeof(wchar_t))),
      ERROR_SUCCESS);
  RegValue value;
  ASSERT_STATUS(kOk, registry_.QueryValue(*key_, "Raw", &value));
  EXPECT_EQ(value.type, static_cast<uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(test::Hex(value.data), test::Hex(Bytes(utf8)));

  // Bytes that are no UTF-8 at all cannot be stored as they are; each
  // becomes the replacement character rather than breaking the rest.
  const std::vector<uint8_t> broken = {'a', 0xFF, 0xC3, 'z', 0};  // 'z' breaks the 0xC3 sequence
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Broken", REG_SZ, broken));
  EXPECT_EQ(RawText(L"Broken"), std::wstring(L"a\xFFFD\xFFFDz\0", 5));
}

}  // namespace
}  // namespace cvn::platform::win32
