#include "quellostrin/memory.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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

namespace {

constexpr std::uint64_t kNoLimit = kSizeOverflow;

// The first number in `path` (a count of bytes), or kNoLimit when the file
// is missing or says "max".
std::uint64_t read_bytes(const std::string& path) {
  std::ifstream in(path);
  std::uint64_t value = 0;
  if (!(in >> value)) return kNoLimit;
  return value;
}

// The value of a "Name: N kB" line of /proc/meminfo, in bytes.
std::uint64_t meminfo_bytes(std::string_view name) {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with(name) && line.size() > name.size() && line[name.size()] == ':') {
      std::istringstream fields(line.substr(name.size() + 1));
      std::uint64_t kb = 0;
      if (fields >> kb) return size_mul(kb, 1024);
    }
  }
  return kNoLimit;
}

// The least memory limit of the process's memory cgroup and its ancestors:
// cgroup v2's memory.max, else v1's memory.limit_in_bytes.
std::uint64_t cgroup_limit() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  std::uint64_t least = kNoLimit;
  while (std::getline(in, line)) {
    // "0::/path" (v2) or "N:controllers:/path" (v1).
    const auto first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string root, file;
    if (controllers.empty()) {
      root = "/sys/fs/cgroup", file = "/memory.max";
    } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
      root = "/sys/fs/cgroup/memory", file = "/memory.limit_in_bytes";
    } else {
      continue;
    }
    // Up from the group to the mount's root; a container sees its own group
    // as the root, and the files of groups it cannot see are missing.
    for (std::string group = line.substr(second + 1);; group.resize(group.rfind('/'))) {
      if (!group.empty() && group.back() == '/') group.pop_back();
      least = std::min(least, read_bytes(root + group + file));
      if (group.empty()) break;
    }
  }
  return least;
}

// kAvailableMemoryVariable's bytes, or nothing when it is unset or not a
// number of bytes.
std::optional<std::uint64_t> memory_override() {
  const char* text = std::getenv(kAvailableMemoryVariable);
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text) return std::nullopt;
  int shift = 0;
  if (*end) {
    const auto suffix = std::string_view("KMGT").find(static_cast<char>(std::toupper(*end)));
    if (suffix == std::string_view::npos || end[1]) return std::nullopt;
    shift = 10 * static_cast<int>(suffix + 1);
  }
  return size_mul(value, std::uint64_t{1} << shift);
}

std::uint64_t less(std::uint64_t limit, std::uint64_t used) {
  return limit == kNoLimit ? kNoLimit : (limit > used ? limit - used : 0);
}

std::uint64_t rlimit_room(int resource, std::uint64_t used) {
  rlimit r{};
  if (getrlimit(resource, &r) != 0 || r.rlim_cur == RLIM_INFINITY) return kNoLimit;
  return less(r.rlim_cur, used);
}

}  // namespace

std::uint64_t available_memory() {
  // Pages of the address space, resident, shared, text, libraries, data and
  // stack.
  std::uint64_t size = 0, resident = 0, shared = 0, text = 0, lib = 0, data = 0;
  {
    std::ifstream statm("/proc/self/statm");
    statm >> size >> resident >> shared >> text >> lib >> data;
  }
  const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  size = size_mul(size, page), resident = size_mul(resident, page), data = size_mul(data, page);

  std::uint64_t room;
  if (const auto total = memory_override()) {
    room = less(*total, resident);
  } else {
    // MemAvailable already leaves out what every process holds, this one's
    // included.
    room = std::min({less(physical_memory(), resident), meminfo_bytes("MemAvailable"), less(cgroup_limit(), resident)});
  }
  return std::min({room, rlimit_room(RLIMIT_AS, size), rlimit_room(RLIMIT_DATA, data)});
}

std::string out_of_memory_message(const MemoryRefused& refused, std::uint64_t expanded) {
  return detail::format("search stopped after {} expanded nodes: its tables needed {} bytes more, and only {} are "
                        "available",
                        expanded, refused.needed, refused.available);
}

void MemoryAccount::check_available(std::uint64_t bytes) {
  const std::uint64_t available = available_memory();
  if (bytes > available) throw MemoryRefused{bytes, available, false};
}

}  // namespace quellostrin
