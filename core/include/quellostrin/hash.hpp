// FxHash and the open-addressing hash table that every node-keyed container of
// the search engine uses.
//
// FxHash is the fast multiply-and-rotate hash of the Rust compiler: each
// 64-bit word w updates the state as h = (rotl(h, 5) ^ w) * 0x517cc1b727220a95.
// The last step is a multiplication, so the high bits of the state are the
// well-mixed ones; FlatMap takes its bucket index from them.
//
// FlatMap is a linear-probing table with the entries stored inline (one
// allocation for the whole table, none per insert), a load factor of at most
// 3/4, power-of-two capacity and backward-shift deletion (no tombstones).
// A table that grows with a search is given the search's MemoryAccount
// (memory.hpp), which each rehash charges first and may refuse, leaving the
// table as it was.
// Nothing in the engine iterates over one of these tables where the order
// could show, so the hash function never affects a result.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "quellostrin/memory.hpp"

namespace quellostrin {

struct FxHasher {
  static constexpr std::uint64_t kSeed = 0x517cc1b727220a95ULL;
  std::uint64_t state = 0;

  void add(std::uint64_t word) { state = (std::rotl(state, 5) ^ word) * kSeed; }

  // Bytes go in as little-endian 8-byte words, then a 4-, 2- and 1-byte tail.
  void add_bytes(const unsigned char* data, std::size_t len) {
    while (len >= 8) {
      std::uint64_t w;
      std::memcpy(&w, data, 8);
      add(w);
      data += 8;
      len -= 8;
    }
    if (len >= 4) {
      std::uint32_t w;
      std::memcpy(&w, data, 4);
      add(w);
      data += 4;
      len -= 4;
    }
    if (len >= 2) {
      std::uint16_t w;
      std::memcpy(&w, data, 2);
      add(w);
      data += 2;
      len -= 2;
    }
    if (len >= 1) add(*data);
  }
};

// Customisation point: a node type T is hashable when an overload of
// fx_hash_append(FxHasher&, const T&) is visible (here, or next to T by ADL).
template <class T>
  requires std::is_integral_v<T>
void fx_hash_append(FxHasher& h, T value) {
  h.add(static_cast<std::uint64_t>(value));
}

inline void fx_hash_append(FxHasher& h, std::string_view s) {
  h.add_bytes(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  h.add(0xff);
}

inline void fx_hash_append(FxHasher& h, const std::string& s) {
  fx_hash_append(h, std::string_view(s));
}

template <class T, class A>
void fx_hash_append(FxHasher& h, const std::vector<T, A>& v) {
  h.add(v.size());
  if constexpr (sizeof(T) == 1 && std::is_integral_v<T>) {
    h.add_bytes(reinterpret_cast<const unsigned char*>(v.data()), v.size());
  } else {
    for (const auto& x : v) fx_hash_append(h, x);
  }
}

template <class T>
struct FxHash {
  std::uint64_t operator()(const T& value) const {
    FxHasher h;
    fx_hash_append(h, value);
    return h.state;
  }
};

template <class T>
concept FxHashable = requires(FxHasher& h, const T& v) { fx_hash_append(h, v); };

namespace detail {
struct Unit {};
}  // namespace detail

template <class K, class V, class Hash = FxHash<K>>
class FlatMap {
 public:
  FlatMap() = default;
  explicit FlatMap(std::size_t expected, MemoryAccount* account = nullptr) : account_(account) { reserve(expected); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return slots_.size(); }

  // The account that the table's growths are charged to from now on.
  void set_account(MemoryAccount* account) { account_ = account; }

  // Makes room for `expected` entries without rehashing.
  void reserve(std::size_t expected) {
    std::size_t cap = kMinCapacity;
    while (cap / 4 * 3 < expected) cap *= 2;
    if (cap > slots_.size()) rehash(cap);
  }

  V* find(const K& key) {
    return const_cast<V*>(static_cast<const FlatMap*>(this)->find(key));
  }

  const V* find(const K& key) const {
    if (size_ == 0) return nullptr;
    for (std::size_t i = home(key);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (!s.used) return nullptr;
      if (s.key == key) return &s.value;
    }
  }

  bool contains(const K& key) const { return find(key) != nullptr; }

  // The value stored for `key`, inserting a default-constructed one first when
  // the key is new; the flag tells whether it was inserted.
  std::pair<V*, bool> try_emplace(const K& key) {
    if ((size_ + 1) * 4 > slots_.size() * 3) rehash(slots_.empty() ? kMinCapacity : slots_.size() * 2);
    std::size_t i = home(key);
    for (;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (!s.used) break;
      if (s.key == key) return {&s.value, false};
    }
    Slot& s = slots_[i];
    s.key = key;
    s.used = true;
    ++size_;
    return {&s.value, true};
  }

  void insert_or_assign(const K& key, V value) { *try_emplace(key).first = std::move(value); }

  // Removes `key`; the entries after it in its probe run shift back so that
  // every entry stays reachable from its home slot.
  bool erase(const K& key) {
    if (size_ == 0) return false;
    std::size_t hole = home(key);
    for (;; hole = (hole + 1) & mask_) {
      if (!slots_[hole].used) return false;
      if (slots_[hole].key == key) break;
    }
    for (std::size_t j = (hole + 1) & mask_; slots_[j].used; j = (j + 1) & mask_) {
      std::size_t k = home(slots_[j].key);
      // Slot j may move into the hole unless its home lies cyclically in (hole, j].
      bool stays = hole <= j ? (hole < k && k <= j) : (hole < k || k <= j);
      if (!stays) {
        slots_[hole] = std::move(slots_[j]);
        hole = j;
      }
    }
    slots_[hole] = Slot{};
    --size_;
    return true;
  }

  void clear() {
    for (auto& s : slots_) s = Slot{};
    size_ = 0;
  }

 private:
  static constexpr std::size_t kMinCapacity = 8;

  struct Slot {
    K key{};
    V value{};
    bool used = false;
  };

  std::size_t home(const K& key) const { return static_cast<std::size_t>(hash_(key) >> shift_); }

  // The bytes a table of `cap` slots holds by the time it grows again: the
  // slots, and the heap bytes of the entries that fill 3/4 of them, each
  // counted as one entry of the table (`sample`) holds.
  static std::uint64_t charge_for(std::size_t cap, const Slot* sample) {
    const std::uint64_t heap = sample ? size_add(heap_bytes(sample->key), heap_bytes(sample->value)) : 0;
    return size_add(size_mul(cap, sizeof(Slot)), size_mul(cap / 4 * 3, heap));
  }

  void rehash(std::size_t cap) {
    std::uint64_t charged = 0;
    if (account_) {
      const Slot* sample = nullptr;
      for (std::size_t i = 0; size_ > 0 && !sample; ++i) sample = slots_[i].used ? &slots_[i] : nullptr;
      charged = charge_for(cap, sample);
      account_->charge(charged);
    }
    std::vector<Slot> bigger;
    try {
      bigger = std::vector<Slot>(cap);
    } catch (...) {
      if (account_) account_->release(charged);
      throw;
    }
    if (account_) account_->release(std::exchange(charged_, charged));
    std::vector<Slot> old = std::exchange(slots_, std::move(bigger));
    mask_ = cap - 1;
    shift_ = 64 - std::countr_zero(cap);
    for (auto& s : old) {
      if (!s.used) continue;
      std::size_t i = home(s.key);
      while (slots_[i].used) i = (i + 1) & mask_;
      slots_[i] = std::move(s);
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
  std::size_t mask_ = 0;
  int shift_ = 64;
  MemoryAccount* account_ = nullptr;  // null: growth is not charged
  std::uint64_t charged_ = 0;         // what the account was charged for the slots
  [[no_unique_address]] Hash hash_{};
};

template <class K, class Hash = FxHash<K>>
class FlatSet {
 public:
  FlatSet() = default;
  explicit FlatSet(std::size_t expected, MemoryAccount* account = nullptr) : map_(expected, account) {}
  void set_account(MemoryAccount* account) { map_.set_account(account); }

  // True when the key was not there before.
  bool insert(const K& key) { return map_.try_emplace(key).second; }
  bool contains(const K& key) const { return map_.contains(key); }
  bool erase(const K& key) { return map_.erase(key); }
  std::size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }
  void clear() { map_.clear(); }

 private:
  FlatMap<K, detail::Unit, Hash> map_;
};

}  // namespace quellostrin
