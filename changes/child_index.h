// An open-addressing hash set of node ids, for finding a node's child by
// name without scanning the children. The caller computes the hashes and
// says which stored node matches a key, so the set itself holds only 8
// bytes per entry and allocates nothing per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvn::changes {

class ChildIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The stored id with this hash that `matches` accepts; kNone when none.
  template <class Matches>
  uint32_t Find(uint32_t hash, Matches matches) const {
    if (slots_.empty()) return kNone;
    for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
      const Slot& slot = slots_[i];
      if (slot.id == kFree) return kNone;
      if (slot.id != kErased && slot.hash == hash && matches(slot.id)) return slot.id;
    }
  }

  // Stores `id` unless a stored id with this hash is accepted by `matches`;
  // true when stored.
  template <class Matches>
  bool Insert(uint32_t hash, uint32_t id, Matches matches) {
    if (Find(hash, matches) != kNone) return false;
    InsertNew(hash, id);
    return true;
  }
  // Stores `id`, which the caller knows to have no match stored.
  void InsertNew(uint32_t hash, uint32_t id);

  // Removes `id`, stored with this hash; nothing when it is not stored.
  void Erase(uint32_t hash, uint32_t id);
  void Clear();
  size_t size() const { return live_; }

 private:
  static constexpr uint32_t kFree = UINT32_MAX;
  static constexpr uint32_t kErased = UINT32_MAX - 1;
  struct Slot {
    uint32_t hash = 0;
    uint32_t id = kFree;
  };

  size_t Mask() const { return slots_.size() - 1; }
  // Drops erased slots, growing when the live entries need it.
  void Rebuild();

  std::vector<Slot> slots_;  // a power of two, at most half used
  size_t used_ = 0;          // live and erased slots
  size_t live_ = 0;
};

}  // namespace cvn::changes
