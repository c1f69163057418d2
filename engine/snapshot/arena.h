// A bump allocator for the snapshot tree: nodes, value entries, names and
// data live in a few large blocks and are released together, so a tree of a
// million files costs a few hundred allocations instead of millions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace cvn::snapshot {

class Arena {
 public:
  Arena() = default;
  Arena(Arena&&) noexcept = default;
  Arena& operator=(Arena&&) noexcept = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // Memory for `size` bytes aligned to `align` (a power of two), valid until
  // the arena is released.
  void* Allocate(size_t size, size_t align);

  // Objects in the arena are never destroyed one by one, so only types
  // without a destructor may live there.
  template <class T, class... Args>
  T* New(Args&&... args) {
    static_assert(std::is_trivially_destructible_v<T>);
    return new (Allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // Copies of a text and of bytes; the empty text and no bytes cost nothing.
  std::string_view CopyText(std::string_view text);
  const uint8_t* CopyBytes(std::span<const uint8_t> bytes);

  // Releases everything allocated so far.
  void Release();
  // Bytes taken from the system, including the unused end of the last block.
  size_t BytesReserved() const { return reserved_; }

 private:
  static constexpr size_t kFirstBlockSize = 16 * 1024;
  static constexpr size_t kLargestBlockSize = 1024 * 1024;

  std::byte* NewBlock(size_t size);

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
  size_t next_block_size_ = kFirstBlockSize;
  size_t reserved_ = 0;
};

}  // namespace cvn::snapshot
