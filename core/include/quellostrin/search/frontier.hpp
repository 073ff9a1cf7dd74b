// The three frontier queues of the frontier driver.
//
// None of them removes entries: a node pushed again with a better cost leaves
// its old entry behind, and the node store turns the stale entry away when it
// is popped (lazy deletion). `len` therefore counts stale entries too. Each
// growth of a queue's storage is charged to the MemoryAccount it was given
// (memory.hpp), which may refuse it and leave the queue as it was.
//
// PriorityQueue order: entry a comes before b when a.priority < b.priority;
// when neither priority is less than the other (equal, or either one NaN), the
// lower sequence number comes first. Sequence numbers are unique, so equal
// priorities are served first-in first-out and NaN entries by push order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/memory.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

enum class FrontierKind : std::uint8_t { Fifo = 0, Lifo = 1, PriorityQueue = 2 };

// First-in first-out ring buffer; the priority is ignored.
template <class Node>
class Fifo {
 public:
  explicit Fifo(MemoryAccount* account = nullptr) : account_(account) {}

  void push(Node node, double /*priority*/, std::uint64_t /*seq*/ = 0) {
    if (size_ == buf_.size()) grow();
    buf_[(head_ + size_) & (buf_.size() - 1)] = std::move(node);
    ++size_;
  }

  std::optional<Node> pop() {
    if (size_ == 0) return std::nullopt;
    std::optional<Node> out(std::move(buf_[head_]));
    head_ = (head_ + 1) & (buf_.size() - 1);
    --size_;
    return out;
  }

  std::size_t len() const { return size_; }

  // The node `pop` would return next, or null.
  const Node* peek() const { return size_ == 0 ? nullptr : &buf_[head_]; }

 private:
  [[gnu::noinline]] void grow() {
    const std::size_t length = buf_.empty() ? 16 : buf_.size() * 2;
    const std::uint64_t each = size_add(sizeof(Node), size_ > 0 ? heap_bytes(buf_[head_]) : 0);
    if (account_) account_->charge(size_mul(length, each));
    std::vector<Node> bigger;
    try {
      bigger.resize(length);
    } catch (...) {
      if (account_) account_->release(size_mul(length, each));
      throw;
    }
    if (account_) account_->release(size_mul(buf_.size(), each));
    for (std::size_t i = 0; i < size_; ++i) bigger[i] = std::move(buf_[(head_ + i) & (buf_.size() - 1)]);
    buf_ = std::move(bigger);
    head_ = 0;
  }

  std::vector<Node> buf_;  // capacity is always zero or a power of two
  std::size_t head_ = 0;
  std::size_t size_ = 0;
  MemoryAccount* account_;
};

// Last-in first-out stack; the priority is ignored.
template <class Node>
class Lifo {
 public:
  explicit Lifo(MemoryAccount* account = nullptr) : account_(account) {}

  void push(Node node, double /*priority*/, std::uint64_t /*seq*/ = 0) {
    room_for_one(items_, account_);
    items_.push_back(std::move(node));
  }

  std::optional<Node> pop() {
    if (items_.empty()) return std::nullopt;
    std::optional<Node> out(std::move(items_.back()));
    items_.pop_back();
    return out;
  }

  std::size_t len() const { return items_.size(); }

  const Node* peek() const { return items_.empty() ? nullptr : &items_.back(); }

 private:
  std::vector<Node> items_;
  MemoryAccount* account_;
};

namespace frontier {

template <class Node>
struct Entry {
  double priority;
  std::uint64_t seq;
  Node node;
  friend std::uint64_t heap_bytes(const Entry& e) { return heap_bytes(e.node); }
};

// Written without branches: which entry comes first is close to a coin toss
// while a heap is reordered, so branches on it would be mispredicted often.
template <class Node>
bool comes_before(const Entry<Node>& a, const Entry<Node>& b) {
  const bool less = a.priority < b.priority;
  const bool greater = b.priority < a.priority;
  return less | (!greater & (a.seq < b.seq));
}

}  // namespace frontier

// Binary min-heap in a vector (children of i at 2i+1 and 2i+2).
//
// pop removes the last entry and, unless it was the only one, returns the root
// and re-places that last entry by moving the hole from the root down to the
// bottom along the earlier child at each level, then sifting the entry up.
// With NaN priorities the order is not a total order, and this exact procedure
// is what fixes the result.
template <class Node>
class PriorityQueue {
 public:
  using Entry = frontier::Entry<Node>;

  explicit PriorityQueue(MemoryAccount* account = nullptr) : account_(account) {}

  // `seq` must exceed the sequence numbers of the entries pushed before;
  // without it the queue numbers the pushes itself (a queue takes one way of
  // numbering or the other, not both).
  void push(Node node, double priority, std::uint64_t seq) {
    room_for_one(heap_, account_);
    heap_.push_back(Entry{priority, seq, std::move(node)});
    sift_up(heap_.size() - 1);
  }
  void push(Node node, double priority) { push(std::move(node), priority, counter_++); }

  std::optional<Node> pop() {
    if (heap_.empty()) return std::nullopt;
    Entry last = std::move(heap_.back());
    heap_.pop_back();
    if (heap_.empty()) return std::optional<Node>(std::move(last.node));
    std::optional<Node> out(std::move(heap_[0].node));
    std::size_t hole = 0;
    const std::size_t n = heap_.size();
    for (std::size_t child = 1; child < n; child = 2 * hole + 1) {
      if (child + 1 < n && frontier::comes_before(heap_[child + 1], heap_[child])) ++child;
      heap_[hole] = std::move(heap_[child]);
      hole = child;
    }
    heap_[hole] = std::move(last);
    sift_up(hole);
    return out;
  }

  std::size_t len() const { return heap_.size(); }

  const Node* peek() const { return heap_.empty() ? nullptr : &heap_[0].node; }

 private:
  void sift_up(std::size_t i) {
    if (i == 0) return;
    Entry moving = std::move(heap_[i]);
    while (i > 0) {
      std::size_t parent = (i - 1) / 2;
      if (!frontier::comes_before(moving, heap_[parent])) break;
      heap_[i] = std::move(heap_[parent]);
      i = parent;
    }
    heap_[i] = std::move(moving);
  }

  std::vector<Entry> heap_;
  std::uint64_t counter_ = 0;
  MemoryAccount* account_;
};

}  // namespace quellostrin
