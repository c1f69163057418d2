// What the changes tree shows: the texts of its three columns, the picture
// of each node and the text of registry data. Export and print take their
// texts from here too, so every front end shows the same thing.
//
// Threads: pure functions; translated captions come from the translator,
// which may be asked from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "changes/change_record.h"

namespace cvn::changes {

// The columns of the changes tree.
enum class ChangeColumn : int { kName = 0, kBefore = 1, kAfter = 2 };

// Registry value types the view tells apart.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegDword = 4;

// Binary data as text: in hexadecimal mode each byte as two upper-case
// digits and a space (the last one included); otherwise each printable
// ASCII byte as itself and every other byte as a dot. No bytes give the
// translated "(zero length data)".
std::string FormatBinaryData(std::span<const uint8_t> bytes, bool hex);

// The text of registry data of type `value_type`: a REG_SZ in single quotes
// with quotes inside doubled ('' when there are no bytes), a REG_DWORD as a
// signed decimal number, anything else through FormatBinaryData. A REG_DWORD
// shorter than 4 bytes is shown as binary data rather than read past its end.
std::string ValueText(uint32_t value_type, std::span<const uint8_t> bytes, bool hex);

// The text of a node's cell in `column`.
std::string CellText(const ChangeRecord& data, ChangeColumn column, bool hex);

// The index of the node's picture in the tree's image list of 20 pictures.
int ImageIndex(const ChangeRecord& data);

// Pictures the export and print treat as structure, not as changes.
inline constexpr int kImageDrive = 3;
inline constexpr int kImagePathNode = 4;

}  // namespace cvn::changes
