#include <gtest/gtest.h>

#include "i18n/language_file.h"
#include "i18n/language_file_writer.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

std::optional<std::vector<uint8_t>> NoFiles(const std::string&) {
  return std::nullopt;
}

const char kPolish[] =
    "[*SYSTEM*]\n"
    "CHARSET = 238\n"
    "LNG_CODE = pl\n"
    "\n"
    "[frmCvnMain]\n"
    "Caption = Corvane\n"
    "btnNext.Caption = &Dalej  >>\n"
    "lblStatus.Caption = Zażółć gęślą jaźń\n"
    "\n"
    "[RESOURCESTRING]\n"
    "RS_ASK_SAVE = Zapisać zmiany ?\n"
    "RS_TWO_LINES = pierwsza\\ndruga\\r\\n\\ttrzecia \\\\ koniec\\s\n"
    "RS_SPACES = \\s  z przodu\n";

TEST(LanguageSourceTest, CompiledFileReadsBackInItsCodePageAndDecompilesToItsSource) {
  const std::vector<uint8_t> lng = Compile(kPolish, NoFiles);
  const Decompiled back = Decompile(lng, "Polski.flag.bmp");
  EXPECT_EQ(back.source, kPolish);
  EXPECT_TRUE(back.flag.empty());
  i18n::LanguageFile file("Polski.lng", lng);
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 1), 238);
  EXPECT_EQ(file.ReadString("*SYSTEM*", "LNG_CODE", ""), "pl");
  EXPECT_EQ(file.ReadString("frmCvnMain", "btnNext.Caption", ""), "&Dalej  >>");
  // Code page 1250 bytes, not UTF-8.
  EXPECT_EQ(file.ReadString("frmCvnMain", "lblStatus.Caption", ""),
            "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1");
  EXPECT_EQ(file.ReadString("RESOURCESTRING", "RS_TWO_LINES", ""),
            "pierwsza\ndruga\r\n\ttrzecia \\ koniec ");
  EXPECT_EQ(file.ReadString("RESOURCESTRING", "RS_SPACES", ""), "   z przodu");
  EXPECT_EQ(file.ReadSectionKeys("frmCvnMain"),
            (std::vector<std::string>{"Caption", "btnNext.Caption", "lblStatus.Caption"}));
}

// Texts appended at the end of a source under a section named again join
// that section.
TEST(LanguageSourceTest, ASectionNamedAgainGoesOn) {
  const std::string source = std::string(kPolish) +
                             "\n[frmCvnMain]\nbtnBack.Caption = << &Wstecz\n"
                             "\n[resourcestring]\nRS_LATER = dopisane\n";
  i18n::LanguageFile file("Polski.lng", Compile(source, NoFiles));
  EXPECT_EQ(file.ReadString("RESOURCESTRING", "RS_ASK_SAVE", ""), "Zapisa\xE6 zmiany ?");
  EXPECT_EQ(file.ReadString("RESOURCESTRING", "RS_LATER", ""), "dopisane");
  EXPECT_EQ(file.ReadSectionKeys("frmCvnMain"),
            (std::vector<std::string>{"Caption", "btnNext.Caption", "lblStatus.Caption",
                                      "btnBack.Caption"}));
}

TEST(LanguageSourceTest, AnyLanguageFileSurvivesDecompilingAndCompiling) {
  // Bytes with no character in code page 1252, control bytes, backslashes,
  // spaces at both ends, a lone double-byte lead: all must come back exactly.
  i18n::LanguageFileWriter writer;
  writer.Section("*SYSTEM*")
      .Key("CHARSET", std::string("\0\0\0\0", 4))
      .Key("FLAG", std::string("BM\0\x01\xFF", 5));
  writer.Section("RESOURCESTRING")
      .Key("RS_ODD", "a\x81z\x8D")
      .Key("RS_CONTROL", std::string("\x01\x7F\0end", 6))
      .Key("RS_EDGES", " \\both ends\\ ")
      .Key("RS_EMPTY", "")
      .Key("RS_WESTERN",
           "\xDC"
           "berpr\xFC"
           "fung");
  writer.Section("frmCvnMain");  // an empty section
  const std::vector<uint8_t> lng = writer.Build();

  const Decompiled source = Decompile(lng, "x.flag.bmp");
  EXPECT_EQ(source.flag, (std::vector<uint8_t>{'B', 'M', 0, 1, 0xFF}));
  EXPECT_NE(source.source.find("RS_WESTERN = Überprüfung\n"), std::string::npos) << source.source;
  EXPECT_NE(source.source.find("FLAG = @x.flag.bmp\n"), std::string::npos);
  EXPECT_EQ(Compile(source.source,
                    [&](const std::string& name) {
                      return name == "x.flag.bmp" ? std::optional(source.flag) : std::nullopt;
                    }),
            lng);
}

TEST(LanguageSourceTest, ErrorsNameTheLine) {
  struct Case {
    const char* source;
    int line;
  };
  const Case cases[] = {
      {"; comment\nRS_OK = before any section\n", 2},
      {"[RESOURCESTRING]\nRS_OK = bad \\q escape\n", 2},
      {"[RESOURCESTRING]\nRS_OK = \\x4\n", 2},
      {"[RESOURCESTRING]\n\nRS_OK = 日本語\n", 3},  // not in the Western code page
      {"[*SYSTEM*]\nCHARSET = two\n", 2},
      {"[*SYSTEM*]\nFLAG = @missing.bmp\n", 2},
      {"[RESOURCESTRING\n", 1},
      {"[RESOURCESTRING]\njust text\n", 2},
      {"[RESOURCESTRING]\n = no name\n", 2},
      {"[RESOURCESTRING]\nTHIS_KEY_NAME_IS_LONGER_THAN_THIRTY_SIX = x\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    try {
      Compile(c.source, NoFiles);
      ADD_FAILURE() << "compiled";
    } catch (const SourceError& e) {
      EXPECT_EQ(e.line(), c.line) << e.what();
    }
  }
}

TEST(LanguageSourceTest, DamagedFileIsRefused) {
  std::vector<uint8_t> cut = Compile(kPolish, NoFiles), flipped = cut;
  cut.resize(cut.size() - 3);  // the last value runs past the end
  flipped[0] ^= 1;
  EXPECT_THROW(Decompile(cut, "f.bmp"), std::runtime_error);
  EXPECT_THROW(Decompile(flipped, "f.bmp"), std::runtime_error);
}

}  // namespace
}  // namespace cvn::lngc

namespace cvn::lngc {
namespace {

TEST(LanguageSourceTest, MissingHelpTextsNamesEveryContextWithoutAText) {
  std::string all = "[HELP]\n";
  for (int context = kFirstHelpContext; context <= kLastHelpContext; ++context)
    all += std::to_string(context) + " = text " + std::to_string(context) + "\n";
  const struct {
    std::string source;
    std::vector<int> missing;
  } cases[] = {
      {all, {}},
      {"[HELP]\n19 = a\n20 =\n21 = \\s\n74 = z\n[Other]\n22 = b\n",
       [] {
         std::vector<int> v{20};
         for (int c = 22; c < kLastHelpContext; ++c) v.push_back(c);
         return v;
       }()},
  };
  for (const auto& c : cases) EXPECT_EQ(MissingHelpTexts(c.source), c.missing);
}

}  // namespace
}  // namespace cvn::lngc
