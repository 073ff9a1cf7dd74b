// The open list of the indexed search loops (indexed_search.hpp): packed
// entries (packed_heap.hpp) popped in the order (priority, push sequence),
// made for searches whose popped priorities mostly do not decrease
// (uniform-cost and Dijkstra with costs >= 0, A* under a consistent
// heuristic), where most of a heap's work is spent ordering entries that
// will not be popped for a long time.
//
// Priorities are grouped into buckets of a fixed width counted from an
// origin: bucket(p) = floor((p - origin) / width). Three places hold the
// entries:
// - the current bucket, numbered `cur_`: a sorted run (entries of the
//   bucket that were waiting in the ring, sorted once when the bucket became
//   current, then read from the front; an entry pushed into the current
//   bucket that is not less than the run's last is appended to it, which
//   keeps it sorted) and a small heap (the other entries pushed into the
//   current bucket, or below it, while it is current);
// - a ring of kBuckets unsorted buckets for the numbers cur_+1 ..
//   cur_+kBuckets-1, each appended to in push order;
// - an overflow list for everything beyond, +inf included.
// A pop takes the lesser of the run's front and the heap's top; when both are
// empty, the next bucket becomes current: the lowest-numbered non-empty ring
// bucket, or the overflow's lowest bucket if that is not higher, whose
// entries then move from the overflow (and the rest of the overflow is
// redistributed over the new window of the ring).
//
// Why the order is exactly the heap's. `bucket` is non-decreasing in p (a
// subtraction and a multiplication, each rounded, are monotone), so an entry
// in a lower bucket never has a higher priority than one in a higher bucket,
// and entries of equal priority share a bucket. Every entry whose bucket
// number is at most cur_ is in the run or the heap (pushes below the current
// bucket go to the heap too: a priority that drops, under an inconsistent
// heuristic say, costs speed, never order), and every other entry is in a
// bucket above cur_. So the least entry overall is the least of the current
// bucket, which is the lesser of the run's least (its front: it is sorted,
// being sorted when made and appended to only at or above its last entry)
// and the heap's least. Packed entries compare as (priority, push sequence)
// and are all distinct, so "least" is one entry, the one the plain heap
// would pop. Priorities are never NaN here (indexed_search.hpp refuses such
// searches); a NaN t (an infinite priority at an infinite origin) would go
// to the heap, which alone would then order it.
//
// When the buckets do not pay (width 0, a window that the priorities keep
// overflowing), the queue is the heap alone: everything moves to the heap
// and stays there, still in the same order.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "quellostrin/memory.hpp"
#include "quellostrin/search/packed_heap.hpp"

namespace quellostrin::detail {

class MonotoneQueue {
 public:
  static constexpr std::size_t kBuckets = 256;

  MonotoneQueue() = default;
  MonotoneQueue(const MonotoneQueue&) = delete;
  MonotoneQueue& operator=(const MonotoneQueue&) = delete;

  // Empties the queue for a search whose memory `account` keeps, with
  // buckets `width` wide counted from `origin` (a width that is not finite
  // and positive: the heap alone). The account is charged as the heap
  // alone would be: as if the queue started with room for kFirstCapacity
  // entries and doubled it whenever it filled, each doubling charged.
  void begin(MemoryAccount& account, double origin, double width) {
    heap_.begin();
    run_.clear();
    run_pos_ = 0;
    for (std::size_t w = 0; w < kWords; ++w) {
      for (std::uint64_t bits = occupied_[w]; bits != 0; bits &= bits - 1) {
        ring_[w * 64 + static_cast<std::size_t>(std::countr_zero(bits))].clear();
      }
      occupied_[w] = 0;
    }
    overflow_.clear();
    overflow_least_ = kInfinity;
    size_ = pushes_ = scanned_ = 0;
    origin_ = origin;
    scale_ = 1.0 / width;
    if (!(width > 0.0 && std::isfinite(width) && std::isfinite(scale_) && std::isfinite(origin))) scale_ = 0.0;
    set_current(0);
    if (scale_ == 0.0) heap_only();
    account_ = &account;
    capacity_ = kFirstCapacity;
    account.hold(kFirstCapacity * sizeof(PackedEntry));
  }

