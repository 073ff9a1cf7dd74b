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
// The dictionary is a hash set used only for membership tests, so hashing
// never shows in a result. No node index: the node store keeps words in its
// hash-keyed backend. The ladder does not change during a search and may be
// shared between searches; each neighbours call has its own scratch buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quellostrin/hash.hpp"
#include "quellostrin/traits.hpp"

namespace quellostrin {

// True when `bytes` is well-formed UTF-8: no stray continuation byte, no
// truncated sequence, no overlong form, no surrogate (U+D800..U+DFFF) and
// nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

class WordLadder {
 public:
  using Node = std::string;

  // The ladder over `words`, which must already be lower-cased (the caller
  // applies full Unicode lower-casing, as Python's str.lower() does; the core
  // has no case tables and changes no byte). Duplicates collapse into one
  // entry; nothing else is filtered, so words of any length, the empty word
  // and byte strings that are not UTF-8 are admitted (an entry that is not
  // valid UTF-8 is never anyone's neighbour).
  static WordLadder from_lowercase(std::vector<std::string> words);

  // Adds one more lower-cased word, e.g. a search's start and goal; true when
  // it was new. Not while a search runs on this ladder.
  bool insert(const std::string& word) {
    note_bytes(word);
    return words_.insert(word);
  }

  bool contains(const std::string& word) const { return words_.contains(word); }
  std::size_t size() const { return words_.size(); }

  void neighbors_into(const std::string& word, SuccessorList<std::string>& out) const;

  SuccessorList<std::string> neighbors(const std::string& word) const {
    SuccessorList<std::string> out;
    neighbors_into(word, out);
    return out;
  }

  // The dictionary words that have `word` among their neighbours: by byte
  // position, left to right, and within a position by the byte replaced, in
  // ascending order. Where every word is made of the letters a..z alone these
  // are exactly its neighbours, in the same order.
  void predecessors_into(const std::string& word, SuccessorList<std::string>& out) const;

 private:
  // Adds the bytes outside a..z that `word` holds to replaced_bytes_.
  void note_bytes(const std::string& word);

  FlatSet<std::string> words_;
  // The letters a..z and the other bytes that some dictionary word holds (the
  // only ones a letter can have replaced on the way to a neighbour), in
  // ascending order.
  std::string replaced_bytes_ = "abcdefghijklmnopqrstuvwxyz";
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
