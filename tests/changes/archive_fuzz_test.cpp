// The loader on damaged archives: every truncation of a good archive, and
// many thousands of random mutations. The loader must never read past the
// data (the sanitizers watch), never allocate more than the file holds for
// a record, and never report a damaged record area as loaded.
#include <gtest/gtest.h>

#include <random>

#include "changes/archive_loader.h"
#include "tests/changes/archive_test_util.h"
#include "tests/support/bytes.h"

namespace cvn::changes {
namespace {

// Checks every change it is given against the size of the file, and notes
// where in the archive each record ended.
struct CheckingSink : ChangeSink {
  CheckingSink(const ChangesArchive& archive, ChangeTree& tree) : archive_(archive), tree_(tree) {}
  void AddToTree(std::string_view path, std::string_view name, ChangeRecord& tmpl) override {
    EXPECT_LE(static_cast<size_t>(std::max(tmpl.before_size, 0)), archive_.Size());
    EXPECT_LE(static_cast<size_t>(std::max(tmpl.after_size, 0)), archive_.Size());
    EXPECT_LE(path.size() + name.size(), archive_.Size());
    ends.push_back(archive_.Position());
    tree_.AddToTree(path, name, tmpl);
  }
  std::vector<size_t> ends;
  const ChangesArchive& archive_;
  ChangeTree& tree_;
};

class ArchiveFuzzTest : public test::ArchiveFixture {
 protected:
  void SetUp() override {
    ArchiveFixture::SetUp();
    ChangeTree tree(settings_);
    test::FillEveryKind(tree);
    Save(tree);
    good_ = FileBytes();
  }

  struct Outcome {
    bool loaded = false;
    std::vector<size_t> ends;
  };

  Outcome LoadBytes(const std::vector<uint8_t>& bytes) {
    Put(bytes);
    ChangesArchive archive(fs_, "C:\\Cvn\\App", clock_);
    Outcome out;
    if (!archive.Open()) ADD_FAILURE() << "the header was changed";
    if (HasFailure()) return out;
    ChangeTree tree(settings_);
    CheckingSink sink(archive, tree);
    threads::LoadedChangeCounts counts;
    threads::RunToEnd control;
    out.loaded = LoadChangeRecords(archive, sink, counts, control, nullptr);
    out.ends = sink.ends;
    // The smallest record is a kind and an empty string: 8 bytes.
    EXPECT_LE(sink.ends.size(), (bytes.size() - kArchiveHeaderSize) / 8);
    return out;
  }

  std::vector<uint8_t> good_;
};

TEST_F(ArchiveFuzzTest, EveryTruncationLoadsExactlyTheWholeRecordsBeforeIt) {
  const Outcome whole = LoadBytes(good_);
  ASSERT_TRUE(whole.loaded);
  ASSERT_EQ(whole.ends.size(), 17u);
  for (size_t size = kArchiveHeaderSize; size <= good_.size(); ++size) {
    SCOPED_TRACE(size);
    const Outcome cut = LoadBytes(std::vector<uint8_t>(good_.begin(), good_.begin() + size));
    const bool at_boundary =
        size == kArchiveHeaderSize ||
        std::find(whole.ends.begin(), whole.ends.end(), size) != whole.ends.end();
    EXPECT_EQ(cut.loaded, at_boundary);
    size_t whole_records = 0;
    while (whole_records < whole.ends.size() && whole.ends[whole_records] <= size) ++whole_records;
    EXPECT_EQ(cut.ends.size(), whole_records);
  }
}

TEST_F(ArchiveFuzzTest, RandomMutationsNeverCrashOrOverAllocate) {
  std::mt19937 random(20240305);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  int loaded = 0, failed = 0;
  for (int round = 0; round < 12000; ++round) {
    std::vector<uint8_t> bytes = good_;
    const size_t record_area = bytes.size() - kArchiveHeaderSize;
    switch (round % 3) {
      case 0:  // flip a few bytes of the records
        for (int i = 0, n = 1 + static_cast<int>(pick(4)); i < n; ++i)
          bytes[kArchiveHeaderSize + pick(record_area)] ^= static_cast<uint8_t>(1 + pick(255));
        break;
      case 1: {  // an absurd length somewhere
        const uint32_t huge = 0x7FFFFFF0u + static_cast<uint32_t>(pick(32));
        std::memcpy(bytes.data() + kArchiveHeaderSize + pick(record_area - 4), &huge, 4);
        break;
      }
      default:  // bytes inserted or removed in the middle
        if (pick(2) == 0) {
          bytes.insert(bytes.begin() + static_cast<long>(kArchiveHeaderSize + pick(record_area)),
                       1 + pick(7), static_cast<uint8_t>(pick(256)));
        } else {
          const size_t at = kArchiveHeaderSize + pick(record_area);
          bytes.erase(bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(std::min(bytes.size(), at + 1 + pick(7))));
        }
        break;
    }
    const Outcome out = LoadBytes(bytes);
    (out.loaded ? loaded : failed)++;
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round << ": " << cvn::test::Hex(bytes);
      return;
    }
  }
  // The mutations must really damage most archives, and some stay loadable.
  EXPECT_GT(failed, 6000);
  EXPECT_GT(loaded, 50);
}

}  // namespace
}  // namespace cvn::changes
