#include <gtest/gtest.h>

#include "platform/text.h"

namespace cvn::text {
namespace {

TEST(TextTest, UpperCasesAsciiAndCommonLetters) {
  EXPECT_EQ(ToUpper("c:\\program files\\x.dll"), "C:\\PROGRAM FILES\\X.DLL");
  EXPECT_EQ(ToUpper("überprüfung ÿ"), "ÜBERPRÜFUNG Ÿ");
  EXPECT_EQ(ToUpper("łódź"), "ŁÓDŹ");           // Latin Extended-A, both pairings
  EXPECT_EQ(ToUpper("αβγ ς"), "ΑΒΓ Σ");
  EXPECT_EQ(ToUpper("привет ё"), "ПРИВЕТ Ё");
  EXPECT_EQ(ToUpper("日本語"), "日本語");         // no case: unchanged
  EXPECT_EQ(ToUpper("a\xff" "b"), "A\xff" "B");  // an invalid byte is kept
  EXPECT_EQ(ToUpper("÷ı"), "÷ı");               // not letters with a simple pair
}

TEST(TextTest, ComparesWithoutRegardToCase) {
  EXPECT_EQ(CompareNoCase("Software", "SOFTWARE"), 0);
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
  EXPECT_LT(CompareNoCase("", "a"), 0);
  EXPECT_TRUE(EqualsNoCase("Überprüfung", "üBERPRÜFUNG"));
  EXPECT_FALSE(EqualsNoCase("Temp", "Temp2"));
  EXPECT_TRUE(EqualsNoCaseAscii("SOFTWARE\\Classes", "software\\CLASSES"));
  EXPECT_FALSE(EqualsNoCaseAscii("Ü", "ü"));  // plain ASCII rule
}

TEST(TextTest, Utf8Checks) {
  EXPECT_TRUE(IsValidUtf8("日本語 Über 😀"));
  EXPECT_FALSE(IsValidUtf8("\xc3"));          // truncated
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));  // a surrogate
  EXPECT_EQ(Utf16Length("aé日😀"), 5u);
}

}  // namespace
}  // namespace cvn::text

#include "platform/codepage.h"

namespace cvn::platform {
namespace {

TEST(CodePageTest, CharsetsMapToTheirCodePages) {
  EXPECT_EQ(CodePageOfCharset(0), 1252u);
  EXPECT_EQ(CodePageOfCharset(1), 1252u);
  EXPECT_EQ(CodePageOfCharset(238), 1250u);
  EXPECT_EQ(CodePageOfCharset(204), 1251u);
  EXPECT_EQ(CodePageOfCharset(128), 932u);
  EXPECT_EQ(CodePageOfCharset(136), 950u);
  EXPECT_EQ(CodePageOfCharset(77), 1252u);  // unknown
}

TEST(CodePageTest, ConvertsSingleAndDoubleByteTextToUtf8) {
  EXPECT_EQ(CodePageToUtf8("\xDC" "berpr\xFC" "fung \x80", 1252), "Überprüfung €");
  EXPECT_EQ(CodePageToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", 1251), "Привет");
  EXPECT_EQ(CodePageToUtf8("\xA3\xF3\x64\x9F", 1250), "Łódź");
  EXPECT_EQ(CodePageToUtf8("\x93\xFA\x96\x7B\x8C\xEA", 932), "日本語");
  EXPECT_EQ(CodePageToUtf8("plain", 936), "plain");
  EXPECT_EQ(CodePageToUtf8("", 1252), "");
}

TEST(CodePageTest, Utf8BackToACodePage) {
  EXPECT_EQ(Utf8ToCodePage("Überprüfung €", 1252), "\xDC" "berpr\xFC" "fung \x80");
  EXPECT_EQ(Utf8ToCodePage("日本語", 932), "\x93\xFA\x96\x7B\x8C\xEA");
  EXPECT_EQ(Utf8ToCodePage("", 1251), "");
  EXPECT_FALSE(Utf8ToCodePage("日本語", 1252));  // no such characters in the Western code page
  EXPECT_FALSE(Utf8ToCodePage("\xC3", 1252));    // not UTF-8
}

TEST(CodePageTest, BytesWithoutACharacterAreNotDropped) {
  // 0x81 has no character in 1252; a lone lead byte ends a 932 text.
  const std::string western = CodePageToUtf8("a\x81" "b", 1252);
  EXPECT_EQ(western.front(), 'a');
  EXPECT_EQ(western.back(), 'b');
  EXPECT_GT(western.size(), 2u);
  const std::string cut = CodePageToUtf8("x\x93", 932);
  EXPECT_EQ(cut.front(), 'x');
  EXPECT_GT(cut.size(), 1u);
}

}  // namespace
}  // namespace cvn::platform

#include <cctype>

#include "platform/locale.h"

namespace cvn::platform {
namespace {

TEST(LocaleTest, DisplayOrderIgnoresCase) {
  EXPECT_EQ(CompareNamesForDisplay("readme.TXT", "README.txt"), 0);
  EXPECT_LT(CompareNamesForDisplay("apple", "Banana"), 0);
  EXPECT_GT(CompareNamesForDisplay("Zebra", "apple"), 0);
  EXPECT_LT(CompareNamesForDisplay("", "a"), 0);
  EXPECT_LT(CompareNamesForDisplay("file1", "file2"), 0);
}

TEST(LocaleTest, PatternFormatWritesTwoDigitFields) {
  const PatternDateTimeFormat format({".", "-"});
  const CivilDateTime when{2024, 3, 5, 9, 4, 3};
  EXPECT_EQ(format.ShortDate(when), "05-03-2024");
  EXPECT_EQ(format.LongTime(when), "09.04.03");
}

TEST(LocaleTest, UsersFormatShowsEveryField) {
  const CivilDateTime when{2031, 11, 27, 13, 45, 58};
  const std::string date = UserDateTimeFormat().ShortDate(when);
  const std::string time = UserDateTimeFormat().LongTime(when);
  EXPECT_NE(date.find("31"), std::string::npos) << date;
  EXPECT_NE(date.find("11"), std::string::npos) << date;
  EXPECT_NE(date.find("27"), std::string::npos) << date;
  EXPECT_NE(time.find("45"), std::string::npos) << time;
  EXPECT_NE(time.find("58"), std::string::npos) << time;
}

TEST(LocaleTest, SeparatorsAreShortAndNotEmpty) {
  const DateTimeSeparators separators = UserDateTimeSeparators();
  EXPECT_FALSE(separators.time.empty());
  EXPECT_FALSE(separators.date.empty());
  EXPECT_LE(separators.time.size(), 4u);
  EXPECT_LE(separators.date.size(), 4u);
  // Neither a digit nor a letter may separate the numbers of a time stamp.
  for (char c : separators.time + separators.date) EXPECT_FALSE(std::isalnum(static_cast<unsigned char>(c)));
}

}  // namespace
}  // namespace cvn::platform
