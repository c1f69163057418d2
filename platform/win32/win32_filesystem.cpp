#include "platform/win32/win32_filesystem.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/windows_api.h"

#include <bcrypt.h>

namespace cvn::platform::win32 {
namespace {

// ReadFile and WriteFile take at most a DWORD per call; stay well below it.
constexpr size_t kLargestTransfer = size_t{1} << 30;

uint64_t Combine(DWORD high, DWORD low) {
  return (uint64_t{high} << 32) | low;
}

FindEntry EntryFrom(const WIN32_FIND_DATAW& data) {
  FindEntry entry;
  entry.name = ToUtf8(data.cFileName);
  entry.attributes = data.dwFileAttributes;
  entry.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? 0
                   : Combine(data.nFileSizeHigh, data.nFileSizeLow);
  entry.last_write =
      Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
  return entry;
}

// A FindFirstFileW search. The first entry, which FindFirstFileW itself
// returns, is held until the first Next.
class Win32FolderListing final : public FolderListing {
 public:
  // A listing with no entries.
  Win32FolderListing() = default;
  Win32FolderListing(UniqueFindHandle find, const WIN32_FIND_DATAW& first)
      : find_(std::move(find)), data_(first), holds_unread_entry_(true) {}

  Status Next(FindEntry* entry) override {
    if (!find_.valid()) return Status(StatusCode::kNoMoreItems, ERROR_NO_MORE_FILES);
    if (holds_unread_entry_) {
      holds_unread_entry_ = false;
    } else if (!FindNextFileW(find_.get(), &data_)) {
      const Status s = LastErrorStatus();
      find_.reset();  // a listing that ended keeps no handle open
      return s;
    }
    *entry = EntryFrom(data_);
    return Status::Ok();
  }

 private:
  UniqueFindHandle find_;
  WIN32_FIND_DATAW data_{};
  bool holds_unread_entry_ = false;
};

// Status for a BOOL-returning W function.
Status Check(BOOL succeeded) {
  return succeeded ? Status::Ok() : LastErrorStatus();
}

}  // namespace

std::string Win32FileSystem::CurrentDirectory() {
  std::wstring buffer;
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  // Another thread may change it between the two calls: retry until it fits.
  while (length > buffer.size()) {
    buffer.resize(length);
    length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  buffer.resize(length);  // without the terminator; empty on failure
  return ToUtf8(WithoutLongPathPrefix(std::move(buffer)));
}

Status Win32FileSystem::SetCurrentDirectory(std::string_view path) {
  return Check(SetCurrentDirectoryW(ToWide(path).c_str()));
}

std::string Win32FileSystem::WindowsFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return std::string();
  std::wstring_view folder(buffer, length);
  if (folder.ends_with(L'\\')) folder.remove_suffix(1);
  return ToUtf8(folder);
}

std::string Win32FileSystem::LongPathName(std::string_view path) {
  const std::wstring wide = SystemPath(path);
  const DWORD size = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return std::string(path);
  std::wstring long_path(size, L'\0');
  const DWORD length = GetLongPathNameW(wide.c_str(), long_path.data(), size);
  if (length == 0 || length >= size) return std::string(path);
  long_path.resize(length);
  return ToUtf8(WithoutLongPathPrefix(std::move(long_path)));
}

Status Win32FileSystem::ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) {
  out->reset();
  WIN32_FIND_DATAW first;
  UniqueFindHandle find(FindFirstFileW(SystemPath(JoinPath(folder, "*")).c_str(), &first));
  if (find.valid()) {
    *out = std::make_unique<Win32FolderListing>(std::move(find), first);
    return Status::Ok();
  }
  const Status failure = LastErrorStatus();
  const DWORD attributes = GetFileAttributesW(SystemPath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failure;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // A file where the folder should be: there is no such folder.
    return Status(StatusCode::kNotFound, failure.system_error());
  }
  if (failure.system_error() == ERROR_FILE_NOT_FOUND) {
    // No entry matched in a folder that exists: it has none, not even "."
    // and "..", as happens at the root of an empty drive.
    *out = std::make_unique<Win32FolderListing>();
    return Status::Ok();
  }
  return failure;
}

