// The HTML that short texts were written as, kept for the auto-replace list:
// words repeat, and a text's HTML depends only on its bytes and on whether it
// is converted while the list and the tab string stay (the owner clears the
// memo when either changes).
//
// A text of up to kMaxText bytes is keyed by its length and its bytes read as
// four 64-bit words (the last ones partly overlapping or zero, always the
// same way for one length), hashed as they are read, so finding one costs a
// few loads and multiplies and one compare of the words, with no copy of the
// text. The table is direct
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
    std::uint32_t tag;   // length * 2 + converted; never kFree
    std::uint32_t hash;  // of the above, not compared
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
    if (mask_ == 0) return nullptr;
    const Entry& e = slots_.data()[key.hash & mask_];
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

  static bool Same(const Key& a, const Key& b) {
    return a.tag == b.tag && ((a.words[0] ^ b.words[0]) | (a.words[1] ^ b.words[1]) |
                              (a.words[2] ^ b.words[2]) | (a.words[3] ^ b.words[3])) == 0;
  }
  void Grow();

  std::vector<Entry> slots_;
  std::size_t mask_ = 0;  // slots - 1; 0 while there are none
  std::size_t puts_ = 0;  // since the table last grew
  std::string html_;
};

}  // namespace norvelle
