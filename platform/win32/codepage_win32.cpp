// Code-page conversion on Windows: through UTF-16 with the system's tables.
#include <windows.h>

#include <string>

#include "platform/codepage.h"

namespace cvn::platform {

std::string CodePageToUtf8(std::string_view bytes, uint32_t code_page) {
  if (bytes.empty()) return {};
  const int in_size = static_cast<int>(bytes.size());
  int wide_size = MultiByteToWideChar(code_page, 0, bytes.data(), in_size, nullptr, 0);
  if (wide_size == 0) {
    code_page = 1252;  // a code page the system does not know
    wide_size = MultiByteToWideChar(code_page, 0, bytes.data(), in_size, nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), in_size, wide.data(), wide_size);
  const int out_size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(out_size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(), out_size, nullptr, nullptr);
  return out;
}

}  // namespace cvn::platform
