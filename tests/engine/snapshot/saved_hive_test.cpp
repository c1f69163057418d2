// The readers of saved registry files: Wine's text form against samples as
// Wine writes them, the binary hive against what hivex reads from a hive it
// built (made at test time by make_test_hives.py), and both against damaged
// files, which must fail cleanly (this runs under AddressSanitizer).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/snapshot/saved_hive.h"
#include "engine/snapshot/saved_hive_regf.h"
#include "engine/snapshot/saved_hive_text.h"
#include "tests/support/bytes.h"

namespace cvn::snapshot {
namespace {

using cvn::test::Hex;

class DumpValues final : public SavedValueSink {
 public:
  DumpValues(std::vector<std::string>& out, bool hex_names) : out_(out), hex_names_(hex_names) {}
  void Value(std::string_view name, uint32_t type, std::span<const uint8_t> data) override {
    out_.push_back("V " + Name(name) + " " + std::to_string(type) + " " + Hex(data));
  }
  std::string Name(std::string_view name) const {
    return hex_names_ ? Hex(cvn::test::Bytes(name)) : std::string(name);
  }

 private:
  std::vector<std::string>& out_;
  bool hex_names_;
};

// Keys depth first with their values, as make_test_hives.py writes them.
void Dump(const SavedHive& hive, const SavedKey& key, int depth, bool hex_names,
          std::vector<std::string>& out) {
  DumpValues values(out, hex_names);
  out.push_back("K " + std::to_string(depth) + " " + values.Name(key.name) +
                (key.link ? " link" : ""));
  hive.ReadValues(key, values);
  uint32_t children = 0;
  for (const SavedKey* child = key.first_child; child != nullptr; child = child->next, ++children)
    Dump(hive, *child, depth + 1, hex_names, out);
  EXPECT_EQ(children, key.child_count) << key.name;
}

std::vector<std::string> Dump(std::span<const uint8_t> file, bool hex_names = false) {
  std::vector<std::string> out;
  const auto hive = ParseSavedHive(file);
  Dump(*hive, hive->Root(), 0, hex_names, out);
  return out;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---- Wine's text form ----

// Keys come depth first; a key with subkeys but no values has no section of
// its own; names and texts escape what the form needs.
constexpr std::string_view kWineSample =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[] 1796650790\n"
    "#time=1dd86506ecda536\n"
    "\"d\"=dword:00000007\n"
    "\"q\"=hex(b):07,00,00,00,00,00,00,00\n"
    "\n"
    "[E\\[x\\]] 1796650785\n"
    "#time=1dd86506c04b36c\n"
    "@=str(2):\"%PATH%\"\n"
    "\n"
    "[Empty] 1796650790\n"
    "\n"
    "[Middle\\\\Leaf\\\\Deep] 1796650790\n"
    "#class=\"x\"\n"
    "\"big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
    "  17,18\n"
    "\n"
    "[Middle\\\\Link] 1796650758\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,41,00\n"
    "\n"
    "[Sub] 1796650784\n"
    "\"m\"=str(7):\"one\\0two\\0\"\n"
    "\"na\\\"me\"=\"a\\\\b\\\"c]\\xfc\\x20ac\\x1f600\\n\\t\\033\\0017\"\n"
    "\"odd\"=hex(1):61,00,62\n"
    "\"\\x65e5\\x672c\"=\"\\xd83d\\xde00 \\xd800!\"\n"
    "\"utf8 Ä\"=\"ö\"\n"
    "\"empty\"=hex:\n"
    "\"none\"=hex(0):\n";

TEST(SavedHiveTextTest, SampleAsWineWritesIt) {
  const std::vector<std::string> expected = {
      "K 0 ",
      "V d 4 07000000",
      "V q 11 0700000000000000",
      "K 1 E[x]",
      "V  2 25504154482500",
      "K 1 Empty",
      "K 1 Middle",
      "K 2 Leaf",
      "K 3 Deep",
      "V big 3 000102030405060708090a0b0c0d0e0f101112131415161718",
      "K 2 Link link",
      "V SymbolicLinkValue 6 5c004100",
      "K 1 Sub",
      "V m 7 6f6e650074776f0000",
      // \x1f600 is \x1f60 and "0" (four digits at most); \0017 is \001 and "7".
      "V na\"me 1 615c6222635dc3bce282ace1bda0300a091b013700",
      // A text of odd length loses its last byte, as the W functions deliver it.
      "V odd 1 61",
      "V 日本 1 f09f988020eda0802100",
      "V utf8 Ä 1 c3b600",
      "V empty 3 ",
      "V none 0 ",
  };
  EXPECT_EQ(Dump(cvn::test::Bytes(kWineSample)), expected);
}

TEST(SavedHiveTextTest, DamagedFilesAreRefused) {
  const std::string head = "WINE REGISTRY Version 2\n[A] 1\n";
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"other version", "WINE REGISTRY Version 1\n"},
      {"value before any key", "WINE REGISTRY Version 2\n\"x\"=dword:1\n"},
      {"key listed twice", head + "[B] 1\n[A] 1\n"},
      {"section twice", head + "[A\\\\B] 1\n[A] 1\n"},
      {"empty key name", "WINE REGISTRY Version 2\n[A\\\\\\\\B] 1\n"},
      {"unterminated header", "WINE REGISTRY Version 2\n[A\n"},
      {"unterminated name", head + "\"x=dword:1\n"},
      {"unknown data", head + "\"x\"=float:1\n"},
      {"dword too long", head + "\"x\"=dword:123456789\n"},
      {"bad hex byte", head + "\"x\"=hex:0g\n"},
      {"hex list cut at a comma", head + "\"x\"=hex:01,"},
      {"no '='", head + "\"x\" dword:1\n"},
      {"text after the value", head + "\"x\"=dword:1 2\n"},
      {"escape at the end", head + "\"x\"=\"abc\\"},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(ParseWineTextHive(cvn::test::Bytes(c.file)), SavedHiveError) << c.what;
  }
}

// ---- The binary hive, against hivex ----

std::string GeneratedFolder() {
  return std::string(CVN_TEST_OUTPUT_DIR) + "/saved_hive_test_files";
}

// A hive of `values` generated values, or (`name` "big_data") one whose value
// is split into segments, and what hivex reads from it.
std::vector<uint8_t> GeneratedHive(int values, std::vector<std::string>* listing = nullptr,
                                   const std::string& name = "generated") {
  const std::string folder = GeneratedFolder() + "/" + std::to_string(values);
  const std::string command = std::string("/usr/bin/python3 ") + CVN_MAKE_TEST_HIVES + " " +
                              folder + " " + std::to_string(values);
  EXPECT_EQ(std::system(command.c_str()), 0)
      << command << " (needs python3-hivex: scripts/install-deps.sh)";
  if (listing != nullptr) {
    std::ifstream in(folder + "/" + name + ".txt");
    for (std::string line; std::getline(in, line);) listing->push_back(line);
  }
  return ReadAll(folder + "/" + name + ".hiv");
}

TEST(SavedHiveRegfTest, RecordsEqualWhatHivexReads) {
  for (const char* name : {"generated", "big_data"}) {
    SCOPED_TRACE(name);
    std::vector<std::string> expected;
    const std::vector<uint8_t> hive = GeneratedHive(400, &expected, name);
    ASSERT_FALSE(hive.empty());
    ASSERT_FALSE(expected.empty());
    const std::vector<std::string> dumped = Dump(hive, true);
    ASSERT_EQ(dumped.size(), expected.size());
    for (size_t i = 0; i < dumped.size(); ++i) ASSERT_EQ(dumped[i], expected[i]) << "line " << i;
  }
}

// ---- Damaged files never crash a reader ----

// Each cut and each flipped byte either parses or throws SavedHiveError;
// anything else (a crash, a read past the data) fails the test. Counts the
// files refused.
struct Refused {
  size_t cuts = 0, flips = 0;
};
bool Refuses(std::span<const uint8_t> file) {
  try {
    ParseSavedHive(file);
    return false;
  } catch (const SavedHiveError&) {
    return true;
  }
}
Refused Damage(std::span<const uint8_t> file, size_t begin, size_t end, size_t step) {
  Refused refused;
  for (size_t at = begin; at < end; at += step) {
    refused.cuts += Refuses(file.first(at));
    for (const uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> flipped(file.begin(), file.end());
      flipped[at] ^= mask;
      refused.flips += Refuses(flipped);
    }
  }
  return refused;
}

TEST(SavedHiveDamageTest, TruncatedAndFlippedFilesFailCleanly) {
  const std::vector<uint8_t> text = cvn::test::Bytes(kWineSample);
  Damage(text, 0, text.size(), 1);

  // The values of every kind but the huge ones, which only slow this down.
  const std::vector<uint8_t> hive = GeneratedHive(17);
  ASSERT_GT(hive.size(), 4096u);
  // A cut hive always lacks the bins its base block announces, and the base
  // block's checksum catches every flip in it.
  const Refused base_block = Damage(hive, 0, 512, 1);
  EXPECT_EQ(base_block.cuts, 512u);
  EXPECT_EQ(base_block.flips, 3u * 512);
  const Refused rest = Damage(hive, 512, hive.size(), 1);
  EXPECT_EQ(rest.cuts, hive.size() - 512);
}

}  // namespace
}  // namespace cvn::snapshot
