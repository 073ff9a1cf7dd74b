// libFuzzer target for WordLadder: the neighbour generator and the UTF-8
// check over arbitrary word lists, and a short search.
//
// Input layout. Byte 0: bits 0-3 the algorithm (an index into kAlgorithms),
// bits 4-7 the node limit. Then words, each a length byte (its low 6 bits)
// followed by that many bytes of any content; the first two words are also
// the start and goal of the search, and every word plus one probe per word
// (the word with its last byte changed) is asked for its neighbours.
//
// The neighbours are compared with a list worked out here from the rules: the
// dictionary words of the same length that differ in exactly one byte, where
// the new byte is a lowercase letter a..z, and that are valid UTF-8 by a
// decoder written from the Unicode definition, in order of position, then
// letter. Only InputError may escape a call.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_common.hpp"
#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/domains/wordladder.hpp"

using namespace quellostrin;

namespace {

// Well-formed UTF-8, by decoding each sequence to its code point and checking
// the shortest form, the surrogate gap and the upper bound.
bool utf8_ok(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len;
    std::uint32_t cp;
    if (b0 < 0x80) {
      len = 1, cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      len = 2, cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3, cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4, cp = b0 & 0x07u;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = cp << 6 | (b & 0x3Fu);
    }
    const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::vector<std::string> expected_neighbors(const std::set<std::string>& dict, const std::string& word) {
  std::vector<std::pair<std::size_t, std::string>> found;  // (changed position, word)
  for (const std::string& w : dict) {
    if (w.size() != word.size() || !utf8_ok(w)) continue;
    std::size_t differ = 0, at = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
      if (w[i] != word[i]) ++differ, at = i;
    }
    if (differ == 1 && w[at] >= 'a' && w[at] <= 'z') found.emplace_back(at, w);
  }
  // Same position: the set's byte order is the letter order.
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

// Breadth-first distances from `start` over the expected neighbours.
std::optional<std::size_t> ladder_length(const std::set<std::string>& dict, const std::string& start,
                                         const std::string& goal) {
  std::map<std::string, std::size_t> depth{{start, 0}};
  std::deque<std::string> queue{start};
  while (!queue.empty()) {
    const std::string w = queue.front();
    queue.pop_front();
    if (w == goal) return depth[w];
    for (const std::string& n : expected_neighbors(dict, w)) {
      if (depth.emplace(n, depth[w] + 1).second) queue.push_back(n);
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Bytes in(data, size);
  const std::uint8_t flags = in.u8();
  std::vector<std::string> words;
  while (!in.empty()) words.emplace_back(in.take(in.u8() & 0x3F));
  const std::set<std::string> dict(words.begin(), words.end());

  for (const std::string& w : words) FUZZ_CHECK(is_valid_utf8(w) == utf8_ok(w));

  std::optional<WordLadder> ladder;
  FUZZ_CHECK(fuzz::refuses_only_with_input_error([&] { ladder.emplace(WordLadder::from_lowercase(words)); }));
  FUZZ_CHECK(ladder->size() == dict.size());

  std::vector<std::string> probes(dict.begin(), dict.end());
  for (const std::string& w : words) {
    if (w.empty()) continue;
    std::string p = w;
    p.back() = static_cast<char>(p.back() ^ 0x01);
    probes.push_back(p);
  }
  probes.emplace_back();
  for (const std::string& p : probes) {
    FUZZ_CHECK(ladder->contains(p) == (dict.count(p) == 1));
    const auto got = ladder->neighbors(p);
    const auto want = expected_neighbors(dict, p);
    FUZZ_CHECK(got.size() == want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      FUZZ_CHECK(got[i].first == want[i]);
      FUZZ_CHECK(got[i].second == 1.0);
    }
  }

  if (words.size() < 2) return 0;
  const std::string &start = words[0], &goal = words[1];
  const LadderQuery g(*ladder, start, goal);
  std::set<std::string> full = dict;
  full.insert(start);
  full.insert(goal);

  const AlgorithmInfo& algo = kAlgorithms[(flags & 0x0F) % std::size(kAlgorithms)];
  AlgoOptions options;
  options.depth_limit = 8;
  options.beam_width = 4;
  const bool walks =
      algo.strategy == Strategy::Dls || algo.strategy == Strategy::Iddfs || algo.strategy == Strategy::IdaStar;
  const std::uint64_t limit = flags >> 4;
  if (walks || limit != 0) options.limits.max_nodes = limit == 0 ? 5000 : limit * limit;

  SearchResult<LadderQuery::Node> r;
  const bool ran = fuzz::refuses_only_with_input_error(
      [&] { r = run_algo(algo, g, LadderHamming{}, g.start(), g.goal(), options); });
  FUZZ_CHECK(ran == (algo.strategy != Strategy::Jps));  // Jump Point Search runs on grids alone
  if (!ran) return 0;
  FUZZ_CHECK(r.found() == (r.stop_reason == StopReason::Goal));
  // A letter may replace a byte that is not a letter, but not the other way
  // round, so the ladder is a directed graph. Bidirectional search walks the
  // goal side backwards and may join a path with a step against the edges;
  // such a path, and only such a path, costs NaN.
  const bool bidirectional = algo.strategy == Strategy::Bidirectional;
  if (r.found()) {
    std::vector<std::string> path;
    for (const LadderQuery::Node id : *r.path) path.emplace_back(g.word(id));
    FUZZ_CHECK(!path.empty() && path.front() == start && path.back() == goal);
    bool real = true;
    for (std::size_t i = 1; i < path.size(); ++i) {
      const auto next = expected_neighbors(full, path[i - 1]);
      real &= std::find(next.begin(), next.end(), path[i]) != next.end();
    }
    FUZZ_CHECK(real || bidirectional);
    FUZZ_CHECK(real ? r.cost == static_cast<double>(path.size() - 1) : std::isnan(r.cost));
  }
  if (options.limits.max_nodes) return 0;
  const auto best = ladder_length(full, start, goal);
  if (algo.strategy == Strategy::Frontier) FUZZ_CHECK(r.found() == best.has_value());
  if (bidirectional && r.found() && !std::isnan(r.cost)) FUZZ_CHECK(best && r.cost >= static_cast<double>(*best));
  const bool optimal = algo.name == "bfs" || algo.name == "ucs" || algo.name == "dijkstra" || algo.name == "astar";
  if (optimal && best) FUZZ_CHECK(r.cost == static_cast<double>(*best));
  return 0;
}
