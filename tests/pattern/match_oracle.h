// The matcher as the oracle of the prefilters' tests: whether a compiled
// pattern matches anywhere in a subject.
#pragma once

#include <string>

#include "pattern/regex.h"

namespace norvelle {

inline bool Matches(const CStrRegexStruct& root, const std::string& subject) {
  CStr s(subject);
  CStrHitList hits;
  return RegexMatch(s, root, "", &hits) > 0;
}

}  // namespace norvelle
