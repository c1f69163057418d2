#include "platform/memory/memory_filesystem.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace cvn::platform {

namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsInvalidName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return true;
  return name.find_first_of("<>:\"/\\|?*") != std::string_view::npos;
}

// Splits an absolute path "C:\a\b" into "C:", "a", "b".
std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

uint64_t MakeFileTime(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = DaysFromCivil(year, month, day) + kDaysFrom1601To1970;
  const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<uint64_t>(seconds) * kTicksPerSecond;
}

struct MemoryFileSystem::Entry {
  std::string name;
  Entry* parent = nullptr;
  bool folder = false;
  uint32_t attributes = 0;
  uint64_t last_write = 0;
  std::vector<uint8_t> data;
  std::optional<uint64_t> sized;  // a file that reports a size without holding the bytes
  bool deny_list = false;
  bool locked = false;
  std::vector<std::unique_ptr<Entry>> children;  // in the order they were made

  uint64_t size() const { return sized ? *sized : data.size(); }
  auto FindIt(std::string_view child) {
    return std::find_if(children.begin(), children.end(), [&](const std::unique_ptr<Entry>& e) {
      return text::EqualsNoCase(e->name, child);
    });
  }
  Entry* Find(std::string_view child) {
    auto it = FindIt(child);
    return it == children.end() ? nullptr : it->get();
  }
  FindEntry ToFindEntry(std::string_view as_name) const {
    return FindEntry{std::string(as_name), attributes, folder ? 0 : size(), last_write};
  }
};

class MemoryFileSystem::Listing : public FolderListing {
 public:
  explicit Listing(std::vector<FindEntry> entries) : entries_(std::move(entries)) {}
  Status Next(FindEntry* entry) override {
    if (next_ >= entries_.size()) return Status(StatusCode::kNoMoreItems, 18);
    *entry = entries_[next_++];
    return Status::Ok();
  }

 private:
  std::vector<FindEntry> entries_;
  size_t next_ = 0;
};

MemoryFileSystem::MemoryFileSystem(std::string windows_folder)
    : drives_(std::make_unique<Entry>()),
      windows_folder_(std::move(windows_folder)),
      clock_(MakeFileTime(2024, 1, 1)) {
  drives_->folder = true;
  AddDrive(windows_folder_.substr(0, 2));
  CreateFolders(windows_folder_);
}

MemoryFileSystem::~MemoryFileSystem() = default;

std::string MemoryFileSystem::Absolute(std::string_view path) const {
  if (path.size() >= 2 && path[1] == ':') return std::string(path);
  if (!path.empty() && path[0] == '\\') return current_directory_.substr(0, 2) + std::string(path);
  return JoinPath(current_directory_, path);
}

MemoryFileSystem::Entry* MemoryFileSystem::Find(std::string_view path) {
  Entry* current = drives_.get();
  const std::string absolute = Absolute(path);  // the parts below point into it
  for (std::string_view part : SplitPath(absolute)) {
    if (!current->folder) return nullptr;
    current = current->Find(part);
    if (current == nullptr) return nullptr;
  }
  return current == drives_.get() ? nullptr : current;
}

Status MemoryFileSystem::FindParent(std::string_view path, Entry** parent, std::string* name) {
  std::string absolute = Absolute(path);
  while (absolute.size() > 3 && absolute.back() == '\\') absolute.pop_back();
  const size_t cut = absolute.rfind('\\');
  if (cut == std::string::npos || cut + 1 >= absolute.size()) return Status(StatusCode::kInvalid);
  *name = absolute.substr(cut + 1);
  if (IsInvalidName(*name)) return Status(StatusCode::kInvalid, 123);
  *parent = Find(absolute.substr(0, cut + 1));
  if (*parent == nullptr || !(*parent)->folder) return Status(StatusCode::kNotFound, 3);
  return Status::Ok();
}

std::string MemoryFileSystem::CurrentDirectory() {
  std::lock_guard lock(mutex_);
  return current_directory_;
}

