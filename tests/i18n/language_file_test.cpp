#include <gtest/gtest.h>

#include <random>

#include "i18n/language_file.h"
#include "i18n/language_file_writer.h"

namespace cvn::i18n {
namespace {

std::vector<uint8_t> SampleFile() {
  return LanguageFileWriter()
      .Section("*SYSTEM*")
      .Key("CHARSET", std::string("\xEE\0\0\0\xFF\xFF\xFF\xFF", 8))
      .Key("LNG_CODE", "de")
      .Section("frmCvnMain")
      .Key("Caption", "Corvane")
      .Key("btnNext.Caption", "&Weiter  >>")
      .Key("btnNext.Font", "ignored")
      .Section("RESOURCESTRING")
      .Key("RS_OK", "In Ordnung")
      .Key("RS_SHORT", std::string("\1\0", 2))
      .Build();
}

TEST(ScrambleTest, UsesTheKeyCyclically) {
  std::vector<uint8_t> header = MakeHeader(kSectionMagic, "RESOURCESTRING", 1234);
  // Byte 30 is scrambled with key byte 0 again.
  std::vector<uint8_t> zeros(31, 0);
  Scramble(zeros);
  EXPECT_EQ(zeros[0], static_cast<uint8_t>('R'));
  EXPECT_EQ(zeros[30], static_cast<uint8_t>('R'));
  Scramble(header);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "SSSS");
  EXPECT_EQ(std::string(header.begin() + 4, header.begin() + 18), "RESOURCESTRING");
  EXPECT_EQ(header[40], 1234 & 0xFF);
}

TEST(DataFileTest, WrongMagicIsAnInvalidFormatOfItsSectionOnly) {
  LanguageFile sound("de.lng", SampleFile());  // a key is looked for in its own section only
  EXPECT_FALSE(sound.ValueExists("*SYSTEM*", "Caption"));
  EXPECT_FALSE(sound.ValueExists("nothing", "Caption"));
  std::vector<uint8_t> data = SampleFile();
  data[kHeaderSize] ^= 1;  // the first key header of "*SYSTEM*"
  LanguageFile keys("bad.lng", data);
  EXPECT_THROW(keys.ReadInteger("*SYSTEM*", "CHARSET", 1), InvalidFileFormat);
  EXPECT_THROW(keys.ReadSectionKeys("*SYSTEM*"), InvalidFileFormat);
  EXPECT_TRUE(keys.FindSection("RESOURCESTRING"));  // other sections stay reachable

  // The second section ("frmCvnMain") starts after the first one's header
  // and body: two keys of 44 + 8 and 44 + 2 bytes.
  data = SampleFile();
  data[kHeaderSize + (kHeaderSize + 8) + (kHeaderSize + 2) + 2] ^= 0x40;
  LanguageFile file("bad.lng", data);
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 1), 238);
  EXPECT_EQ(file.ReadSectionKeys("*SYSTEM*"), (std::vector<std::string>{"CHARSET", "LNG_CODE"}));
  EXPECT_THROW(file.FindSection("frmCvnMain"), InvalidFileFormat);
  EXPECT_THROW(file.ReadString("RESOURCESTRING", "RS_OK", "OK"), InvalidFileFormat);
}

// Every lookup on a damaged file either answers or reports the damage; it
// never reads outside the file (the sanitizers of the host build watch).
void LookUpEverything(LanguageFile& file) {
  for (const char* section : {"*SYSTEM*", "frmCvnMain", "RESOURCESTRING", "missing"}) {
    try {
      file.ReadSectionKeys(section);
    } catch (const InvalidFileFormat&) {
    }
    for (const char* key : {"CHARSET", "Caption", "RS_OK", "btnNext.Caption", "missing"}) {
      try {
        file.ReadString(section, key, "");
        file.ReadInteger(section, key, 1);
      } catch (const InvalidFileFormat&) {
      }
    }
  }
}

TEST(DataFileTest, TruncatedOrCorruptedFilesAreReadSafely) {
  const std::vector<uint8_t> data = SampleFile();
  for (size_t length = 0; length < data.size(); ++length) {
    SCOPED_TRACE(length);
    LanguageFile file("cut.lng", std::vector<uint8_t>(data.begin(), data.begin() + length));
    LookUpEverything(file);
    // What lies wholly before the cut is still found.
    if (length >= 2 * kHeaderSize + 8) {
      EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 1), 238);
    }
  }
  std::mt19937 random(42);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> damaged = data;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i)
      damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    LanguageFile file("damaged.lng", damaged);
    LookUpEverything(file);
  }
  // A length field that claims far more than the file holds.
  std::vector<uint8_t> huge = LanguageFileWriter().Section("S").Key("K", "v").Build();
  std::vector<uint8_t> header = MakeHeader(kKeyMagic, "K", 0x7FFFFFFF);
  std::copy(header.begin(), header.end(), huge.begin() + kHeaderSize);
  LanguageFile file("huge.lng", huge);
  EXPECT_THROW(file.ReadString("S", "K", ""), InvalidFileFormat);
}

}  // namespace
}  // namespace cvn::i18n
