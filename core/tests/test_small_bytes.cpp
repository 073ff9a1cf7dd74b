#include "quellostrin/small_bytes.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "quellostrin/search/traits.hpp"

using namespace quellostrin;

static_assert(NodeValue<SmallBytes>);

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint64_t fx(const auto& v) { return FxHash<std::remove_cvref_t<decltype(v)>>{}(v); }

}  // namespace

// SmallBytes behaves as std::vector<uint8_t> with the same bytes, on both
// sides of the inline limit: contents, equality, hash, and what copies,
// moves, assignments and swaps leave behind.
TEST(SmallBytes, MatchesVectorAcrossTheInlineLimit) {
  std::mt19937 rng(1);
  auto random_bytes = [&](std::size_t n) {
    Bytes v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng() % 3);  // small alphabet: equal pairs happen
    return v;
  };
  for (int round = 0; round < 2000; ++round) {
    const Bytes va = random_bytes(rng() % 40), vb = random_bytes(rng() % 3 == 0 ? va.size() : rng() % 40);
    SCOPED_TRACE(testing::Message() << va.size() << " and " << vb.size() << " bytes");
    SmallBytes a(va), b(vb);
    ASSERT_EQ(a.to_vector(), va);
    ASSERT_EQ(a.is_inline(), va.size() <= SmallBytes::kInline);
    ASSERT_EQ(a == b, va == vb);
    ASSERT_EQ(fx(a), fx(va));

    SmallBytes copy(a);
    if (!copy.empty()) copy[0] = static_cast<std::uint8_t>(copy[0] + 1);
    ASSERT_EQ(a.to_vector(), va);  // the copy owns its bytes
    ASSERT_EQ(copy == a, va.empty());

    SmallBytes moved(std::move(copy));
    ASSERT_TRUE(copy.empty());  // NOLINT: a moved-from string is empty and reusable
    copy = b;
    ASSERT_EQ(copy, b);
    b = std::move(moved);
    moved = a;
    ASSERT_EQ(moved, a);
    swap(a, copy);
    ASSERT_EQ(a.to_vector(), vb);
    ASSERT_EQ(copy.to_vector(), va);
    const SmallBytes& alias = a;
    a = alias;  // self-assignment keeps the bytes
    ASSERT_EQ(a.to_vector(), vb);
  }
  EXPECT_EQ(SmallBytes(3, 7).to_vector(), (Bytes{7, 7, 7}));
  EXPECT_EQ(SmallBytes(40, 7).to_vector(), Bytes(40, 7));
  const int ints[] = {1, 2, 300};
  EXPECT_EQ(SmallBytes(std::begin(ints), std::end(ints)).to_vector(), (Bytes{1, 2, 44}));
}
