#include "quellostrin/puzzles/wordladder.hpp"

#include <algorithm>

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

WordLadder WordLadder::from_lowercase(std::vector<std::string> words) {
  WordLadder ladder;
  // Room for twice the words: most lookups miss, and a sparse table keeps
  // their probe runs short (this halves the time of a neighbour listing).
  ladder.words_ = FlatSet<std::string>(2 * words.size());
  for (const std::string& w : words) {
    ladder.note_bytes(w);
    ladder.words_.insert(w);
  }
  return ladder;
}

void WordLadder::note_bytes(const std::string& word) {
  const auto byte_less = [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); };
  for (const char ch : word) {
    const auto at = std::lower_bound(replaced_bytes_.begin(), replaced_bytes_.end(), ch, byte_less);
    if (at == replaced_bytes_.end() || *at != ch) replaced_bytes_.insert(at, ch);
  }
}

void WordLadder::predecessors_into(const std::string& word, SuccessorList<std::string>& out) const {
  // x -> word needs word in the dictionary and valid, and x equal to it but
  // at one position, where word holds a letter and x any other byte that a
  // dictionary word holds.
  if (word.empty() || !is_valid_utf8(word) || !words_.contains(word)) return;
  std::string buf = word;
  for (std::size_t i = 0; i < buf.size(); ++i) {
    const char kept = buf[i];
    if (kept < 'a' || kept > 'z') continue;
    for (const char byte : replaced_bytes_) {
      if (byte == kept) continue;
      buf[i] = byte;
      if (words_.contains(buf)) out.emplace_back(buf, 1.0);
    }
    buf[i] = kept;
  }
}

void WordLadder::neighbors_into(const std::string& word, SuccessorList<std::string>& out) const {
  if (word.empty() || words_.empty()) return;
  // In a valid word, a letter put over an ASCII byte leaves it valid, and a
  // letter put over any byte of a multi-byte character breaks that character:
  // so only the ASCII positions need trying, with no check per candidate. A
  // word that is not valid UTF-8 has every candidate checked in full.
  const bool valid = is_valid_utf8(word);
  std::string buf = word;
  for (std::size_t i = 0; i < buf.size(); ++i) {
    const char kept = buf[i];
    if (valid && static_cast<unsigned char>(kept) >= 0x80) continue;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      if (letter == kept) continue;
      buf[i] = letter;
      if (!valid && !is_valid_utf8(buf)) continue;
      if (words_.contains(buf)) out.emplace_back(buf, 1.0);
    }
    buf[i] = kept;
  }
}

}  // namespace quellostrin
