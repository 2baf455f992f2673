// Handles as ids from a generation-checked table (GDI objects, icons, windows): a handle is the
// slot index in the low 32 bits of a uintptr_t and the slot's generation in the high 32 bits; 0 is
// never a handle. Removing an object moves its slot to the next generation, so a stale handle finds
// nothing even after the slot is reused; a slot whose generations are used up is retired rather
// than ever giving an old handle's value again.
//
// Thread safe: lookups hand out shared ownership, so an object removed by one thread stays alive
// while another still uses it. Objects are never destroyed under the table's lock: Remove hands
// the object back, and the caller lets it go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// LastGeneration is the generation after which a slot is retired (lower only in tests).
template <class T, uint32_t LastGeneration = 0xFFFFFFFFu>
class THandleTable {
  static_assert(sizeof(uintptr_t) >= 8, "handles keep the generation above the slot index");

 public:
  using Handle = uintptr_t;

  THandleTable() = default;
  THandleTable(const THandleTable&) = delete;
  THandleTable& operator=(const THandleTable&) = delete;

  // Stores obj and returns its handle; 0 for a null object or a full table.
  Handle Add(std::shared_ptr<T> obj) {
    if (!obj) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (slots_.size() >= kMaxSlots) return 0;
      index = static_cast<uint32_t>(slots_.size());
      slots_.emplace_back();
    }
    Slot& s = slots_[index];
    s.obj = std::move(obj);
    ++count_;
    return Encode(index, s.gen);
  }

  // The object of a live handle; null for 0, a stale or a made-up handle.
  std::shared_ptr<T> Find(Handle h) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Slot* s = SlotOf(h);
    return s ? s->obj : nullptr;
  }

  // Takes the object out of the table (the handle goes stale) and hands it back; null when the
  // handle is not live.
  std::shared_ptr<T> Remove(Handle h) {
    return RemoveIf(h, [](const T&) { return true; });
  }

  // As Remove, but only when pred(object) holds, decided under the table's lock together with the
  // lookup (pred must not call into the table). Null when not live or pred refused.
  template <class Pred>
  std::shared_ptr<T> RemoveIf(Handle h, Pred&& pred) {
    std::lock_guard<std::mutex> guard(lock_);
    Slot* s = SlotOf(h);
    if (!s || !pred(static_cast<const T&>(*s->obj))) return nullptr;
    std::shared_ptr<T> out = std::move(s->obj);
    s->obj.reset();
    --count_;
    if (s->gen >= LastGeneration) return out;  // retired: its handles must never come back
    ++s->gen;
    free_.push_back(static_cast<uint32_t>(h & 0xFFFFFFFFu));
    return out;
  }

  // Calls fn(handle, object) for every live object in slot order. The objects are gathered under
  // the lock and visited outside it, so fn may use the table (an object it removes may still be
  // visited).
  template <class F>
  void ForEach(F&& fn) const {
    std::vector<std::pair<Handle, std::shared_ptr<T>>> live;
    {
      std::lock_guard<std::mutex> guard(lock_);
      live.reserve(count_);
      for (size_t i = 1; i < slots_.size(); ++i)
        if (slots_[i].obj) live.emplace_back(Encode(static_cast<uint32_t>(i), slots_[i].gen), slots_[i].obj);
    }
    for (auto& [h, obj] : live) fn(h, *obj);
  }

  size_t Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
  }

 private:
  struct Slot {
    std::shared_ptr<T> obj;
    uint32_t gen = 1;
  };
  static constexpr size_t kMaxSlots = 0xFFFFFFF0u;

  static Handle Encode(uint32_t index, uint32_t gen) { return (static_cast<Handle>(gen) << 32) | index; }

  // The live slot of h (caller holds the lock).
  Slot* SlotOf(Handle h) {
    const auto index = static_cast<uint32_t>(h & 0xFFFFFFFFu);
    const auto gen = static_cast<uint32_t>(h >> 32);
    if (index == 0 || index >= slots_.size()) return nullptr;
    Slot& s = slots_[index];
    return s.obj && s.gen == gen ? &s : nullptr;
  }
  const Slot* SlotOf(Handle h) const { return const_cast<THandleTable*>(this)->SlotOf(h); }

  mutable std::mutex lock_;
  std::vector<Slot> slots_{1};  // slot 0 is never used: handle 0 is null
  std::vector<uint32_t> free_;
  size_t count_ = 0;
};
