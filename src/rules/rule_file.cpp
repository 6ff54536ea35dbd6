#include "rules/rule_file.h"

#include "text/dbcs.h"
#include "pattern/regex.h"
#include "rules/rule_store.h"

namespace norvelle {

namespace {

// "key=value": blanks, then the shortest non-empty key before "=", then the
// rest of the line. Hit 0 is the key, hit 1 the value.
constexpr const char* kKeyLinePattern = "%/0w%{%+j%e=%}%{%+0j%P\n%}";
// "[name]": blanks, "[", the shortest non-empty name before "]". Hit 0.
constexpr const char* kSectionLinePattern = "%/0w[%{%+j%e]%}";
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

// Both line patterns, compiled once per text rather than once per line.
class LineReader {
 public:
  explicit LineReader(RuleStore& store)
      : store_(store),
        key_line_(RegexCompile(kKeyLinePattern)),
        section_line_(RegexCompile(kSectionLinePattern)) {}

  // False when the line fails the load. `rest` is the text after the line.
  bool Read(std::string_view line, std::string_view rest) {
    if (Match(line, key_line_, 2)) {
      RuleStore::Section::ValueMap& values = store_.current().Values();
      values[hits_[0].view()] = Unescape(hits_[1].view(), kValueEscapes);
      // A section this long may go on for many more keys: its index is sized
      // once for the lines up to the next section line, instead of at every
      // doubling.
      if (values.size() == kSizeHintAt) values.Reserve(values.size() + LinesBeforeSection(rest));
      values.Prefetch(NextKey(rest));
      return true;
    }
    if (IsEndLine(line)) return store_.ChangeSection("..");  // fails at the root
    if (Match(line, section_line_, 1)) {
      std::string_view name = hits_[0].view();
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

  // Anchored match; needs at least `want` hits.
  bool Match(std::string_view line, const CStrRegexStruct& pattern, std::uint32_t want) {
    hits_.Clear();
    return RegexSearch(line, pattern, "s", &hits_) > 0 && hits_.count() >= want;
  }

  RuleStore& store_;
  CStrRegexStruct key_line_;
  CStrRegexStruct section_line_;
  CStrHitList hits_;
};

void AppendTabs(int n, CStr_base<1024>& out) {
  for (int i = 0; i < n; ++i) out.AppendChar('\t');
}

}  // namespace

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
  CStr out;
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e) {
    const char* q = NextChar(p, e);
    if (*p != '\\') {
      out.Append(p, std::size_t(q - p));
      p = q;
      continue;
    }
    if (q == e) break;  // a lone backslash at the end is dropped
    // An unknown escape drops both characters (a double-byte one whole).
    std::size_t i = set.letters.find(*q);
    if (i != std::string_view::npos) out.Append(set.bytes.substr(i, 1));
    p = NextChar(q, e);
  }
  return out;
}

}  // namespace norvelle
