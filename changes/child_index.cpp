#include "changes/child_index.h"

#include <utility>

namespace cvn::changes {

void ChildIndex::InsertNew(uint32_t hash, uint32_t id) {
  if ((used_ + 1) * 2 > slots_.size()) Rebuild();
  size_t i = hash & Mask();
  while (slots_[i].id != kFree && slots_[i].id != kErased) i = (i + 1) & Mask();
  if (slots_[i].id == kFree) ++used_;
  slots_[i] = Slot{hash, id};
  ++live_;
}

void ChildIndex::Erase(uint32_t hash, uint32_t id) {
  if (slots_.empty()) return;
  for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
    Slot& slot = slots_[i];
    if (slot.id == kFree) return;
    if (slot.id == id) {
      // Marked, not freed: later entries of the same probe run must stay reachable.
      slot.id = kErased;
      --live_;
      return;
    }
  }
}

void ChildIndex::Clear() {
  slots_.clear();
  used_ = 0;
  live_ = 0;
}

void ChildIndex::Rebuild() {
  size_t capacity = 16;
  while (capacity < 4 * (live_ + 1)) capacity *= 2;
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(capacity));
  used_ = live_;
  const size_t mask = capacity - 1;
  for (const Slot& slot : old) {
    if (slot.id == kFree || slot.id == kErased) continue;
    size_t i = slot.hash & mask;
    while (slots_[i].id != kFree) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace cvn::changes
