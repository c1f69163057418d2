// Names and text outside the ANSI code page go through the Win32 platform
// exactly: what the program writes in UTF-8 is what the W functions store,
// and what they store comes back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/windows_api.h"
#include "tests/platform/status_assertions.h"

namespace cvn::platform::win32 {
namespace {

using test::Where;

// A name in UTF-8 and, written independently, in UTF-16.
struct Name {
  std::string utf8;
  std::wstring wide;
};

const std::vector<Name>& Names() {
  static const std::vector<Name> names = {
      {"Überprüfung", L"\u00DCberpr\u00FCfung"},
      {"日本語", L"\u65E5\u672C\u8A9E"},
      {"Grinning 😀 face", L"Grinning \xD83D\xDE00 face"},  // U+1F600, a surrogate pair
  };
  return names;
}

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::wstring WideFromBytes(const BYTE* data, DWORD size) {
  std::wstring wide(size / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), data, wide.size() * sizeof(wchar_t));
  return wide;
}

// Each test owns the key HKEY_CURRENT_USER\Software\CorvaneTest\<suite>.<test>
// and the folder C:\CorvaneTest\<suite>.<test>, removed before and after it.
class Win32UnicodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    sandbox_name_ = std::string(info->test_suite_name()) + "." + info->name();
    key_path_ = "Software\\CorvaneTest\\" + sandbox_name_;
    folder_ = "C:\\CorvaneTest\\" + sandbox_name_;
    RemoveSandbox();
    ASSERT_STATUS(
        kOk, registry_.CreateKey(RootKey::kCurrentUser, key_path_, KeyAccess::kReadWrite, &key_));
    const Status parent = fs_.CreateFolder("C:\\CorvaneTest");
    ASSERT_TRUE(parent.ok() || parent.code() == StatusCode::kAlreadyExists) << parent.ToString();
    ASSERT_STATUS(kOk, fs_.CreateFolder(folder_));
  }

  void TearDown() override {
    key_.reset();
    RemoveSandbox();
  }

  // The sandbox key opened with the bare API.
  HKEY RawKey(Where where = Where::current()) {
    TRACE_CALLER(where);
    HKEY raw = nullptr;
    const std::wstring path =
        L"Software\\CorvaneTest\\" + std::wstring(sandbox_name_.begin(), sandbox_name_.end());
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &raw),
              ERROR_SUCCESS);
    raw_keys_.emplace_back(raw);
    return raw;
  }

  std::wstring RawFolder() const {
    return L"C:\\CorvaneTest\\" + std::wstring(sandbox_name_.begin(), sandbox_name_.end());
  }

  // A REG_SZ-like value as the bare API stored it.
  std::wstring RawText(HKEY raw, const std::wstring& name, DWORD* type,
                       Where where = Where::current()) {
    TRACE_CALLER(where);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(raw, name.c_str(), nullptr, type, nullptr, &size), ERROR_SUCCESS);
    std::vector<BYTE> data(size + 1);
    EXPECT_EQ(RegQueryValueExW(raw, name.c_str(), nullptr, type, data.data(), &size),
              ERROR_SUCCESS);
    return WideFromBytes(data.data(), size);
  }

  std::vector<std::string> SubkeyNames(RegKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; registry_.EnumKey(key, i, &name).ok(); ++i) names.push_back(name);
    return names;
  }

  std::vector<RegValue> AllValues(RegKey& key) {
    std::vector<RegValue> values;
    RegValue value;
    for (uint32_t i = 0; registry_.EnumValue(key, i, Registry::kUnlimited, &value).ok(); ++i) {
      values.push_back(value);
    }
    return values;
  }

  std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<FolderListing> listing;
    EXPECT_STATUS(kOk, fs_.ListFolder(folder, &listing));
    if (!listing) return names;
    FindEntry entry;
    while (listing->Next(&entry).ok()) {
      if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
    }
    return names;
  }

  Win32Registry registry_;
  Win32FileSystem fs_;
  std::string sandbox_name_;
  std::string key_path_;
  std::string folder_;
  std::unique_ptr<RegKey> key_;

 private:
  struct RawKeyCloser {
    void operator()(HKEY key) const {
      if (key != nullptr) RegCloseKey(key);
    }
  };

  void RemoveSandbox() {
    raw_keys_.clear();
    std::unique_ptr<RegKey> parent;
    if (registry_
            .OpenKey(RootKey::kCurrentUser, "Software\\CorvaneTest", KeyAccess::kReadWrite, &parent)
            .ok()) {
      DeleteKeyTree(registry_, *parent, sandbox_name_);
    }
    // The bare API removes the folder, so that the clean-up does not depend
    // on the conversions under test.
    RemoveFolderTree(RawFolder());
  }

  static void RemoveFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    RemoveDirectoryW(folder.c_str());
  }

  std::vector<std::unique_ptr<std::remove_pointer_t<HKEY>, RawKeyCloser>> raw_keys_;
};

