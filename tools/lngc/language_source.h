// The readable source of a language file, and its translation to and from
// the scrambled .lng form.
//
// A source is UTF-8 text:
//
//   ; a comment
//   [*SYSTEM*]
//   CHARSET = 238
//   FLAG = @Polski.flag.bmp
//   LNG_CODE = pl
//
//   [frmCvnMain]
//   btnNext.Caption = &Dalej  >>
//
// "[name]" starts a section; "key = value" adds a key to it. In values,
// \\ is a backslash, \n a line feed, \r a carriage return, \t a tab, \s a
// space (for spaces at either end) and \xHH a byte written as it is. Texts are
// written in the code page of the file's CHARSET (1252 when there is none).
// In *SYSTEM*, CHARSET is a number stored as 4 bytes and "@file" as the
// value of FLAG names a picture whose bytes become the value.
// See doc/language_source_format.md.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cvn::lngc {

// A source that cannot be compiled; the message names the line.
class SourceError : public std::runtime_error {
 public:
  SourceError(int line, const std::string& message);
  int line() const { return line_; }

 private:
  int line_;
};

// Reads a file named in a source (the flag picture); empty when it cannot.
using ReadFileFn = std::function<std::optional<std::vector<uint8_t>>(const std::string& name)>;

// Compiles a source into the bytes of a .lng file.
std::vector<uint8_t> Compile(std::string_view source, const ReadFileFn& read_file);

// The controls' help context numbers: every language gives each of them a
// short text in its section HELP, keyed by the number.
inline constexpr int kFirstHelpContext = 19;
inline constexpr int kLastHelpContext = 74;
// The help context numbers from kFirstHelpContext to kLastHelpContext that
// have no text (or an empty one) in the source's section HELP, in order.
// Throws SourceError for a source that cannot be read.
std::vector<int> MissingHelpTexts(std::string_view source);

struct Decompiled {
  std::string source;         // canonical: no comments, one blank line between sections
  std::vector<uint8_t> flag;  // the FLAG picture, when the file has one
};
// Turns a .lng file back into its source; the flag picture, when there is
// one, is referred to as `flag_file_name`. Throws std::runtime_error
// ("Invalid file format.") for a damaged file.
Decompiled Decompile(const std::vector<uint8_t>& lng, std::string_view flag_file_name);

}  // namespace cvn::lngc
