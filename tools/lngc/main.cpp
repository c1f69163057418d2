// corvane-lngc: compiles language sources into .lng files and back.
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/lngc/english_template.h"
#include "tools/lngc/flag_bitmap.h"
#include "tools/lngc/language_source.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "Usage: corvane-lngc COMMAND ...\n"
    "  --compile SOURCE.txt OUTPUT.lng   compile a language source into a language file\n"
    "  --decompile INPUT.lng OUTPUT.txt  turn a language file back into its source\n"
    "                                    (its flag picture goes beside OUTPUT.txt)\n"
    "  --template [OUTPUT.txt]           the English source of every window and message,\n"
    "                                    to start a translation from (standard output without OUTPUT)\n"
    "  --flag horizontal|vertical RRGGBB RRGGBB RRGGBB WIDTH HEIGHT OUTPUT.bmp\n"
    "                                    draw a tricolour flag (first colour on top or left)\n"
    "                                    as a 24-bit BMP picture, for FLAG = @OUTPUT.bmp\n"
    "  --help                            this text\n"
    "Sources are UTF-8 text; see doc/language_source_format.md.\n";

// Paths on the command line are UTF-8; this keeps them so on Windows too.
fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::optional<std::vector<uint8_t>> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return static_cast<bool>(out);
}

int Fail(const std::string& message) {
  std::cerr << "corvane-lngc: " << message << "\n";
  return 1;
}

int CompileCommand(const std::string& source_name, const std::string& output_name) {
  const fs::path source_path = PathOf(source_name);
  const std::optional<std::vector<uint8_t>> source = ReadAll(source_path);
  if (!source) return Fail("cannot read " + source_name);
  const fs::path folder = source_path.parent_path();
  auto read_file = [&](const std::string& name) { return ReadAll(folder / PathOf(name)); };
  std::vector<uint8_t> lng;
  try {
    const std::string_view text(reinterpret_cast<const char*>(source->data()), source->size());
    const std::vector<int> missing = cvn::lngc::MissingHelpTexts(text);
    if (!missing.empty()) {
      std::string numbers;
      for (int context : missing)
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(context);
      return Fail(source_name + ": no text in [HELP] for the help context numbers " + numbers);
    }
    lng = cvn::lngc::Compile(std::string_view(reinterpret_cast<const char*>(source->data()), source->size()),
                             read_file);
  } catch (const cvn::lngc::SourceError& e) {
    return Fail(source_name + ", " + e.what());
  }
  if (!WriteAll(PathOf(output_name), lng.data(), lng.size())) return Fail("cannot write " + output_name);
  return 0;
}

int DecompileCommand(const std::string& lng_name, const std::string& output_name) {
  const std::optional<std::vector<uint8_t>> lng = ReadAll(PathOf(lng_name));
  if (!lng) return Fail("cannot read " + lng_name);
  const fs::path output = PathOf(output_name);
  const fs::path flag_path = fs::path(output).replace_extension(".flag.bmp");
  const std::u8string flag_name = flag_path.filename().u8string();
  cvn::lngc::Decompiled result;
  try {
    result = cvn::lngc::Decompile(*lng, std::string(flag_name.begin(), flag_name.end()));
  } catch (const std::exception& e) {
    return Fail(lng_name + ": " + e.what());
  }
  if (!WriteAll(output, result.source.data(), result.source.size())) return Fail("cannot write " + output_name);
  if (!result.flag.empty() && !WriteAll(flag_path, result.flag.data(), result.flag.size()))
    return Fail("cannot write the flag picture beside " + output_name);
  return 0;
}

int TemplateCommand(const std::optional<std::string>& output_name) {
  const std::string_view text = cvn::lngc::kEnglishTemplate;
  if (!output_name) {
    std::cout << text;
    return std::cout ? 0 : 1;
  }
  return WriteAll(PathOf(*output_name), text.data(), text.size()) ? 0 : Fail("cannot write " + *output_name);
}

std::optional<int> Number(const std::string& text) {
  try {
    size_t used = 0;
    const int n = std::stoi(text, &used);
    if (used == text.size()) return n;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

int FlagCommand(const std::vector<std::string>& args) {
  // args: direction, three colours, width, height, output
  std::optional<cvn::lngc::Bands> bands;
  if (args[0] == "horizontal") bands = cvn::lngc::Bands::kHorizontal;
  if (args[0] == "vertical") bands = cvn::lngc::Bands::kVertical;
  if (!bands) return Fail("the bands are horizontal or vertical, not " + args[0]);
  std::array<cvn::lngc::Rgb, 3> colours;
  for (size_t i = 0; i < 3; ++i) {
    const std::optional<cvn::lngc::Rgb> colour = cvn::lngc::ParseRgb(args[1 + i]);
    if (!colour) return Fail("a colour is six hexadecimal digits RRGGBB, not " + args[1 + i]);
    colours[i] = *colour;
  }
  const std::optional<int> width = Number(args[4]);
  const std::optional<int> height = Number(args[5]);
  if (!width || !height) return Fail("width and height must be numbers");
  std::vector<uint8_t> bitmap;
  try {
    bitmap = cvn::lngc::TricolourBitmap(*bands, colours, *width, *height);
  } catch (const std::invalid_argument& e) {
    return Fail(e.what());
  }
  return WriteAll(PathOf(args[6]), bitmap.data(), bitmap.size()) ? 0 : Fail("cannot write " + args[6]);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--compile" && args.size() == 3) return CompileCommand(args[1], args[2]);
  if (args[0] == "--decompile" && args.size() == 3) return DecompileCommand(args[1], args[2]);
  if (args[0] == "--flag" && args.size() == 8) return FlagCommand({args.begin() + 1, args.end()});
  if (args[0] == "--template" && args.size() <= 2)
    return TemplateCommand(args.size() == 2 ? std::optional<std::string>(args[1]) : std::nullopt);
  std::cerr << "corvane-lngc: unknown command or wrong number of arguments\n" << kUsage;
  return 2;
}
