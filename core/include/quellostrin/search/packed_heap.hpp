// The frontier of the specialised search loops (domains/grid_search.hpp,
// domains/csr_search.hpp): a 4-ary min-heap of 128-bit integer entries in the
// general frontier's order.
//
// An entry packs the priority's order key in the high 64 bits, the push
// sequence number in the next 32 and a 32-bit node index in the low 32. The
// sequence numbers are unique, so the index never decides, and integer order
// is PriorityQueue's order (frontier.hpp: priority, then push sequence) as
// long as no priority is NaN, for which the key has no place; the loops using
// this heap refuse any search in which a priority could be NaN. Under that
// order no two entries compare equal, so any correct heap pops the same
// entries in the same order as the general one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "quellostrin/memory.hpp"

namespace quellostrin::detail {

__extension__ using PackedEntry = unsigned __int128;

// An unsigned integer in the order of the priorities (which must not be NaN):
// the sign bit flipped for a non-negative value, every bit flipped for a
// negative one. -0.0 + 0.0 is +0.0, so the two zeros, equal priorities, get
// one key.
inline std::uint64_t order_key(double priority) {
  const auto bits = std::bit_cast<std::uint64_t>(priority + 0.0);
  const auto negative = static_cast<std::uint64_t>(static_cast<std::int64_t>(bits) >> 63);
  return bits ^ (negative | (std::uint64_t{1} << 63));
}

// The entry of `index` pushed as the `seq`-th push (which must fit in 32
// bits) with `priority`.
inline PackedEntry packed_entry(double priority, std::uint64_t seq, std::uint32_t index) {
  return PackedEntry{order_key(priority)} << 64 | PackedEntry{seq} << 32 | index;
}

inline std::uint32_t packed_index(PackedEntry e) { return static_cast<std::uint32_t>(e); }

// 4-ary min-heap (children of i at 4i+1 .. 4i+4): half the levels of a
// binary heap, and the four children of a node fill one 64-byte cache line
// (the root is placed 16 bytes before a line boundary, so every family
// starts on one).
class QuadHeap {
 public:
  QuadHeap() { grow(); }
  QuadHeap(const QuadHeap&) = delete;
  QuadHeap& operator=(const QuadHeap&) = delete;
  ~QuadHeap() { ::operator delete(storage_, std::align_val_t{kLine}); }

  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  // The bytes its storage holds, whatever it holds now.
  std::size_t held_bytes() const { return room_ * sizeof(PackedEntry); }

  // Empties the heap for a search whose memory `account` keeps (until the
  // next begin: the account must outlive the search's pushes), charged from
  // then on as if the heap had its first capacity: past that it grows by
  // doubling, each doubling charged, reusing its storage before allocating.
  void begin(MemoryAccount& account) {
    size_ = 0;
    account_ = &account;
    capacity_ = kFirstCapacity;
    account.hold(kFirstCapacity * sizeof(PackedEntry));
  }

  // Empties the heap for a search that does not charge its growth (the
  // heap of a MonotoneQueue, which charges for it).
  void begin() {
    size_ = 0;
    account_ = nullptr;
    capacity_ = room_;
  }

  // The least entry; the heap must not be empty.
  PackedEntry top() const { return heap_[0]; }

  [[gnu::always_inline]] void push(PackedEntry e) {
    if (size_ == capacity_) grow();
    PackedEntry* const a = heap_;
    std::size_t i = size_++;
    while (i > 0) {
      const std::size_t parent = (i - 1) / 4;
      if (!(e < a[parent])) break;
      a[i] = a[parent];
      i = parent;
    }
    a[i] = e;
  }

  // The least entry, removed; the heap must not be empty. The hole left at
  // the root goes down along the least child to the bottom, and the last
  // entry is sifted up from there: it mostly belongs near the bottom, so
  // this saves comparing it at every level on the way down.
  PackedEntry pop() {
    PackedEntry* const a = heap_;
    const PackedEntry top = a[0];
    const std::size_t n = --size_;
    const PackedEntry last = a[n];
    if (n == 0) return top;
    std::size_t hole = 0;
    for (std::size_t first = 1; first + 3 < n; first = 4 * hole + 1) {
      // The next level reads the family of one of these four children:
      // start loading all four (four lines), so that on a heap larger than
      // the cache its miss overlaps with this level's work instead of
      // following it. A prefetch never faults, past the end or not.
      if (const std::size_t grand = 4 * first + 1; grand < n) {
        for (std::size_t line = 0; line < 16; line += 4) __builtin_prefetch(a + grand + line);
      }
      // A full family: a tournament of three selects, written as arithmetic
      // on the comparisons so that the compiler emits no data-dependent
      // branch (which child is least is a coin toss, and a branch on it,
      // as GCC makes of a plain `?:` here, mispredicts half the time).
      const std::size_t b01 = first + (a[first + 1] < a[first]);
      const std::size_t b23 = first + 2 + (a[first + 3] < a[first + 2]);
      const std::size_t best = b01 ^ ((b01 ^ b23) & (std::size_t{0} - (a[b23] < a[b01])));
      a[hole] = a[best];
      hole = best;
    }
    if (const std::size_t first = 4 * hole + 1; first < n) {
      std::size_t best = first;
      for (std::size_t c = first + 1; c < n; ++c) best = a[c] < a[best] ? c : best;
      a[hole] = a[best];
      hole = best;
    }
    while (hole > 0) {
      const std::size_t parent = (hole - 1) / 4;
      if (!(last < a[parent])) break;
      a[hole] = a[parent];
      hole = parent;
    }
    a[hole] = last;
    return top;
  }

 private:
  static constexpr std::size_t kLine = 64;
  static constexpr std::size_t kLead = kLine / sizeof(PackedEntry) - 1;  // slots before the root

  static constexpr std::size_t kFirstCapacity = 1024;

  [[gnu::noinline]] void grow() {
    const std::size_t capacity = capacity_ == 0 ? kFirstCapacity : 2 * capacity_;
    const std::uint64_t bytes = size_mul(capacity, sizeof(PackedEntry)), old = capacity_ * sizeof(PackedEntry);
    if (capacity <= room_) {
      if (account_) account_->hold(bytes), account_->release(old);
      capacity_ = capacity;
      return;
    }
    if (account_) account_->charge(bytes);
    auto* storage =
        static_cast<PackedEntry*>(::operator new((capacity + kLead) * sizeof(PackedEntry), std::align_val_t{kLine}));
    if (size_ > 0) std::memcpy(storage + kLead, heap_, size_ * sizeof(PackedEntry));
    ::operator delete(storage_, std::align_val_t{kLine});
    storage_ = storage;
    heap_ = storage + kLead;
    capacity_ = room_ = capacity;
    if (account_) account_->release(old);
  }

  PackedEntry* storage_ = nullptr;
  PackedEntry* heap_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;  // what the heap may fill before it grows: at most room_
  std::size_t room_ = 0;      // what the storage holds
  MemoryAccount* account_ = nullptr;  // null: growth is not charged
};

}  // namespace quellostrin::detail
