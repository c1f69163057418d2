// The file info text: how the changes tree shows a file's state, its
// last-write time "hh:nn dd/mm/yy " followed by its size in bytes, with the
// user's time and date separators.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/locale.h"

namespace cvn::compare {

// `dos_date_time` holds the DOS date in its high 16 bits and the time in its
// low 16 bits; `size` is the low 32 bits of the file size, shown signed.
// Fields are shown as they are stored: a damaged time gives odd digits
// rather than an error.
std::string FileInfoText(uint32_t dos_date_time, uint32_t size,
                         const platform::DateTimeSeparators& separators);

// From a file entry's snapshot data: the time, then the size, both 32-bit
// little-endian. Data shorter than 8 bytes reads as zeros past its end.
std::string FileInfoText(std::span<const uint8_t> entry_data,
                         const platform::DateTimeSeparators& separators);

}  // namespace cvn::compare