TEST_F(Win32UnicodeTest, FileAndFolderNamesRoundTripExactly) {
  for (const Name& name : Names()) {
    SCOPED_TRACE(name.utf8);
    const std::string folder = JoinPath(folder_, name.utf8);
    const std::string file = JoinPath(folder_, name.utf8 + ".txt");
    ASSERT_STATUS(kOk, fs_.CreateFolder(folder));
    ASSERT_STATUS(kOk, fs_.WriteFile(file, Bytes(name.utf8)));

    // Stored under the very UTF-16 name.
    const DWORD raw_folder = GetFileAttributesW((RawFolder() + L"\\" + name.wide).c_str());
    ASSERT_NE(raw_folder, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(raw_folder & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(GetFileAttributesW((RawFolder() + L"\\" + name.wide + L".txt").c_str()),
              INVALID_FILE_ATTRIBUTES);

    auto names = FolderNames(folder_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{name.utf8, name.utf8 + ".txt"}));

    std::vector<uint8_t> data;
    ASSERT_STATUS(kOk, fs_.ReadFile(file, &data));
    EXPECT_EQ(data, Bytes(name.utf8));
    ASSERT_STATUS(kOk, fs_.WriteFile(JoinPath(folder, name.utf8), Bytes("inside")));
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{name.utf8});

    EXPECT_STATUS(kOk, fs_.DeleteFile(JoinPath(folder, name.utf8)));
    EXPECT_STATUS(kOk, fs_.DeleteFile(file));
    EXPECT_STATUS(kOk, fs_.RemoveFolder(folder));
    EXPECT_TRUE(FolderNames(folder_).empty());
  }
}

TEST_F(Win32UnicodeTest, RegistryKeyAndValueNamesRoundTripExactly) {
  for (const Name& name : Names()) {
    SCOPED_TRACE(name.utf8);
    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, registry_.CreateKey(RootKey::kCurrentUser, key_path_ + "\\" + name.utf8,
                                           KeyAccess::kReadWrite, &key));
    ASSERT_STATUS(kOk, SetString(registry_, *key, name.utf8, name.utf8));

    HKEY raw_key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(RawKey(), name.wide.c_str(), 0, KEY_READ, &raw_key), ERROR_SUCCESS)
        << "stored under the very UTF-16 name";
    DWORD type = 0;
    EXPECT_EQ(RawText(raw_key, name.wide, &type), name.wide + L'\0');
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    RegCloseKey(raw_key);

    EXPECT_EQ(SubkeyNames(*key_), std::vector<std::string>{name.utf8});
    const auto values = AllValues(*key);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, name.utf8);
    EXPECT_EQ(DataAsText(values[0].data), name.utf8);

    std::unique_ptr<RegKey> reopened;
    ASSERT_STATUS(kOk, registry_.OpenSubKey(*key_, name.utf8, KeyAccess::kReadWrite, &reopened));
    RegValue value;
    ASSERT_STATUS(kOk, registry_.QueryValue(*reopened, name.utf8, &value));
    EXPECT_EQ(value.data, Bytes(name.utf8 + '\0'));

    EXPECT_STATUS(kOk, registry_.DeleteValue(*reopened, name.utf8));
    reopened.reset();
    key.reset();
    EXPECT_STATUS(kOk, registry_.DeleteKey(*key_, name.utf8));
    EXPECT_TRUE(SubkeyNames(*key_).empty());
  }
}

