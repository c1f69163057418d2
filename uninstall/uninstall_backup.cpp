#include "uninstall/uninstall_backup.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "changes/changes_archive.h"
#include "platform/text.h"
#include "uninstall/uninstaller.h"

namespace cvn::uninstall {

using platform::FileSystem;
using platform::KeyAccess;
using platform::RegKey;
using platform::Registry;
using platform::RegValue;
using platform::Status;
using platform::StatusCode;

namespace {

constexpr std::string_view kManifestHeading = "CVN backup 1";
constexpr std::string_view kFilesFolder = "files";

// Stored files are spread over subfolders of this many: a name looked up
// in a folder of thousands costs a scan of the folder on some systems.
constexpr uint32_t kFilesPerFolder = 256;

// Where the backup keeps the file of entry `number`, below its folder.
std::string StoredFileName(uint32_t number) {
  return std::string(kFilesFolder) + "\\" + std::to_string(number / kFilesPerFolder) + "\\" +
         std::to_string(number);
}

// Fields are separated by tabs; a field's own tabs, line ends and percent
// signs are written as %09, %0A, %0D and %25.
std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\t': out += "%09"; break;
      case '\n': out += "%0A"; break;
      case '\r': out += "%0D"; break;
      default: out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool FromHex(std::string_view text, std::vector<uint8_t>* data) {
  if (text.size() % 2 != 0) return false;
  data->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    data->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

std::vector<std::string> Split(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab - start)));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<uint64_t> Number(const std::string& text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  return text[0] == '-' ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : value;
}

std::string Line(std::initializer_list<std::string_view> fields) {
  std::string line;
  for (std::string_view field : fields) {
    if (!line.empty()) line += '\t';
    line += Escape(field);
  }
  return line;
}

// One manifest line into an entry; false for a line this reader does not know.
bool ParseEntry(const std::vector<std::string>& f, JournalEntry* e) {
  auto number = [&](size_t i) { return i < f.size() ? Number(f[i]) : std::nullopt; };
  const std::optional<uint64_t> n = number(1);
  if (!n) return false;
  e->number = static_cast<uint32_t>(*n);
  const std::string& kind = f[0];
  if (kind == "file" && f.size() == 5 && number(3)) {
    e->kind = EntryKind::kFile;
    e->path = f[2];
    e->attributes = static_cast<uint32_t>(*number(3));
    e->stored = f[4];
    return true;
  }
  if (kind == "folder" && f.size() == 3) {
    e->kind = EntryKind::kFolder;
    e->path = f[2];
    return true;
  }
  if (f.size() < 4 || !number(2)) return false;
  e->root = static_cast<uint32_t>(*number(2));
  e->key = f[3];
  if (kind == "value" && f.size() == 7 && number(5)) {
    e->kind = EntryKind::kValue;
    e->name = f[4];
    e->type = static_cast<uint32_t>(*number(5));
    return FromHex(f[6], &e->data);
  }
  if (kind == "novalue" && f.size() == 5) {
    e->kind = EntryKind::kNoValue;
    e->name = f[4];
    return true;
  }
  if (kind == "newkey" && f.size() == 5) {
    e->kind = EntryKind::kNewKey;
    e->first_new_key = f[4];
    return true;
  }
  if (kind == "counter" && f.size() == 8 && number(5) && number(7)) {
    e->kind = EntryKind::kCounter;
    e->name = f[4];
    e->type = static_cast<uint32_t>(*number(5));
    e->count = static_cast<int64_t>(*number(7));
    return FromHex(f[6], &e->data);
  }
  if (kind == "key" && (f.size() - 4) % 3 == 0) {
    e->kind = EntryKind::kKey;
    for (size_t i = 4; i < f.size(); i += 3) {
      RegValue value;
      value.name = f[i];
      const std::optional<uint64_t> type = number(i + 1);
      if (!type || !FromHex(f[i + 2], &value.data)) return false;
      value.type = static_cast<uint32_t>(*type);
      e->values.push_back(std::move(value));
    }
    return true;
  }
  return false;
}

// Makes `path` and every missing folder above it.
Status MakeFolders(FileSystem& fs, std::string_view path) {
  if (platform::IsFolder(fs, path)) return Status::Ok();
  const size_t cut = path.rfind('\\');
  if (cut != std::string_view::npos && cut > 2) {
    if (Status s = MakeFolders(fs, path.substr(0, cut)); !s.ok()) return s;
  }
  Status s = fs.CreateFolder(path);
  return s.code() == StatusCode::kAlreadyExists ? Status::Ok() : s;
}

std::string FolderName(double now) {
  const platform::CivilDateTime t = changes::CivilOf(now);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// The names of the subfolders of `folder`, sorted.
std::vector<std::string> Subfolders(FileSystem& fs, std::string_view folder) {
  std::vector<std::string> names;
  std::unique_ptr<platform::FolderListing> listing;
  if (!fs.ListFolder(folder, &listing).ok()) return names;
  platform::FindEntry entry;
  while (listing->Next(&entry).ok()) {
    if (entry.name == "." || entry.name == "..") continue;
    if (entry.attributes & platform::attr::kDirectory) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

uint64_t TreeSize(FileSystem& fs, std::string_view folder) {
  uint64_t size = 0;
  std::unique_ptr<platform::FolderListing> listing;
  if (!fs.ListFolder(folder, &listing).ok()) return 0;
  platform::FindEntry entry;
  while (listing->Next(&entry).ok()) {
    if (entry.name == "." || entry.name == "..") continue;
    size += (entry.attributes & platform::attr::kDirectory)
                ? TreeSize(fs, platform::JoinPath(folder, entry.name))
                : entry.size;
  }
  return size;
}

// The date of a backup folder's name; empty when it is not one.
std::optional<double> DateOfName(std::string_view name) {
  int y, mo, d, h, mi, s;
  const std::string text(name.substr(0, 15));
  if (name.size() < 15 ||
      std::sscanf(text.c_str(), "%4d%2d%2d-%2d%2d%2d", &y, &mo, &d, &h, &mi, &s) != 6)
    return std::nullopt;
  return changes::MakeDateTime(y, mo, d, h, mi, s);
}

Status OpenKeyOrRoot(Registry& registry, platform::RootKey root, std::string_view path,
                     KeyAccess access, std::unique_ptr<RegKey>* out) {
  if (path.empty()) return platform::OpenRoot(registry, root, access, out);
  return registry.OpenKey(root, path, access, out);
}

std::string Where(const JournalEntry& e) {
  std::string text(platform::RootKeyName(e.root));
  if (!e.key.empty()) text += "\\" + e.key;
  return text;
}

// Puts one entry back; a failure is described in `failure`.
void PutBackEntry(FileSystem& fs, Registry& registry, std::string_view folder,
                  const JournalEntry& e, std::vector<std::string>& failures) {
  auto fail = [&](std::string what) { failures.push_back(std::move(what)); };
  switch (e.kind) {
    case EntryKind::kFile: {
      const std::string stored = platform::JoinPath(folder, e.stored);
      const bool in_backup = fs.GetAttributes(stored).has_value();
      const bool in_place = fs.GetAttributes(e.path).has_value();
      if (!in_backup) {
        // The action never took the file, or it is back already.
        if (!in_place) fail("FILE " + e.path + ": missing from the backup");
        return;
      }
      if (in_place) {
        // A copy for the Recycle Bin that was never recycled is no loss.
        if (e.done) fail("FILE " + e.path + ": another file is in its place");
        return;
      }
      const size_t cut = e.path.rfind('\\');
      Status s = cut == std::string::npos ? Status::Ok() : MakeFolders(fs, e.path.substr(0, cut));
      if (s.ok()) s = fs.MoveFile(stored, e.path);
      if (!s.ok()) return fail("FILE " + e.path + ": " + s.ToString());
      fs.SetAttributes(e.path, e.attributes);
      return;
    }
    case EntryKind::kFolder:
      if (Status s = MakeFolders(fs, e.path); !s.ok())
        fail("FOLDER " + e.path + ": " + s.ToString());
      return;
    default:
      break;
  }
  const std::optional<platform::RootKey> root = ToRootKey(e.root);
  if (!root) return fail("KEY " + Where(e) + ": unknown root key");
  std::unique_ptr<RegKey> key;
  switch (e.kind) {
    case EntryKind::kValue:
    case EntryKind::kCounter: {
      Status s = e.key.empty() ? platform::OpenRoot(registry, *root, KeyAccess::kReadWrite, &key)
                               : registry.CreateKey(*root, e.key, KeyAccess::kReadWrite, &key);
      if (s.ok()) s = registry.SetValue(*key, e.name, e.type, e.data);
      if (!s.ok()) fail("VALUE " + Where(e) + "\\" + e.name + ": " + s.ToString());
      return;
    }
    case EntryKind::kNoValue: {
      if (!OpenKeyOrRoot(registry, *root, e.key, KeyAccess::kReadWrite, &key).ok()) return;
      const Status s = registry.DeleteValue(*key, e.name);
      if (!s.ok() && s.code() != StatusCode::kNotFound)
        fail("VALUE " + Where(e) + "\\" + e.name + ": " + s.ToString());
      return;
    }
    case EntryKind::kKey: {
      Status s = registry.CreateKey(*root, e.key, KeyAccess::kReadWrite, &key);
      for (size_t i = 0; s.ok() && i < e.values.size(); ++i)
        s = registry.SetValue(*key, e.values[i].name, e.values[i].type, e.values[i].data);
      if (!s.ok()) fail("KEY " + Where(e) + ": " + s.ToString());
      return;
    }
    case EntryKind::kNewKey: {
      // The keys the action made, deepest first, each only while empty.
      std::string path = e.key;
      while (path.size() >= e.first_new_key.size() && !path.empty()) {
        std::unique_ptr<RegKey> k;
        platform::RegKeyInfo info;
        if (registry.OpenKey(*root, path, KeyAccess::kRead, &k).ok()) {
          if (!registry.QueryInfoKey(*k, &info).ok() || info.subkey_count > 0 ||
              info.value_count > 0)
            return;
          k.reset();
          const size_t cut = path.rfind('\\');
          const std::string parent = cut == std::string::npos ? "" : path.substr(0, cut);
          std::unique_ptr<RegKey> p;
          Status s = OpenKeyOrRoot(registry, *root, parent, KeyAccess::kReadWrite, &p);
          if (s.ok()) s = registry.DeleteKey(*p, path.substr(cut == std::string::npos ? 0 : cut + 1));
          if (!s.ok()) return fail("KEY " + Where(e) + ": " + s.ToString());
        }
        const size_t cut = path.rfind('\\');
        if (cut == std::string::npos) break;
        path.resize(cut);
      }
      return;
    }
    default:
      return;
  }
}

}  // namespace

std::string BackupsOf(std::string_view program_folder, std::string_view identifier) {
  return platform::JoinPath(platform::JoinPath(program_folder, kBackupsFolder), identifier);
}

bool ReadJournal(FileSystem& fs, std::string_view folder, Journal* journal) {
  std::vector<uint8_t> bytes;
  if (!fs.ReadFile(platform::JoinPath(folder, kManifestName), &bytes).ok()) return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  *journal = {};
  std::map<uint32_t, size_t> by_number;
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) break;  // cut short
    const std::vector<std::string> f = Split(text.substr(start, end - start));
    start = end + 1;
    if (first) {
      if (f.size() != 2 || f[0] != kManifestHeading) return false;
      journal->identifier = f[1];
      first = false;
      continue;
    }
    if (f[0] == "end") {
      journal->finished = true;
    } else if (f[0] == "resume") {
      journal->finished = false;
    } else if (f[0] == "done" && f.size() == 2) {
      const std::optional<uint64_t> n = Number(f[1]);
      if (n && by_number.contains(static_cast<uint32_t>(*n)))
        journal->entries[by_number[static_cast<uint32_t>(*n)]].done = true;
    } else {
      JournalEntry entry;
      if (!ParseEntry(f, &entry)) continue;
      by_number[entry.number] = journal->entries.size();
      journal->entries.push_back(std::move(entry));
    }
  }
  return !first;
}

UninstallBackup::UninstallBackup(FileSystem& fs, std::string folder)
    : fs_(fs), folder_(std::move(folder)), manifest_(platform::JoinPath(folder_, kManifestName)) {}

std::unique_ptr<UninstallBackup> UninstallBackup::Create(FileSystem& fs,
                                                         std::string_view program_folder,
                                                         std::string_view identifier, double now) {
  const std::string parent = BackupsOf(program_folder, identifier);
  if (!MakeFolders(fs, parent).ok()) return nullptr;
  const std::string base = platform::JoinPath(parent, FolderName(now));
  std::string folder = base;
  for (int n = 2; fs.GetAttributes(folder); ++n) folder = base + "-" + std::to_string(n);
  if (!fs.CreateFolder(folder).ok() ||
      !fs.CreateFolder(platform::JoinPath(folder, kFilesFolder)).ok())
    return nullptr;
  std::unique_ptr<UninstallBackup> backup(new UninstallBackup(fs, folder));
  if (!backup->Append(Line({kManifestHeading, identifier}))) return nullptr;
  backup->next_ = 1;
  return backup;
}

std::unique_ptr<UninstallBackup> UninstallBackup::Continue(FileSystem& fs, std::string folder,
                                                           const Journal& journal) {
  std::unique_ptr<UninstallBackup> backup(new UninstallBackup(fs, std::move(folder)));
  for (const JournalEntry& e : journal.entries) backup->next_ = std::max(backup->next_, e.number + 1);
  backup->continued_ = true;
  // Files of the new entries go beside the old ones.
  MakeFolders(fs, platform::JoinPath(backup->folder_, kFilesFolder));
  const uint32_t next = backup->next_;
  if (!backup->Append("resume")) return nullptr;
  backup->next_ = next;
  return backup;
}

std::optional<uint32_t> UninstallBackup::Append(std::string line) {
  line = pending_done_ + line + '\n';
  pending_done_.clear();
  if (holding_) {
    held_ += line;
  } else if (!AppendToManifest(line)) {
    return std::nullopt;
  }
  return next_++;
}

bool UninstallBackup::AppendToManifest(std::string_view lines) {
  return fs_
      .AppendFile(manifest_,
                  std::span(reinterpret_cast<const uint8_t*>(lines.data()), lines.size()), true)
      .ok();
}

void UninstallBackup::HoldEntries() { holding_ = true; }

bool UninstallBackup::WriteHeldEntries() {
  holding_ = false;
  const std::string lines = std::exchange(held_, {});
  return lines.empty() || AppendToManifest(lines);
}

Status UninstallBackup::SaveFile(std::string_view path, uint32_t attributes, bool keep,
                                 uint32_t* number) {
  const std::optional<uint32_t> n = SaveFileEntry(path, attributes);
  if (!n) return Status(StatusCode::kIoError);
  *number = *n;
  return StoreFile(*n, path, keep);
}

std::optional<uint32_t> UninstallBackup::SaveFileEntry(std::string_view path,
                                                       uint32_t attributes) {
  return Append(Line({"file", std::to_string(next_), path, std::to_string(attributes),
                      StoredFileName(next_)}));
}

Status UninstallBackup::StoreFile(uint32_t number, std::string_view path, bool keep,
                                  const platform::Sha256Digest* fingerprint, bool* changed) {
  const std::string target = platform::JoinPath(folder_, StoredFileName(number));
  const std::string folder = target.substr(0, target.rfind('\\'));
  if (folder != made_folder_ && MakeFolders(fs_, folder).ok()) made_folder_ = folder;
  bool unchanged = true;
  Status s;
  if (fingerprint != nullptr) {
    s = fs_.TakeFileIfUnchanged(path, target, *fingerprint, keep, &unchanged);
  } else {
    s = keep ? fs_.LinkFile(path, target) : fs_.MoveFile(path, target);
  }
  if (changed != nullptr) *changed = s.ok() && !unchanged;
  // A second name for the file keeps its content once the Recycle Bin has
  // taken the first; only where there can be none is the content copied.
  if (s.ok() || !keep || !unchanged) return s;
  std::vector<uint8_t> data;
  s = fs_.ReadFile(path, &data);
  if (s.ok()) s = fs_.WriteFile(target, data);
  if (!s.ok()) fs_.DeleteFile(target);
  return s;
}

std::optional<uint32_t> UninstallBackup::SaveFolder(std::string_view path) {
  return Append(Line({"folder", std::to_string(next_), path}));
}

std::optional<uint32_t> UninstallBackup::SaveValue(uint32_t root, std::string_view key,
                                                   std::string_view name,
                                                   const RegValue* current) {
  if (current == nullptr)
    return Append(Line({"novalue", std::to_string(next_), std::to_string(root), key, name}));
  return Append(Line({"value", std::to_string(next_), std::to_string(root), key, name,
                      std::to_string(current->type), text::HexDigits(current->data)}));
}

std::optional<uint32_t> UninstallBackup::SaveKey(uint32_t root, std::string_view key,
                                                 const std::vector<RegValue>& values) {
  std::string line = Line({"key", std::to_string(next_), std::to_string(root), key});
  for (const RegValue& v : values) {
    line += '\t' + Escape(v.name) + '\t' + std::to_string(v.type) + '\t' + text::HexDigits(v.data);
  }
  return Append(std::move(line));
}

std::optional<uint32_t> UninstallBackup::SaveNewKey(uint32_t root, std::string_view key,
                                                    std::string_view first_new_key) {
  return Append(
      Line({"newkey", std::to_string(next_), std::to_string(root), key, first_new_key}));
}

std::optional<uint32_t> UninstallBackup::SaveCounter(uint32_t root, std::string_view key,
                                                     std::string_view name,
                                                     const RegValue& current, int64_t count) {
  return Append(
      Line({"counter", std::to_string(next_), std::to_string(root), key, name,
            std::to_string(current.type), text::HexDigits(current.data), std::to_string(count)}));
}

void UninstallBackup::Done(uint32_t number) {
  // Written with the next line: a "done" lost in a crash only makes its
  // action be put back and done again.
  pending_done_ += "done\t" + std::to_string(number) + "\n";
}

void UninstallBackup::End() {
  const uint32_t next = next_;
  Append("end");
  next_ = next;
}

RestoreReport PutBack(FileSystem& fs, Registry& registry, std::string_view folder,
                      const Journal& journal, bool only_unfinished) {
  RestoreReport report;
  report.found = true;
  for (auto e = journal.entries.rbegin(); e != journal.entries.rend(); ++e) {
    if (only_unfinished && e->done) continue;
    PutBackEntry(fs, registry, folder, *e, report.failures);
  }
  return report;
}

std::vector<std::string> BackupFolders(FileSystem& fs, std::string_view program_folder,
                                       std::string_view identifier) {
  const std::string parent = BackupsOf(program_folder, identifier);
  std::vector<std::string> folders;
  for (const std::string& name : Subfolders(fs, parent))
    if (DateOfName(name)) folders.push_back(platform::JoinPath(parent, name));
  // Names sort by time; a second run in the same second carries "-2" and so on.
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    if (a.size() != b.size() && a.compare(0, std::min(a.size(), b.size()), b, 0,
                                          std::min(a.size(), b.size())) == 0)
      return a.size() < b.size();
    return a < b;
  });
  return folders;
}

