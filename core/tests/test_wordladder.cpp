#include "quellostrin/domains/wordladder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "table.hpp"

using namespace quellostrin;

namespace {

using Words = std::vector<std::string>;

// The oracle, by brute force over the dictionary: x -> y when they have one
// byte length and differ at one position, where y holds a letter, and y is
// valid UTF-8; listed by that position, then by the listed word's byte there.
struct BruteLadder {
  using Node = std::string;
  std::set<std::string> words;

  void list(const std::string& word, bool into, SuccessorList<std::string>& out) const {
    std::vector<std::tuple<std::size_t, unsigned char, std::string>> found;
    for (const std::string& w : words) {
      if (w.size() != word.size() || (into && words.count(word) == 0)) continue;
      std::size_t at = 0, differ = 0;
      for (std::size_t i = 0; i < w.size(); ++i) {
        if (w[i] != word[i]) at = i, ++differ;
      }
      const std::string& to = into ? word : w;
      if (differ == 1 && to[at] >= 'a' && to[at] <= 'z' && is_valid_utf8(to)) {
        found.emplace_back(at, static_cast<unsigned char>(w[at]), w);
      }
    }
    std::sort(found.begin(), found.end());
    for (const auto& f : found) out.emplace_back(std::get<2>(f), 1.0);
  }
  void neighbors_into(const std::string& w, SuccessorList<std::string>& out) const { list(w, false, out); }
  void predecessors_into(const std::string& w, SuccessorList<std::string>& out) const { list(w, true, out); }
};

// A random byte string of up to four pieces: letters (the first and last
// among them), other ASCII (two just outside a..z), multi-byte characters,
// and pieces of characters that leave it invalid UTF-8.
std::string random_word(std::mt19937& rng) {
  static const char* const pieces[] = {"a", "b", "y", "z", "a", "b", "-", "`", "{", "\xc3\xa9", "\xe2\x82\xac", "\xc3"};
  std::string w;
  for (auto n = rng() % 5; n > 0; --n) w += pieces[rng() % std::size(pieces)];
  return rng() % 16 == 0 ? w + "\xa9" : w;
}

// One byte changed, to one of four letters or to a byte that is none; with
// `any_letter`, half the time to any letter of the alphabet.
std::string mutated(std::string word, std::mt19937& rng, bool any_letter = false) {
  const char c = any_letter && rng() % 2 ? char('a' + rng() % 26) : "abyz-{\xc3\xa9"[rng() % 8];
  if (!word.empty()) word[rng() % word.size()] = c;
  return word;
}

// `got` lists, for each probe that is one of its nodes (`node`), what `want`
// lists; `word` names a node of `got`. Both listings append to what the
// buffer holds.
template <class Ladder, class ToNode, class ToWord>
void expect_listings(const Ladder& got, const BruteLadder& want, const Words& probes, ToNode node, ToWord word) {
  for (const std::string& p : probes) {
    SCOPED_TRACE(::testing::PrintToString(p));
    const auto n = node(p);
    if (!n) continue;
    for (const bool into : {false, true}) {
      SuccessorList<typename Ladder::Node> a{{*n, 7.0}};
      SuccessorList<std::string> b{{p, 7.0}}, words;
      into ? got.predecessors_into(*n, a) : got.neighbors_into(*n, a);
      want.list(p, into, b);
      for (const auto& [x, cost] : a) words.emplace_back(word(x), cost);
      EXPECT_EQ(words, b);
    }
  }
}

// A search over a query with its nodes given as words.
SearchResult<std::string> words_of(const LadderQuery& query, const SearchResult<LadderQuery::Node>& r) {
  const auto word = [&](LadderQuery::Node id) { return std::string(query.word(id)); };
  SearchResult<std::string> out{std::nullopt,        r.cost,    r.nodes_expanded, r.nodes_generated, r.nodes_reopened,
                                r.max_frontier_size, r.elapsed, r.stop_reason,    {},                {}};
  if (r.path) out.path.emplace();
  for (const auto id : r.path.value_or(std::vector<LadderQuery::Node>{})) out.path->push_back(word(id));
  for (const auto& step : r.trace) out.trace.push_back({word(step.node), step.g, step.frontier_size});
  for (const auto& [parent, child] : r.tree) out.tree.emplace_back(word(parent), word(child));
  return out;
}

}  // namespace