Status MemoryFileSystem::SetCurrentDirectory(std::string_view path) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(path);
  if (entry == nullptr || !entry->folder) return Status(StatusCode::kNotFound, 2);
  std::string absolute = Absolute(path);
  while (absolute.size() > 3 && absolute.back() == '\\') absolute.pop_back();
  if (absolute.size() == 2) absolute += '\\';
  current_directory_ = absolute;
  return Status::Ok();
}

std::string MemoryFileSystem::WindowsFolder() {
  std::lock_guard lock(mutex_);
  return windows_folder_;
}

Status MemoryFileSystem::ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) {
  std::lock_guard lock(mutex_);
  out->reset();
  Entry* entry = Find(folder);
  if (entry == nullptr || !entry->folder) return Status(StatusCode::kNotFound, 3);
  if (entry->deny_list) return Status(StatusCode::kAccessDenied, 5);
  std::vector<FindEntry> entries;
  if (entry->parent != drives_.get()) {
    entries.push_back(entry->ToFindEntry("."));
    entries.push_back(entry->ToFindEntry(".."));
  }
  for (const auto& child : entry->children) entries.push_back(child->ToFindEntry(child->name));
  *out = std::make_unique<Listing>(std::move(entries));
  return Status::Ok();
}

std::optional<DosDateTime> MemoryFileSystem::ToLocalDosDateTime(uint64_t filetime) {
  int offset;
  {
    std::lock_guard lock(mutex_);
    offset = utc_offset_minutes_;
  }
  const int64_t seconds = static_cast<int64_t>(filetime / kTicksPerSecond) + offset * 60;
  const int64_t days = seconds / 86400 - kDaysFrom1601To1970;
  const int64_t second_of_day = seconds % 86400;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, &year, &month, &day);
  if (year < 1980 || year > 2107) return std::nullopt;
  DosDateTime dos;
  dos.date = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
  dos.time = static_cast<uint16_t>(((second_of_day / 3600) << 11) |
                                   (((second_of_day / 60) % 60) << 5) | ((second_of_day % 60) / 2));
  return dos;
}

std::optional<uint32_t> MemoryFileSystem::GetAttributes(std::string_view path) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(path);
  if (entry == nullptr) return std::nullopt;
  return entry->attributes;
}

Status MemoryFileSystem::SetAttributes(std::string_view path, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(path);
  if (entry == nullptr) return Status(StatusCode::kNotFound, 2);
  // The directory bit is the entry's nature, not a settable attribute.
  attributes &= ~attr::kDirectory;
  if (attributes == 0) attributes = entry->folder ? 0 : attr::kNormal;
  if (attributes != attr::kNormal) attributes &= ~attr::kNormal;
  entry->attributes = attributes | (entry->folder ? attr::kDirectory : 0);
  return Status::Ok();
}

Status MemoryFileSystem::CreateFolder(std::string_view path) {
  std::lock_guard lock(mutex_);
  Entry* parent;
  std::string name;
  if (Status s = FindParent(path, &parent, &name); !s.ok()) return s;
  if (parent->Find(name) != nullptr) return Status(StatusCode::kAlreadyExists, 183);
  auto folder = std::make_unique<Entry>();
  folder->name = name;
  folder->folder = true;
  folder->attributes = attr::kDirectory;
  folder->last_write = clock_;
  folder->parent = parent;
  parent->children.push_back(std::move(folder));
  return Status::Ok();
}

Status MemoryFileSystem::RemoveFolder(std::string_view path) {
  std::lock_guard lock(mutex_);
  Entry* parent;
  std::string name;
  if (Status s = FindParent(path, &parent, &name); !s.ok()) return s;
  auto it = parent->FindIt(name);
  if (it == parent->children.end()) return Status(StatusCode::kNotFound, 2);
  if (!(*it)->folder) return Status(StatusCode::kInvalid, 267);
  if (!(*it)->children.empty()) return Status(StatusCode::kNotEmpty, 145);
  if ((*it)->attributes & attr::kReadOnly) return Status(StatusCode::kAccessDenied, 5);
  parent->children.erase(it);
  return Status::Ok();
}

