// WordLadder: the word-ladder puzzle as an implicit graph. The nodes are words
// (UTF-8 strings); a word's neighbours are the dictionary words obtained by
// putting one lowercase letter a..z in place of one of its bytes. Every step
// costs 1.0.
//
// Rules it keeps:
// - neighbours come out by byte position, left to right, and within a
//   position by new letter, a to z; a word is never its own neighbour;
// - a candidate that is not valid UTF-8 (a letter put into a multi-byte
//   character) is skipped, so every neighbour is valid UTF-8, and a
//   multi-byte character of a valid word never changes along a ladder;
// - any single byte may become a letter, but a letter never becomes a byte
//   outside a..z, so the graph is directed where words hold other bytes
//   ("1b" -> "ab" and not back). `predecessors_into` lists the edges into a
//   word, so that a search from the goal backwards follows them the right way;
// - only words of the same byte length can be neighbours;
// - any string is a legal node, in the dictionary or not, valid UTF-8 or not:
//   its neighbours are looked up the same way.
//
// The dictionary is fixed when the ladder is built: it is indexed by wildcard
// buckets, one per (length, position i, word with byte i blanked), so that a
// neighbour listing costs one lookup per byte position. A built ladder is
// never changed; any number of threads may search it at once.
//
// Searches run on a LadderQuery: the ladder plus a start and a goal that may
// not be in the dictionary, its nodes 32-bit ids (a dictionary word's own id,
// the next two for the added words), so that the searches hash and compare
// integers and index the dense node store. Each dictionary word's neighbours
// are listed once, when the ladder is built, and a search over ids reads
// them; words are made only for the result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quellostrin/hash.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// True when `bytes` is well-formed UTF-8: no stray continuation byte, no
// truncated sequence, no overlong form, no surrogate (U+D800..U+DFFF) and
// nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

class LadderQuery;

class WordLadder {
 public:
  using Node = std::string;

  // The ladder over `words`, which must already be lower-cased (the caller
  // applies full Unicode lower-casing, as Python's str.lower() does; the core
  // has no case tables and changes no byte). Duplicates collapse into one
  // entry; nothing else is filtered, so words of any length, the empty word
  // and byte strings that are not UTF-8 are admitted (an entry that is not
  // valid UTF-8 is never anyone's neighbour). InputError when the words hold
  // 4 GiB or more in all.
  static WordLadder from_lowercase(std::vector<std::string> words);

  WordLadder() = default;  // the empty dictionary

  bool contains(std::string_view word) const;
  std::size_t size() const { return starts_.size() - 1 + (has_empty_ ? 1 : 0); }

  // Every word of the dictionary, once each (the empty word last, when it is
  // one): what from_lowercase needs to build this ladder again.
  std::vector<std::string> words() const {
    std::vector<std::string> out;
    out.reserve(size());
    for (std::uint32_t id = 0; id + 1 < starts_.size(); ++id) out.emplace_back(entry(id));
    if (has_empty_) out.emplace_back();
    return out;
  }

  void neighbors_into(const std::string& word, SuccessorList<std::string>& out) const;

  SuccessorList<std::string> neighbors(const std::string& word) const {
    SuccessorList<std::string> out;
    neighbors_into(word, out);
    return out;
  }

  // The dictionary words that have `word` among their neighbours: by byte
  // position, left to right, and within a position by the byte replaced, in
  // ascending order. Nothing unless `word` is itself a valid dictionary word.
  // Where every word is made of the letters a..z alone these are exactly its
  // neighbours, in the same order.
  void predecessors_into(const std::string& word, SuccessorList<std::string>& out) const;

 private:
  friend class LadderQuery;

  std::string_view entry(std::uint32_t id) const {
    return std::string_view(text_.data() + starts_[id], starts_[id + 1] - starts_[id]);
  }

  // The ids filed under `word` with byte `at` blanked, ascending by their
  // byte at `at`; a hash collision may mix in ids of other buckets, so each
  // must be checked with `differs_only_at`.
  std::pair<const std::uint32_t*, const std::uint32_t*> bucket(std::string_view word, std::size_t at) const;
  bool differs_only_at(std::uint32_t id, std::string_view word, std::size_t at) const;

  // Calls visit(id, byte) for each dictionary word that differs from `word`
  // at byte `at` alone, with its byte there, in the order of those bytes.
  template <class Visit>
  void each_member(std::string_view word, std::size_t at, Visit visit) const;
  // Calls emit(id) for each dictionary word that is a neighbour of `word`
  // (valid UTF-8 or not as `valid` says), in neighbour order.
  template <class Emit>
  void each_neighbor(std::string_view word, bool valid, Emit emit) const;
  // The same for the dictionary words that have `word` among their
  // neighbours, in predecessor order, for a `word` that is valid UTF-8 and a
  // node (in the dictionary, or added by a query).
  template <class Emit>
  void each_predecessor(std::string_view word, Emit emit) const;

  // The neighbours of dictionary word `id`, listed once when the ladder is
  // built.
  std::pair<const std::uint32_t*, const std::uint32_t*> links(std::uint32_t id) const {
    return {links_.data() + link_starts_[id], links_.data() + link_starts_[id + 1]};
  }

