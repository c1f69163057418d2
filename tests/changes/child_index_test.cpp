// Finding a child by name: the child index against a plain scan of the
// siblings from the first, alone and inside the tree, and the chunked node array.
#include "changes/child_index.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/chunked_vector.h"
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
        for (uint32_t id = 0; id < names.size(); ++id) distinct += live[id] && scan(names[id]) == id;
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

// The first container child named so (ASCII case ignored) by a scan of the
// siblings, down a path from the file-system root; kNoNode when one is missing.
NodeId Scan(const ChangeTree& tree, std::string_view path) {
  NodeId n = tree.FileSystemRoot();
  while (n != kNoNode && !path.empty()) {
    const size_t cut = path.find('\\');
    const std::string_view element = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
    NodeId c = tree.FirstChild(n);
    while (c != kNoNode && !(IsContainerKind(tree.Data(c).Kind) &&
                             text::EqualsNoCaseAscii(tree.Data(c).Name, element)))
      c = tree.NextSibling(c);
    n = c;
  }
  return n;
}

// Insertions, sorts, relabels and removals in random order: every insertion
// goes under the container a scan finds, and makes path nodes only when the
// scan finds none.
TEST(ChildLookupTest, InsertionFollowsTheFirstContainerOfALinearScan) {
  const int32_t kinds[] = {nkFolderAdded, nkFolderDeleted, nkFileAdded, nkFileChanged};
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    settings::Settings settings;
    ChangeTree tree(settings, text::CompareNoCase);
    std::vector<NodeId> made;
    for (int step = 0; step < 300; ++step) {
      const uint32_t action = rng() % 10;
      const NodeId some = made.empty() ? kNoNode : made[rng() % made.size()];
      if (action == 0 && some != kNoNode && tree.Parent(some) != kNoNode) {
        tree.InitNode(tree.Parent(some));
      } else if (action == 1 && some != kNoNode && tree.Parent(some) != kNoNode) {
        tree.SetKind(some, kinds[rng() % 4]);
      } else if (action == 2 && some != kNoNode && tree.Parent(some) != kNoNode) {
        tree.RemoveBranch(some);
        made.clear();  // ids of the subtree are gone; collect afresh
        const NodeId root = tree.FileSystemRoot();
        for (NodeId n = tree.NextInSubtree(root, root); n != kNoNode;
             n = tree.NextInSubtree(n, root))
          made.push_back(n);
      } else {
        std::string path = "C:";
        for (uint32_t depth = rng() % 3; depth > 0; --depth) path += "\\" + RandomName(rng, 0);
        const NodeId expected = Scan(tree, path);
        const size_t count = tree.NodeCount();
        const std::string name = RandomName(rng, 0);
        const NodeId n = test::Add(tree, path, name, kinds[rng() % 4]);
        ASSERT_NE(n, kNoNode);
        made.push_back(n);
        ASSERT_EQ(tree.Parent(n), Scan(tree, path)) << path << " step " << step;
        if (expected != kNoNode) {
          ASSERT_EQ(tree.Parent(n), expected) << path << " step " << step;
          ASSERT_EQ(tree.NodeCount(), count + 1);
        }
      }
    }
  }
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
