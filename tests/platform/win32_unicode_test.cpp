// Names and text outside the ANSI code page go through the Win32 platform
// exactly: what the program writes in UTF-8 is what the W functions store,
// and what they store comes back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
using test::Where;

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

  // A value of a text type as the bare API stored it, and its type.
  std::wstring RawText(const std::wstring& name, DWORD* type = nullptr, HKEY raw = nullptr,
                       Where where = Where::current()) {
    TRACE_CALLER(where);
    DWORD size = 0;
    raw = raw ? raw : raw_;
    EXPECT_EQ(RegQueryValueExW(raw, name.c_str(), nullptr, type, nullptr, &size), ERROR_SUCCESS);
    std::vector<BYTE> data(size + 1);
    EXPECT_EQ(RegQueryValueExW(raw, name.c_str(), nullptr, type, data.data(), &size),
              ERROR_SUCCESS);
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), data.data(), wide.size() * sizeof(wchar_t));
    return wide;
  }
  void SetRaw(const std::wstring& name, DWORD type, const std::wstring& text,
              Where where = Where::current()) {
    TRACE_CALLER(where);
    ASSERT_EQ(
        RegSetValueExW(raw_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>(text.size() * sizeof(wchar_t))),
        ERROR_SUCCESS);
  }
  std::vector<std::string> SubkeyNames() {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; registry_.EnumKey(*key_, i, &name).ok(); ++i) names.push_back(name);
    return names;
  }
  std::vector<std::string> FolderNames(const std::string& folder, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::vector<std::string> names;
    std::unique_ptr<FolderListing> listing;
    EXPECT_STATUS(kOk, fs_.ListFolder(folder, &listing));
    for (FindEntry entry; listing && listing->Next(&entry).ok();) {
      if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::Win32Sandbox box_;
  Win32Registry registry_;
  Win32FileSystem fs_;
  std::unique_ptr<RegKey> key_;
  HKEY raw_ = nullptr;
};

// Each name is stored under the very UTF-16 name and listed back as it was
// given, for files and folders, keys and values.
TEST_F(Win32UnicodeTest, NamesRoundTripExactly) {
  for (const Name& name : kNames) {
    SCOPED_TRACE(name.utf8);
    const std::string folder = JoinPath(box_.folder, name.utf8), file = JoinPath(folder, name.utf8);
    ASSERT_STATUS(kOk, fs_.CreateFolder(folder));
    ASSERT_STATUS(kOk, fs_.WriteFile(file, Bytes(name.utf8)));
    const std::wstring raw = test::AsciiToWide(box_.folder) + L"\\" + name.wide;
    EXPECT_NE(GetFileAttributesW((raw + L"\\" + name.wide).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FolderNames(box_.folder), std::vector<std::string>{name.utf8});
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{name.utf8});
    std::vector<uint8_t> data;
    ASSERT_STATUS(kOk, fs_.ReadFile(file, &data));
    EXPECT_EQ(data, Bytes(name.utf8));
    EXPECT_STATUS(kOk, fs_.DeleteFile(file));
    EXPECT_STATUS(kOk, fs_.RemoveFolder(folder));

    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, registry_.CreateKey(RootKey::kCurrentUser, box_.key + "\\" + name.utf8,
                                           KeyAccess::kReadWrite, &key));
    ASSERT_STATUS(kOk, SetString(registry_, *key, name.utf8, name.utf8));
    HKEY raw_key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(raw_, name.wide.c_str(), 0, KEY_READ, &raw_key), ERROR_SUCCESS);
    EXPECT_EQ(RawText(name.wide, nullptr, raw_key), name.wide + L'\0');
    RegCloseKey(raw_key);
    EXPECT_EQ(SubkeyNames(), std::vector<std::string>{name.utf8});
    RegValue value;
    ASSERT_STATUS(kOk, registry_.EnumValue(*key, 0, Registry::kUnlimited, &value));
    EXPECT_EQ(value.name, name.utf8);
    key.reset();
    EXPECT_STATUS(kOk, registry_.DeleteKey(*key_, name.utf8));
  }
}

// Text data is one buffer converted whole: every zero, every terminator and
// every surrogate pair lands where the bare API puts it, both ways. (Names
// cover REG_SZ written, the lone surrogate case REG_SZ read.)
TEST_F(Win32UnicodeTest, RegistryTextIsWhatTheWideApiStores) {
  const std::string utf8("eins\0日本\0😀\0\0", 18);
  const std::wstring wide(L"eins\0\u65E5\u672C\0\xD83D\xDE00\0\0", 12);
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Multi", REG_MULTI_SZ, Bytes(utf8)));
  DWORD type = 0;
  EXPECT_EQ(RawText(L"Multi", &type), wide);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  SetRaw(L"Raw", REG_MULTI_SZ, wide);
  RegValue value;
  ASSERT_STATUS(kOk, registry_.QueryValue(*key_, "Raw", &value));
  EXPECT_EQ(value.type, static_cast<uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(test::Hex(value.data), test::Hex(Bytes(utf8)));
}

// A lone surrogate is no Unicode text, but the system keeps it in names and
// data; an uninstaller must be able to name such an item again.
TEST_F(Win32UnicodeTest, LoneSurrogatesSurviveTheRoundTrip) {
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(raw_, L"odd\xD800name", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &created, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(created);
  const std::wstring odd_text(L"x\xDC00y\0", 4);
  SetRaw(L"OddText", REG_SZ, odd_text);

  const auto names = SubkeyNames();
  ASSERT_EQ(names.size(), 1u);
  std::unique_ptr<RegKey> reopened;
  EXPECT_STATUS(kOk, registry_.OpenSubKey(*key_, names[0], KeyAccess::kRead, &reopened));
  reopened.reset();
  EXPECT_STATUS(kOk, registry_.DeleteKey(*key_, names[0]));

  // Data read and written back is stored exactly as before.
  RegValue value;
  ASSERT_STATUS(kOk, registry_.QueryValue(*key_, "OddText", &value));
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Copy", value.type, value.data));
  EXPECT_EQ(RawText(L"Copy"), odd_text);
}

// Bytes that are no UTF-8 at all cannot be stored as they are; each becomes
// the replacement character rather than breaking the rest of the text.
TEST_F(Win32UnicodeTest, InvalidUtf8BecomesOneReplacementCharacterPerByte) {
  const std::vector<uint8_t> data = {'a', 0xFF, 0xC3, 'z', 0};  // 0xC3 starts a sequence 'z' breaks
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Broken", REG_SZ, data));
  EXPECT_EQ(RawText(L"Broken"), std::wstring(L"a\xFFFD\xFFFDz\0", 5));
}

}  // namespace
}  // namespace cvn::platform::win32
