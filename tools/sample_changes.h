// A changes tree that holds every kind of change (and so all twenty
// pictures), for the previews.
#pragma once

#include <span>
#include <string_view>

#include "changes/change_tree.h"

namespace cvn::tools {

using changes::NodeKind;

inline void Add(changes::ChangeTree& tree, std::string_view path, std::string_view name, NodeKind kind,
         uint32_t root_key = 0, uint32_t type = 0, std::string_view before = {},
         std::string_view after = {}) {
  changes::ChangeRecord record;
  record.kind = kind;
  record.root_key = root_key;
  record.value_type = type;
  record.path = path;
  const auto buffer = [](std::string_view text) {
    return changes::CopyBuffer(
        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  };
  record.before = buffer(before);
  record.before_size = static_cast<int32_t>(before.size());
  record.after = buffer(after);
  record.after_size = static_cast<int32_t>(after.size());
  tree.AddToTree(path, name, record);
}

inline void FillWithEveryKind(changes::ChangeTree& tree) {
  constexpr uint32_t kHklm = 0x80000002;
  const std::string_view app = "C:\\Program Files\\Quillfern";
  Add(tree, "C:\\Program Files", "Quillfern", NodeKind::kFolderAdded);
  Add(tree, app, "quillfern.exe", NodeKind::kFileAdded, 0, 0, {},
      std::string_view("12:04 07/12/26 482304\0", 22));
  Add(tree, app, "readme.txt", NodeKind::kFileChanged, 0, 0,
      std::string_view("09:15 01/03/25 1200\0", 20), std::string_view("12:04 07/12/26 1342\0", 20));
  Add(tree, "C:\\Program Files\\Common Files", "shared.dll", NodeKind::kFileDeleted, 0, 0,
      std::string_view("10:00 02/02/24 65536\0", 21));
  Add(tree, "C:\\Program Files\\Old", "notes.txt", NodeKind::kFileMovedFrom, 0, 0,
      std::string_view("08:30 05/05/25 811\0", 19));
  Add(tree, app, "notes.txt", NodeKind::kFileMovedTo, 0, 0, {},
      std::string_view("08:30 05/05/25 811\0", 19));
  Add(tree, "C:\\Program Files", "Quillfern 2", NodeKind::kFolderDeleted);
  const std::string_view key = "HKEY_LOCAL_MACHINE\\Software\\Quillfern";
  Add(tree, "HKEY_LOCAL_MACHINE\\Software", "Quillfern", NodeKind::kKeyAdded, kHklm);
  Add(tree, key, "InstallDir", NodeKind::kValueAdded, kHklm, 1, {},
      std::string_view("C:\\Program Files\\Quillfern\0", 27));
  Add(tree, key, "Flags", NodeKind::kValueAdded, kHklm, 3, {}, std::string_view("\x01\x02\x7f", 3));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Theme", NodeKind::kValueChanged, kHklm, 1,
      std::string_view("Light\0", 6), std::string_view("Dark\0", 5));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Size", NodeKind::kValueChanged, kHklm, 4,
      std::string_view("\x10\0\0\0", 4), std::string_view("\x20\0\0\0", 4));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Owner", NodeKind::kValueDeleted, kHklm, 1,
      std::string_view("Ada\0", 4));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Mask", NodeKind::kValueDeleted, kHklm, 3,
      std::string_view("\xff\x00", 2));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Legacy", NodeKind::kKeyDeleted, kHklm);
  const std::string_view shared =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  Add(tree, shared, "C:\\Program Files\\Common Files\\qf.dll", NodeKind::kCounterIncremented, kHklm,
      4, std::string_view("\x01\0\0\0", 4), std::string_view("\x02\0\0\0", 4));
  Add(tree, shared, "C:\\Program Files\\Common Files\\qf.ocx", NodeKind::kCounterIncremented, kHklm,
      1, {}, std::string_view("1\0", 2));
}

}  // namespace cvn::tools