TEST(WordLadder, RulesByExample) {
  const std::string cafe = "caf\u00e9", cofe = "cof\u00e9";
  const WordLadder g = WordLadder::from_lowercase(
      {"cold", "cord", "card", "word", "corm", "cold", "", "1b", "ab", cafe, cofe, "cafa\xa9", "bold", "\xff" "olx"});
  EXPECT_EQ(g.size(), 13u);  // duplicates collapse; the empty word is an entry
  const auto words_of = [](const SuccessorList<std::string>& moves) {
    Words out;
    for (const auto& move : moves) out.push_back(move.first);
    return out;
  };
  EXPECT_EQ(words_of(g.neighbors("cord")), (Words{"word", "card", "cold", "corm"}));
  EXPECT_EQ(words_of(g.neighbors("wore")), (Words{"word"}));  // any string is a node
  EXPECT_EQ(words_of(g.neighbors("1b")), (Words{"ab"}));      // and not back
  EXPECT_EQ(words_of(g.neighbors("ab")), Words{});
  // A letter never goes into a multi-byte character, but may repair a word.
  EXPECT_EQ(words_of(g.neighbors(cafe)), (Words{cofe}));
  EXPECT_EQ(words_of(g.neighbors("\xff" "old")), (Words{"bold", "cold"}));
}

// The ladder, and queries over it with a start and goal that may be new,
// list what brute force lists over the dictionary with them added; every
// strategy searches a query as it searches the brute-force ladder, while
// another thread searches the same ladder. Every thirtieth dictionary is
// dense, 400 three-letter words over the whole alphabet, so that every letter
// is met at every position (the other random words use four letters only).
TEST(WordLadder, MatchesBruteForce) {
  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const bool dense = seed % 30 == 0;
    Words words;
    for (auto n = dense ? 400 : rng() % 40; n > 0; --n) {
      if (dense) words.push_back({char('a' + rng() % 26), char('a' + rng() % 26), char('a' + rng() % 26)});
      else words.push_back(words.empty() || rng() % 3 ? random_word(rng) : mutated(words[rng() % words.size()], rng));
    }
    const WordLadder ladder = WordLadder::from_lowercase(words);
    BruteLadder brute{{words.begin(), words.end()}};
    Words probes = words;
    for (const std::string& w : words) probes.push_back(mutated(w, rng, dense));
    for (int k = 0; k < 10; ++k) probes.push_back(random_word(rng));
    EXPECT_EQ(ladder.size(), brute.words.size());
    for (const std::string& p : probes) EXPECT_EQ(ladder.contains(p), brute.words.count(p) == 1) << p;
    expect_listings(ladder, brute, probes, [](const std::string& p) { return std::optional(p); },
                    [](const std::string& w) { return w; });

    const std::string start = rng() % 2 || words.empty() ? random_word(rng) : words[rng() % words.size()];
    std::string goal = start;
    for (auto steps = rng() % 4; steps > 0; --steps) goal = mutated(goal, rng);
    brute.words.insert({start, goal});
    probes.insert(probes.end(), {start, goal});

    // The query's nodes: every word of `brute` but the dictionary's empty
    // word when it is neither start nor goal.
    const LadderQuery query(ladder, start, goal);
    EXPECT_EQ(query.word(query.start()), start);
    EXPECT_EQ(query.word(query.goal()), goal);
    for (const std::string& p : probes) {
      const std::optional<LadderQuery::Node> id = query.id_of(p);
      EXPECT_TRUE(id ? brute.words.count(p) == 1 && query.word(*id) == p : brute.words.count(p) == 0 || p.empty()) << p;
    }
    expect_listings(query, brute, probes, [&](const std::string& p) { return query.id_of(p); },
                    [&](LadderQuery::Node id) { return std::string(query.word(id)); });

    // Over word ids, with the dense node store, as the binding searches (the
    // small dictionaries only: a dense one's simple paths are too many to walk).
    if (dense) continue;
    const LadderHamming hamming = LadderHamming{}.for_domain(query);
    std::vector<SearchResult<std::string>> got(std::size(table::kAll));
    const auto search = [&](std::size_t first) {
      for (std::size_t a = first; a < got.size(); a += 2) {
        got[a] = words_of(query, table::run(table::kAll[a], query, hamming, query.start(), query.goal(),
                                            {.dense = true}));
      }
    };
    std::thread other(search, 1);
    search(0);
    other.join();
    for (std::size_t a = 0; a < got.size(); ++a) {
      SCOPED_TRACE(table::name(table::kAll[a]));
      table::expect_same(got[a], table::run(table::kAll[a], brute, LadderHamming{}, start, goal));
    }
  }
}

TEST(WordLadder, HammingCountsBytesOverTheShorterLength) {
  const std::tuple<std::string, std::string, double> cases[] = {
      {"cold", "warm", 4.0}, {"cold", "cord", 1.0}, {"cold", "colder", 0.0}, {"", "abc", 0.0},
      {"caf\u00e9", "caf\u00e8", 1.0},  // é and è share their first byte
  };
  for (const auto& [a, b, h] : cases) {
    EXPECT_EQ(LadderHamming{}.estimate(a, b), h) << a << " / " << b;
    EXPECT_EQ(LadderHamming{}.estimate(b, a), h) << a << " / " << b;
  }
}

TEST(WordLadder, Utf8Validator) {
  const std::pair<std::string, bool> cases[] = {
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
  for (const auto& [bytes, valid] : cases) EXPECT_EQ(is_valid_utf8(bytes), valid) << ::testing::PrintToString(bytes);
}
