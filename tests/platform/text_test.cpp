// Text, code pages, the display order of names and the helpers on paths.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/bytes.h"

namespace cvn::platform {
namespace {

using namespace cvn::text;

// Latin-1, Latin Extended-A (both pairings), Greek and Cyrillic letters;
// text without case, an invalid byte and signs without a simple pair are kept.
TEST(TextTest, UpperCasesAsciiAndCommonLetters) {
  EXPECT_EQ(ToUpper("c:\\program files\\x.dll"), "C:\\PROGRAM FILES\\X.DLL");
  EXPECT_EQ(ToUpper("überprüfung ÿ łódź αβγ ς привет ё"), "ÜBERPRÜFUNG Ÿ ŁÓDŹ ΑΒΓ Σ ПРИВЕТ Ё");
  EXPECT_EQ(ToUpper("日本語 a\xff-z ÷ı"), "日本語 A\xff-Z ÷ı");
}

// The display order of names ignores case too.
TEST(TextTest, ComparesWithoutRegardToCase) {
  EXPECT_EQ(CompareNoCase("Software", "SOFTWARE"), 0);
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
  EXPECT_TRUE(EqualsNoCase("Überprüfung", "üBERPRÜFUNG"));
  EXPECT_FALSE(EqualsNoCase("Temp", "Temp2"));
  EXPECT_TRUE(EqualsNoCaseAscii("SOFTWARE\\Classes", "software\\CLASSES"));
  EXPECT_FALSE(EqualsNoCaseAscii("Ü", "ü"));  // plain ASCII rule
  EXPECT_EQ(CompareNamesForDisplay("readme.TXT", "README.txt"), 0);
  EXPECT_LT(CompareNamesForDisplay("apple", "Banana"), 0);
}

TEST(CodePageTest, ConvertsTextBothWays) {
  struct Row {
    const char* bytes;
    unsigned code_page;
    const char* utf8;
  };
  for (const Row& row :
       {Row{"Gr\xFC\xDF\x65 \x80", 1252, "Grüße €"},
        Row{"\xCF\xF0\xE8\xE2\xE5\xF2", 1251, "Привет"}, Row{"\xA3\xF3\x64\x9F", 1250, "Łódź"},
        Row{"\x93\xFA\x96\x7B\x8C\xEA", 932, "日本語"}, Row{"", 1252, ""}}) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(CodePageToUtf8(row.bytes, row.code_page), row.utf8);
    EXPECT_EQ(Utf8ToCodePage(row.utf8, row.code_page), row.bytes);
  }
  EXPECT_EQ(CodePageOfCharset(136), 950u);
  EXPECT_EQ(CodePageOfCharset(77), 1252u) << "an unknown character set";
  EXPECT_FALSE(Utf8ToCodePage("日本語", 1252));  // no such characters in the Western code page
  EXPECT_FALSE(Utf8ToCodePage("\xC3", 1252));    // not UTF-8
}

TEST(CodePageTest, BytesWithoutACharacterAreNotDropped) {
  // 0x81 has no character in 1252; a lone lead byte ends a 932 text.
  const std::string western = CodePageToUtf8("a\x81z", 1252);
  EXPECT_EQ(western.front(), 'a');
  EXPECT_EQ(western.back(), 'z');
  EXPECT_GT(western.size(), 2u);
  const std::string cut = CodePageToUtf8("x\x93", 932);
  EXPECT_EQ(cut.front(), 'x');
  EXPECT_GT(cut.size(), 1u);
}

TEST(PlatformHelpersTest, NamesPathsAndText) {
  EXPECT_EQ(RootKeyName(RootKey::kLocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(0x80000000u), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(RootKeyName(0x80000004u), "(error)");  // HKEY_PERFORMANCE_DATA is not one of ours
  EXPECT_EQ(JoinPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinPath("C:\\a", "x"), "C:\\a\\x");
  EXPECT_EQ(DataAsText(test::Bytes({"ab\0\0", 4})), "ab");
}

}  // namespace
}  // namespace cvn::platform