bool HasUninstallBackup(FileSystem& fs, std::string_view program_folder,
                        std::string_view identifier) {
  for (const std::string& folder : BackupFolders(fs, program_folder, identifier)) {
    if (fs.GetAttributes(platform::JoinPath(folder, kManifestName))) return true;
  }
  return false;
}

RestoreReport RestoreLastUninstall(FileSystem& fs, Registry& registry,
                                   std::string_view program_folder, std::string_view identifier) {
  const std::vector<std::string> folders = BackupFolders(fs, program_folder, identifier);
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    RestoreReport report = PutBackAndRemove(fs, registry, *folder);
    if (report.found) return report;
  }
  return {};
}

RestoreReport PutBackAndRemove(FileSystem& fs, Registry& registry, std::string_view folder) {
  Journal journal;
  if (!ReadJournal(fs, folder, &journal)) return {};
  RestoreReport report = PutBack(fs, registry, folder, journal, false);
  if (report.failures.empty()) DeleteTree(fs, folder);
  return report;
}

std::vector<UnfinishedUninstall> FindUnfinishedUninstalls(FileSystem& fs,
                                                          std::string_view program_folder) {
  std::vector<UnfinishedUninstall> found;
  const std::string root = platform::JoinPath(program_folder, kBackupsFolder);
  for (const std::string& identifier : Subfolders(fs, root)) {
    for (const std::string& folder : BackupFolders(fs, program_folder, identifier)) {
      Journal journal;
      if (ReadJournal(fs, folder, &journal) && !journal.finished)
        found.push_back({identifier, folder});
    }
  }
  return found;
}