std::optional<DosDateTime> Win32FileSystem::ToLocalDosDateTime(uint64_t filetime) {
  const FILETIME utc{static_cast<DWORD>(filetime), static_cast<DWORD>(filetime >> 32)};
  FILETIME local;
  SYSTEMTIME fields;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &fields)) {
    return std::nullopt;
  }
  // Checked here: FileTimeToDosDateTime does not refuse every year past 2107
  // (Wine's packs them into a wrapped year).
  if (fields.wYear < 1980 || fields.wYear > 2107) return std::nullopt;
  DosDateTime packed;
  if (!FileTimeToDosDateTime(&local, &packed.date, &packed.time)) return std::nullopt;
  return packed;
}

std::optional<uint32_t> Win32FileSystem::GetAttributes(std::string_view path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

Status Win32FileSystem::SetAttributes(std::string_view path, uint32_t attributes) {
  return Check(SetFileAttributesW(SystemPath(path).c_str(), attributes));
}

Status Win32FileSystem::CreateFolder(std::string_view path) {
  return Check(CreateDirectoryW(SystemPath(path).c_str(), nullptr));
}

Status Win32FileSystem::RemoveFolder(std::string_view path) {
  return Check(RemoveDirectoryW(SystemPath(path).c_str()));
}

Status Win32FileSystem::DeleteFile(std::string_view path) {
  return Check(DeleteFileW(SystemPath(path).c_str()));
}

Status Win32FileSystem::MoveFile(std::string_view from, std::string_view to, bool replace) {
  const DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return Check(MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), flags));
}

Status Win32FileSystem::LinkFile(std::string_view from, std::string_view to) {
  return Check(CreateHardLinkW(SystemPath(to).c_str(), SystemPath(from).c_str(), nullptr));
}

Status Win32FileSystem::ReadFile(std::string_view path, std::vector<uint8_t>* data) {
  data->clear();
  UniqueFileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return LastErrorStatus();
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return LastErrorStatus();
  data->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < data->size()) {
    DWORD read = 0;
    const auto chunk = static_cast<DWORD>(std::min(data->size() - done, kLargestTransfer));
    if (!::ReadFile(file.get(), data->data() + done, chunk, &read, nullptr)) {
      const Status s = LastErrorStatus();
      data->clear();
      return s;
    }
    if (read == 0) break;  // the file shrank since its size was taken
    done += read;
  }
  data->resize(done);
  return Status::Ok();
}

Status Win32FileSystem::WriteFile(std::string_view path, std::span<const uint8_t> data) {
  UniqueFileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastErrorStatus();
  size_t done = 0;
  while (done < data.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(data.size() - done, kLargestTransfer));
    if (!::WriteFile(file.get(), data.data() + done, chunk, &written, nullptr)) {
      return LastErrorStatus();
    }
    if (written == 0) return Status(StatusCode::kIoError);  // nothing taken: no progress possible
    done += written;
  }
  // Closing is where a full disk may finally show.
  return Check(CloseHandle(file.release()));
}

namespace {

// A BCrypt hash handle, destroyed by its destructor.
struct HashHandle {
  BCRYPT_HASH_HANDLE handle = nullptr;
  ~HashHandle() {
    if (handle != nullptr) BCryptDestroyHash(handle);
  }
};

// The SHA-256 provider, opened once and kept for the process's life:
// opening it costs more than hashing a small file. Threads may share it to
// make hashes. Null when it cannot be opened.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
      return BCRYPT_ALG_HANDLE{nullptr};
    return handle;
  }();
  return provider;
}

// The SHA-256 digest of what is left to read of an open file.
Status HashOpenFile(HANDLE file, Sha256Digest* digest) {
  const BCRYPT_ALG_HANDLE provider = Sha256Provider();
  HashHandle hash;
  if (provider == nullptr ||
      BCryptCreateHash(provider, &hash.handle, nullptr, 0, nullptr, 0, 0) != 0)
    return Status(StatusCode::kIoError);
  // One buffer for each thread, made once: a new one for each small file
  // would cost more than reading it.
  thread_local std::vector<uint8_t> buffer(size_t{1} << 20);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return LastErrorStatus();
    if (read == 0) break;
    if (BCryptHashData(hash.handle, buffer.data(), read, 0) != 0)
      return Status(StatusCode::kIoError);
  }
  if (BCryptFinishHash(hash.handle, digest->data(), static_cast<ULONG>(digest->size()), 0) != 0)
    return Status(StatusCode::kIoError);
  return Status::Ok();
}

