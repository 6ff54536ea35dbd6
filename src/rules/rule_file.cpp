#include "rules/rule_file.h"

#include "text/dbcs.h"
#include "pattern/regex.h"  // kMaxSubjectLength
#include "rules/rule_store.h"

namespace norvelle {

namespace {

constexpr std::string_view kEndLineMark = "[EndSection]";

// Does the line hold the end mark at a character boundary?
bool IsEndLine(std::string_view line) {
  const char* e = line.data() + line.size();
  for (const char* p = line.data(); p < e; p = NextChar(p, e)) {
    if (std::size_t(e - p) >= kEndLineMark.size() &&
        std::string_view(p, kEndLineMark.size()) == kEndLineMark)
      return true;
  }
  return false;
}

class LineReader {
 public:
  explicit LineReader(RuleStore& store) : store_(store) {}

  // False when the line fails the load. `rest` is the text after the line.
  bool Read(std::string_view line, std::string_view rest) {
    // Refused as the pattern engine refuses a subject this long (the line
    // grammar is two of its patterns, see rule_file.h).
    if (line.size() > kMaxSubjectLength)
      throw static_cast<unsigned>(line.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : line.size());
    std::string_view key, value;
    if (SplitKeyLine(line, key, value)) {
      RuleStore::Section::ValueMap& values = store_.current().Values();
      values[key] = Unescape(value, kValueEscapes);
      // A section this long may go on for many more keys: its index is sized
      // once for the lines up to the next section line, instead of at every
      // doubling.
      if (values.size() == kSizeHintAt) values.Reserve(values.size() + LinesBeforeSection(rest));
      values.Prefetch(NextKey(rest));
      return true;
    }
    if (IsEndLine(line)) return store_.ChangeSection("..");  // fails at the root
    std::string_view name;
    if (SectionLineName(line, name)) {
      // CreateSection refuses "/" and "." (".." included), which fails the load.
      return store_.CreateSection(name) && store_.ChangeSection(name);
    }
    return true;  // anything else is ignored
  }

 private:
  static constexpr std::uint32_t kSizeHintAt = 64;

  // Lines of text before the first one whose first non-blank is "[".
  static std::size_t LinesBeforeSection(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = 0; at < text.size(); ++n) {
      const std::size_t first = text.find_first_not_of(" \t", at);
      if (first == std::string_view::npos) break;
      if (text[first] == '[') break;
      const std::size_t lf = text.find('\n', at);
      if (lf == std::string_view::npos) return n + 1;
      at = lf + 1;
    }
    return n;
  }

  // What is likely the key of the next line (blanks skipped, up to "="):
  // its index slot can be fetched while this line is matched and stored.
  static std::string_view NextKey(std::string_view text) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t eq = line.find('=');
    if (first == std::string_view::npos || eq == std::string_view::npos || eq <= first) return {};
    return line.substr(first, eq - first);
  }

  RuleStore& store_;
};

void AppendTabs(int n, CStr_base<1024>& out) {
  for (int i = 0; i < n; ++i) out.AppendChar('\t');
}

}  // namespace

namespace {

// From `from`, the shortest run of one or more characters before `stop`
// (stepped from the run's start, so a trail byte is never taken for `stop`),
// and the text after that `stop`; false when the line holds no such run.
bool ShortestRunBefore(std::string_view line, std::size_t from, char stop, std::string_view& run,
                       std::string_view& after) {
  const char* b = line.data() + from;
  const char* e = line.data() + line.size();
  if (b == e) return false;
  for (const char* p = NextChar(b, e); p < e; p = NextChar(p, e)) {
    if (*p != stop) continue;
    run = std::string_view(b, std::size_t(p - b));
    after = std::string_view(p + 1, std::size_t(e - p - 1));
    return true;
  }
  return false;
}

std::size_t SkipBlanks(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return i;
}

}  // namespace

bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  return ShortestRunBefore(line, SkipBlanks(line), '=', key, value);
}

bool SectionLineName(std::string_view line, std::string_view& name) {
  const std::size_t at = SkipBlanks(line);
  std::string_view after;
  return at < line.size() && line[at] == '[' && ShortestRunBefore(line, at + 1, ']', name, after);
}

bool ReadRuleText(RuleStore& store, std::string_view text) {
  LineReader reader(store);
  // LF is never a trail byte, so the text can be cut at every LF byte.
  std::size_t start = 0;
  for (;;) {
    std::size_t lf = text.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(start, end - start);
    // A CR left here is data: text-mode reading already took the CR of CR LF.
    if (!reader.Read(line, lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1))) return false;
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  store.ChangeSection("/");
  return true;
}

void WriteRuleText(const RuleStore& store, CStr_base<1024>& out) {
  out.Clear();
  // A section's header and end line share its parent's indentation; its keys
  // go one tab deeper. The root has neither header nor end line.
  RuleStore::WalkTree(
      store.root(),
      [&](std::string_view name, const RuleStore::Section& s, int depth) {
        if (depth > 0) {
          AppendTabs(depth - 1, out);
          out.AppendChar('[');
          out.Append(name);
          out.Append("]\n");
        }
        RuleStore::ForEachKey(s, [&](std::string_view key, const RuleStore::Value& v) {
          // A key of blanks only (the settings dialog's new, still unnamed
          // entry) gives a line starting with "=", which reading ignores;
          // but with a "=" or "[" in the value it would read as another key
          // or as an end line, so then the key is left out.
          if (key.find_first_not_of(" \t") == std::string_view::npos &&
              v.view().find_first_of("=[") != std::string_view::npos)
            return;
          AppendTabs(depth, out);
          out.Append(key);
          out.AppendChar('=');
          AppendEscaped(v.view(), kValueEscapes, out);
          out.AppendChar('\n');
        });
      },
      [&](const RuleStore::Section&, int depth) {
        if (depth == 0) return;
        AppendTabs(depth - 1, out);
        out.Append("[EndSection]\n");
      });
}

CStr Unescape(std::string_view text, EscapeSet set) {
  // Most values hold no backslash byte at all, not even as a trail byte.
  if (text.find('\\') == std::string_view::npos) return CStr(text);
  CStr out;
  const char* p = text.data();
  const char* e = p + text.size();
  const char* run = p;  // copied as it is, up to the next escape
  while (p < e) {
    const char* q = NextChar(p, e);
    if (*p != '\\') {
      p = q;
      continue;
    }
    out.Append(run, std::size_t(p - run));
    if (q == e) return out;  // a lone backslash at the end is dropped
    // An unknown escape drops both characters (a double-byte one whole).
    std::size_t i = set.letters.find(*q);
    if (i != std::string_view::npos) out.Append(set.bytes.substr(i, 1));
    p = run = NextChar(q, e);
  }
  out.Append(run, std::size_t(p - run));
  return out;
}

}  // namespace norvelle
