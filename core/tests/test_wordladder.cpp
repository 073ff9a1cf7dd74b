#include "quellostrin/puzzles/wordladder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "quellostrin/algorithms.hpp"

using namespace quellostrin;

namespace {

using Words = std::vector<std::string>;

Words words_of(const SuccessorList<std::string>& moves) {
  Words out;
  for (const auto& [w, cost] : moves) {
    EXPECT_EQ(cost, 1.0) << w;
    out.push_back(w);
  }
  return out;
}

SearchResult<std::string> run(std::string_view algo, const WordLadder& g, const std::string& start,
                              const std::string& goal) {
  return run_algo(find_algorithm(algo), g, LadderHamming{}, start, goal, AlgoOptions{.record = false});
}

}  // namespace

TEST(WordLadder, NeighbourOrderAndDictionary) {
  const WordLadder g = WordLadder::from_lowercase({"cold", "cord", "card", "ward", "warm", "word", "corm", "cold"});
  EXPECT_EQ(g.size(), 7u);
  EXPECT_EQ(words_of(g.neighbors("cold")), (Words{"cord"}));
  EXPECT_EQ(words_of(g.neighbors("cord")), (Words{"word", "card", "cold", "corm"}));
  EXPECT_EQ(words_of(g.neighbors("wore")), (Words{"word"}));  // a word outside the dictionary still has neighbours
  EXPECT_EQ(words_of(g.neighbors("")), Words{});
  EXPECT_EQ(words_of(WordLadder::from_lowercase({}).neighbors("cold")), Words{});

  // neighbors_into appends.
  SuccessorList<std::string> out{{"keep", 7.0}};
  g.neighbors_into("ward", out);
  EXPECT_EQ(out, (SuccessorList<std::string>{{"keep", 7.0}, {"card", 1.0}, {"word", 1.0}, {"warm", 1.0}}));

  WordLadder grown = WordLadder::from_lowercase({"", "a"});
  EXPECT_EQ(grown.size(), 2u);  // the empty word is an entry like any other
  EXPECT_TRUE(grown.insert("b"));
  EXPECT_FALSE(grown.insert("a"));
  EXPECT_EQ(words_of(grown.neighbors("a")), (Words{"b"}));
}

TEST(WordLadder, HammingCountsBytesOverTheShorterLength) {
  struct Case {
    std::string a, b;
    double h;
  };
  const Case cases[] = {
      {"cold", "warm", 4.0}, {"cold", "cord", 1.0}, {"cold", "colder", 0.0}, {"", "abc", 0.0},
      {"caf\u00e9", "caf\u00e8", 1.0},  // é and è share their first byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(LadderHamming{}.estimate(c.a, c.b), c.h);
    EXPECT_EQ(LadderHamming{}.estimate(c.b, c.a), c.h);
  }
}

TEST(WordLadder, Utf8Validator) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      // Valid: the first and last character of each sequence length, and the
      // characters on either side of the surrogates.
      {"", true}, {std::string("a\0\x7f", 3), true}, {"\xc2\x80\xdf\xbf", true},
      {"\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf", true},
      {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", true}, {"caf\u00e9 \u20ac \U0001F600", true},
      // Stray continuation bytes, and sequences cut short or broken by ASCII.
      {"\x80", false}, {"\xc3\xa9\xa9", false}, {"\xc3", false}, {"\xe2\x82", false}, {"\xf0\x9f\x98", false},
      {"\xc3z", false}, {"\xe2z\xac", false}, {"\xf0\x9f\x98z", false},
      // Overlong forms, surrogates, beyond U+10FFFF, bytes that never occur.
      {"\xc0\x80", false}, {"\xc1\xbf", false}, {"\xe0\x9f\xbf", false}, {"\xf0\x8f\xbf\xbf", false},
      {"\xed\xa0\x80", false}, {"\xed\xbf\xbf", false}, {"\xf4\x90\x80\x80", false},
      {"\xf5\x80\x80\x80", false}, {"\xff", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EXPECT_EQ(is_valid_utf8(c.bytes), c.valid);
  }
}

// A letter put inside a multi-byte character would split it: such buffers are
// never produced, even when the dictionary holds them, and the accented
// character stays whole along a ladder.
TEST(WordLadder, AccentedWordsChangeOnlyAtAsciiPositions) {
  const std::string cafe = "caf\u00e9", cofe = "cof\u00e9", sofe = "sof\u00e9";
  const WordLadder g = WordLadder::from_lowercase({cafe, cofe, sofe, "caf\u00e8", "cafa\xa9", "caf\xc3z", "cafez"});
  EXPECT_EQ(words_of(g.neighbors(cafe)), (Words{cofe}));
  const auto found = run("bfs", g, cafe, sofe);
  ASSERT_TRUE(found.found());
  EXPECT_EQ(*found.path, (Words{cafe, cofe, sofe}));
  const auto none = run("bfs", g, cafe, "caf\u00e8");
  EXPECT_FALSE(none.found());
  EXPECT_EQ(none.stop_reason, StopReason::Exhausted);

  // A node that is not UTF-8 itself: only the letter that repairs it helps.
  const WordLadder h = WordLadder::from_lowercase({"bold", "cold", "\xff" "olx", "\xff" "old"});
  EXPECT_EQ(words_of(h.neighbors("\xff" "old")), (Words{"bold", "cold"}));
}
