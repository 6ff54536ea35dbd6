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
#include "pattern/screen.h"
#include "text/dbcs.h"
#include "text/split.h"

namespace {

using namespace norvelle;

void Check(bool ok) {
  if (!ok) std::abort();
}

// A map like the conversion's: a few bytes become entities, a tab stops.
const SubjectMap& Entities() {
  static const SubjectMap map = [] {
    SubjectMap m;
    m.strict_pairs = true;
    m.as[static_cast<unsigned char>('&')] = "&amp;";
    m.as[static_cast<unsigned char>('<')] = "&lt;";
    m.as[static_cast<unsigned char>('"')] = "&quot;";
    m.as[static_cast<unsigned char>(' ')] = "&nbsp;";
    m.stop[static_cast<unsigned char>('\t')] = true;
    return m;
  }();
  return map;
}

std::string Mapped(std::string_view text, bool mapped) {
  if (!mapped) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b) && i + 1 < text.size() && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
      out.append(text.substr(i++, 2));
    } else {
      out += Entities().as[b].empty() ? std::string(1, text[i]) : Entities().as[b];
    }
  }
  return out;
}

// The matcher on the subject of a text the screen refused: no match, no
// cut-off (within the bound), and neither the word nor a text holding it.
void CheckRefused(const CStrRegexStruct& root, const RequiredText& required, std::string_view text,
                  std::string_view word, bool mapped) {
  const std::string subject = Mapped(text, mapped);
  Check(text != word && (word.empty() || FindAtCharStart(text, word) == std::string_view::npos));
  if (!required.Bounded(subject.size())) return;
  CStr s(subject);
  bool cut = false;
  Check(RegexMatch(s, root, "", nullptr, nullptr, nullptr, 0, nullptr, nullptr, &cut) == 0 && !cut);
}

// The screen never refuses a text (or a piece of one) where the pattern
// matches or is cut off, or that meets its words.
void CheckScreen(const CStrRegexStruct& root, const RequiredText& required, std::string_view subject,
                 std::string_view word) {
  if (subject.size() > 512) return;
  for (bool mapped : {false, true}) {
    Screen screen;
    screen.AddPattern(root);
    screen.AddWord(word);
    if (!word.empty()) screen.AddContained(word);
    screen.SetMap(Entities());
    if (screen.Refuses(subject, mapped)) CheckRefused(root, required, subject, word, mapped);
    const std::size_t limit = required.bounded_below();
    if (!screen.RefusesEach(subject, '|', limit, mapped)) continue;
    for (std::string_view rest = subject;;) {
      const std::size_t cut = FindAtCharStart(rest, "|");
      const std::string_view piece = rest.substr(0, cut);
      Check(screen.SubjectLength(piece, mapped) < limit);
      CheckRefused(root, required, piece, word, mapped);
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
    }
  }
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

  CheckScreen(root, required, subject, std::string_view(tmpl).substr(0, 3));

  CStr out;
  RegexExpandTemplate(tmpl.c_str(), hits, out);
  return 0;
}
