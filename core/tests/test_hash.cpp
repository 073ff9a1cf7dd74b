#include "quellostrin/hash.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>

using quellostrin::FlatMap;

// Random inserts and erases over a small key range (many collisions and long
// probe runs) must agree with std::unordered_map after every operation. The
// keys own heap memory, so growth and erasure must move them correctly.
TEST(FlatMap, AgreesWithUnorderedMapUnderInsertAndErase) {
  for (std::uint64_t seed = 0; seed < 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    FlatMap<std::string, int> map;
    std::unordered_map<std::string, int> ref;
    const std::uint64_t range = 1 + rng() % 300;
    for (int op = 0; op < 3000; ++op) {
      const std::string key = std::to_string(rng() % range);
      if (rng() % 3 == 0) {
        EXPECT_EQ(map.erase(key), ref.erase(key) == 1);
      } else {
        auto [v, inserted] = map.try_emplace(key);
        EXPECT_EQ(inserted, !ref.contains(key));
        *v = op;
        ref[key] = op;
      }
      ASSERT_EQ(map.size(), ref.size());
    }
    for (std::uint64_t k = 0; k < range; ++k) {
      const int* v = map.find(std::to_string(k));
      auto it = ref.find(std::to_string(k));
      ASSERT_EQ(v != nullptr, it != ref.end()) << k;
      EXPECT_TRUE(v == nullptr || *v == it->second);
    }
  }
}