// Text data is one buffer converted whole: every zero, every terminator and
// every surrogate pair lands where the bare API puts it.
TEST_F(Win32UnicodeTest, RegistryTextIsWhatTheWideApiStores) {
  const std::string text = "Überprüfung 日本語 😀";
  const std::wstring wide = L"\u00DCberpr\u00FCfung \u65E5\u672C\u8A9E \xD83D\xDE00";
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Sz", REG_SZ, Bytes(text + '\0')));
  const std::string multi = std::string("eins\0日本\0😀\0\0", 18);
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Multi", REG_MULTI_SZ, Bytes(multi)));
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Expand", REG_EXPAND_SZ,
                                        Bytes(std::string_view("%TEMP%\\日本\0", 14))));

  DWORD type = 0;
  EXPECT_EQ(RawText(RawKey(), L"Sz", &type), wide + L'\0');
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(RawText(RawKey(), L"Multi", &type),
            std::wstring(L"eins\0\u65E5\u672C\0\xD83D\xDE00\0\0", 12));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(RawText(RawKey(), L"Expand", &type), std::wstring(L"%TEMP%\\\u65E5\u672C\0", 10));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

  // And the other way: written by the bare API, read through the platform.
  const std::wstring raw_multi(L"a\0\u00FC\0\0", 5);
  ASSERT_EQ(RegSetValueExW(RawKey(), L"RawMulti", 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(raw_multi.data()),
                           static_cast<DWORD>(raw_multi.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegValue value;
  ASSERT_STATUS(kOk, registry_.QueryValue(*key_, "RawMulti", &value));
  EXPECT_EQ(value.type, static_cast<uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(value.data, Bytes(std::string_view("a\0ü\0\0", 6)));
}

// A lone surrogate is no Unicode text, but the system keeps it in names and
// data; an uninstaller must be able to name such an item again.
TEST_F(Win32UnicodeTest, LoneSurrogatesSurviveTheRoundTrip) {
  const std::wstring odd_name = L"odd\xD800name";
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(RawKey(), odd_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &created, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(created);
  const std::wstring odd_text(L"x\xDC00y\0", 4);
  ASSERT_EQ(RegSetValueExW(RawKey(), L"OddText", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(odd_text.data()),
                           static_cast<DWORD>(odd_text.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);

  const auto names = SubkeyNames(*key_);
  ASSERT_EQ(names.size(), 1u);
  std::unique_ptr<RegKey> reopened;
  EXPECT_STATUS(kOk, registry_.OpenSubKey(*key_, names[0], KeyAccess::kRead, &reopened));
  reopened.reset();
  EXPECT_STATUS(kOk, registry_.DeleteKey(*key_, names[0]));
  EXPECT_TRUE(SubkeyNames(*key_).empty());

  // Data read and written back is stored exactly as before.
  RegValue value;
  ASSERT_STATUS(kOk, registry_.QueryValue(*key_, "OddText", &value));
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Copy", value.type, value.data));
  DWORD type = 0;
  EXPECT_EQ(RawText(RawKey(), L"Copy", &type), odd_text);
}

// Bytes that are no UTF-8 at all cannot be stored as they are; each becomes
// the replacement character rather than breaking the rest of the text.
TEST_F(Win32UnicodeTest, ShortNamesExpandToLongNames) {
  const std::string folder = JoinPath(folder_, "Program Files Überprüfung");
  const std::string file = JoinPath(folder, "a rather long file name.dll");
  ASSERT_STATUS(kOk, fs_.CreateFolder(folder));
  const uint8_t byte = 0;
  ASSERT_STATUS(kOk, fs_.WriteFile(file, std::span(&byte, 1)));
  wchar_t short_path[MAX_PATH];
  const DWORD length = GetShortPathNameW(ToWide(file).c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::string short_form = ToUtf8(std::wstring_view(short_path, length));
  ASSERT_NE(short_form, file) << "the system gave no short name";
  EXPECT_EQ(fs_.LongPathName(short_form), file);
}

TEST_F(Win32UnicodeTest, InvalidUtf8BecomesOneReplacementCharacterPerByte) {
  const std::vector<uint8_t> data = {'a', 0xFF, 0xC3, 'b', 0};  // 0xC3 starts a sequence 'b' breaks
  ASSERT_STATUS(kOk, registry_.SetValue(*key_, "Broken", REG_SZ, data));
  DWORD type = 0;
  EXPECT_EQ(RawText(RawKey(), L"Broken", &type), std::wstring(L"a\xFFFD\xFFFD"
                                                              L"b\0",
                                                              5));
}

}  // namespace
}  // namespace cvn::platform::win32
