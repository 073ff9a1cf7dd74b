// Per-query memory that a search over an indexed domain borrows instead of
// allocating: a mark per index, stamped with a generation number so that a
// new query finds every index unvisited without anything being cleared (a
// query costs time in proportion to the indices it touches, not to the size
// of the domain), cost labels and parents (read only where this query's marks
// say they were written) and the open list.
//
// A mark below reached() is an index this query has not reached; reached()
// marks one reached, closed() one expanded. Marks are 16 bits: once every
// 32766 queries they are all cleared. A workspace serves one search at a
// time; callers that search one domain many times keep a few and lend them
// out (the Python classes keep a pool each).
//
// A query charges the workspace to its MemoryAccount (memory.hpp) in full,
// whether the arrays are made for it or were made before, and the open list's
// growths as if it started empty, so the account, and a memory cap, see the
// same bytes for a query on a fresh workspace as on a reused one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "quellostrin/memory.hpp"
#include "quellostrin/search/monotone_queue.hpp"

namespace quellostrin {

class Workspace {
 public:
  // Bytes a workspace holds per index: a mark, a label and a parent.
  static constexpr std::size_t kBytesPerIndex = sizeof(std::uint16_t) + sizeof(double) + sizeof(std::uint32_t);

  // Readies the workspace for a query over the indices 0..n-1, charged to
  // `account`: a new generation and an empty open list, whose buckets are
  // `bucket_width` wide from `origin` (monotone_queue.hpp; 0: none). A
  // refused or failed allocation leaves the workspace as it was.
  void begin(std::size_t n, MemoryAccount& account, double origin = 0.0, double bucket_width = 0.0) {
    const std::uint64_t bytes = size_mul(n, kBytesPerIndex);
    if (n != size_) {
      account.charge(bytes);
      std::vector<std::uint16_t> marks(n, 0);
      auto labels = std::make_unique_for_overwrite<double[]>(n);
      auto parents = std::make_unique_for_overwrite<std::uint32_t[]>(n);
      marks_.swap(marks);
      labels_ = std::move(labels);
      parents_ = std::move(parents);
      size_ = n;
      base_ = 0;
    } else {
      account.hold(bytes);
    }
    if (base_ > 0xFFFF - 3) {
      std::fill(marks_.begin(), marks_.end(), std::uint16_t{0});
      base_ = 0;
    }
    base_ = static_cast<std::uint16_t>(base_ + 2);
    queue_.begin(account, origin, bucket_width);
  }

  // The bytes of its arrays (its open list's aside).
  std::uint64_t bytes() const { return size_mul(size_, kBytesPerIndex); }
  // The bytes it holds between queries: its arrays and its open list's storage.
  std::uint64_t held_bytes() const { return bytes() + queue_.held_bytes(); }

  std::uint16_t reached() const { return base_; }
  std::uint16_t closed() const { return static_cast<std::uint16_t>(base_ + 1); }
  std::uint16_t* marks() { return marks_.data(); }
  double* labels() { return labels_.get(); }
  std::uint32_t* parents() { return parents_.get(); }
  detail::MonotoneQueue& queue() { return queue_; }

 private:
  std::vector<std::uint16_t> marks_;
  std::unique_ptr<double[]> labels_;
  std::unique_ptr<std::uint32_t[]> parents_;
  std::size_t size_ = 0;
  std::uint16_t base_ = 0;
  detail::MonotoneQueue queue_;
};

}  // namespace quellostrin
