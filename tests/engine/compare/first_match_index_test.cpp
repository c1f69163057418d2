// The first-match index against a plain scan from the head of the list:
// random name lists full of duplicates and case variants, short and long.
#include "engine/compare/first_match_index.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

#include "platform/text.h"

namespace cvn::compare {
namespace {

struct Entry {
  std::string name;
  const Entry* next = nullptr;
};

std::string RandomName(std::mt19937& rng) {
  static const char* const kBases[] = {
      "app", "Data", "x",  "setup.dll", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89",
      "",    "a b",  "n1", "n10"};
  std::string name = kBases[rng() % 10];
  if (rng() % 3 == 0) name += std::to_string(rng() % 40);
  for (char& c : name)  // flip ASCII letters at random
    if (rng() % 2 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) c ^= 0x20;
  return name;
}

TEST(FirstMatchIndexTest, FindsWhatALinearScanFinds) {
  std::mt19937 rng(7);
  size_t indexed = 0, found = 0;
  for (int round = 0; round < 400; ++round) {
    const size_t length = round % 4 == 0 ? rng() % FirstMatchIndex<Entry>::kScanLimit : rng() % 200;
    std::deque<Entry> list(length);
    for (size_t i = 0; i < length; ++i) {
      list[i].name = RandomName(rng);
      if (i + 1 < length) list[i].next = &list[i + 1];
    }
    const Entry* head = list.empty() ? nullptr : &list.front();
    indexed += length >= FirstMatchIndex<Entry>::kScanLimit;
    const FirstMatchIndex<Entry> index(head);
    for (int q = 0; q < 50; ++q) {
      const std::string query = RandomName(rng);
      const Entry* expected = nullptr;
      for (const Entry* e = head; e != nullptr && expected == nullptr; e = e->next)
        if (text::EqualsNoCase(e->name, query)) expected = e;
      ASSERT_EQ(index.Find(query), expected) << "round " << round << ", query " << query;
      found += expected != nullptr;
    }
  }
  EXPECT_GT(indexed, 200u);  // both ways of finding were exercised
  EXPECT_GT(found, 5000u);
}

}  // namespace
}  // namespace cvn::compare
