// Pattern engine: compile a pattern, match it in place (first and global,
// with a template and a start offset), search, and expand the template,
// with pattern, template, subject and flags taken from the input.
//
// Input: byte 0 flags (bit 0 "i", 1 "g", 2 "s"), byte 1 the pattern's
// length, byte 2 the template's, byte 3 the start offset (a fraction of
// the subject), then pattern, template and subject.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pattern/regex.h"
#include "pattern/required.h"

namespace {

using namespace norvelle;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const char* p = reinterpret_cast<const char*>(data);
  const unsigned bits = data[0];
  std::string_view rest(p + 4, size - 4);
  const std::string pattern(rest.substr(0, data[1]));
  rest.remove_prefix(std::min<std::size_t>(data[1], rest.size()));
  const std::string tmpl(rest.substr(0, data[2]));  // ends at its first NUL when used
  rest.remove_prefix(std::min<std::size_t>(data[2], rest.size()));
  const std::string subject(rest);

  std::string flags;
  if (bits & 1) flags += 'i';
  if (bits & 2) flags += 'g';
  if (bits & 4) flags += 's';
  const int start = int(subject.size() * data[3] / 255);

  const CStrRegexStruct root = RegexCompile(pattern);

  // In place with a template: a call that matches nothing, or that was cut
  // off before it matched, leaves the subject as it was.
  CStr s(subject);
  CStrHitList hits;
  CStrHitLog log;
  CStrPositionList positions;
  bool cut = false;
  const int n = RegexMatch(s, root, flags.c_str(), &hits, tmpl.c_str(), &log, start, &positions,
                           nullptr, &cut);
  Check(n >= 0 && std::uint32_t(n) == positions.count() && std::uint32_t(n) == log.count());
  if (n == 0) Check(s.view() == subject);
  if (!(bits & 2)) Check(n <= 1);
  for (std::uint32_t i = 0; i < positions.count(); ++i)
    Check(positions[i].start >= 0 && positions[i].length >= 0 &&
          std::size_t(positions[i].start) + std::size_t(positions[i].length) <= s.length());

  // Without a template, matches lie inside the subject, in order.
  CStr plain(subject);
  const int m = RegexMatch(plain, root, flags.c_str(), &hits, nullptr, nullptr, start, &positions);
  Check(plain.view() == subject && std::uint32_t(m) == positions.count());
  int last_end = start;
  for (std::uint32_t i = 0; i < positions.count(); ++i) {
    Check(positions[i].start >= last_end && positions[i].length >= 0);
    last_end = positions[i].start + positions[i].length;
    Check(std::size_t(last_end) <= subject.size());
  }

  // Search, with a callback that rejects every other match.
  int calls = 0;
  const RegexCallback reject_odd = [&](const RegexCallbackArgs& a) {
    Check(a.start >= 0 && a.length >= 0 && std::size_t(a.start + a.length) <= subject.size());
    return (calls++ % 2) ? -1 : -3;
  };
  const int k = RegexSearch(subject, root, flags.c_str(), &hits, nullptr, &positions, &reject_odd);
  Check(k >= 0 && std::uint32_t(k) == positions.count());

  // What auto-replace skips without matching, the matcher neither matches
  // nor cuts off.
  const RequiredText required(root);
  if (subject.size() <= kMaxSubjectLength && !required.MayMatch(subject) && required.Bounded(subject.size())) {
    CStr again(subject);
    bool again_cut = false;
    Check(RegexMatch(again, root, "", &hits, tmpl.c_str(), nullptr, 0, nullptr, nullptr, &again_cut) == 0 &&
          !again_cut);
  }

  CStr out;
  RegexExpandTemplate(tmpl.c_str(), hits, out);
  return 0;
}
