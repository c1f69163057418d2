// The registry scanner's bulk read against a bare API walk of the same hives,
// measured in the same run (Windows or Wine only):
//
//   taskset -c 0 cmake/wine-run.sh STATE bench_registry_bulk.exe [VALUES]
//
// Adds VALUES generated values (200,000 by default; 0 for a fresh prefix)
// below HKEY_LOCAL_MACHINE\Software\CorvaneBench, then times the first scan
// of HKEY_LOCAL_MACHINE and HKEY_USERS (the store form, records in memory)
// with the bulk read and with the walk, and a bare walk of both hives
// (RegOpenKeyExW, RegEnumValueW, RegEnumKeyExW), once reading each key once
// (links opened as links) and once following links as RegOpenKeyExW does by
// default: medians of 5. The peak working set of each
// scan is measured in a process of its own (GetProcessMemoryInfo). The
// generated keys are removed at the end.
//
//   bench_registry_bulk.exe --generate VALUES   only adds the values (for
//   bench_registry_bulk.exe --remove            tools/bench_monitoring.sh)
// Before <windows.h>, whose macros rename DeleteFile and friends.
#include "platform/platform_wrappers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/snapshot/registry_scanner.h"
#include "engine/snapshot/saved_hive.h"
#include "engine/snapshot/snapshot_store.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "tests/engine/snapshot/record_lines.h"
#include "tests/engine/snapshot/registry_generator.h"

#include <psapi.h>

namespace cvn::snapshot {
namespace {

using platform::RootKey;

constexpr wchar_t kBenchKey[] = L"Software\\CorvaneBench";
constexpr char kOutFolder[] = "C:\\CorvaneBench";
constexpr int kRuns = 5;

double MedianSeconds(const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[kRuns / 2];
}

// Keys and values read; each location once unless `follow_links`, which
// reads a link's target again as RegOpenKeyExW does by default.
size_t BareWalk(HKEY parent, const std::wstring& name, bool follow_links,
                std::vector<wchar_t>& names, std::vector<BYTE>& data) {
  HKEY key = parent;
  const DWORD options = follow_links ? 0 : REG_OPTION_OPEN_LINK;
  if (!name.empty() &&
      RegOpenKeyExW(parent, name.c_str(), options, KEY_READ, &key) != ERROR_SUCCESS)
    return 1;
  size_t items = 1;
  for (DWORD i = 0;; ++i) {
    DWORD name_size = static_cast<DWORD>(names.size()), data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS rc =
        RegEnumValueW(key, i, names.data(), &name_size, nullptr, &type, data.data(), &data_size);
    if (rc == ERROR_MORE_DATA && data_size > data.size()) {
      data.resize(data_size);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    ++items;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD name_size = static_cast<DWORD>(names.size());
    if (RegEnumKeyExW(key, i, names.data(), &name_size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    items += BareWalk(key, std::wstring(names.data(), name_size), follow_links, names, data);
  }
  if (key != parent) RegCloseKey(key);
  return items;
}

size_t BareWalkOfBothHives(bool follow_links) {
  std::vector<wchar_t> names(16384);
  std::vector<BYTE> data(8192);
  return BareWalk(HKEY_LOCAL_MACHINE, L"", follow_links, names, data) +
         BareWalk(HKEY_USERS, L"", follow_links, names, data);
}

// The first scan of both hives, as the scan thread makes it; returns the
// number of bytes of records and keeps the records in `records` when given.
size_t FirstScan(platform::Registry& registry, platform::FileSystem& fs, bool bulk,
                 std::vector<uint8_t>* records = nullptr) {
  // Only HKLM and HKU, so that the scan reads what the bare walk reads (no
  // key closed because another hive shows it).
  settings::Settings settings;
  settings.scan_hku = true;
  settings.scan_hkcr = settings.scan_hkcu = false;
  settings.bulk_registry_read = bulk;
  threads::RunToEnd control;
  RegistryScanner scanner(registry, settings, control);
  size_t bytes = 0;
  for (const RootKey root : {RootKey::kLocalMachine, RootKey::kUsers}) {
    SnapshotStore store = SnapshotStore::CreateNew(fs, kOutFolder, "BENCH");
    scanner.ScanRegKey(root, "", store);
    bytes += store.Bytes().size();
    if (records != nullptr)
      records->insert(records->end(), store.Bytes().begin(), store.Bytes().end());
  }
  return bytes;
}

// Counts the registry calls a scan makes (each a round trip to the system).
class CountingRegistry final : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  platform::Status OpenSubKey(platform::RegKey& parent, std::string_view path,
                              platform::KeyAccess access,
                              std::unique_ptr<platform::RegKey>* out) override {
    ++opens;
    return RegistryWrapper::OpenSubKey(parent, path, access, out);
  }
  platform::Status OpenSubKeyOrLink(platform::RegKey& parent, std::string_view name,
                                    std::unique_ptr<platform::RegKey>* out,
                                    bool* is_link) override {
    ++opens;
    return RegistryWrapper::OpenSubKeyOrLink(parent, name, out, is_link);
  }
  platform::Status EnumKey(platform::RegKey& key, uint32_t index, std::string* name) override {
    ++enumerations;
    return RegistryWrapper::EnumKey(key, index, name);
  }
  platform::Status EnumValue(platform::RegKey& key, uint32_t index, size_t capacity,
                             platform::RegValue* value, size_t* needed) override {
    ++enumerations;
    return RegistryWrapper::EnumValue(key, index, capacity, value, needed);
  }
  platform::Status SaveKey(RootKey root, std::string_view path,
                           std::vector<uint8_t>* contents) override {
    ++saves;
    return target().SaveKey(root, path, contents);
  }
  platform::Status EnumKeySubkeyCount(platform::RegKey& key, uint32_t index,
                                      uint32_t* count) override {
    ++counts;
    return target().EnumKeySubkeyCount(key, index, count);
  }
  size_t opens = 0, enumerations = 0, saves = 0, counts = 0;
};

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}

// This program again, with `arguments`: its first line of output.
std::string RunSelf(const std::string& arguments) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string command = "\"" + std::string(self) + "\" " + arguments;
  FILE* pipe = _popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char line[256] = {};
  if (std::fgets(line, sizeof line, pipe) == nullptr) line[0] = 0;
  _pclose(pipe);
  return line;
}

int Run(size_t values) {
  platform::win32::Win32Registry registry;
  platform::win32::Win32FileSystem fs;
  fs.CreateFolder(kOutFolder);
  test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, kBenchKey);
  const test::GeneratedRegistry made = test::GenerateRegistry(
      HKEY_LOCAL_MACHINE, kBenchKey, values, L"\\Registry\\Machine\\Software\\Wine");
  std::printf("Generated below HKLM\\Software\\CorvaneBench: %zu keys, %zu values\n", made.keys,
              made.values);

