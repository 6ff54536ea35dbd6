#include "settings/text_forms.h"

#include <cstdio>

#include "text/dbcs.h"
#include "pattern/regex.h"
#include "rules/rule_file.h"

namespace norvelle {

CStr DisplayForm(std::string_view value) {
  CStr out;
  AppendEscaped(value, kValueEscapes, out);
  return out;
}

CStr ValueFromField(std::string_view text) { return Unescape(text, kValueEscapes); }

CStr LfToCrLf(std::string_view text) {
  CStr out;
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e) {
    const char* q = NextChar(p, e);
    if (*p == '\n') out.AppendChar('\r');
    out.Append(p, std::size_t(q - p));
    p = q;
  }
  return out;
}

CStr CrLfToLf(std::string_view text) {
  CStr out;
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e) {
    const char* q = NextChar(p, e);
    if (!(*p == '\r' && q < e && *q == '\n')) out.Append(p, std::size_t(q - p));
    p = q;
  }
  return out;
}

Rgb SwatchColour(std::string_view text) {
  static const CStrRegexStruct kPattern = RegexCompile("%{%0,2n%}%{%0,2n%}%{%0,2n%}");
  CStr subject(text);
  CStrHitList hits;
  RegexMatch(subject, kPattern, "s", &hits);
  int parts[3] = {0, 0, 0};
  for (std::uint32_t i = 0; i < hits.count() && i < 3; ++i) {
    unsigned v = 0;
    if (!hits[i].empty() && std::sscanf(hits[i].c_str(), "%x", &v) == 1) parts[i] = int(v);
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

std::string FileTitle(std::string_view path) {
  const char* p = path.data();
  const char* e = p + path.size();
  const char* name = p;
  for (const char* q = p; q < e; q = NextChar(q, e))
    if (*q == '\\' || *q == '/') name = q + 1;
  const char* dot = nullptr;
  for (const char* q = name; q < e; q = NextChar(q, e))
    if (*q == '.') dot = q;
  return std::string(name, dot ? dot : e);
}

std::vector<std::pair<std::string, std::string>> ParseFileFilter(std::string_view filter) {
  // Split at "|" by characters: a trail byte may be 0x7C.
  std::vector<std::string> parts(1);
  const char* p = filter.data();
  const char* e = p + filter.size();
  while (p < e) {
    const char* q = NextChar(p, e);
    if (*p == '|') {
      if (parts.back().empty()) break;  // the "||" that ends the list
      parts.emplace_back();
    } else {
      parts.back().append(p, q);
    }
    p = q;
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns = parts[i + 1];
    // Windows separates patterns with ";", the toolkit with blanks.
    for (char& c : patterns)
      if (c == ';') c = ' ';
    if (patterns == "*.*") patterns = "*";
    out.emplace_back(parts[i], patterns);
  }
  return out;
}

}  // namespace norvelle
