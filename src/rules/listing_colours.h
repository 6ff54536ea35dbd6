// The eight colours of a coloured C++ listing, in one table: for each, the
// colour class of the listing's tokens that uses it, its rule key and
// default, and the field, label and row of the settings dialog that edit it.
// The rule keys, a rule's settings, the listing's colour classes and the
// dialog's colour fields are all derived from this table.
//
// Not for: reading colour values (rule_keys.h does) or checking them (nothing
// does: a value is written verbatim after "#").
#pragma once

#include <array>

#include "base/str.h"

namespace norvelle {

// In the order of the rule keys, which is the order of the dialog's fields.
enum class ListingColour : int {
  kNormal,   // operators, punctuation, any other byte
  kKeyword,  // keywords and preprocessor directives
  kString,   // string literals
  kComment,  // line and block comments
  kLine,     // the line-number column
  kSymbol,   // other words: identifiers
  kChar,     // character literals
  kNumber,   // numbers
};
inline constexpr int kListingColourCount = 8;

struct ListingColourInfo {
  ListingColour colour;
  int cls;                    // colour class of the tokens written in it; 0: none
  const char* key;            // rule key, "/SrcColorNormal"
  const char* default_value;  // RRGGBB, used when the key is absent
  int control;                // id of its field in the settings dialog
  const char* label;          // the field's label there, UTF-8
  int row;                    // the field's row in the dialog's colour group, 0 on top
};

inline constexpr ListingColourInfo kListingColours[kListingColourCount] = {
    {ListingColour::kNormal, 101, "/SrcColorNormal", "000000", 1001, "標準", 0},
    {ListingColour::kKeyword, 102, "/SrcColorKeyword", "0000ff", 1005, "キーワード", 2},
    {ListingColour::kString, 103, "/SrcColorString", "0080bb", 1006, "文字列", 5},
    {ListingColour::kComment, 104, "/SrcColorComment", "008000", 1016, "注釈", 6},
    {ListingColour::kLine, 0, "/SrcColorLine", "6000ff", 1017, "行数", 7},
    {ListingColour::kSymbol, 105, "/SrcColorSymbol", "000000", 1023, "シンボル", 1},
    {ListingColour::kChar, 106, "/SrcColorChar", "0080bb", 1024, "文字", 4},
    {ListingColour::kNumber, 107, "/SrcColorNum", "000000", 1025, "定数", 3},
};

constexpr const ListingColourInfo& ListingColourOf(ListingColour c) { return kListingColours[int(c)]; }

// The first and last colour class; every class between has a colour.
inline constexpr int kFirstColourClass = 101, kLastColourClass = 107;

// The colour of each class, from kFirstColourClass on.
inline constexpr auto kColourOfClass = [] {
  std::array<ListingColour, kLastColourClass - kFirstColourClass + 1> out{};
  for (const ListingColourInfo& c : kListingColours)
    if (c.cls != 0) out[std::size_t(c.cls - kFirstColourClass)] = c.colour;
  return out;
}();

// The colour of a class; any value that is not a colour class (whitespace
// among them) has the normal colour. A lookup: it is asked once per token.
constexpr ListingColour ColourOfClass(int cls) {
  const unsigned i = unsigned(cls - kFirstColourClass);
  return i < kColourOfClass.size() ? kColourOfClass[i] : ListingColour::kNormal;
}

// The colours top to bottom, as the dialog shows them.
constexpr std::array<ListingColour, kListingColourCount> ColoursByRow() {
  std::array<ListingColour, kListingColourCount> out{};
  for (const ListingColourInfo& c : kListingColours) out[std::size_t(c.row)] = c.colour;
  return out;
}

// The table holds together: in enum order, every class and row once.
constexpr bool ListingColoursHoldTogether() {
  bool rows[kListingColourCount] = {}, classes[kLastColourClass - kFirstColourClass + 1] = {};
  for (int i = 0; i < kListingColourCount; ++i) {
    const ListingColourInfo& c = kListingColours[i];
    if (int(c.colour) != i || c.row < 0 || c.row >= kListingColourCount || rows[c.row]) return false;
    rows[c.row] = true;
    if (c.cls == 0) continue;
    if (c.cls < kFirstColourClass || c.cls > kLastColourClass || classes[c.cls - kFirstColourClass])
      return false;
    classes[c.cls - kFirstColourClass] = true;
  }
  for (bool seen : classes)
    if (!seen) return false;
  return true;
}
static_assert(ListingColoursHoldTogether());

// The eight colour strings of a rule, each at its default until set.
class ListingColours {
 public:
  ListingColours() {
    for (const ListingColourInfo& c : kListingColours) values_[int(c.colour)] = c.default_value;
  }
  CStr& operator[](ListingColour c) { return values_[int(c)]; }
  const CStr& operator[](ListingColour c) const { return values_[int(c)]; }
  // The colour of a token of class cls (ColourOfClass).
  const CStr& ForClass(int cls) const { return values_[int(ColourOfClass(cls))]; }

 private:
  CStr values_[kListingColourCount];
};

}  // namespace norvelle
