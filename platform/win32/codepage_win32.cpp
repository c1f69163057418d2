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

std::optional<std::string> Utf8ToCodePage(std::string_view text, uint32_t code_page) {
  if (text.empty()) return std::string();
  const int in_size = static_cast<int>(text.size());
  const int wide_size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), in_size, nullptr, 0);
  if (wide_size == 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), in_size, wide.data(), wide_size);
  BOOL lossy = FALSE;
  const int out_size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size,
                                           nullptr, 0, nullptr, &lossy);
  if (out_size == 0 || lossy) return std::nullopt;
  std::string out(static_cast<size_t>(out_size), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size, out.data(), out_size,
                      nullptr, nullptr);
  return out;
}

}  // namespace cvn::platform
