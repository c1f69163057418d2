// 8-bit text in a Windows code page, as read from language files and other
// files of the old single-byte and double-byte kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cvn::platform {

// The Windows code page that goes with a font character set: 238 (Central
// European) gives 1250, 204 (Cyrillic) 1251, 128 (Japanese) 932 and so on;
// 0, 1 and any unknown set give the Western code page 1252.
uint32_t CodePageOfCharset(int charset);

// `bytes` in `code_page` as UTF-8. A byte sequence with no character in the
// code page becomes U+FFFD; nothing is dropped silently. Safe on any thread.
std::string CodePageToUtf8(std::string_view bytes, uint32_t code_page);

// UTF-8 `text` in `code_page`; empty when a character has no form in that
// code page (or `text` is not UTF-8). Safe on any thread.
std::optional<std::string> Utf8ToCodePage(std::string_view text, uint32_t code_page);

}  // namespace cvn::platform