Status MemoryFileSystem::DeleteFile(std::string_view path) {
  std::lock_guard lock(mutex_);
  Entry* parent;
  std::string name;
  if (Status s = FindParent(path, &parent, &name); !s.ok()) return s;
  auto it = parent->FindIt(name);
  if (it == parent->children.end()) return Status(StatusCode::kNotFound, 2);
  if ((*it)->folder) return Status(StatusCode::kAccessDenied, 5);
  if ((*it)->locked) return Status(StatusCode::kAccessDenied, 32);
  if ((*it)->attributes & attr::kReadOnly) return Status(StatusCode::kAccessDenied, 5);
  parent->children.erase(it);
  return Status::Ok();
}

Status MemoryFileSystem::LinkFile(std::string_view from, std::string_view to) {
  const std::optional<uint32_t> attributes = GetAttributes(from);
  if (!attributes) return Status(StatusCode::kNotFound, 2);
  if (*attributes & attr::kDirectory) return Status(StatusCode::kAccessDenied, 5);
  if (GetAttributes(to)) return Status(StatusCode::kAlreadyExists, 183);
  std::vector<uint8_t> data;
  if (Status s = ReadFile(from, &data); !s.ok()) return s;
  if (Status s = WriteFile(to, data); !s.ok()) return s;
  return SetAttributes(to, *attributes);
}

Status MemoryFileSystem::MoveFile(std::string_view from, std::string_view to, bool replace) {
  std::lock_guard lock(mutex_);
  Entry *from_parent, *to_parent;
  std::string from_name, to_name;
  if (Status s = FindParent(from, &from_parent, &from_name); !s.ok()) return s;
  auto from_it = from_parent->FindIt(from_name);
  if (from_it == from_parent->children.end()) return Status(StatusCode::kNotFound, 2);
  if ((*from_it)->locked) return Status(StatusCode::kAccessDenied, 32);
  if (Status s = FindParent(to, &to_parent, &to_name); !s.ok()) return s;
  if (fail_next_move_) {
    fail_next_move_ = false;
    return Status(StatusCode::kIoError);
  }
  // A folder may not move into itself or below itself.
  for (const Entry* e = to_parent; e != nullptr; e = e->parent) {
    if (e == from_it->get()) return Status(StatusCode::kAccessDenied, 5);
  }
  auto to_it = to_parent->FindIt(to_name);
  if (to_it != to_parent->children.end() && to_it->get() != from_it->get()) {
    if (!replace) return Status(StatusCode::kAlreadyExists, 183);
    if ((*to_it)->folder || (*from_it)->folder) return Status(StatusCode::kAccessDenied, 5);
    if ((*to_it)->locked) return Status(StatusCode::kAccessDenied, 32);
    if ((*to_it)->attributes & attr::kReadOnly) return Status(StatusCode::kAccessDenied, 5);
    to_parent->children.erase(to_it);
    from_it = from_parent->FindIt(from_name);  // erasing may have moved it
  }
  std::unique_ptr<Entry> moving = std::move(*from_it);
  from_parent->children.erase(from_it);
  moving->name = to_name;
  moving->parent = to_parent;
  to_parent->children.push_back(std::move(moving));
  return Status::Ok();
}

Status MemoryFileSystem::ReadFile(std::string_view path, std::vector<uint8_t>* data) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(path);
  if (entry == nullptr) return Status(StatusCode::kNotFound, 2);
  if (entry->folder || entry->locked) return Status(StatusCode::kAccessDenied, 5);
  if (entry->sized) return Status(StatusCode::kIoError);
  *data = entry->data;
  return Status::Ok();
}

Status MemoryFileSystem::WriteFile(std::string_view path, std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  Entry* parent;
  std::string name;
  if (Status s = FindParent(path, &parent, &name); !s.ok()) return s;
  Entry* file = parent->Find(name);
  if (file != nullptr && (file->folder || file->locked || (file->attributes & attr::kReadOnly)))
    return Status(StatusCode::kAccessDenied, 5);
  if (file == nullptr) {
    parent->children.push_back(std::make_unique<Entry>());
    file = parent->children.back().get();
    file->name = name;
    file->parent = parent;
    file->attributes = attr::kArchive;
  }
  file->sized.reset();
  file->last_write = clock_;
  if (fail_next_write_) {
    fail_next_write_ = false;
    const size_t written = std::min(fail_write_after_, data.size());
    file->data.assign(data.begin(), data.begin() + written);
    return Status(StatusCode::kIoError, 112);
  }
  file->data.assign(data.begin(), data.end());
  return Status::Ok();
}

