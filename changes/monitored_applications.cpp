#include "changes/monitored_applications.h"

#include <algorithm>
#include <array>
#include <memory>

#include "i18n/translator.h"
#include "platform/text.h"

namespace cvn::changes {

namespace {

bool IsArchiveName(std::string_view name) {
  return name.size() > kArchiveExtension.size() &&
         text::EqualsNoCaseAscii(name.substr(name.size() - kArchiveExtension.size()),
                                 kArchiveExtension);
}

// Characters no file name holds; a backslash or slash would make the name a
// path into another folder.
bool IsValidFileName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos;
  });
}

MonitoredApplication Read(platform::FileSystem& fs, std::string_view program_folder,
                          std::string identifier, const Clock& clock) {
  MonitoredApplication application;
  ChangesArchive archive(fs, platform::JoinPath(program_folder, identifier), clock);
  application.identifier = std::move(identifier);
  if (!archive.Open()) {
    application.readable = false;
    return application;
  }
  std::array<uint8_t, kArchiveHeaderSize> bytes;
  archive.ReadHeader(bytes);
  const ArchiveHeader header = ParseHeader(bytes);
  application.created = header.created;
  application.last_used = header.last_used;
  application.uses = header.uses;
  return application;
}

// <0, 0 or >0 as `a` comes before, with or after `b` in ascending order.
int Compare(const MonitoredApplication& a, const MonitoredApplication& b, int column) {
  const auto by_value = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (column) {
    case kColumnName:
      return platform::CompareNamesForDisplay(a.identifier, b.identifier);
    case kColumnCreated:
      return by_value(a.created, b.created);
    case kColumnLastUsed:
      return by_value(a.last_used, b.last_used);
    case kColumnUses:
      return by_value(a.uses, b.uses);
    default:
      return 0;
  }
}

}  // namespace

std::string ArchivePath(std::string_view program_folder, std::string_view identifier) {
  return platform::JoinPath(program_folder,
                            std::string(identifier) + std::string(kArchiveExtension));
}

std::vector<MonitoredApplication> ListMonitoredApplications(platform::FileSystem& fs,
                                                            std::string_view program_folder,
                                                            const Clock& clock,
                                                            platform::Status* listing_status) {
  std::vector<MonitoredApplication> applications;
  std::unique_ptr<platform::FolderListing> listing;
  const platform::Status status = fs.ListFolder(program_folder, &listing);
  if (listing_status != nullptr) *listing_status = status;
  if (!status.ok()) return applications;
  constexpr uint32_t kLeftOut =
      platform::attr::kDirectory | platform::attr::kHidden | platform::attr::kSystem;
  platform::FindEntry entry;
  while (listing->Next(&entry).ok()) {
    if ((entry.attributes & kLeftOut) != 0 || !IsArchiveName(entry.name)) continue;
    entry.name.resize(entry.name.size() - kArchiveExtension.size());
    applications.push_back(Read(fs, program_folder, std::move(entry.name), clock));
  }
  return applications;
}

std::vector<MonitoredApplication> SortMonitoredApplications(
    std::vector<MonitoredApplication> applications, MonitoredSort sort) {
  if (sort.column < 0 || sort.column >= kMonitoredColumnCount) return applications;
  std::stable_sort(applications.begin(), applications.end(),
                   [&](const MonitoredApplication& a, const MonitoredApplication& b) {
                     const int order = Compare(a, b, sort.column);
                     return sort.ascending ? order < 0 : order > 0;
                   });
  return applications;
}

std::string ColumnText(const MonitoredApplication& application, int column,
                       const platform::DateTimeFormat& format) {
  if (column == kColumnName) return application.identifier;
  if (!application.readable) {
    return column == kColumnCreated ? i18n::Translate("RS_DAMAGED_ARCHIVE", "damaged")
                                    : std::string();
  }
  switch (column) {
    case kColumnCreated:
      return FormatDateTime(application.created, format);
    case kColumnLastUsed:
      return application.last_used == 0.0 ? std::string()
                                          : FormatDateTime(application.last_used, format);
    case kColumnUses:
      return std::to_string(application.uses);
    default:
      return {};
  }
}

platform::Status RenameMonitoredApplication(platform::FileSystem& fs,
                                            std::string_view program_folder, std::string_view from,
                                            std::string_view to) {
  if (!IsValidFileName(to)) return platform::Status(platform::StatusCode::kInvalid);
  return fs.MoveFile(ArchivePath(program_folder, from), ArchivePath(program_folder, to));
}

platform::Status DeleteMonitoredApplication(platform::FileSystem& fs,
                                            std::string_view program_folder,
                                            std::string_view identifier) {
  return fs.DeleteFile(ArchivePath(program_folder, identifier));
}

}  // namespace cvn::changes
