// Required text of a pattern: the literals that every match must contain, as
// a cheap test that proves a pattern cannot match a subject, so a caller may
// skip running it (a long auto-replace list runs every pattern on every
// element).
//
// The test is one-sided: MayMatch may say true for a subject without a match,
// never false for one with a match. It holds for case-sensitive matching (no
// "i" flag) from any start position. Literals are found as plain bytes, so a
// double-byte literal found across a character boundary only makes the test
// say true.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pattern/regex.h"

namespace norvelle {

class RequiredText {
 public:
  RequiredText() = default;
  explicit RequiredText(const CStrRegexStruct& root);

  // False only when no match of the pattern can exist in subject.
  bool MayMatch(std::string_view subject) const;

  // Each clause: at least one of its literals occurs in every subject with a
  // match. No clauses: the test always says true.
  const std::vector<std::vector<std::string>>& clauses() const { return clauses_; }

 private:
  std::vector<std::vector<std::string>> clauses_;
};

}  // namespace norvelle
