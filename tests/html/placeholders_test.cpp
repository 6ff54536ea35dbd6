// Header and footer markers: a fill is made whole or, when it would make the
// text longer than the limit, not at all.
#include "html/placeholders.h"

#include <gtest/gtest.h>

#include <string>

namespace norvelle {
namespace {

TEST(Placeholders, FillExrepStopsAtTheLimit) {
  const std::string tail(100, 'a');
  const struct Case {
    std::string text, digits, with;
    std::size_t limit;
    bool filled;
    std::string expect;
  } cases[] = {
      {"<exrep1>x", "1", "<exrep1><exrep1>", 17, true, "<exrep1><exrep1>x"},  // at the limit
      {"<exrep1>x", "1", "<exrep1><exrep1>", 16, false, "<exrep1>x"},
      // Only the markers there count: a text of markers alone could not pass.
      {"<exrep1>" + tail, "1", std::string(20, 'w'), 120, true, std::string(20, 'w') + tail},
      {"<exrep1>" + tail, "1", std::string(20, 'w'), 119, false, "<exrep1>" + tail},
      // A text that gets no longer is filled even beyond the limit.
      {"<exrep1><exrep1>", "1", "y", 4, true, "yy"},
      {"<exrep1><exrep>", "", "<exrep><exrep>", 16, false, "<exrep1><exrep>"},
      {"<exrep2>", "1", std::string(50, 'w'), 10, true, "<exrep2>"},  // no marker: nothing grows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.with);
    CStr text(c.text);
    EXPECT_EQ(Placeholders::FillExrep(text, c.digits, c.with, c.limit), c.filled);
    EXPECT_EQ(text.view(), c.expect);
  }
}

}  // namespace
}  // namespace norvelle
