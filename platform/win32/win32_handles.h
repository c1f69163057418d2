// Owning wrappers for Win32 handles: each closes its handle when destroyed.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace cvn::platform::win32 {

// Owns one handle of the kind `Traits` describes (its type, the value that
// means "none" and the function that closes it). Movable, not copyable.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Traits::None(); }
  // Gives up ownership without closing.
  Handle release() { return std::exchange(handle_, Traits::None()); }
  void reset(Handle handle = Traits::None()) {
    if (valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::None();
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};

struct FindTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};

struct FileTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

// An opened registry key (never a predefined root: those are not closed).
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
// A FindFirstFileW search.
using UniqueFindHandle = UniqueHandle<FindTraits>;
// A CreateFileW handle.
using UniqueFileHandle = UniqueHandle<FileTraits>;

}  // namespace cvn::platform::win32
