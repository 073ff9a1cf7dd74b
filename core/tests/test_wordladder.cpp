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

std::string mutated(std::string word, std::mt19937& rng) {
  if (!word.empty()) word[rng() % word.size()] = "abyz-{\xc3\xa9"[rng() % 8];
  return word;
}

void expect_listings(const WordLadder& got, const BruteLadder& want, const Words& probes) {
  EXPECT_EQ(got.size(), want.words.size());
  for (const std::string& p : probes) {
    SCOPED_TRACE(::testing::PrintToString(p));
    EXPECT_EQ(got.contains(p), want.words.count(p) == 1);
    // Both append to what the buffer holds.
    SuccessorList<std::string> a{{"kept", 7.0}}, b = a, c = a, d = a;
    got.neighbors_into(p, a);
    want.neighbors_into(p, b);
    EXPECT_EQ(a, b);
    got.predecessors_into(p, c);
    want.predecessors_into(p, d);
    EXPECT_EQ(c, d);
  }
}

// The same for a query, over the probes that are its nodes (every word of
// `want` but the dictionary's empty word when it is neither start nor goal).
void expect_listings(const LadderQuery& got, const BruteLadder& want, const Words& probes) {
  const auto words = [&](const SuccessorList<LadderQuery::Node>& ids) {
    SuccessorList<std::string> out;
    for (const auto& [id, cost] : ids) out.emplace_back(got.word(id), cost);
    return out;
  };
  for (const std::string& p : probes) {
    SCOPED_TRACE(::testing::PrintToString(p));
    const std::optional<LadderQuery::Node> id = got.id_of(p);
    EXPECT_TRUE(id ? want.words.count(p) == 1 && got.word(*id) == p : want.words.count(p) == 0 || p.empty());
    if (!id) continue;
    // Both append to what the buffer holds.
    SuccessorList<LadderQuery::Node> a{{*id, 7.0}}, c = a;
    SuccessorList<std::string> b{{p, 7.0}}, d = b;
    got.neighbors_into(*id, a);
    want.neighbors_into(p, b);
    EXPECT_EQ(words(a), b);
    got.predecessors_into(*id, c);
    want.predecessors_into(p, d);
    EXPECT_EQ(words(c), d);
  }
}

// A search over a query with its nodes given as words.
SearchResult<std::string> words_of(const LadderQuery& query, const SearchResult<LadderQuery::Node>& r) {
  const auto word = [&](LadderQuery::Node id) { return std::string(query.word(id)); };
  SearchResult<std::string> out;
  if (r.path) {
    out.path.emplace();
    for (const auto id : *r.path) out.path->push_back(word(id));
  }
  out.cost = r.cost;
  out.nodes_expanded = r.nodes_expanded;
  out.nodes_generated = r.nodes_generated;
  out.nodes_reopened = r.nodes_reopened;
  out.max_frontier_size = r.max_frontier_size;
  out.stop_reason = r.stop_reason;
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
// another thread searches the same ladder.
TEST(WordLadder, MatchesBruteForce) {
  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    Words words;
    for (auto n = rng() % 40; n > 0; --n) {
      words.push_back(words.empty() || rng() % 3 ? random_word(rng) : mutated(words[rng() % words.size()], rng));
    }
    const WordLadder ladder = WordLadder::from_lowercase(words);
    BruteLadder brute{{words.begin(), words.end()}};
    Words probes = words;
    for (const std::string& w : words) probes.push_back(mutated(w, rng));
    for (int k = 0; k < 10; ++k) probes.push_back(random_word(rng));
    expect_listings(ladder, brute, probes);

    const std::string start = rng() % 2 || words.empty() ? random_word(rng) : words[rng() % words.size()];
    std::string goal = start;
    for (auto steps = rng() % 4; steps > 0; --steps) goal = mutated(goal, rng);
    brute.words.insert({start, goal});
    probes.insert(probes.end(), {start, goal});

    const LadderQuery query(ladder, start, goal);
    EXPECT_EQ(query.word(query.start()), start);
    EXPECT_EQ(query.word(query.goal()), goal);
    expect_listings(query, brute, probes);

    // Over word ids, with the dense node store, as the binding searches.
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

// Every letter at every position: a dense dictionary of three-letter words
// over the whole alphabet, probed with its words and with every one-letter
// change of some of them (the random words above use four letters only).
TEST(WordLadder, EveryLetterMatchesBruteForce) {
  std::mt19937 rng(7);
  Words words(400, "aaa");
  for (std::string& w : words) {
    for (char& c : w) c = static_cast<char>('a' + rng() % 26);
  }
  Words probes = words;
  for (std::size_t k = 0; k < 20; ++k) {
    for (std::size_t at = 0; at < 3; ++at) {
      for (char c = 'a'; c <= 'z'; ++c) {
        probes.push_back(words[k]);
        probes.back()[at] = c;
      }
    }
  }
  expect_listings(WordLadder::from_lowercase(words), BruteLadder{{words.begin(), words.end()}}, probes);
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
