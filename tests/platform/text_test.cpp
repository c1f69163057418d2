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
