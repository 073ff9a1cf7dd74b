#include "quellostrin/hash.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>

using quellostrin::FlatMap;
using quellostrin::FlatSet;
using quellostrin::FxHash;

// Random inserts and erases over a small key range (many collisions and long
// probe runs) must agree with std::unordered_map after every operation.
TEST(FlatMap, AgreesWithUnorderedMapUnderInsertAndErase) {
  for (std::uint64_t seed = 0; seed < 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    FlatMap<std::uint64_t, int> map;
    std::unordered_map<std::uint64_t, int> ref;
    const std::uint64_t range = 1 + rng() % 300;
    for (int op = 0; op < 3000; ++op) {
      std::uint64_t key = rng() % range;
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
    for (std::uint64_t key = 0; key < range; ++key) {
      const int* v = map.find(key);
      auto it = ref.find(key);
      ASSERT_EQ(v != nullptr, it != ref.end()) << key;
      if (v) {
        EXPECT_EQ(*v, it->second);
      }
    }
  }
}

TEST(FlatMap, GrowsFromEmptyAndKeepsLoadBelowThreeQuarters) {
  FlatMap<std::string, int> map;
  EXPECT_EQ(map.find("x"), nullptr);
  EXPECT_FALSE(map.erase("x"));
  for (int i = 0; i < 1000; ++i) map.insert_or_assign(std::to_string(i), i);
  EXPECT_EQ(map.size(), 1000u);
  EXPECT_LE(map.size() * 4, map.capacity() * 3);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(*map.find(std::to_string(i)), i);
}

TEST(FlatSet, InsertReportsNewness) {
  FlatSet<std::vector<unsigned char>> set(64);
  EXPECT_TRUE(set.insert({1, 2, 3}));
  EXPECT_FALSE(set.insert({1, 2, 3}));
  EXPECT_TRUE(set.insert({1, 2}));
  EXPECT_TRUE(set.erase({1, 2, 3}));
  EXPECT_FALSE(set.contains({1, 2, 3}));
  EXPECT_TRUE(set.contains({1, 2}));
}

TEST(FxHash, DistinguishesLengthAndContentOfByteVectors) {
  FxHash<std::vector<unsigned char>> h;
  EXPECT_NE(h({0}), h({0, 0}));
  EXPECT_NE(h({1, 2, 3, 4, 5, 6, 7, 8, 9}), h({1, 2, 3, 4, 5, 6, 7, 8, 8}));
  EXPECT_EQ(FxHash<std::uint64_t>{}(1), quellostrin::FxHasher::kSeed);
}
