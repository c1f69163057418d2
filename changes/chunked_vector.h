// A growable array in fixed-size chunks: growing never moves an element and
// touches only the memory it adds, which matters for a million tree nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace cvn::changes {

template <class T>
class ChunkedVector {
 public:
  T& operator[](size_t i) { return chunks_[i >> kShift][i & kMask]; }
  const T& operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }
  size_t size() const { return size_; }

  // Adds a default-constructed element at the end and returns its index.
  size_t Append() {
    if ((size_ >> kShift) == chunks_.size()) chunks_.push_back(std::make_unique<T[]>(kChunk));
    return size_++;
  }

  // Destroys every element.
  void Clear() {
    chunks_.clear();
    size_ = 0;
  }

 private:
  static constexpr unsigned kShift = 12;
  static constexpr size_t kChunk = size_t{1} << kShift;
  static constexpr size_t kMask = kChunk - 1;

  std::vector<std::unique_ptr<T[]>> chunks_;
  size_t size_ = 0;
};

}  // namespace cvn::changes
