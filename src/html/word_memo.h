// The HTML that short texts were written as, kept for the auto-replace list:
// words repeat, and a text's HTML depends only on its bytes and on whether it
// is converted while the list and the tab string stay (the owner clears the
// memo when either changes).
//
// A text of up to kMaxText bytes is keyed by its length and its bytes read as
// four 64-bit words (the last ones partly overlapping or zero, always the
// same way for one length), so finding one costs a few loads, one hash and
// one compare of the words, with no copy of the text. The table is direct
// mapped: a text whose slot is taken replaces what was there. It starts
// small, so a short document does not pay for the whole table, and grows
// while new texts keep coming. The HTML lies in one arena; once the arena
// is full the memo starts again empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvelle {

class WordMemo {
 public:
  static constexpr std::size_t kMaxText = 32;

  struct Key {
    std::uint64_t words[4];
    std::uint32_t tag;  // length * 2 + converted; never kFree
  };
  struct Entry {
    Key key;
    std::uint32_t html_at;
    std::uint32_t html_length;
    bool changed;  // written other than converted and unchanged
  };

  // The key of a text of at most kMaxText bytes.
  static Key KeyOf(std::string_view text, bool convert);

  // The entry kept for the key, or null.
  const Entry* Find(const Key& key) const {
    if (slots_.empty()) return nullptr;
    const Entry& e = slots_[Hash(key) & (slots_.size() - 1)];
    return Same(e.key, key) ? &e : nullptr;
  }
  std::string_view Html(const Entry& e) const { return std::string_view(html_.data() + e.html_at, e.html_length); }

  void Put(const Key& key, std::string_view html, bool changed);
  void Clear();

 private:
  static constexpr std::uint32_t kFree = ~std::uint32_t(0);
  static constexpr std::size_t kFirstSlots = 256;
  static constexpr std::size_t kMaxSlots = 4096;
  static constexpr std::size_t kMaxArena = std::size_t(1) << 20;

  static std::uint64_t Hash(const Key& k) {
    std::uint64_t h = (k.tag + 1) * 0x9E3779B97F4A7C15u;
    for (std::uint64_t w : k.words) h = (h ^ w) * 0xBF58476D1CE4E5B9u;
    return h ^ (h >> 31);
  }
  static bool Same(const Key& a, const Key& b) {
    return a.tag == b.tag && ((a.words[0] ^ b.words[0]) | (a.words[1] ^ b.words[1]) |
                              (a.words[2] ^ b.words[2]) | (a.words[3] ^ b.words[3])) == 0;
  }
  void Grow();

  std::vector<Entry> slots_;
  std::size_t puts_ = 0;  // since the table last grew
  std::string html_;
};

}  // namespace norvelle
