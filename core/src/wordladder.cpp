#include "quellostrin/domains/wordladder.hpp"

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

#include "quellostrin/errors.hpp"

namespace quellostrin {

bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p != end) {
    const unsigned lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    // The length of the sequence and the range its second byte must fall in;
    // the narrowed ranges are what rule out overlong forms (E0, F0),
    // surrogates (ED) and code points above U+10FFFF (F4).
    std::size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      len = 3;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      len = 4;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      return false;  // a continuation byte, an overlong lead (C0, C1) or F5..FF
    }
    if (static_cast<std::size_t>(end - p) < len) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if (p[k] < 0x80 || p[k] > 0xBF) return false;
    }
    p += len;
  }
  return true;
}

namespace {

bool is_letter(unsigned char byte) { return byte >= 'a' && byte <= 'z'; }

// The hash of the wildcard bucket of `word` at byte `at`: its length, the
// position and every byte but the one at `at`.
std::uint64_t bucket_key(std::string_view word, std::size_t at) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(word.data());
  FxHasher h;
  h.add(word.size());
  h.add(at);
  h.add_bytes(bytes, at);
  h.add_bytes(bytes + at + 1, word.size() - at - 1);
  return h.state;
}

// The one position where `a` and `b` differ, or npos when they differ in
// length or at any other number of positions.
std::size_t single_difference(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return std::string_view::npos;
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (at != std::string_view::npos) return std::string_view::npos;
    at = i;
  }
  return at;
}

// Neighbours and predecessors of `word` both come out by the first position
// where they differ from it, then by their own byte there: this is that order.
std::pair<std::size_t, unsigned char> place_of(std::string_view word, std::string_view listed) {
  const auto differ = std::mismatch(word.begin(), word.end(), listed.begin(), listed.end()).second;
  return {static_cast<std::size_t>(differ - listed.begin()), static_cast<unsigned char>(*differ)};
}

// Puts `extra` into out[from..), a listing for `word` in that order, at its place.
void insert_in_order(SuccessorList<std::string>& out, std::size_t from, std::string_view word,
                     const std::string& extra) {
  const auto place = place_of(word, extra);
  auto at = out.begin() + static_cast<std::ptrdiff_t>(from);
  while (at != out.end() && place_of(word, at->first) < place) ++at;
  out.emplace(at, extra, 1.0);
}

}  // namespace

WordLadder WordLadder::from_lowercase(std::vector<std::string> words) {
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());

  WordLadder ladder;
  std::size_t total = 0;
  for (const std::string& w : words) total += w.size();
  // Offsets into the text and into the ids (one per byte) are 32-bit.
  if (total > std::numeric_limits<std::uint32_t>::max()) {
    fail_input("the words of a ladder must hold less than 4 GiB in all, got {} bytes", total);
  }

  // Every (bucket, word) pair, to be grouped by bucket and, within one, put
  // in the order of the byte that the bucket blanks.
  struct Filed {
    std::uint64_t key;
    std::uint32_t id;
    unsigned char byte;
  };
  std::vector<Filed> filed;
  filed.reserve(total);
  ladder.text_.reserve(total);
  ladder.starts_.reserve(words.size() + 1);
  ladder.valid_.reserve(words.size());
  for (const std::string& w : words) {
    if (w.empty()) {
      ladder.has_empty_ = true;  // it has no byte to blank, so no bucket
      continue;
    }
    const auto id = static_cast<std::uint32_t>(ladder.valid_.size());
    ladder.text_ += w;
    ladder.starts_.push_back(static_cast<std::uint32_t>(ladder.text_.size()));
    ladder.valid_.push_back(is_valid_utf8(w));
    for (std::size_t at = 0; at < w.size(); ++at) {
      filed.push_back({bucket_key(w, at), id, static_cast<unsigned char>(w[at])});
    }
  }
  // A word two of whose positions hash alike would sit twice in one bucket
  // and be listed twice (a lookup checks a word against the position it asks
  // about, not the one the word was filed under): it keeps one place.
  std::sort(filed.begin(), filed.end(),
            [](const Filed& a, const Filed& b) { return std::tie(a.key, a.id) < std::tie(b.key, b.id); });
  filed.erase(std::unique(filed.begin(), filed.end(),
                          [](const Filed& a, const Filed& b) { return a.key == b.key && a.id == b.id; }),
              filed.end());
  // Bucket by bucket, each in the order of the byte it blanks.
  std::sort(filed.begin(), filed.end(), [](const Filed& a, const Filed& b) {
    return std::tie(a.key, a.byte, a.id) < std::tie(b.key, b.byte, b.id);
  });

  const auto opens_bucket = [&](std::size_t k) { return k == 0 || filed[k].key != filed[k - 1].key; };
  std::size_t buckets = 0;
  for (std::size_t k = 0; k < filed.size(); ++k) buckets += opens_bucket(k);
  ladder.buckets_ = FlatMap<std::uint64_t, std::uint32_t>(buckets);
  ladder.bucket_starts_.reserve(buckets + 1);
  ladder.ids_.reserve(filed.size());
  for (std::size_t k = 0; k < filed.size(); ++k) {
    if (opens_bucket(k)) {
      *ladder.buckets_.try_emplace(filed[k].key).first = static_cast<std::uint32_t>(ladder.bucket_starts_.size());
      ladder.bucket_starts_.push_back(static_cast<std::uint32_t>(k));
    }
    ladder.ids_.push_back(filed[k].id);
  }
  ladder.bucket_starts_.push_back(static_cast<std::uint32_t>(filed.size()));
  return ladder;
}

