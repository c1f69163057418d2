#include "engine/snapshot/arena.h"

#include <algorithm>
#include <cstring>

namespace cvn::snapshot {

std::byte* Arena::NewBlock(size_t size) {
  blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
  reserved_ += size;
  return blocks_.back().get();
}

void* Arena::Allocate(size_t size, size_t align) {
  const size_t padding = (align - reinterpret_cast<uintptr_t>(next_) % align) % align;
  if (next_ != nullptr && padding + size <= left_) {
    std::byte* result = next_ + padding;
    next_ += padding + size;
    left_ -= padding + size;
    return result;
  }
  // A large piece (a big registry value) gets a block of its own, so that
  // the current block keeps serving the small ones.
  if (size > next_block_size_ / 4) return NewBlock(size);
  std::byte* block = NewBlock(next_block_size_);
  next_ = block + size;  // block starts are aligned for any type
  left_ = next_block_size_ - size;
  next_block_size_ = std::min(next_block_size_ * 2, kLargestBlockSize);
  return block;
}

std::string_view Arena::CopyText(std::string_view text) {
  if (text.empty()) return {};
  char* copy = static_cast<char*>(Allocate(text.size(), 1));
  std::memcpy(copy, text.data(), text.size());
  return {copy, text.size()};
}

const uint8_t* Arena::CopyBytes(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  uint8_t* copy = static_cast<uint8_t*>(Allocate(bytes.size(), 1));
  std::memcpy(copy, bytes.data(), bytes.size());
  return copy;
}

void Arena::Release() {
  blocks_.clear();
  next_ = nullptr;
  left_ = 0;
  next_block_size_ = kFirstBlockSize;
  reserved_ = 0;
}

}  // namespace cvn::snapshot