  // The same for a caller that keeps no account.
  void begin(double origin, double width) {
    MemoryAccount unlimited;
    begin(unlimited, origin, width);
    account_ = nullptr;
  }

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }

  // The bytes its storage holds between searches: the heap's, the ring's,
  // the run's and the overflow's room, which stays as the largest search
  // left it.
  std::uint64_t held_bytes() const {
    std::uint64_t entries = run_.capacity() + scratch_.capacity();
    for (const Entries& bucket : ring_) entries += bucket.capacity();
    return heap_.held_bytes() + entries * sizeof(PackedEntry) + overflow_.capacity() * sizeof(Far) +
           counts_.capacity() * sizeof(std::uint32_t);
  }

  // `e` must be the entry of `priority` (packed_entry).
  [[gnu::always_inline]] void push(PackedEntry e, double priority) {
    if (size_ == capacity_) grow();
    ++size_;
    ++pushes_;
    const double t = (priority - origin_) * scale_;
    if (!(t >= current_end_)) {
      // Under A* most pushes into the current bucket tie with what is being
      // popped, and come in order: they join the run.
      if (run_.empty() || !(e < run_.back())) {
        run_.push_back(e);
      } else {
        heap_.push(e);
      }
    } else if (t < window_end_) {
      to_ring(t, e);
    } else {
      overflow_.push_back({t, e});
      overflow_least_ = std::min(overflow_least_, t);
    }
  }

  // The least entry; the queue must not be empty.
  [[gnu::always_inline]] PackedEntry top() {
    if (run_pos_ == run_.size() && heap_.empty()) next_bucket();
    if (run_pos_ < run_.size() && (heap_.empty() || run_[run_pos_] < heap_.top())) return run_[run_pos_];
    return heap_.top();
  }

  // The least entry, removed; the queue must not be empty.
  [[gnu::always_inline]] PackedEntry pop() {
    if (run_pos_ == run_.size() && heap_.empty()) next_bucket();
    --size_;
    if (run_pos_ < run_.size() && (heap_.empty() || run_[run_pos_] < heap_.top())) {
      const PackedEntry e = run_[run_pos_++];
      if (run_pos_ == run_.size()) {  // read to its end: begun again, its room kept
        run_.clear();
        run_pos_ = 0;
      } else if (run_pos_ >= kCompactAt && 2 * run_pos_ > run_.size()) {
        compact_run();
      }
      return e;
    }
    return heap_.pop();
  }

 private:
  static constexpr std::size_t kWords = kBuckets / 64;
  static constexpr std::size_t kFirstCapacity = 1024;
  // Bucket numbers stay below 2^52, where doubles count them exactly.
  static constexpr double kLastBucket = 0x1p52;

  // The entries read from the front of a run kept for long (the open cells
  // of a room that A* crosses at one priority) are dropped now and then, so
  // that it holds little more than its unread entries.
  static constexpr std::size_t kCompactAt = 4096;
  static constexpr std::size_t kInsertionSort = 16;

  // A growable array of entries whose append is inline: a ring bucket, or
  // the run.
  class Entries {
   public:
    Entries() = default;
    Entries(const Entries&) = delete;
    Entries& operator=(const Entries&) = delete;
    [[gnu::always_inline]] void push_back(PackedEntry e) {
      if (size_ == capacity_) grow();
      data_[size_++] = e;
    }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    PackedEntry back() const { return data_[size_ - 1]; }
    PackedEntry operator[](std::size_t i) const { return data_[i]; }
    PackedEntry* begin() { return data_.get(); }
    PackedEntry* end() { return data_.get() + size_; }
    void clear() { size_ = 0; }
    // `n` entries, those past the old size left unset.
    void resize(std::size_t n) {
      while (capacity_ < n) grow();
      size_ = n;
    }
    void swap(Entries& other) noexcept {
      std::swap(data_, other.data_);
      std::swap(size_, other.size_);
      std::swap(capacity_, other.capacity_);
    }
    // Drops the first `n` entries.
    void drop_front(std::size_t n) {
      std::copy(begin() + n, end(), begin());
      size_ -= n;
    }

   private:
    [[gnu::noinline]] void grow() {
      const std::size_t capacity = capacity_ ? 2 * capacity_ : 16;
      auto data = std::make_unique_for_overwrite<PackedEntry[]>(capacity);
      std::copy(begin(), end(), data.get());
      data_ = std::move(data);
      capacity_ = capacity;
    }
    std::unique_ptr<PackedEntry[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
  };

