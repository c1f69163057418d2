// A snapshot stream as text, one line a record, for telling where two
// streams differ: the path of a key, "path|name|type|data" of a value (the
// data in hexadecimal, cut to 32 bytes).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "engine/snapshot/snapshot_store.h"
#include "platform/text.h"

namespace cvn::test {

// The stream is written to `folder`\LINES.sns to be read back; no lines
// when it cannot be.
inline std::vector<std::string> RecordLines(platform::FileSystem& fs, const std::string& folder,
                                            std::span<const uint8_t> bytes) {
  std::vector<std::string> lines;
  if (!fs.WriteFile(folder + "\\LINES.sns", bytes).ok()) return lines;
  snapshot::SnapshotStore store = snapshot::SnapshotStore::Open(fs, folder, "LINES");
  std::string path;
  for (snapshot::SnapshotRecord r; store.ReadRecord(&r);) {
    if (r.flags & snapshot::flags::kFullPath) path = std::string(r.path_text);
    if (r.flags & snapshot::flags::kRelativePath) path += "\\" + std::string(r.path_text);
    lines.push_back((r.flags & snapshot::flags::kContainer)
                        ? path
                        : path + "|" + std::string(r.name) + "|" + std::to_string(r.value) + "|" +
                              text::HexDigits(r.data).substr(0, 64));
  }
  return lines;
}

}  // namespace cvn::test
