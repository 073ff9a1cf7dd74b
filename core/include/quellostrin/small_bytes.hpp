// SmallBytes: a fixed-length byte string with inline storage, the node type of
// the puzzle domains (a Towers of Hanoi state, a sliding-tile board).
//
// Up to kInline bytes live inside the object (Hanoi up to 28 disks, boards up
// to 5x5), so copying such a state, which every successor and every node
// store entry does, allocates nothing; longer strings own one heap block of
// exactly their length. The length is fixed at construction: the domains only
// ever copy a state and overwrite some of its bytes.
//
// Value semantics: copies are deep, equality compares the bytes, and the
// FxHash of a SmallBytes is the FxHash of the std::vector<std::uint8_t> with
// the same bytes (the length, then the bytes).
//
// Layout: 28 bytes of storage and a 32-bit length, 32 bytes in all. The
// unused inline bytes are kept zero, so two inline strings are equal exactly
// when their 32 bytes are; a heap string keeps its pointer in the first 8
// bytes of the storage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <stdexcept>
#include <vector>

#include "quellostrin/hash.hpp"

namespace quellostrin {

class SmallBytes {
 public:
  using value_type = std::uint8_t;
  using size_type = std::size_t;
  using iterator = std::uint8_t*;
  using const_iterator = const std::uint8_t*;

  static constexpr std::size_t kInline = 28;

  static constexpr std::size_t max_size() { return 0xFFFFFFFFu; }

  SmallBytes() = default;

  // `n` copies of `fill`. std::length_error past max_size().
  SmallBytes(std::size_t n, std::uint8_t fill) { std::memset(allocate(n), fill, n); }

  SmallBytes(std::span<const std::uint8_t> bytes) {  // NOLINT: a span of bytes is a byte string
    if (!bytes.empty()) std::memcpy(allocate(bytes.size()), bytes.data(), bytes.size());
  }
  SmallBytes(std::initializer_list<std::uint8_t> bytes) : SmallBytes(std::span(bytes.begin(), bytes.size())) {}
  SmallBytes(const std::vector<std::uint8_t>& bytes) : SmallBytes(std::span(bytes)) {}  // NOLINT

  // From any range of integers, each narrowed to a byte.
  template <std::forward_iterator It>
  SmallBytes(It first, It last) {
    std::uint8_t* out = allocate(static_cast<std::size_t>(std::distance(first, last)));
    for (; first != last; ++first) *out++ = static_cast<std::uint8_t>(*first);
  }

  SmallBytes(const SmallBytes& other) {
    if (other.is_inline()) {
      std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof *this);
    } else {
      std::memcpy(allocate(other.size_), other.heap(), other.size_);
    }
  }

  SmallBytes(SmallBytes&& other) noexcept {
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof *this);
    other.reset_empty();
  }

  SmallBytes& operator=(const SmallBytes& other) {
    if (this != &other) {
      SmallBytes copy(other);
      swap(copy);
    }
    return *this;
  }

  SmallBytes& operator=(SmallBytes&& other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof *this);
      other.reset_empty();
    }
    return *this;
  }

  ~SmallBytes() { release(); }

  void swap(SmallBytes& other) noexcept {
    unsigned char tmp[sizeof(SmallBytes)];
    std::memcpy(tmp, static_cast<const void*>(this), sizeof tmp);
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof tmp);
    std::memcpy(static_cast<void*>(&other), tmp, sizeof tmp);
  }
  friend void swap(SmallBytes& a, SmallBytes& b) noexcept { a.swap(b); }
  // The heap block of a string longer than kInline (memory.hpp).
  friend std::uint64_t heap_bytes(const SmallBytes& s) { return s.is_inline() ? 0 : heap_block(s.size_); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool is_inline() const { return size_ <= kInline; }

  std::uint8_t* data() { return is_inline() ? buf_ : heap(); }
  const std::uint8_t* data() const { return is_inline() ? buf_ : heap(); }

  std::uint8_t& operator[](std::size_t i) { return data()[i]; }
  std::uint8_t operator[](std::size_t i) const { return data()[i]; }

  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }

  std::span<const std::uint8_t> bytes() const { return {data(), size_}; }
  std::vector<std::uint8_t> to_vector() const { return {begin(), end()}; }

  friend bool operator==(const SmallBytes& a, const SmallBytes& b) {
    if (a.size_ != b.size_) return false;
    // Inline strings of equal length: the zero padding makes the whole
    // storage comparable in one go.
    if (a.is_inline()) return std::memcmp(a.buf_, b.buf_, kInline) == 0;
    return std::memcmp(a.heap(), b.heap(), a.size_) == 0;
  }

  friend void fx_hash_append(FxHasher& h, const SmallBytes& s) {
    h.add(s.size());
    h.add_bytes(s.data(), s.size());
  }

 private:
  // Sets the length of an empty string and returns where its bytes go.
  std::uint8_t* allocate(std::size_t n) {
    if (n > max_size()) throw std::length_error("SmallBytes: length past max_size()");
    if (n <= kInline) {
      size_ = static_cast<std::uint32_t>(n);
      return buf_;
    }
    auto* block = new std::uint8_t[n];
    std::memcpy(buf_, &block, sizeof block);
    size_ = static_cast<std::uint32_t>(n);
    return block;
  }

  std::uint8_t* heap() const {
    std::uint8_t* block;
    std::memcpy(&block, buf_, sizeof block);
    return block;
  }

  void release() {
    if (!is_inline()) delete[] heap();
  }

  void reset_empty() {
    std::memset(buf_, 0, kInline);
    size_ = 0;
  }

  std::uint8_t buf_[kInline] = {};
  std::uint32_t size_ = 0;
};

static_assert(sizeof(SmallBytes) == 32);

}  // namespace quellostrin
