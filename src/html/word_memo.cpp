#include "html/word_memo.h"

#include <cstring>

namespace norvelle {

// Whole words of eight bytes, then the rest as one word: four to seven bytes
// as two overlapping halves, one to three as the first, middle and last
// byte. For a given length every byte of the text is in some word, so two
// texts of one length with equal words are equal.
WordMemo::Key WordMemo::KeyOf(std::string_view text, bool convert) {
  constexpr std::uint64_t kMul = 0xBF58476D1CE4E5B9u;
  Key k{{0, 0, 0, 0}, std::uint32_t(text.size()) * 2 + (convert ? 1 : 0), 0};
  const char* p = text.data();
  const std::size_t n = text.size();
  std::uint64_t h = (k.tag + 1) * 0x9E3779B97F4A7C15u;
  std::size_t i = 0;
  for (; n - i >= 8; i += 8) {
    std::memcpy(&k.words[i / 8], p + i, 8);
    h = (h ^ k.words[i / 8]) * kMul;
  }
  const std::size_t rest = n - i;
  if (rest >= 4) {
    std::uint32_t lo, hi;
    std::memcpy(&lo, p + i, 4);
    std::memcpy(&hi, p + n - 4, 4);
    k.words[i / 8] = lo | std::uint64_t(hi) << 32;
  } else if (rest > 0) {
    const auto byte = [&](std::size_t at) { return std::uint64_t(static_cast<unsigned char>(p[at])); };
    k.words[i / 8] = byte(i) | byte(i + rest / 2) << 8 | byte(n - 1) << 16;
  }
  if (rest > 0) h = (h ^ k.words[i / 8]) * kMul;
  k.hash = std::uint32_t(h >> 32);
  return k;
}

void WordMemo::Put(const Key& key, std::string_view html, bool changed) {
  if (html.size() > kMaxArena) return;
  if (html_.size() + html.size() > kMaxArena) Clear();
  if (mask_ == 0) {
    slots_.assign(kFirstSlots, Entry{{{0, 0, 0, 0}, kFree, 0}, 0, 0, false});
    mask_ = kFirstSlots - 1;
  }
  if (++puts_ > slots_.size() && slots_.size() < kMaxSlots) Grow();
  Entry& e = slots_[key.hash & mask_];
  e = Entry{key, std::uint32_t(html_.size()), std::uint32_t(html.size()), changed};
  html_.append(html);
}

// Four times the slots, the kept entries moved to theirs (two that meet in
// one slot keep the later).
void WordMemo::Grow() {
  std::vector<Entry> old(slots_.size() * 4, Entry{{{0, 0, 0, 0}, kFree, 0}, 0, 0, false});
  old.swap(slots_);
  mask_ = slots_.size() - 1;
  for (const Entry& e : old)
    if (e.key.tag != kFree) slots_[e.key.hash & mask_] = e;
  puts_ = 0;
}

void WordMemo::Clear() {
  slots_.clear();
  mask_ = 0;
  puts_ = 0;
  html_.clear();
}

}  // namespace norvelle
