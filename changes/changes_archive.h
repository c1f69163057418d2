// ChangesArchive: the changes archive of one monitored application, the file
// "<identifier>.cvn" (doc/changes_archive_format.md gives the byte grammar).
//
// The archive is a byte stream held in memory with a position: a file is
// loaded whole before it is read and written whole after it is built. Reads
// never go past the end of the data: a read that finds too few bytes sets
// Eof() (and, when the bytes are there but fewer than the field needs,
// Damaged() too) and changes nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/locale.h"

namespace cvn::changes {

inline constexpr size_t kArchiveHeaderSize = 56;
inline constexpr uint32_t kArchiveVersion = 200;     // written
inline constexpr uint32_t kArchiveMaxVersion = 299;  // highest accepted
// Written instead of 200 when the archive ends with fingerprint records.
inline constexpr uint32_t kArchiveFingerprintVersion = 201;
// The record kind of a file's content fingerprint (after every change).
inline constexpr uint32_t kFingerprintRecord = 19;
inline constexpr std::string_view kArchiveSignature = "C V N file";
inline constexpr std::string_view kArchiveExtension = ".cvn";

// Header offsets.
namespace header {
inline constexpr size_t kVersion = 12;
inline constexpr size_t kCreated = 16;
inline constexpr size_t kLastUsed = 24;
inline constexpr size_t kUses = 32;
}  // namespace header

// Dates in the archive: days since 1899-12-30, the time of day as the
// fraction, in local time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() const = 0;
};

// The system's local time.
class SystemClock final : public Clock {
 public:
  double Now() const override;
};

// The date value of a calendar date and time (proleptic Gregorian).
double MakeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The calendar date and time of an archive date, to the nearest second.
platform::CivilDateTime CivilOf(double when);
// An archive date as the user reads it: the short date, and after a space
// the long time, which is left out at exactly midnight.
std::string FormatDateTime(double when, const platform::DateTimeFormat& format);

// An archive that cannot be written, or read for stamping.
class ArchiveFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The header fields a list of monitored applications shows.
struct ArchiveHeader {
  uint32_t version = 0;
  double created = 0.0;
  double last_used = 0.0;  // 0.0 until the first uninstall
  uint32_t uses = 0;
};
ArchiveHeader ParseHeader(std::span<const uint8_t, kArchiveHeaderSize> bytes);

class ChangesArchive {
 public:
  // An empty stream; `file_base` is the file's path without ".cvn". The
  // clock must outlive the archive.
  ChangesArchive(platform::FileSystem& fs, std::string file_base,
                 const Clock& clock = DefaultClock());

  // Loads "<FileBase>.cvn" and checks the header: at least 56 bytes, the
  // signature, a version up to 299. True, with the position after the
  // header, when the file is accepted; false when it is missing, unreadable
  // or refused.
  bool Open();
  // Makes the stream a fresh 56-byte header (version 200, created now, never
  // used) with the position at its end. Always true.
  bool CreateHeader();
  // Writes the whole stream to "<FileBase>.cvn" through a temporary file
  // beside it, so an existing archive is either replaced whole or left as
  // it was. Throws ArchiveFileError.
  void SaveFile();
  // Rewrites the header's format version.
  void SetVersion(uint32_t version);
  // Copies the 56 header bytes (position 0 onwards) into `out`.
  void ReadHeader(std::span<uint8_t, kArchiveHeaderSize> out);
  // Stamps the file with one more use, now; the records stay byte for byte
  // and the file is replaced atomically. Throws ArchiveFileError when the
  // file cannot be read or written or is shorter than a header.
  void UpdateUsage();

  // Typed reads and writes at the position.
  uint32_t ReadInt();  // 0 and Eof() when fewer than 4 bytes are left
  void WriteInt(uint32_t value);
  // Leaves `text` unchanged and sets Eof() when the length or the text is
  // not all there. An empty text is complete even as the file's last field.
  void ReadString(std::string& text);
  void WriteString(std::string_view text);
  // A view of the next `count` bytes inside the stream, valid until the
  // stream changes; empty, with Eof(), when they are not all there (so a
  // damaged length never makes anyone allocate more than the file holds).
  std::span<const uint8_t> ReadBlock(uint32_t count);
  void WriteBlock(const void* data, size_t count);

  // (position - 56) * 100 / (size - 56); 0 for an archive without records.
  int PercentRead() const;

  bool Eof() const { return eof_; }
  // A read found part of its field: the data ends inside a record.
  bool Damaged() const { return damaged_; }
  const std::string& FileBase() const { return file_base_; }
  std::string FileName() const { return file_base_ + std::string(kArchiveExtension); }
  size_t Position() const { return position_; }
  size_t Size() const { return stream_.size(); }
  std::span<const uint8_t> Bytes() const { return stream_; }
  void Reserve(size_t bytes) { stream_.reserve(bytes); }

 private:
  static const Clock& DefaultClock();
  bool Remaining(size_t count);  // true when `count` bytes follow the position
  void WriteAt(size_t offset, const void* data, size_t count);

  platform::FileSystem& fs_;
  std::string file_base_;
  const Clock& clock_;
  std::vector<uint8_t> stream_;
  size_t position_ = 0;
  bool eof_ = false;
  bool damaged_ = false;
};

}  // namespace cvn::changes
