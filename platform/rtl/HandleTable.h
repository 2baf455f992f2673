// Handles as ids from a generation-checked table (GDI objects, icons, windows): a handle is the
// slot index in the low 32 bits of a uintptr_t and the slot's generation in the high 32 bits; 0 is
// never a handle. Removing an object moves its slot to the next generation, so a stale handle finds
// nothing even after the slot is reused; a slot whose generations are used up is retired rather
// than ever giving an old handle's value again.
//
// Thread safe: lookups hand out shared ownership, so an object removed by one thread stays alive
// while another still uses it. Objects are never destroyed under the table's lock: Remove hands
// the object back, and the caller lets it go. FindUnowned is the lock-free lookup of hot paths
// whose caller keeps the object alive by other means (a drawing call on its own device context).
//
// Slots live in chunks that never move, so the lock-free lookup reads a slot while another thread
// adds: each slot's generation is checked before and after its object pointer is read.
#pragma once

#include <atomic>
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
      if (used_ >= kMaxSlots) return 0;
      index = used_;
      const uint32_t c = index >> kChunkBits;
      if (!chunks_[c]) {
        chunks_[c] = std::make_unique<Chunk>();
        dir_[c].store(chunks_[c].get(), std::memory_order_release);
      }
      ++used_;
    }
    Slot& s = At(index);
    s.obj = std::move(obj);
    // Published after the generation: a reader that sees the pointer sees its generation.
    s.raw.store(s.obj.get(), std::memory_order_release);
    ++count_;
    return Encode(index, s.gen.load(std::memory_order_relaxed));
  }

  // The object of a live handle; null for 0, a stale or a made-up handle.
  std::shared_ptr<T> Find(Handle h) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Slot* s = SlotOf(h);
    return s ? s->obj : nullptr;
  }

  // The object of a live handle without taking the lock or a share of its ownership; null as Find.
  // The pointer stays valid only while the caller knows the object is not removed meanwhile.
  T* FindUnowned(Handle h) const {
    const auto index = static_cast<uint32_t>(h & 0xFFFFFFFFu);
    const auto gen = static_cast<uint32_t>(h >> 32);
    if (index == 0 || index >= kMaxSlots) return nullptr;
    const Chunk* c = dir_[index >> kChunkBits].load(std::memory_order_acquire);
    if (!c) return nullptr;
    const Slot& s = c->items[index & (kChunkSize - 1)];
    if (s.gen.load(std::memory_order_acquire) != gen) return nullptr;
    T* p = s.raw.load(std::memory_order_acquire);
    // A removal clears the pointer before it moves the generation on, and a reuse stores the new
    // pointer after it: an unchanged generation vouches for the pointer read in between.
    if (!p || s.gen.load(std::memory_order_acquire) != gen) return nullptr;
    return p;
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
    s->raw.store(nullptr, std::memory_order_release);
    std::shared_ptr<T> out = std::move(s->obj);
    s->obj.reset();
    --count_;
    const uint32_t gen = s->gen.load(std::memory_order_relaxed);
    if (gen >= LastGeneration) return out;  // retired: its handles must never come back
    s->gen.store(gen + 1, std::memory_order_release);
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
      for (uint32_t i = 1; i < used_; ++i) {
        const Slot& s = At(i);
        if (s.obj) live.emplace_back(Encode(i, s.gen.load(std::memory_order_relaxed)), s.obj);
      }
    }
    for (auto& [h, obj] : live) fn(h, *obj);
  }

  size_t Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
  }

 private:
  struct Slot {
    std::shared_ptr<T> obj;             // guarded by lock_
    std::atomic<T*> raw{nullptr};       // obj's pointer for FindUnowned
    std::atomic<uint32_t> gen{1};       // written under lock_
  };
  // 4096 chunks of 4096 slots: far more live handles than any process keeps.
  static constexpr uint32_t kChunkBits = 12;
  static constexpr uint32_t kChunkSize = 1u << kChunkBits;
  static constexpr uint32_t kChunks = 4096;
  static constexpr uint32_t kMaxSlots = kChunkSize * kChunks;
  struct Chunk {
    Slot items[kChunkSize];
  };

  Slot& At(uint32_t index) { return chunks_[index >> kChunkBits]->items[index & (kChunkSize - 1)]; }
  const Slot& At(uint32_t index) const { return chunks_[index >> kChunkBits]->items[index & (kChunkSize - 1)]; }

  static Handle Encode(uint32_t index, uint32_t gen) { return (static_cast<Handle>(gen) << 32) | index; }

  // The live slot of h (caller holds the lock).
  Slot* SlotOf(Handle h) {
    const auto index = static_cast<uint32_t>(h & 0xFFFFFFFFu);
    const auto gen = static_cast<uint32_t>(h >> 32);
    if (index == 0 || index >= used_) return nullptr;
    Slot& s = At(index);
    return s.obj && s.gen.load(std::memory_order_relaxed) == gen ? &s : nullptr;
  }
  const Slot* SlotOf(Handle h) const { return const_cast<THandleTable*>(this)->SlotOf(h); }

  mutable std::mutex lock_;
  std::unique_ptr<Chunk> chunks_[kChunks];   // owned chunks, made as the table grows (lock_)
  std::atomic<const Chunk*> dir_[kChunks]{};  // the same, for FindUnowned
  uint32_t used_ = 1;                         // slots handed out; slot 0 is never used: handle 0 is null
  std::vector<uint32_t> free_;
  size_t count_ = 0;
};
