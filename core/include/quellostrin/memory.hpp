// Sizing large tables before allocating them.
//
// On Linux an allocation larger than the machine can hold may "succeed" and
// the process be killed later, while its pages are filled (memory
// overcommit). So code about to allocate a table whose size follows from its
// input (node-indexed arrays, n x n tables, grids, generated edge lists) asks
// `require_memory` first, which refuses a size beyond the machine's physical
// memory with OutOfMemory: a std::bad_alloc whose message says what could not
// be allocated and why.
//
// Sizes are counted with saturating arithmetic: a size past 64 bits becomes
// kSizeOverflow, which no machine holds, so it is refused like any other.
//
// A search, whose tables grow with what it explores rather than with its
// input, keeps a MemoryAccount instead: each table charges the account with
// the bytes of its next allocation before it grows (a rehash, a doubled
// vector), and the account refuses a growth past the caller's `max_memory` or
// past the memory really available to the process (available_memory). Growths
// double, so a search charges its account O(log size) times, never per node.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"

namespace quellostrin {

class OutOfMemory : public std::bad_alloc {
 public:
  explicit OutOfMemory(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

inline constexpr std::uint64_t kSizeOverflow = std::numeric_limits<std::uint64_t>::max();

constexpr std::uint64_t size_mul(std::uint64_t a, std::uint64_t b) {
  std::uint64_t r = 0;
  return __builtin_mul_overflow(a, b, &r) ? kSizeOverflow : r;
}

constexpr std::uint64_t size_add(std::uint64_t a, std::uint64_t b) {
  std::uint64_t r = 0;
  return __builtin_add_overflow(a, b, &r) ? kSizeOverflow : r;
}

// Bytes of physical memory (RAM) of this machine, read once.
std::uint64_t physical_memory();

// Throws OutOfMemory "cannot allocate {what}: {bytes} bytes, more than the
// {physical} bytes of physical memory" (or "...: its size does not fit in 64
// bits") when `bytes` exceeds physical_memory().
void require_memory(std::uint64_t bytes, std::string_view what);

// The same with `what` given as a detail::format pattern and its arguments,
// formatted only when the size is refused: a small call pays a comparison,
// not a string stream.
template <class... Args>
  requires(sizeof...(Args) > 0)
void require_memory(std::uint64_t bytes, std::string_view what_pattern, const Args&... args) {
  if (bytes > physical_memory()) require_memory(bytes, detail::format(what_pattern, args...));
}

// Bytes of the heap block behind an allocation of `n` bytes, as glibc's
// malloc lays them out: an 8-byte header, 16-byte granules, 32 at least.
constexpr std::uint64_t heap_block(std::uint64_t n) {
  return n == 0 ? 0 : std::max<std::uint64_t>(32, size_add(n, 8 + 15) / 16 * 16);
}

// Bytes that a value owns outside itself (the heap block of a long state,
// say), which a table of copies holds once per copy. Zero unless an overload
// for the type says more; overloads for the library's types sit next to
// them, where argument-dependent lookup finds them.
template <class T>
std::uint64_t heap_bytes(const T& /*value*/) {
  return 0;
}
template <class T, class A>
std::uint64_t heap_bytes(const std::vector<T, A>& v) {
  return heap_block(size_mul(v.capacity(), sizeof(T)));
}
inline std::uint64_t heap_bytes(const std::string& s) {
  return s.capacity() > 15 ? heap_block(s.capacity() + 1) : 0;  // longer than the string's own buffer
}

// The environment variable that, when set to a number of bytes (with an
// optional K, M, G or T suffix, powers of 1024), stands for the memory the
// process may hold in all, in place of what the machine and its container
// say: for containers whose limit the process cannot see, and for tests.
inline constexpr const char* kAvailableMemoryVariable = "QUELLOSTRIN_AVAILABLE_MEMORY";

// Bytes this process can still allocate: the least of the machine's physical
// memory, its memory available (MemAvailable), the container's limit (cgroup
// v2 memory.max or v1 memory.limit_in_bytes, of the process's group and its
// ancestors) and kAvailableMemoryVariable, less the memory the process has
// resident; and of RLIMIT_AS and RLIMIT_DATA less the address space and data
// the process has mapped. Read afresh at every call (tens of microseconds).
std::uint64_t available_memory();

// Why a MemoryAccount refused a growth. Not an error by itself: a strategy
// catches it and ends its search, for the cap with stop reason MemoryLimit,
// for the machine with OutOfMemory (out_of_memory_message).
struct MemoryRefused {
  std::uint64_t needed;     // bytes the growth asked for
  std::uint64_t available;  // bytes it could have had
  bool cap;                 // true: the caller's max_memory; false: the process's memory
};

// "search stopped after {expanded} expanded nodes: its tables needed {needed}
// bytes more, and only {available} are available"
std::string out_of_memory_message(const MemoryRefused& refused, std::uint64_t expanded);

// The bytes one search holds in its growing tables, and the gate of their
// growth. A table charges the bytes of a new allocation before making it, and
// releases the old one's after; a refused charge throws MemoryRefused and
// leaves the table as it was. The account counts the peak of a growth (old
// and new table both held), and checks what is available only once the
// search holds kUncheckedBytes, so a small search never reads /proc.
class MemoryAccount {
 public:
  static constexpr std::uint64_t kUncheckedBytes = std::uint64_t{4} << 20;

  explicit MemoryAccount(std::optional<std::uint64_t> max_memory = std::nullopt)
      : cap_(max_memory.value_or(kSizeOverflow)) {}
  MemoryAccount(const MemoryAccount&) = delete;
  MemoryAccount& operator=(const MemoryAccount&) = delete;

  // A table is about to allocate `bytes` more.
  void charge(std::uint64_t bytes) {
    if (bytes > cap_ - held_) throw MemoryRefused{bytes, cap_ - held_, true};
    if (held_ + bytes > kUncheckedBytes) check_available(bytes);
    held_ += bytes;
  }
  // Memory the search holds without allocating it (a workspace it borrows
  // already sized): counted toward the cap only.
  void hold(std::uint64_t bytes) {
    if (bytes > cap_ - held_) throw MemoryRefused{bytes, cap_ - held_, true};
    held_ += bytes;
  }
  // A table freed `bytes`.
  void release(std::uint64_t bytes) { held_ -= bytes < held_ ? bytes : held_; }

  std::uint64_t held() const { return held_; }

 private:
  [[gnu::cold]] static void check_available(std::uint64_t bytes);

  std::uint64_t cap_;  // held_ <= cap_ always
  std::uint64_t held_ = 0;
};

// `v` made ready to take one more element: when it is full, its capacity
// doubled (from at least `first`) through `account`, which may refuse. A
// null account charges nothing. Call before each push_back on a table that
// grows with a search; the full case is rare and kept out of line. Each
// element is counted with the heap bytes of the last one, as the elements
// of one search (its states) are all of about one size.
template <class T, class A>
[[gnu::cold, gnu::noinline]] void grow_charged(std::vector<T, A>& v, MemoryAccount* account, std::size_t first) {
  const std::size_t old = v.capacity();
  const std::size_t want = old < first ? first : 2 * old;
  const std::uint64_t each = size_add(sizeof(T), v.empty() ? 0 : heap_bytes(v.back()));
  if (account) account->charge(size_mul(want, each));
  try {
    v.reserve(want);
  } catch (...) {
    if (account) account->release(size_mul(want, each));
    throw;
  }
  if (account) account->release(size_mul(old, each));
}

template <class T, class A>
[[gnu::always_inline]] inline void room_for_one(std::vector<T, A>& v, MemoryAccount* account,
                                                std::size_t first = 16) {
  if (v.size() == v.capacity()) [[unlikely]]
    grow_charged(v, account, first);
}

// `value` appended to `v`, its growth charged as room_for_one does. Out of
// line: a search loop that records only when asked (a trace, say) then
// carries a call where the push would be, and compiles as tight as without.
template <class T, class A, class U>
[[gnu::noinline]] void push_charged(std::vector<T, A>& v, U&& value, MemoryAccount* account) {
  room_for_one(v, account);
  v.push_back(std::forward<U>(value));
}

}  // namespace quellostrin
