// Finding a child by name: the child index against a plain scan of the
// siblings from the first.
#include "changes/child_index.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"

namespace cvn::changes {
namespace {

// A random name of few letters in random case, so that names repeat and
// differ only in case; `spread` more names with a number.
std::string RandomName(std::mt19937& rng, int spread) {
  static const std::string kBases[] = {"a", "ab", "b", "\xC3\xA9", "", "x"};
  std::string name = kBases[rng() % 6];
  for (char& c : name)
    if (rng() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (spread > 0) name += std::to_string(rng() % static_cast<unsigned>(spread));
  return name;
}

// Siblings in order, the index holding the first live one of each name (as
// the tree keeps it): every query finds what a scan from the first finds.
TEST(ChildIndexTest, FindGivesTheFirstMatchOfALinearScan) {
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const int spread = seed % 3 == 0 ? 0 : static_cast<int>(seed * 8);
    std::vector<std::string> names;
    std::vector<bool> live;
    ChildIndex index;
    auto same = [&](const std::string& name) {
      return [&names, &name](uint32_t id) { return text::EqualsNoCaseAscii(names[id], name); };
    };
    // Every other seed hashes all names to three values, so runs collide.
    auto hash = [&](const std::string& name) {
      uint32_t h = static_cast<uint32_t>(name.size() % 3);
      if (seed % 2) {
        for (char c : name) h = h * 31 + static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
      }
      return h;
    };
    auto scan = [&](const std::string& name) {
      for (uint32_t id = 0; id < names.size(); ++id)
        if (live[id] && same(name)(id)) return id;
      return ChildIndex::kNone;
    };
    for (int step = 0; step < 800; ++step) {
      const uint32_t action = rng() % 10;
      if (action < 6) {
        const std::string name = RandomName(rng, spread);
        const bool first = scan(name) == ChildIndex::kNone;
        names.push_back(name);
        live.push_back(true);
        const uint32_t id = static_cast<uint32_t>(names.size() - 1);
        ASSERT_EQ(index.Insert(hash(name), id, same(names[id])), first);
      } else if (action < 9 && !names.empty()) {
        const uint32_t id = static_cast<uint32_t>(rng() % names.size());
        const std::string name = names[id];
        const bool entry = live[id] && scan(name) == id;
        live[id] = false;
        index.Erase(hash(name), id);  // nothing happens unless it is stored
        if (entry && scan(name) != ChildIndex::kNone) index.InsertNew(hash(name), scan(name));
      }
      if (step == 500) {
        index.Clear();
        live.assign(live.size(), false);
      }
      if (step % 100 == 99) {
        size_t distinct = 0;
        for (uint32_t id = 0; id < names.size(); ++id)
          distinct += live[id] && scan(names[id]) == id;
        ASSERT_EQ(index.size(), distinct) << "step " << step;
      }
      if (step % 10 == 0) {
        for (int q = 0; q < 8; ++q) {
          const std::string query = RandomName(rng, spread);
          ASSERT_EQ(index.Find(hash(query), same(query)), scan(query)) << query << " step " << step;
        }
      }
    }
  }
}

}  // namespace
}  // namespace cvn::changes
