// The two ways the core refuses to go on.
//
// InputError: a constructor or generator was handed input it does not accept
// (an edge endpoint past the node count, bad generator parameters). The Python
// binding raises it as ValueError with the same message.
//
// InvariantError: an internal rule was broken (a programming error, never a
// property of the input). The binding raises it as the module's dedicated
// BaseException subclass so that it cannot be swallowed by `except Exception`.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quellostrin {

class InputError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

class InvariantError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

namespace detail {

inline void format_rest(std::ostringstream& out, std::string_view fmt) { out << fmt; }

template <class T, class... Rest>
void format_rest(std::ostringstream& out, std::string_view fmt, const T& value,
                 const Rest&... rest) {
  auto hole = fmt.find("{}");
  if (hole == std::string_view::npos) {
    out << fmt;
    return;
  }
  out << fmt.substr(0, hole) << value;
  format_rest(out, fmt.substr(hole + 2), rest...);
}

// Replaces each "{}" of `fmt` in turn by the next argument (streamed with <<).
template <class... Args>
std::string format(std::string_view fmt, const Args&... args) {
  std::ostringstream out;
  format_rest(out, fmt, args...);
  return out.str();
}

}  // namespace detail

template <class... Args>
[[noreturn]] void fail_input(std::string_view fmt, const Args&... args) {
  throw InputError(detail::format(fmt, args...));
}

template <class... Args>
[[noreturn]] void fail_invariant(std::string_view fmt, const Args&... args) {
  throw InvariantError(detail::format(fmt, args...));
}

}  // namespace quellostrin