  void compact_run() {
    run_.drop_front(run_pos_);
    run_pos_ = 0;
  }

  struct Far {
    double t;  // (priority - origin) * scale: the bucket's number, unfloored
    PackedEntry e;
  };

  // An entry of a bucket in the ring's window, t its unfloored number.
  [[gnu::always_inline]] void to_ring(double t, PackedEntry e) {
    const auto slot = static_cast<std::size_t>(static_cast<std::uint64_t>(t) % kBuckets);
    ring_[slot].push_back(e);
    occupied_[slot / 64] |= std::uint64_t{1} << (slot % 64);
  }

  void set_current(std::uint64_t b) {
    cur_ = b;
    current_end_ = static_cast<double>(b + 1);
    window_end_ = static_cast<double>(b + kBuckets);
  }

  // The distance from slot `from` to the first occupied slot at or after
  // it, going round the ring; kBuckets if none is.
  std::size_t next_occupied(std::size_t from) const {
    for (std::size_t step = 0; step <= kWords; ++step) {
      const std::size_t at = (from / 64 + step) % kWords;
      std::uint64_t bits = occupied_[at];
      if (step == 0) bits &= ~std::uint64_t{0} << (from % 64);
      if (bits != 0) {
        const std::size_t slot = at * 64 + static_cast<std::size_t>(std::countr_zero(bits));
        return (slot + kBuckets - from) % kBuckets;
      }
    }
    return kBuckets;
  }

  // The current bucket is exhausted and the queue is not empty: the next
  // non-empty one becomes current.
  [[gnu::noinline]] void next_bucket() {
    const std::size_t distance = next_occupied(static_cast<std::size_t>((cur_ + 1) % kBuckets));
    const std::uint64_t ring_bucket = cur_ + 1 + distance;
    if (!overflow_.empty()) {
      if (!(overflow_least_ < kLastBucket)) return heap_only();
      const auto far_bucket = static_cast<std::uint64_t>(overflow_least_);
      if (distance == kBuckets || far_bucket <= ring_bucket) {
        set_current(far_bucket);
        if (ring_bucket == far_bucket) take(static_cast<std::size_t>(ring_bucket % kBuckets));
        return redistribute();
      }
    }
    set_current(ring_bucket);
    take(static_cast<std::size_t>(ring_bucket % kBuckets));
  }

  // The ring's `slot`, the current bucket's, becomes the sorted run.
  void take(std::size_t slot) {
    run_.clear();
    run_.swap(ring_[slot]);
    run_pos_ = 0;
    occupied_[slot / 64] &= ~(std::uint64_t{1} << (slot % 64));
    sort_run();
  }

  // Sorts the run, a bucket's entries in push order. A short one by
  // insertion; a longer one by a counting pass over the high bits of the
  // entries' priority keys into bins in key order, each bin then sorted on
  // its own. A bucket's priorities spread over its width, so most bins hold
  // an entry or two, and entries of equal priority share a bin in push
  // order, which is their order.
  void sort_run() {
    PackedEntry* a = run_.begin();
    const std::size_t n = run_.size();
    if (n <= kInsertionSort) return insertion_sort(a, a + n);
    std::uint64_t lo = key_of(a[0]), hi = lo;
    bool sorted = true;
    for (std::size_t i = 1; i < n; ++i) {
      const std::uint64_t k = key_of(a[i]);
      lo = std::min(lo, k);
      hi = std::max(hi, k);
      sorted &= !(a[i] < a[i - 1]);
    }
    if (sorted) return;
    const auto bits = static_cast<unsigned>(std::bit_width(n));
    const auto spread = static_cast<unsigned>(std::bit_width(hi - lo));
    const unsigned shift = spread > bits ? spread - bits : 0;
    const std::size_t bins = static_cast<std::size_t>((hi - lo) >> shift) + 1;
    counts_.assign(bins + 1, 0);
    for (std::size_t i = 0; i < n; ++i) ++counts_[((key_of(a[i]) - lo) >> shift) + 1];
    for (std::size_t b = 1; b <= bins; ++b) counts_[b] += counts_[b - 1];
    scratch_.resize(n);
    PackedEntry* out = scratch_.begin();
    for (std::size_t i = 0; i < n; ++i) out[counts_[(key_of(a[i]) - lo) >> shift]++] = a[i];
    // Bin b now ends at counts_[b] and begins where bin b - 1 ends.
    for (std::size_t b = 0, begin = 0; b < bins; begin = counts_[b++]) {
      const std::size_t end = counts_[b];
      if (end - begin <= kInsertionSort) {
        insertion_sort(out + begin, out + end);
      } else {
        std::sort(out + begin, out + end);
      }
    }
    run_.swap(scratch_);
  }

