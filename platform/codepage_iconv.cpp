// Code-page conversion where there is no Windows API: iconv.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/codepage.h"

namespace cvn::platform {

std::string CodePageToUtf8(std::string_view bytes, uint32_t code_page) {
  const std::string from = "CP" + std::to_string(code_page);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
  std::string out;
  out.resize(bytes.size() * 4 + 4);
  char* in_ptr = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: four bytes out per byte in is enough
    // A byte with no character (or a cut double-byte sequence) stands as U+FFFD.
    if (out_left < 3) break;
    *out_ptr++ = static_cast<char>(0xEF);
    *out_ptr++ = static_cast<char>(0xBF);
    *out_ptr++ = static_cast<char>(0xBD);
    out_left -= 3;
    ++in_ptr;
    --in_left;
  }
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

std::optional<std::string> Utf8ToCodePage(std::string_view text, uint32_t code_page) {
  const std::string to = "CP" + std::to_string(code_page);
  iconv_t cd = iconv_open(to.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  const bool ok = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &out_ptr, &out_left) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace cvn::platform