// NtSetInformationFile's classes that give an open file a new name, or a
// second one, and the information they take.
using NtSetInformationFileFunction = LONG(NTAPI*)(HANDLE, void* io_status, void* information,
                                                  ULONG length, int information_class);
constexpr int kFileRenameInformation = 10;
constexpr int kFileLinkInformation = 11;
struct FileNameInformation {
  BOOLEAN replace_if_exists;
  HANDLE root_directory;
  ULONG name_length;  // in bytes
  WCHAR name[1];
};
struct IoStatusBlock {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};

NtSetInformationFileFunction NtSetInformationFileEntry() {
  static const auto entry = reinterpret_cast<NtSetInformationFileFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  return entry;
}

// Moves the open file to `to`, or with `link` gives it `to` as a second
// name; an existing `to` is not replaced.
bool NameOpenFile(HANDLE file, std::string_view to, bool link) {
  const NtSetInformationFileFunction set = NtSetInformationFileEntry();
  const std::wstring name = NtPath(to);
  if (set == nullptr || name.empty()) return false;
  const size_t bytes = name.size() * sizeof(WCHAR);
  std::vector<std::byte> buffer(offsetof(FileNameInformation, name) + bytes + sizeof(WCHAR));
  auto* information = new (buffer.data()) FileNameInformation{};
  information->name_length = static_cast<ULONG>(bytes);
  std::memcpy(buffer.data() + offsetof(FileNameInformation, name), name.data(), bytes);
  IoStatusBlock io{};
  return set(file, &io, buffer.data(), static_cast<ULONG>(buffer.size()),
             link ? kFileLinkInformation : kFileRenameInformation) >= 0;
}

}  // namespace

Status Win32FileSystem::HashFile(std::string_view path, Sha256Digest* digest) {
  UniqueFileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return LastErrorStatus();
  return HashOpenFile(file.get(), digest);
}

Status Win32FileSystem::TakeFileIfUnchanged(std::string_view from, std::string_view to,
                                            const Sha256Digest& expected, bool link,
                                            bool* unchanged) {
  *unchanged = false;
  // Opened to be read and renamed, or linked (with the right to write its
  // attributes too, which a file system may want for that; refused, the
  // link is made by name), shared with readers only: nobody writes to the
  // file between the comparison and its taking.
  const DWORD access = GENERIC_READ | DELETE | (link ? FILE_WRITE_ATTRIBUTES : 0);
  UniqueFileHandle file(CreateFileW(SystemPath(from).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  // A file that is open for writing elsewhere is compared and taken by name.
  if (!file.valid()) return FileSystem::TakeFileIfUnchanged(from, to, expected, link, unchanged);
  Sha256Digest digest;
  if (Status s = HashOpenFile(file.get(), &digest); !s.ok()) return s;
  if (digest != expected) return Status::Ok();
  *unchanged = true;
  if (NameOpenFile(file.get(), to, link)) return Status::Ok();
  // Another volume (a move copies then) or a refusal that the call by name
  // reports as it should.
  file.reset();
  return link ? LinkFile(from, to) : MoveFile(from, to);
}

Status Win32FileSystem::AppendFile(std::string_view path, std::span<const uint8_t> data,
                                   bool flush) {
  UniqueFileHandle file(CreateFileW(SystemPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastErrorStatus();
  size_t done = 0;
  while (done < data.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(data.size() - done, kLargestTransfer));
    if (!::WriteFile(file.get(), data.data() + done, chunk, &written, nullptr))
      return LastErrorStatus();
    if (written == 0) return Status(StatusCode::kIoError);
    done += written;
  }
  if (flush && !FlushFileBuffers(file.get())) return LastErrorStatus();
  return Check(CloseHandle(file.release()));
}

}  // namespace cvn::platform::win32