  static std::uint64_t key_of(PackedEntry e) { return static_cast<std::uint64_t>(e >> 64); }

  static void insertion_sort(PackedEntry* first, PackedEntry* last) {
    for (PackedEntry* i = first + (first != last); i < last; ++i) {
      const PackedEntry e = *i;
      PackedEntry* j = i;
      for (; j > first && e < j[-1]; --j) *j = j[-1];
      *j = e;
    }
  }

  // Overflowed entries of the current bucket go to the heap, those within
  // the new window to the ring. Entries that keep overflowing are read
  // again at each redistribution; once that has cost more than a few reads
  // per push, the buckets are given up.
  void redistribute() {
    scanned_ += overflow_.size();
    if (scanned_ > 4 * pushes_ + 4096) return heap_only();
    overflow_least_ = kInfinity;
    std::size_t kept = 0;
    for (const Far& f : overflow_) {
      if (!(f.t >= current_end_)) {
        heap_.push(f.e);
      } else if (f.t < window_end_) {
        to_ring(f.t, f.e);
      } else {
        overflow_[kept++] = f;
        overflow_least_ = std::min(overflow_least_, f.t);
      }
    }
    overflow_.resize(kept);
  }

  // Everything to the heap, and every later push.
  void heap_only() {
    for (; run_pos_ < run_.size(); ++run_pos_) heap_.push(run_[run_pos_]);
    run_.clear();
    run_pos_ = 0;
    for (std::size_t w = 0; w < kWords; ++w) {
      for (std::uint64_t bits = occupied_[w]; bits != 0; bits &= bits - 1) {
        auto& bucket = ring_[w * 64 + static_cast<std::size_t>(std::countr_zero(bits))];
        for (const PackedEntry e : bucket) heap_.push(e);
        bucket.clear();
      }
      occupied_[w] = 0;
    }
    for (const Far& f : overflow_) heap_.push(f.e);
    overflow_.clear();
    overflow_least_ = kInfinity;
    // t is then 0 (or NaN, for an infinite priority), never at or past 1.
    scale_ = 0.0;
    current_end_ = 1.0;
  }

  // Charges the account as a heap doubling its storage would be charged.
  [[gnu::noinline]] void grow() {
    if (!account_) {
      capacity_ *= 2;
      return;
    }
    const std::uint64_t old = capacity_ * sizeof(PackedEntry), bytes = size_mul(2 * capacity_, sizeof(PackedEntry));
    if (2 * capacity_ <= room_) {
      account_->hold(bytes);
    } else {
      account_->charge(bytes);
      room_ = 2 * capacity_;
    }
    account_->release(old);
    capacity_ *= 2;
  }

  static constexpr double kInfinity = std::numeric_limits<double>::infinity();

  QuadHeap heap_;
  Entries run_;
  std::size_t run_pos_ = 0;
  Entries scratch_;                    // sort_run's output, then the old run's room
  std::vector<std::uint32_t> counts_;  // and its bins
  std::array<Entries, kBuckets> ring_;
  std::array<std::uint64_t, kWords> occupied_{};
  std::vector<Far> overflow_;
  double overflow_least_ = kInfinity;

  double origin_ = 0.0, scale_ = 0.0;
  std::uint64_t cur_ = 0;
  double current_end_ = 1.0, window_end_ = 1.0;  // cur_ + 1 and cur_ + kBuckets, as doubles

  std::size_t size_ = 0;
  std::uint64_t pushes_ = 0, scanned_ = 0;
  std::size_t capacity_ = 0, room_ = 0;  // what the account was charged for, and its most so far
  MemoryAccount* account_ = nullptr;
};

}  // namespace quellostrin::detail
