#include "quellostrin/memory.hpp"

#include <unistd.h>

#include "quellostrin/errors.hpp"

namespace quellostrin {

std::uint64_t physical_memory() {
  static const std::uint64_t bytes = [] {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    // Unknown: refuse only what no 64-bit address space could hold.
    if (pages <= 0 || page_size <= 0) return kSizeOverflow - 1;
    return size_mul(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(page_size));
  }();
  return bytes;
}

void require_memory(std::uint64_t bytes, std::string_view what) {
  if (bytes == kSizeOverflow) throw OutOfMemory(detail::format("cannot allocate {}: its size does not fit in 64 bits", what));
  const std::uint64_t physical = physical_memory();
  if (bytes > physical) {
    throw OutOfMemory(detail::format("cannot allocate {}: {} bytes, more than the {} bytes of physical memory", what,
                                     bytes, physical));
  }
}

}  // namespace quellostrin
