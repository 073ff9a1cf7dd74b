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

// Whether a word steps to another that differs from it at one position alone,
// where it holds `from` and the other `to`, each valid UTF-8 or not as said: a
// letter takes the place of any other byte, and the other word is valid. In a
// valid word, a letter put over an ASCII byte leaves it valid, and a letter
// put over any byte of a multi-byte character breaks that character.
bool is_step(unsigned char from, unsigned char to, bool from_valid, bool to_valid) {
  return is_letter(to) && to != from && (from_valid ? from < 0x80 : to_valid);
}

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
    std::uint32_t offset;  // of the byte in text_
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
      filed.push_back({bucket_key(w, at), id, static_cast<std::uint32_t>(ladder.text_.size() - w.size() + at),
                       static_cast<unsigned char>(w[at])});
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
  // While building: the bucket each byte was filed under (none for the byte
  // of a word that another of its bytes shares a bucket with), and whether a
  // bucket holds one wildcard's words alone, all filed under one position, as
  // it does unless a hash collision mixes two.
  constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> home(total, kNone);
  std::vector<std::uint8_t> exact(buckets, 1);
  std::vector<unsigned char> bytes;  // beside ids_: each word's byte where it was filed
  bytes.reserve(filed.size());
  const auto wildcard = [&](const Filed& f) {
    const std::uint32_t at = f.offset - ladder.starts_[f.id];
    const std::string_view w = ladder.entry(f.id);
    return std::tuple(w.size(), at, w.substr(0, at), w.substr(at + 1));
  };
  std::size_t first = 0;
  for (std::size_t k = 0; k < filed.size(); ++k) {
    const auto number = static_cast<std::uint32_t>(ladder.bucket_starts_.size() - (opens_bucket(k) ? 0 : 1));
    if (opens_bucket(k)) {
      *ladder.buckets_.try_emplace(filed[k].key).first = number;
      ladder.bucket_starts_.push_back(static_cast<std::uint32_t>(k));
      first = k;
    } else if (exact[number] && wildcard(filed[k]) != wildcard(filed[first])) {
      exact[number] = 0;
    }
    home[filed[k].offset] = number;
    ladder.ids_.push_back(filed[k].id);
    bytes.push_back(filed[k].byte);
  }
  ladder.bucket_starts_.push_back(static_cast<std::uint32_t>(filed.size()));

  // Each word's neighbours, and whether they are its predecessors too: as
  // they are unless a step between it and a word it meets goes one way only.
  // The words it meets at a byte are those of its bucket there, when that
  // bucket is one wildcard's, found without hashing or comparing words.
  ladder.link_starts_.reserve(ladder.valid_.size() + 1);
  ladder.links_both_ways_.reserve(ladder.valid_.size());
  for (std::uint32_t id = 0; id < ladder.valid_.size(); ++id) {
    const std::string_view w = ladder.entry(id);
    const bool valid = ladder.valid_[id] != 0;
    bool both_ways = true;
    for (std::size_t at = 0; at < w.size(); ++at) {
      const auto kept = static_cast<unsigned char>(w[at]);
      const auto visit = [&](std::uint32_t other, unsigned char byte) {
        const bool out = is_step(kept, byte, valid, ladder.valid_[other] != 0);
        if (out) ladder.links_.push_back(other);
        both_ways = both_ways && out == is_step(byte, kept, ladder.valid_[other] != 0, valid);
      };
      const std::uint32_t number = home[ladder.starts_[id] + at];
      if (number == kNone || !exact[number]) {
        ladder.each_member(w, at, visit);
        continue;
      }
      for (std::uint32_t k = ladder.bucket_starts_[number]; k < ladder.bucket_starts_[number + 1]; ++k) {
        if (ladder.ids_[k] != id) visit(ladder.ids_[k], bytes[k]);
      }
    }
    ladder.links_both_ways_.push_back(both_ways);
    ladder.link_starts_.push_back(ladder.links_.size());
  }
  return ladder;
}

std::pair<const std::uint32_t*, const std::uint32_t*> WordLadder::bucket(std::string_view word,
                                                                          std::size_t at) const {
  const std::uint32_t* number = buckets_.find(bucket_key(word, at));
  if (number == nullptr) return {nullptr, nullptr};
  return {ids_.data() + bucket_starts_[*number], ids_.data() + bucket_starts_[*number + 1]};
}

bool WordLadder::differs_only_at(std::uint32_t id, std::string_view word, std::size_t at) const {
  // Byte by byte: words are short, and a loop beats two calls to memcmp.
  const std::string_view other = entry(id);
  if (other.size() != word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (other[i] != word[i] && i != at) return false;
  }
  return true;
}

bool WordLadder::contains(std::string_view word) const {
  if (word.empty()) return has_empty_;
  for (auto [id, end] = bucket(word, 0); id != end; ++id) {
    if (entry(*id) == word) return true;
  }
  return false;
}

template <class Visit>
void WordLadder::each_member(std::string_view word, std::size_t at, Visit visit) const {
  for (auto [id, end] = bucket(word, at); id != end; ++id) {
    if (differs_only_at(*id, word, at)) visit(*id, static_cast<unsigned char>(text_[starts_[*id] + at]));
  }
}

template <class Emit>
void WordLadder::each_neighbor(std::string_view word, bool valid, Emit emit) const {
  for (std::size_t at = 0; at < word.size(); ++at) {
    const auto kept = static_cast<unsigned char>(word[at]);
    if (valid && kept >= 0x80) continue;  // no step from here (is_step)
    each_member(word, at, [&](std::uint32_t id, unsigned char byte) {
      if (is_step(kept, byte, valid, valid_[id] != 0)) emit(id);
    });
  }
}

