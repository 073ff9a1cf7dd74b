// Small helpers shared by the libFuzzer targets: a byte reader whose reads
// past the end yield zeros (so every input is a complete case), the check
// macro that aborts with a message (libFuzzer records the input as a crash),
// and the run wrapper that lets only the core's InputError escape a call.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

#include "quellostrin/errors.hpp"

namespace fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(cond)                                  \
  do {                                                    \
    if (!(cond)) ::fuzz::fail(__FILE__, __LINE__, #cond); \
  } while (0)

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

  std::uint8_t u8() { return p_ == end_ ? 0 : *p_++; }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | u8();
    return v;
  }
  double f64() {
    const std::uint64_t bits = u64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string_view take(std::size_t n) {
    n = std::min<std::size_t>(n, static_cast<std::size_t>(end_ - p_));
    std::string_view out(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return out;
  }
  std::string_view rest() { return take(static_cast<std::size_t>(end_ - p_)); }
  bool empty() const { return p_ == end_; }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// Runs `f`; true when it returned, false when it refused with InputError
// (whose message must not be empty). Anything else thrown is a fault.
template <class F>
bool refuses_only_with_input_error(F&& f) {
  try {
    f();
    return true;
  } catch (const quellostrin::InputError& e) {
    FUZZ_CHECK(std::strlen(e.what()) > 0);
    return false;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "unexpected exception: %s\n", e.what());
    fail(__FILE__, __LINE__, "exception other than InputError");
  } catch (...) {
    fail(__FILE__, __LINE__, "non-standard exception");
  }
}

// Equal, or both infinite with one sign, or within a relative 1e-9 (two sums
// of the same costs in another order may differ in their last bits).
inline bool close(double a, double b) {
  if (a == b) return true;
  if (std::isnan(a) || std::isnan(b) || std::isinf(a) || std::isinf(b)) return false;
  return std::fabs(a - b) <= 1e-9 * std::fmax(std::fabs(a), std::fabs(b));
}

}  // namespace fuzz