size_t PruneBackups(FileSystem& fs, std::string_view program_folder, double now, int32_t days,
                    uint64_t max_bytes) {
  struct Backup {
    double when;
    std::string folder;
    uint64_t size;
  };
  std::vector<Backup> backups;
  const std::string root = platform::JoinPath(program_folder, kBackupsFolder);
  for (const std::string& identifier : Subfolders(fs, root)) {
    for (const std::string& folder : BackupFolders(fs, program_folder, identifier)) {
      Journal journal;
      // An unfinished run is still needed to finish or roll it back.
      if (ReadJournal(fs, folder, &journal) && !journal.finished) continue;
      const std::string name = folder.substr(folder.rfind('\\') + 1);
      backups.push_back({*DateOfName(name), folder, TreeSize(fs, folder)});
    }
  }
  if (backups.size() < 2) return 0;
  std::stable_sort(backups.begin(), backups.end(),
                   [](const Backup& a, const Backup& b) { return a.when < b.when; });
  uint64_t total = 0;
  for (const Backup& b : backups) total += b.size;
  backups.pop_back();  // the newest stays
  size_t removed = 0;
  for (const Backup& b : backups) {
    if (now - b.when <= days && total <= max_bytes) break;
    if (!DeleteTree(fs, b.folder).ok()) continue;
    total -= b.size;
    ++removed;
  }
  return removed;
}

Status DeleteTree(FileSystem& fs, std::string_view path) {
  std::unique_ptr<platform::FolderListing> listing;
  if (Status s = fs.ListFolder(path, &listing); !s.ok()) return s;
  platform::FindEntry entry;
  std::vector<platform::FindEntry> entries;
  while (listing->Next(&entry).ok()) {
    if (entry.name != "." && entry.name != "..") entries.push_back(entry);
  }
  listing.reset();
  for (const platform::FindEntry& e : entries) {
    const std::string child = platform::JoinPath(path, e.name);
    if (e.attributes & platform::attr::kDirectory) {
      if (Status s = DeleteTree(fs, child); !s.ok()) return s;
    } else {
      fs.SetAttributes(child, platform::attr::kArchive);
      if (Status s = fs.DeleteFile(child); !s.ok()) return s;
    }
  }
  return fs.RemoveFolder(path);
}

}  // namespace cvn::uninstall