std::pair<const std::uint32_t*, const std::uint32_t*> WordLadder::bucket(std::string_view word,
                                                                          std::size_t at) const {
  const std::uint32_t* number = buckets_.find(bucket_key(word, at));
  if (number == nullptr) return {nullptr, nullptr};
  return {ids_.data() + bucket_starts_[*number], ids_.data() + bucket_starts_[*number + 1]};
}

bool WordLadder::differs_only_at(std::uint32_t id, std::string_view word, std::size_t at) const {
  const std::string_view other = entry(id);
  return other.size() == word.size() && other.substr(0, at) == word.substr(0, at) &&
         other.substr(at + 1) == word.substr(at + 1);
}

bool WordLadder::contains(std::string_view word) const {
  if (word.empty()) return has_empty_;
  for (auto [id, end] = bucket(word, 0); id != end; ++id) {
    if (entry(*id) == word) return true;
  }
  return false;
}

void WordLadder::neighbors_into(const std::string& word, SuccessorList<std::string>& out) const {
  // In a valid word, a letter put over an ASCII byte leaves it valid, and a
  // letter put over any byte of a multi-byte character breaks that character:
  // so only the ASCII positions need looking up, and every dictionary word
  // found there is valid. A word that is not valid UTF-8 may only step to
  // dictionary words that are.
  const bool valid = is_valid_utf8(word);
  std::string buf = word;
  for (std::size_t at = 0; at < word.size(); ++at) {
    const auto kept = static_cast<unsigned char>(word[at]);
    if (valid && kept >= 0x80) continue;
    for (auto [id, end] = bucket(word, at); id != end; ++id) {
      const auto byte = static_cast<unsigned char>(text_[starts_[*id] + at]);
      if (byte > 'z') break;  // the rest of the bucket holds no letter either
      if (byte < 'a' || byte == kept || !differs_only_at(*id, word, at)) continue;
      if (!valid && !valid_[*id]) continue;
      buf[at] = static_cast<char>(byte);
      out.emplace_back(buf, 1.0);
    }
    buf[at] = static_cast<char>(kept);
  }
}

void WordLadder::append_predecessors(const std::string& word, SuccessorList<std::string>& out) const {
  // x -> word needs x equal to word but at one position, where word holds a
  // letter and x any other byte.
  std::string buf = word;
  for (std::size_t at = 0; at < word.size(); ++at) {
    const auto kept = static_cast<unsigned char>(word[at]);
    if (!is_letter(kept)) continue;
    for (auto [id, end] = bucket(word, at); id != end; ++id) {
      const auto byte = static_cast<unsigned char>(text_[starts_[*id] + at]);
      if (byte == kept || !differs_only_at(*id, word, at)) continue;
      buf[at] = static_cast<char>(byte);
      out.emplace_back(buf, 1.0);
    }
    buf[at] = static_cast<char>(kept);
  }
}

void WordLadder::predecessors_into(const std::string& word, SuccessorList<std::string>& out) const {
  if (word.empty() || !is_valid_utf8(word) || !contains(word)) return;
  append_predecessors(word, out);
}

LadderQuery::LadderQuery(const WordLadder& ladder, const std::string& start, const std::string& goal)
    : ladder_(&ladder) {
  add(start);
  add(goal);
}

void LadderQuery::add(const std::string& word) {
  if (contains(word)) return;
  words_[added_] = word;
  valid_[added_] = is_valid_utf8(word);
  ++added_;
}

bool LadderQuery::contains(std::string_view word) const {
  for (std::size_t k = 0; k < added_; ++k) {
    if (words_[k] == word) return true;
  }
  return ladder_->contains(word);
}

void LadderQuery::neighbors_into(const std::string& word, SuccessorList<std::string>& out) const {
  const std::size_t from = out.size();
  ladder_->neighbors_into(word, out);
  // An added word is a neighbour by the dictionary's rule; it is not in the
  // dictionary, so its place is free.
  for (std::size_t k = 0; k < added_; ++k) {
    const std::size_t at = single_difference(word, words_[k]);
    if (at == std::string_view::npos || !is_letter(static_cast<unsigned char>(words_[k][at])) || !valid_[k]) continue;
    insert_in_order(out, from, word, words_[k]);
  }
}

void LadderQuery::predecessors_into(const std::string& word, SuccessorList<std::string>& out) const {
  if (word.empty() || !is_valid_utf8(word) || !contains(word)) return;
  const std::size_t from = out.size();
  ladder_->append_predecessors(word, out);
  for (std::size_t k = 0; k < added_; ++k) {
    const std::size_t at = single_difference(word, words_[k]);
    if (at == std::string_view::npos || !is_letter(static_cast<unsigned char>(word[at]))) continue;
    insert_in_order(out, from, word, words_[k]);
  }
}

}  // namespace quellostrin
