// Finds an entry of a snapshot sibling list by name, without regard to case,
// giving the same entry as a scan from the head of the list: the first of
// several equal names wins.
//
// Long lists are hashed once, so comparing two lists costs time in
// proportion to their lengths instead of their product; short lists are
// scanned, which is cheaper for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace cvn::compare {

// A hash that agrees with text::EqualsNoCase: equal names hash equally.
size_t NoCaseHash(std::string_view name);
// The same as text::EqualsNoCase, quicker for ASCII names.
bool SameName(std::string_view a, std::string_view b);

// Entry is a snapshot::SnapshotNode or snapshot::SnapshotValue: a Name and a Next.
template <class Entry>
class FirstMatchIndex {
 public:
  // Lists shorter than this are scanned.
  static constexpr size_t kScanLimit = 8;

  explicit FirstMatchIndex(const Entry* head) : head_(head) {
    size_t count = 0;
    for (const Entry* e = head; e != nullptr && count < kScanLimit; e = e->next) ++count;
    if (count < kScanLimit) return;
    for (const Entry* e = head; e != nullptr; e = e->next) ++count;
    size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    slots_.resize(capacity);
    for (const Entry* e = head; e != nullptr; e = e->next) Insert(e);
  }

  // The first entry of the list named `name`; null when there is none.
  const Entry* Find(std::string_view name) const {
    if (slots_.empty()) {
      for (const Entry* e = head_; e != nullptr; e = e->next)
        if (SameName(e->name, name)) return e;
      return nullptr;
    }
    const size_t hash = NoCaseHash(name);
    for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
      const Slot& slot = slots_[i];
      if (slot.entry == nullptr) return nullptr;
      if (slot.hash == hash && SameName(slot.entry->name, name)) return slot.entry;
    }
  }

 private:
  struct Slot {
    size_t hash = 0;
    const Entry* entry = nullptr;
  };

  size_t Mask() const { return slots_.size() - 1; }

  // Entries come in list order, so an entry equal to one already present is
  // never a first match and is left out.
  void Insert(const Entry* entry) {
    const size_t hash = NoCaseHash(entry->name);
    for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
      Slot& slot = slots_[i];
      if (slot.entry == nullptr) {
        slot = Slot{hash, entry};
        return;
      }
      if (slot.hash == hash && SameName(slot.entry->name, entry->name)) return;
    }
  }

  const Entry* head_;
  std::vector<Slot> slots_;  // open addressing; a power of two, at most half full
};

}  // namespace cvn::compare
