#include "quellostrin/domains/hanoi.hpp"

#include "quellostrin/errors.hpp"

namespace quellostrin {

void check_hanoi_pegs(std::uint64_t pegs) {
  if (pegs < 1 || pegs > kMaxHanoiPegs) fail_input("pegs must be between 1 and {}, got {}", kMaxHanoiPegs, pegs);
}

}  // namespace quellostrin
