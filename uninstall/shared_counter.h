// Shared-file counters: the values of HKEY_LOCAL_MACHINE's SharedDLLs key,
// named by a file's full path, counting the installed programs that use it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace cvn::uninstall {

inline constexpr std::string_view kSharedDllsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// A counter's text read as a decimal number (an optional sign and digits,
// up to the first zero byte); 0 when it is not a number.
int64_t ParseCounterText(std::span<const uint8_t> data);

// The counter once the recorded `increment` is given back from `current`,
// both of value type `type`: REG_DWORD as 32-bit little-endian numbers,
// REG_SZ as decimal text. Empty for any other type, which is left alone.
std::optional<int64_t> GiveBackIncrement(uint32_t type, std::span<const uint8_t> current,
                                         std::span<const uint8_t> increment);

// The data that stores `count` as a counter of `type` (REG_DWORD or REG_SZ).
std::vector<uint8_t> EncodeCounter(uint32_t type, int64_t count);

}  // namespace cvn::uninstall
