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
// never changed; any number of threads may search it at once. A search whose
// start or goal is not in the dictionary runs on a LadderQuery, which adds
// them as if they were. No node index: the node store keeps words in its
// hash-keyed backend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
    return std::string_view(text_).substr(starts_[id], starts_[id + 1] - starts_[id]);
  }

  // The ids filed under `word` with byte `at` blanked, ascending by their
  // byte at `at`; a hash collision may mix in ids of other buckets, so each
  // must be checked with `differs_only_at`.
  std::pair<const std::uint32_t*, const std::uint32_t*> bucket(std::string_view word, std::size_t at) const;
  bool differs_only_at(std::uint32_t id, std::string_view word, std::size_t at) const;

  // predecessors_into without the check that `word` is a valid dictionary
  // word, for a query that adds words of its own.
  void append_predecessors(const std::string& word, SuccessorList<std::string>& out) const;

  // Memory, for words of length L (the empty word aside), per word: the
  // text, L bytes; its offset, 4; its UTF-8 flag, 1; its ids in `ids_`, one
  // per position, 4L; and per bucket (at most L per word, fewer where words
  // share one) an offset, 4, and a 16-byte map slot, the map kept 3/8 to 3/4
  // full. Knuth's 5,757 five-letter words file into 20,859 buckets: 136 bytes
  // per word, 91 of them the map's (a hash set of the words alone, probed 25
  // times per position, took 114).
  std::string text_;                               // every word, back to back
  std::vector<std::uint32_t> starts_{0};           // word id -> offset in text_, then the end
  std::vector<std::uint8_t> valid_;                // word id -> is_valid_utf8
  FlatMap<std::uint64_t, std::uint32_t> buckets_;  // bucket_key -> bucket number
  std::vector<std::uint32_t> bucket_starts_;       // bucket number -> offset in ids_, then the end
  std::vector<std::uint32_t> ids_;                 // word ids, bucket by bucket
  bool has_empty_ = false;
};

// A word ladder with up to two more words, typically a search's start and
// goal when they are not in the dictionary: a Graph whose neighbours and
// predecessors are exactly those of a ladder built over the dictionary plus
// these words, in the same order. Cheap to make (it copies the two words, not
// the ladder); it refers to the ladder, which must outlive it.
class LadderQuery {
 public:
  using Node = std::string;

  explicit LadderQuery(const WordLadder& ladder) : ladder_(&ladder) {}
  // The ladder plus `start` and `goal`; a word the dictionary already holds
  // adds nothing.
  LadderQuery(const WordLadder& ladder, const std::string& start, const std::string& goal);
  explicit LadderQuery(WordLadder&&) = delete;
  LadderQuery(WordLadder&&, const std::string&, const std::string&) = delete;

  const WordLadder& ladder() const { return *ladder_; }
  bool contains(std::string_view word) const;
  std::size_t size() const { return ladder_->size() + added_; }

  void neighbors_into(const std::string& word, SuccessorList<std::string>& out) const;
  void predecessors_into(const std::string& word, SuccessorList<std::string>& out) const;

  SuccessorList<std::string> neighbors(const std::string& word) const {
    SuccessorList<std::string> out;
    neighbors_into(word, out);
    return out;
  }

 private:
  void add(const std::string& word);

  const WordLadder* ladder_;
  std::array<std::string, 2> words_;
  std::array<bool, 2> valid_{};
  std::size_t added_ = 0;
};

// The number of byte positions, below the shorter of the two lengths, where
// `word` and `goal` differ; a difference in length adds nothing. A step
// changes one byte, so this never overestimates (and is consistent).
struct LadderHamming {
  static constexpr bool pure = true;
  double estimate(const std::string& word, const std::string& goal) const {
    const std::size_t n = word.size() < goal.size() ? word.size() : goal.size();
    std::uint64_t differ = 0;
    for (std::size_t i = 0; i < n; ++i) differ += word[i] != goal[i];
    return static_cast<double>(differ);
  }
};

}  // namespace quellostrin