  size_t items = 0, items_with_links = 0, bulk_bytes = 0, walk_bytes = 0;
  const double bare = MedianSeconds([&] { items = BareWalkOfBothHives(false); });
  const double bare_with_links =
      MedianSeconds([&] { items_with_links = BareWalkOfBothHives(true); });
  const double bulk = MedianSeconds([&] { bulk_bytes = FirstScan(registry, fs, true); });
  const double walk = MedianSeconds([&] { walk_bytes = FirstScan(registry, fs, false); });
  std::printf(
      "HKLM+HKU: %zu keys and values in a bare walk (%zu following links); %zu bytes of"
      " records (bulk), %zu (walk)\n",
      items, items_with_links, bulk_bytes, walk_bytes);
  std::printf(
      "  bare API walk %.3f s (%.3f s following links), first scan walked %.3f s (ratio %.2f),"
      " first scan bulk %.3f s\n",
      bare, bare_with_links, walk, walk / bare, bulk);
  std::printf("  bulk / bare walk: %.3f (%.3f against the walk following links); target <= 0.15\n",
              bulk / bare, bulk / bare_with_links);

  // The same records both ways (the registry changing meanwhile aside).
  std::vector<uint8_t> bulk_records, walk_records;
  FirstScan(registry, fs, true, &bulk_records);
  FirstScan(registry, fs, false, &walk_records);
  if (bulk_records == walk_records) {
    std::printf("  the bulk read's records equal the walk's\n");
  } else {
    const auto a = cvn::test::RecordLines(fs, kOutFolder, bulk_records),
               b = cvn::test::RecordLines(fs, kOutFolder, walk_records);
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    std::printf("  RECORDS DIFFER at %zu: bulk %s, walk %s\n", i, i < a.size() ? a[i].c_str() : "-",
                i < b.size() ? b[i].c_str() : "-");
  }

  // The calls each makes (an open is closed again: one call more).
  for (const bool bulk : {true, false}) {
    CountingRegistry counting(registry);
    FirstScan(counting, fs, bulk);
    std::printf("  calls of the %s: %zu opens, %zu enumerations, %zu subkey counts, %zu saves\n",
                bulk ? "bulk read" : "walk", counting.opens, counting.enumerations,
                counting.counts, counting.saves);
  }

  // Where the bulk read's time goes: saving HKLM, then parsing the file.
  std::vector<uint8_t> saved;
  const double save = MedianSeconds([&] { registry.SaveKey(RootKey::kLocalMachine, "", &saved); });
  size_t keys = 0;
  const double parse = MedianSeconds([&] { keys = ParseSavedHive(saved)->KeyCount(); });
  std::printf("  HKLM alone: saved to %zu bytes in %.3f s, parsed (%zu keys) in %.3f s\n",
              saved.size(), save, keys, parse);

  const double peak_walk = std::atof(RunSelf("--peak walk").c_str());
  const double peak_bulk = std::atof(RunSelf("--peak bulk").c_str());
  std::printf("  peak working set: walk %.1f MB, bulk %.1f MB (ratio %.2f, target <= 1.5)\n",
              peak_walk / 1e6, peak_bulk / 1e6, peak_bulk / peak_walk);

  test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, kBenchKey);
  return 0;
}

}  // namespace
}  // namespace cvn::snapshot

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--peak") {
    cvn::platform::win32::Win32Registry registry;
    cvn::platform::win32::Win32FileSystem fs;
    cvn::snapshot::FirstScan(registry, fs, std::string(argv[2]) == "bulk");
    std::printf("%zu\n", cvn::snapshot::PeakWorkingSet());
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--generate") {
    const auto made = cvn::test::GenerateRegistry(HKEY_LOCAL_MACHINE, cvn::snapshot::kBenchKey,
                                                  std::strtoul(argv[2], nullptr, 10),
                                                  L"\\Registry\\Machine\\Software\\Wine");
    std::printf("Generated below HKLM\\Software\\CorvaneBench: %zu keys, %zu values\n", made.keys,
                made.values);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--remove") {
    cvn::test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, cvn::snapshot::kBenchKey);
    return 0;
  }
  return cvn::snapshot::Run(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200'000);
}