template <class Emit>
void WordLadder::each_predecessor(std::string_view word, Emit emit) const {
  for (std::size_t at = 0; at < word.size(); ++at) {
    const auto kept = static_cast<unsigned char>(word[at]);
    if (!is_letter(kept)) continue;  // no step to here
    each_member(word, at, [&](std::uint32_t id, unsigned char byte) {
      if (is_step(byte, kept, valid_[id] != 0, true)) emit(id);
    });
  }
}

void WordLadder::neighbors_into(const std::string& word, SuccessorList<std::string>& out) const {
  each_neighbor(word, is_valid_utf8(word), [&](std::uint32_t id) { out.emplace_back(entry(id), 1.0); });
}

void WordLadder::predecessors_into(const std::string& word, SuccessorList<std::string>& out) const {
  if (word.empty() || !is_valid_utf8(word) || !contains(word)) return;
  each_predecessor(word, [&](std::uint32_t id) { out.emplace_back(entry(id), 1.0); });
}

LadderQuery::LadderQuery(const WordLadder& ladder, const std::string& start, const std::string& goal)
    : ladder_(&ladder), first_added_(static_cast<Node>(ladder.valid_.size())) {
  // Ids of the words given, adding those the dictionary lacks. The words of a
  // ladder hold less than 4 GiB, so fewer than 2^31 of them are distinct and
  // two more ids fit.
  const auto take = [&](const std::string& word) {
    if (const std::optional<Node> id = id_of(word)) return *id;
    words_[added_] = word;
    valid_[added_] = is_valid_utf8(word);
    return first_added_ + added_++;
  };
  start_ = take(start);
  goal_ = take(goal);
  // The edges between the dictionary and each added word, found once.
  for (Node k = 0; k < added_; ++k) {
    const Node id = first_added_ + k;
    ladder.each_neighbor(words_[k], valid_[k], [&](std::uint32_t to) { from_added_.emplace_back(to, id); });
    if (valid_[k]) ladder.each_predecessor(words_[k], [&](std::uint32_t from) { into_added_.emplace_back(from, id); });
  }
  std::sort(from_added_.begin(), from_added_.end());
  std::sort(into_added_.begin(), into_added_.end());
}

std::optional<LadderQuery::Node> LadderQuery::id_of(std::string_view word) const {
  for (Node k = 0; k < added_; ++k) {
    if (words_[k] == word) return first_added_ + k;
  }
  if (word.empty()) return std::nullopt;  // the dictionary's empty word has no id
  for (auto [id, end] = ladder_->bucket(word, 0); id != end; ++id) {
    if (ladder_->entry(*id) == word) return *id;
  }
  return std::nullopt;
}

void LadderQuery::insert_in_order(SuccessorList<Node>& out, std::size_t from, Node of, Node id) const {
  // Neighbours and predecessors both come out by the first position where
  // they differ from the word listed for, then by their own byte there.
  const std::string_view word = this->word(of);
  const auto place = place_of(word, this->word(id));
  auto at = out.begin() + static_cast<std::ptrdiff_t>(from);
  while (at != out.end() && place_of(word, this->word(at->first)) < place) ++at;
  out.emplace(at, id, 1.0);
}

void LadderQuery::insert_added(SuccessorList<Node>& out, std::size_t from, Node id,
                               const std::vector<std::pair<Node, Node>>& edges) const {
  // An added word is listed by the dictionary's rule; it is not in the
  // dictionary, so its place is free.
  for (auto e = std::lower_bound(edges.begin(), edges.end(), std::pair<Node, Node>(id, 0));
       e != edges.end() && e->first == id; ++e) {
    insert_in_order(out, from, id, e->second);
  }
}

void LadderQuery::neighbors_into(Node id, SuccessorList<Node>& out) const {
  const std::size_t from = out.size();
  if (id < first_added_) {
    append_links(out, id);
    if (!into_added_.empty()) insert_added(out, from, id, into_added_);
    return;
  }
  const Node k = id - first_added_;
  const std::string_view word = words_[k];
  ladder_->each_neighbor(word, valid_[k], [&](std::uint32_t to) { out.emplace_back(to, 1.0); });
  const Node other = 1 - k;
  if (other < added_ && valid_[other]) {
    const std::size_t at = single_difference(word, words_[other]);
    if (at != std::string_view::npos && is_letter(static_cast<unsigned char>(words_[other][at]))) {
      insert_in_order(out, from, id, first_added_ + other);
    }
  }
}

void LadderQuery::predecessors_into(Node id, SuccessorList<Node>& out) const {
  const std::size_t from = out.size();
  const auto emit = [&](std::uint32_t x) { out.emplace_back(x, 1.0); };
  if (id < first_added_) {
    if (!ladder_->valid_[id]) return;
    if (ladder_->links_both_ways_[id]) {
      append_links(out, id);
    } else {
      ladder_->each_predecessor(ladder_->entry(id), emit);
    }
    if (!from_added_.empty()) insert_added(out, from, id, from_added_);
    return;
  }
  const Node k = id - first_added_;
  const std::string_view word = words_[k];
  if (word.empty() || !valid_[k]) return;
  ladder_->each_predecessor(word, emit);
  const Node other = 1 - k;
  if (other < added_) {
    const std::size_t at = single_difference(word, words_[other]);
    if (at != std::string_view::npos && is_letter(static_cast<unsigned char>(word[at]))) {
      insert_in_order(out, from, id, first_added_ + other);
    }
  }
}

}  // namespace quellostrin