  // Memory, for words of length L (the empty word aside), per word: the
  // text, L bytes; its offset, 4; its UTF-8 flag, 1; its ids in `ids_`, one
  // per position, 4L; its neighbours, 4 each, their offset, 8, and a flag, 1;
  // and per bucket (at most L per word, fewer where words share one) an
  // offset, 4, and a 16-byte map slot, the map kept 3/8 to 3/4 full. Knuth's
  // 5,757 five-letter words file into 20,859 buckets and have 4.9 neighbours
  // each: 165 bytes per word, 91 of them the map's (a hash set of the words
  // alone, probed 25 times per position, took 114).
  std::string text_;                               // every word, back to back
  std::vector<std::uint32_t> starts_{0};           // word id -> offset in text_, then the end
  std::vector<std::uint8_t> valid_;                // word id -> is_valid_utf8
  FlatMap<std::uint64_t, std::uint32_t> buckets_;  // bucket_key -> bucket number
  std::vector<std::uint32_t> bucket_starts_;       // bucket number -> offset in ids_, then the end
  std::vector<std::uint32_t> ids_;                 // word ids, bucket by bucket
  // Each word's neighbours (up to 26 per byte), and whether they are also its
  // predecessors, as they are unless a step between it and a word it meets
  // goes one way only (between a letter and another byte): searches over ids
  // read these instead of looking in the buckets.
  std::vector<std::uint64_t> link_starts_{0};  // word id -> offset in links_, then the end
  std::vector<std::uint32_t> links_;           // neighbours, word by word
  std::vector<std::uint8_t> links_both_ways_;  // word id -> its predecessors are its neighbours
  bool has_empty_ = false;
};

// A word ladder with up to two more words, typically a search's start and
// goal when they are not in the dictionary: a Graph over word ids whose
// neighbours and predecessors are exactly those of a ladder built over the
// dictionary plus these words, in the same order. A dictionary word's id is
// its own; an added word takes the next free id (the empty word, which has
// none in the dictionary, is always added). Cheap to make (it copies the two
// words and lists their edges to the dictionary, not the ladder); it refers to
// the ladder, which must outlive it. Queries over one ladder are independent.
class LadderQuery {
 public:
  using Node = std::uint32_t;

  // The ladder plus `start` and `goal`; a word the dictionary already holds
  // adds nothing.
  LadderQuery(const WordLadder& ladder, const std::string& start, const std::string& goal);
  LadderQuery(WordLadder&&, const std::string&, const std::string&) = delete;

  Node start() const { return start_; }
  Node goal() const { return goal_; }
  // The id of `word`, when it is a node of this query.
  std::optional<Node> id_of(std::string_view word) const;
  // The word of a node of this query.
  std::string_view word(Node id) const {
    return id < first_added_ ? ladder_->entry(id) : std::string_view(words_[id - first_added_]);
  }

  void neighbors_into(Node id, SuccessorList<Node>& out) const;
  void predecessors_into(Node id, SuccessorList<Node>& out) const;

  // Every node has an index, its id, below index_space().
  std::optional<std::uint64_t> node_index(Node id) const { return id; }
  std::uint64_t dense_index(Node id) const { return id; }
  std::uint64_t index_space() const { return std::uint64_t{first_added_} + added_; }

 private:
  // Appends the neighbours dictionary word `id` has in the dictionary.
  void append_links(SuccessorList<Node>& out, Node id) const {
    for (auto [to, end] = ladder_->links(id); to != end; ++to) out.emplace_back(*to, 1.0);
  }
  // Puts added word `id` into out[from..), a listing for node `of`, at its place.
  void insert_in_order(SuccessorList<Node>& out, std::size_t from, Node of, Node id) const;
  // The same for each added word that `edges` pairs with dictionary word `id`.
  void insert_added(SuccessorList<Node>& out, std::size_t from, Node id,
                    const std::vector<std::pair<Node, Node>>& edges) const;

  const WordLadder* ladder_;
  Node first_added_;  // the dictionary's ids are below it
  std::array<std::string, 2> words_;
  std::array<bool, 2> valid_{};
  Node added_ = 0;
  Node start_ = 0, goal_ = 0;
  // (dictionary id, added id) for each edge between the dictionary and an
  // added word, in each direction; sorted. Each holds at most 255 entries per
  // byte of an added word.
  std::vector<std::pair<Node, Node>> into_added_, from_added_;
};

// The number of byte positions, below the shorter of the two lengths, where
// `word` and `goal` differ; a difference in length adds nothing. A step
// changes one byte, so this never overestimates (and is consistent). Over a
// LadderQuery's ids it reads the query's words, and so must be made for the
// query first by `for_domain` (as run_algo does).
struct LadderHamming {
  static constexpr bool pure = true;
  const LadderQuery* query = nullptr;

  static double count(std::string_view word, std::string_view goal) {
    const std::size_t n = word.size() < goal.size() ? word.size() : goal.size();
    std::uint64_t differ = 0;
    for (std::size_t i = 0; i < n; ++i) differ += word[i] != goal[i];
    return static_cast<double>(differ);
  }
  double estimate(const std::string& word, const std::string& goal) const { return count(word, goal); }
  double estimate(LadderQuery::Node word, LadderQuery::Node goal) const {
    return count(query->word(word), query->word(goal));
  }
  LadderHamming for_domain(const LadderQuery& q) const { return LadderHamming{&q}; }
};

}  // namespace quellostrin
