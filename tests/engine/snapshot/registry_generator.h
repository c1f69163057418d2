// Generated registry content for comparing the bulk read with the walk and
// for measuring them (Win32 only): keys and values with names outside ASCII,
// every value type, empty and large data, volatile keys (one holding a
// volatile subkey only) and registry links, written with the bare API.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cvn::test {

struct GeneratedRegistry {
  size_t keys = 0;
  size_t values = 0;
};

namespace registry_generator_detail {

inline HKEY Create(HKEY parent, const std::wstring& name, DWORD options = REG_OPTION_NON_VOLATILE) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

inline void Set(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
  RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                 static_cast<DWORD>(size));
}

inline void SetText(HKEY key, const std::wstring& name, DWORD type, const std::wstring& text) {
  Set(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

}  // namespace registry_generator_detail

// Fills `root`\`path` (made here) with about `value_count` values, 50 to a
// key, ten keys to a parent. `link_target` is the native name of a key the
// links point to ("\Registry\Machine\Software").
inline GeneratedRegistry GenerateRegistry(HKEY root, const std::wstring& path, size_t value_count,
                                          const std::wstring& link_target) {
  using namespace registry_generator_detail;
  GeneratedRegistry made;
  HKEY base = Create(root, path);
  if (base == nullptr) return made;
  static const wchar_t* const kNames[] = {L"Schlüssel",       L"日本語のキー", L"Ключ",
                                          L"Emoji\U0001F600", L"Ελληνικά",     L"plain"};
  constexpr size_t kValuesPerKey = 50;
  const size_t key_count = value_count / kValuesPerKey + 1;
  std::vector<BYTE> data;
  HKEY parent = nullptr;
  for (size_t k = 0; k < key_count; ++k) {
    if (k % 10 == 0) {
      if (parent != nullptr) RegCloseKey(parent);
      parent = Create(base, L"Group " + std::to_wstring(k / 10) + L" " + kNames[k / 10 % 6]);
      ++made.keys;
      if (parent == nullptr) break;
    }
    HKEY key = Create(parent, std::wstring(kNames[k % 6]) + L" " + std::to_wstring(k));
    if (key == nullptr) continue;
    ++made.keys;
    for (size_t v = 0; v < kValuesPerKey && made.values < value_count; ++v, ++made.values) {
      const size_t n = k * kValuesPerKey + v;
      const std::wstring name = (n % 7 == 0 ? L"Wert ä " : L"value ") + std::to_wstring(n);
      switch (n % 12) {
        case 0:
          SetText(key, name, REG_SZ, L"text " + std::to_wstring(n) + L" € 日本 \U0001F600");
          break;
        case 1:
          SetText(key, name, REG_EXPAND_SZ, L"%SystemRoot%\\x" + std::to_wstring(n));
          break;
        case 2: {
          const std::wstring multi = std::wstring(L"one\0two ", 8) + std::to_wstring(n) + L'\0';
          Set(key, name, REG_MULTI_SZ, multi.c_str(), (multi.size() + 1) * sizeof(wchar_t));
          break;
        }
        case 3: {
          const DWORD dword = static_cast<DWORD>(n);
          Set(key, name, REG_DWORD, &dword, sizeof dword);
          break;
        }
        case 4: {
          const uint64_t qword = n * 1000003ull;
          Set(key, name, REG_QWORD, &qword, sizeof qword);
          break;
        }
        case 5:
          data.assign(n % 64, static_cast<BYTE>(n));
          Set(key, name, REG_BINARY, data.data(), data.size());
          break;
        case 6:
          Set(key, name, REG_NONE, nullptr, 0);  // empty
          break;
        case 7:
          Set(key, name, REG_SZ, "odd", 3);  // text of odd length
          break;
        case 8: {
          const DWORD big_endian = 0x01020304;
          Set(key, name, REG_DWORD_BIG_ENDIAN, &big_endian, sizeof big_endian);
          break;
        }
        case 9:
          Set(key, name, 0x12345, "xyz", 3);  // a type of no name
          break;
        case 10:
          Set(key, name, REG_RESOURCE_LIST, "\1\2\3\4", 4);
          break;
        default:
          // Text without its terminator, and now and then a large value.
          if (n % 20000 == 11) {
            data.assign(200'000, static_cast<BYTE>(n));
            Set(key, name, REG_BINARY, data.data(), data.size());
          } else {
            Set(key, name, REG_SZ, L"abc", 6);
          }
          break;
      }
    }
    if (k % 25 == 0) {
      // A volatile key with a subkey; a key whose only subkey is volatile.
      if (HKEY v = Create(key, L"Volatile ä", REG_OPTION_VOLATILE)) {
        SetText(v, L"inside", REG_SZ, L"gone from saved files");
        if (HKEY inner = Create(v, L"Inner", REG_OPTION_VOLATILE)) RegCloseKey(inner);
        RegCloseKey(v);
        made.keys += 2;
      }
      if (HKEY holder = Create(key, L"Holder")) {
        if (HKEY v = Create(holder, L"Volatile", REG_OPTION_VOLATILE)) RegCloseKey(v);
        RegCloseKey(holder);
        made.keys += 2;
      }
      if (HKEY link = Create(key, L"Link", REG_OPTION_CREATE_LINK)) {
        Set(link, L"SymbolicLinkValue", REG_LINK, link_target.c_str(),
            link_target.size() * sizeof(wchar_t));
        RegCloseKey(link);
        ++made.keys;
      }
    }
    RegCloseKey(key);
  }
  if (parent != nullptr) RegCloseKey(parent);
  RegCloseKey(base);
  return made;
}

// Removes what GenerateRegistry made; links are deleted as links.
inline void RemoveGeneratedRegistry(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS)
    return;
  DWORD type = 0;
  const bool is_link = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr,
                                        nullptr) == ERROR_SUCCESS &&
                       type == REG_LINK;
  if (!is_link) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
    }
    for (const std::wstring& child : names) RemoveGeneratedRegistry(key, child);
  }
  RegCloseKey(key);
  // A link key is deleted through NtDeleteKey on the link itself.
  if (is_link) {
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
    static const auto nt_delete = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &key) == ERROR_SUCCESS) {
      if (nt_delete != nullptr) nt_delete(key);
      RegCloseKey(key);
    }
    return;
  }
  RegDeleteKeyW(root, path.c_str());
}

}  // namespace cvn::test
