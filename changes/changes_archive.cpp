#include "changes/changes_archive.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>

namespace cvn::changes {
namespace {

static_assert(std::endian::native == std::endian::little, "the archive is little-endian");

// Days from 1970-01-01 to a civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

uint32_t LoadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

double LoadDouble(const uint8_t* p) {
  double v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

double MakeDateTime(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
  return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

platform::CivilDateTime CivilOf(double when) {
  int64_t days = static_cast<int64_t>(std::floor(when));
  int64_t seconds = std::llround((when - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {  // a hair before midnight is the next day
    ++days;
    seconds -= 86400;
  }
  // Days since 1970-01-01 to a civil date (proleptic Gregorian).
  const int64_t z = days + DaysFromCivil(1899, 12, 30) + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  platform::CivilDateTime civil;
  civil.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  civil.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  civil.year = static_cast<int>(yoe + era * 400 + (civil.month <= 2 ? 1 : 0));
  civil.hour = static_cast<int>(seconds / 3600);
  civil.minute = static_cast<int>(seconds / 60 % 60);
  civil.second = static_cast<int>(seconds % 60);
  return civil;
}

std::string FormatDateTime(double when, const platform::DateTimeFormat& format) {
  const platform::CivilDateTime civil = CivilOf(when);
  std::string text = format.ShortDate(civil);
  if (civil.hour != 0 || civil.minute != 0 || civil.second != 0)
    text += ' ' + format.LongTime(civil);
  return text;
}

double SystemClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
}

ArchiveHeader ParseHeader(std::span<const uint8_t, kArchiveHeaderSize> bytes) {
  ArchiveHeader h;
  h.version = LoadU32(bytes.data() + header::kVersion);
  h.created = LoadDouble(bytes.data() + header::kCreated);
  h.last_used = LoadDouble(bytes.data() + header::kLastUsed);
  h.uses = LoadU32(bytes.data() + header::kUses);
  return h;
}

const Clock& ChangesArchive::DefaultClock() {
  static const SystemClock clock;
  return clock;
}

ChangesArchive::ChangesArchive(platform::FileSystem& fs, std::string file_base, const Clock& clock)
    : fs_(fs), file_base_(std::move(file_base)), clock_(clock) {}

bool ChangesArchive::Open() {
  eof_ = false;
  damaged_ = false;
  position_ = 0;
  stream_.clear();
  if (!fs_.ReadFile(FileName(), &stream_).ok()) return false;
  if (stream_.size() < kArchiveHeaderSize) return false;
  if (stream_[0] != kArchiveSignature.size()) return false;
  if (std::memcmp(stream_.data() + 1, kArchiveSignature.data(), kArchiveSignature.size()) != 0)
    return false;
  if (LoadU32(stream_.data() + header::kVersion) > kArchiveMaxVersion) return false;
  position_ = kArchiveHeaderSize;
  return true;
}

bool ChangesArchive::CreateHeader() {
  eof_ = false;
  damaged_ = false;
  stream_.assign(kArchiveHeaderSize, 0);
  stream_[0] = static_cast<uint8_t>(kArchiveSignature.size());
  std::memcpy(stream_.data() + 1, kArchiveSignature.data(), kArchiveSignature.size());
  const uint32_t version = kArchiveVersion;
  const double created = clock_.Now();
  WriteAt(header::kVersion, &version, 4);
  WriteAt(header::kCreated, &created, 8);
  position_ = kArchiveHeaderSize;
  return true;
}

void ChangesArchive::SaveFile() {
  const platform::Status s = platform::WriteFileAtomically(fs_, FileName(), stream_);
  if (!s.ok()) throw ArchiveFileError("Cannot write \"" + FileName() + "\": " + s.ToString());
}

void ChangesArchive::SetVersion(uint32_t version) {
  uint8_t bytes[4];
  for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(version >> (8 * i));
  WriteAt(header::kVersion, bytes, 4);
}

void ChangesArchive::ReadHeader(std::span<uint8_t, kArchiveHeaderSize> out) {
  position_ = 0;
  if (!Remaining(kArchiveHeaderSize)) {
    std::memset(out.data(), 0, out.size());
    return;
  }
  std::memcpy(out.data(), stream_.data(), kArchiveHeaderSize);
  position_ = kArchiveHeaderSize;
}

void ChangesArchive::UpdateUsage() {
  stream_.clear();
  const platform::Status s = fs_.ReadFile(FileName(), &stream_);
  if (!s.ok()) throw ArchiveFileError("Cannot read \"" + FileName() + "\": " + s.ToString());
  // Stamping a shorter file would write a header into whatever it is.
  if (stream_.size() < kArchiveHeaderSize)
    throw ArchiveFileError("\"" + FileName() + "\" is not a changes archive");
  const double now = clock_.Now();
  const uint32_t uses = LoadU32(stream_.data() + header::kUses) + 1;
  WriteAt(header::kLastUsed, &now, 8);
  WriteAt(header::kUses, &uses, 4);
  SaveFile();
}

bool ChangesArchive::Remaining(size_t count) {
  // An empty field is complete wherever it stands, even at the very end.
  if (count == 0) return true;
  if (position_ >= stream_.size()) {
    eof_ = true;
    return false;
  }
  if (stream_.size() - position_ < count) {
    eof_ = true;
    damaged_ = true;
    return false;
  }
  return true;
}

void ChangesArchive::WriteAt(size_t offset, const void* data, size_t count) {
  if (stream_.size() < offset + count) stream_.resize(offset + count);
  if (count != 0) std::memcpy(stream_.data() + offset, data, count);
}

uint32_t ChangesArchive::ReadInt() {
  if (!Remaining(4)) return 0;
  const uint32_t v = LoadU32(stream_.data() + position_);
  position_ += 4;
  return v;
}

void ChangesArchive::WriteInt(uint32_t value) {
  WriteAt(position_, &value, 4);
  position_ += 4;
}

void ChangesArchive::ReadString(std::string& text) {
  const size_t start = position_;
  const uint32_t length = ReadInt();
  if (eof_) return;
  if (!Remaining(length)) {
    position_ = start;
    return;
  }
  text.assign(reinterpret_cast<const char*>(stream_.data() + position_), length);
  position_ += length;
}

void ChangesArchive::WriteString(std::string_view text) {
  WriteInt(static_cast<uint32_t>(text.size()));
  WriteBlock(text.data(), text.size());
}

std::span<const uint8_t> ChangesArchive::ReadBlock(uint32_t count) {
  if (!Remaining(count)) return {};
  const std::span<const uint8_t> view(stream_.data() + position_, count);
  position_ += count;
  return view;
}

void ChangesArchive::WriteBlock(const void* data, size_t count) {
  WriteAt(position_, data, count);
  position_ += count;
}

int ChangesArchive::PercentRead() const {
  if (stream_.size() <= kArchiveHeaderSize || position_ <= kArchiveHeaderSize) return 0;
  const uint64_t done = std::min(position_, stream_.size()) - kArchiveHeaderSize;
  return static_cast<int>(done * 100 / (stream_.size() - kArchiveHeaderSize));
}

}  // namespace cvn::changes