Status MemoryFileSystem::AppendFile(std::string_view path, std::span<const uint8_t> data, bool) {
  {
    std::lock_guard lock(mutex_);
    Entry* file = Find(path);
    if (file != nullptr && !file->sized && !fail_next_write_) {
      if (file->folder || file->locked || (file->attributes & attr::kReadOnly))
        return Status(StatusCode::kAccessDenied, 5);
      file->data.insert(file->data.end(), data.begin(), data.end());
      file->last_write = clock_;
      return Status::Ok();
    }
  }
  return FileSystem::AppendFile(path, data, false);
}

void MemoryFileSystem::AddDrive(std::string_view drive) {
  std::lock_guard lock(mutex_);
  if (drives_->Find(drive) != nullptr) return;
  auto root = std::make_unique<Entry>();
  root->name = std::string(drive);
  root->folder = true;
  root->attributes = attr::kDirectory;
  root->parent = drives_.get();
  drives_->children.push_back(std::move(root));
}

Status MemoryFileSystem::CreateFolders(std::string_view path) {
  const std::string absolute = Absolute(path);
  std::string sofar;
  for (std::string_view part : SplitPath(absolute)) {
    sofar = sofar.empty() ? std::string(part) + "\\" : JoinPath(sofar, part);
    if (sofar.size() == 3) continue;  // the drive root
    Status s = CreateFolder(sofar);
    if (!s.ok() && s.code() != StatusCode::kAlreadyExists) return s;
  }
  return Status::Ok();
}

Status MemoryFileSystem::AddFile(std::string_view path, std::string_view data,
                                 uint64_t last_write) {
  const std::string absolute = Absolute(path);
  if (Status s = CreateFolders(absolute.substr(0, absolute.rfind('\\'))); !s.ok()) return s;
  Status s =
      WriteFile(absolute, std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  if (s.ok() && last_write != 0) s = SetLastWrite(absolute, last_write);
  return s;
}

Status MemoryFileSystem::AddSizedFile(std::string_view path, uint64_t size, uint64_t last_write) {
  if (Status s = AddFile(path, "", last_write); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  Find(path)->sized = size;
  return Status::Ok();
}

Status MemoryFileSystem::SetLastWrite(std::string_view path, uint64_t filetime) {
  std::lock_guard lock(mutex_);
  Entry* entry = Find(path);
  if (entry == nullptr) return Status(StatusCode::kNotFound, 2);
  entry->last_write = filetime;
  return Status::Ok();
}

void MemoryFileSystem::SetClock(uint64_t filetime) {
  std::lock_guard lock(mutex_);
  clock_ = filetime;
}

void MemoryFileSystem::SetUtcOffsetMinutes(int minutes) {
  std::lock_guard lock(mutex_);
  utc_offset_minutes_ = minutes;
}

bool MemoryFileSystem::Exists(std::string_view path) {
  std::lock_guard lock(mutex_);
  return Find(path) != nullptr;
}

void MemoryFileSystem::DenyList(std::string_view folder) {
  std::lock_guard lock(mutex_);
  if (Entry* e = Find(folder)) e->deny_list = true;
}

void MemoryFileSystem::LockFile(std::string_view path) {
  std::lock_guard lock(mutex_);
  if (Entry* e = Find(path)) e->locked = true;
}

void MemoryFileSystem::FailNextWrite(size_t bytes_written) {
  std::lock_guard lock(mutex_);
  fail_next_write_ = true;
  fail_write_after_ = bytes_written;
}

void MemoryFileSystem::FailNextMove() {
  std::lock_guard lock(mutex_);
  fail_next_move_ = true;
}

}  // namespace cvn::platform
