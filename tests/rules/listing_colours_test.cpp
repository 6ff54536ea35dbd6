// The table of the listing colours and what is derived from it.
#include "rules/listing_colours.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "rules/rule_keys.h"

namespace norvelle {
namespace {

TEST(ListingColours, EachClassHasItsColourAndOthersAreNormal) {
  const struct {
    int cls;
    ListingColour want;
  } cases[] = {
      {100, ListingColour::kNormal},  {101, ListingColour::kNormal}, {102, ListingColour::kKeyword},
      {103, ListingColour::kString},  {104, ListingColour::kComment}, {105, ListingColour::kSymbol},
      {106, ListingColour::kChar},    {107, ListingColour::kNumber}, {108, ListingColour::kNormal},
      {0, ListingColour::kNormal},    {-1, ListingColour::kNormal},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cls);
    EXPECT_EQ(ColourOfClass(c.cls), c.want);
  }
}

TEST(ListingColours, RowsTopToBottom) {
  const ListingColour want[] = {ListingColour::kNormal, ListingColour::kSymbol, ListingColour::kKeyword,
                                ListingColour::kNumber, ListingColour::kChar,   ListingColour::kString,
                                ListingColour::kComment, ListingColour::kLine};
  const auto rows = ColoursByRow();
  for (int i = 0; i < kListingColourCount; ++i) EXPECT_EQ(rows[std::size_t(i)], want[i]) << i;
}

TEST(ListingColours, RuleKeysComeFromTheTable) {
  std::set<std::string> ids_and_keys;
  for (const ListingColourInfo& c : kListingColours) {
    const RuleKeyInfo& key = RuleKeyOf(ColourKey(c.colour));
    SCOPED_TRACE(c.key);
    EXPECT_STREQ(key.path, c.key);
    EXPECT_STREQ(key.default_value, c.default_value);
    EXPECT_TRUE(ids_and_keys.insert(std::to_string(c.control)).second);
    EXPECT_TRUE(ids_and_keys.insert(c.key).second);
  }
  // Between the tab stop and the split key, as rule files have always listed them.
  EXPECT_EQ(int(ColourKey(ListingColour::kNormal)), int(RuleKey::kTabStop) + 1);
  EXPECT_EQ(int(ColourKey(ListingColour::kNumber)), int(RuleKey::kSplitKey) - 1);
}

TEST(ListingColours, EveryColourStartsAtItsDefault) {
  ListingColours colours;
  EXPECT_EQ(colours[ListingColour::kKeyword].view(), "0000ff");
  EXPECT_EQ(colours[ListingColour::kLine].view(), "6000ff");
  colours[ListingColour::kString] = "abcdef";
  EXPECT_EQ(colours.ForClass(103).view(), "abcdef");
  EXPECT_EQ(colours.ForClass(100).view(), "000000");
}

}  // namespace
}  // namespace norvelle
