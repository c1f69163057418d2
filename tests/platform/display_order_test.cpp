// Sort keys order names as the display comparison does, on whichever
// platform the test is built for: a sort by keys is a sort by comparison.
// Names the comparison finds equal (a character the system does not sort
// against none at all) may take either order by keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/locale.h"

namespace cvn::platform {
namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

TEST(DisplaySortKeyTest, KeysCompareAsTheDisplayComparisonDoes) {
  const std::vector<std::string> names = {"b",
                                          "A",
                                          "a",
                                          "\xC3\xA4" /* ä */,
                                          "Z",
                                          "file10",
                                          "file2",
                                          "-x",
                                          "_y",
                                          "x-",
                                          "xy",
                                          "\xC3\x84rger" /* Ärger */,
                                          "apple",
                                          "Apple",
                                          "",
                                          "a b",
                                          "ab",
                                          "\xFF" /* an invalid byte */,
                                          "\xED\xA0\x80" /* a lone surrogate */,
                                          "C:\\Program Files",
                                          "C:\\Programme",
                                          "\xE6\x97\xA5\xE6\x9C\xAC" /* 日本 */};
  for (const std::string& a : names) {
    for (const std::string& b : names) {
      const int by_keys = Sign(DisplaySortKey(a).compare(DisplaySortKey(b)));
      const int compared = Sign(CompareNamesForDisplay(a, b));
      if (compared != 0) {
        EXPECT_EQ(by_keys, compared) << "'" << a << "' and '" << b << "'";
      }
      if (a == b) {
        EXPECT_EQ(by_keys, 0) << "'" << a << "'";
      }
    }
  }
}

}  // namespace
}  // namespace cvn::platform
