// The containers behind the changes tree: the open-addressing child index
// and the chunked node array.
#include "changes/child_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "changes/chunked_vector.h"

namespace cvn::changes {
namespace {

// Keys are the ids' names; every name hashes to the same few values, so
// entries collide and share probe runs.
class ChildIndexTest : public ::testing::Test {
 protected:
  uint32_t Hash(const std::string& name) const { return static_cast<uint32_t>(name.size() % 3); }
  uint32_t Find(const std::string& name) const {
    return index_.Find(Hash(name), [&](uint32_t id) { return names_[id] == name; });
  }
  bool Insert(uint32_t id) {
    return index_.Insert(Hash(names_[id]), id,
                         [&](uint32_t other) { return names_[other] == names_[id]; });
  }
  std::vector<std::string> names_;
  ChildIndex index_;
};

TEST_F(ChildIndexTest, FindsWhatWasInsertedAndKeepsTheFirstOfEqualKeys) {
  names_ = {"a", "bb", "a", "ccc", "dddd"};
  EXPECT_EQ(Find("a"), ChildIndex::kNone);
  EXPECT_TRUE(Insert(0));
  EXPECT_TRUE(Insert(1));
  EXPECT_FALSE(Insert(2));  // "a" is there already
  EXPECT_TRUE(Insert(3));
  EXPECT_TRUE(Insert(4));
  EXPECT_EQ(Find("a"), 0u);
  EXPECT_EQ(Find("bb"), 1u);
  EXPECT_EQ(Find("ccc"), 3u);
  EXPECT_EQ(Find("dddd"), 4u);
  EXPECT_EQ(Find("e"), ChildIndex::kNone);
  EXPECT_EQ(index_.size(), 4u);
}

TEST_F(ChildIndexTest, ErasedEntriesLeaveLaterOnesOfTheirRunReachable) {
  for (int i = 0; i < 12; ++i)
    names_.push_back(std::string(static_cast<size_t>(i % 3 + 1), 'x') + std::to_string(i));
  for (uint32_t id = 0; id < names_.size(); ++id) ASSERT_TRUE(Insert(id));
  index_.Erase(Hash(names_[0]), 0);
  index_.Erase(Hash(names_[3]), 3);
  index_.Erase(Hash(names_[3]), 3);  // twice: nothing more happens
  EXPECT_EQ(index_.size(), 10u);
  EXPECT_EQ(Find(names_[0]), ChildIndex::kNone);
  EXPECT_EQ(Find(names_[3]), ChildIndex::kNone);
  for (uint32_t id : {1u, 2u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u}) EXPECT_EQ(Find(names_[id]), id);
  // An erased key can come back, as another id.
  names_.push_back(names_[3]);
  EXPECT_TRUE(Insert(12));
  EXPECT_EQ(Find(names_[3]), 12u);
}

TEST_F(ChildIndexTest, GrowingAndManyErasuresKeepEveryLiveEntry) {
  for (uint32_t id = 0; id < 5000; ++id) {
    names_.push_back("n" + std::to_string(id));
    ASSERT_TRUE(Insert(id));
    if (id % 2 == 1) index_.Erase(Hash(names_[id - 1]), id - 1);
  }
  EXPECT_EQ(index_.size(), 2500u);
  for (uint32_t id = 0; id < 5000; ++id)
    ASSERT_EQ(Find(names_[id]), id % 2 == 1 ? id : ChildIndex::kNone) << id;
  index_.Clear();
  EXPECT_EQ(index_.size(), 0u);
  EXPECT_EQ(Find(names_[1]), ChildIndex::kNone);
}

TEST(ChunkedVectorTest, ElementsKeepTheirPlaceWhileTheArrayGrows) {
  ChunkedVector<std::string> v;
  EXPECT_EQ(v.Append(), 0u);
  v[0] = "first";
  const std::string* first = &v[0];
  for (size_t i = 1; i < 10000; ++i) {
    ASSERT_EQ(v.Append(), i);
    v[i] = std::to_string(i);
  }
  EXPECT_EQ(v.size(), 10000u);
  EXPECT_EQ(&v[0], first);
  EXPECT_EQ(v[0], "first");
  EXPECT_EQ(v[4095], "4095");
  EXPECT_EQ(v[4096], "4096");
  EXPECT_EQ(v[9999], "9999");
  v.Clear();
  EXPECT_EQ(v.size(), 0u);
  EXPECT_EQ(v.Append(), 0u);
  EXPECT_EQ(v[0], "");
}

}  // namespace
}  // namespace cvn::changes
