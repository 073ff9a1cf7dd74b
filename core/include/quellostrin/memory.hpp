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
#pragma once

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>

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

}  // namespace quellostrin
