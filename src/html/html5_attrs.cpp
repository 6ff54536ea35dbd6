#include "html/html5_attrs.h"

#include <array>
#include <cctype>

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// A Shift_JIS trail byte is 0x40 or above, so none of the bytes the reader
// stops at (blank, '=', quotes, '>') can be one: reading byte by byte is safe.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

struct Attr {
  std::string name;  // lower case
  std::string_view value;
  bool has_value = false;
};

// Reads the next attribute from raw at p; false at the end.
bool NextAttr(std::string_view raw, std::size_t& p, Attr& a) {
  while (p < raw.size() && IsBlank(raw[p])) ++p;
  if (p >= raw.size()) return false;
  std::size_t start = p;
  while (p < raw.size() && !IsBlank(raw[p]) && raw[p] != '=') ++p;
  if (p == start) ++p;  // a stray '=': skipped as a name of its own
  a.name.assign(raw.substr(start, p - start));
  for (char& c : a.name) c = char(std::tolower(static_cast<unsigned char>(c)));
  a.value = {};
  a.has_value = false;
  std::size_t q = p;
  while (q < raw.size() && IsBlank(raw[q])) ++q;
  if (q >= raw.size() || raw[q] != '=') return true;
  p = q + 1;
  while (p < raw.size() && IsBlank(raw[p])) ++p;
  a.has_value = true;
  if (p < raw.size() && (raw[p] == '"' || raw[p] == '\'')) {
    const char quote = raw[p++];
    std::size_t end = raw.find(quote, p);
    if (end == std::string_view::npos) end = raw.size();
    a.value = raw.substr(p, end - p);
    p = end < raw.size() ? end + 1 : end;
  } else {
    start = p;
    while (p < raw.size() && !IsBlank(raw[p])) ++p;
    a.value = raw.substr(start, p - start);
  }
  return true;
}

bool IsGlobal(std::string_view n) {
  static constexpr std::array<std::string_view, 16> kGlobal = {
      "class"sv, "id"sv,        "style"sv,     "title"sv,           "lang"sv,      "dir"sv,
      "hidden"sv, "tabindex"sv, "accesskey"sv, "contenteditable"sv, "draggable"sv, "spellcheck"sv,
      "translate"sv, "role"sv,  "nonce"sv,     "autofocus"sv};
  for (std::string_view g : kGlobal)
    if (n == g) return true;
  return n.starts_with("data-") || n.starts_with("aria-") || (n.size() > 2 && n.starts_with("on"));
}

bool IsHex(std::string_view v) {
  for (char c : v)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The declarations gathered for the element and its cells, and the author's
// own style, which comes last so that it wins as it did over the attributes.
struct Styles {
  std::string own, cells, author;
  void Add(std::string& to, std::string_view prop, std::string_view value) {
    if (!to.empty()) to += ';';
    to.append(prop);
    to += ':';
    to.append(value);
  }
};

void AppendAttr(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out.append(name);
  out += "=\"";
  AppendAttrValue(out, value);
  out += '"';
}

// A shaded rule is drawn by its border; noshade and color fill it instead.
void HrAttr(const Attr& a, Styles& s) {
  std::string& o = s.own;
  if (a.name == "width") {
    s.Add(o, "width", CssLength(a.value));
  } else if (a.name == "size") {
    s.Add(o, "height", CssLength(a.value));
  } else if (a.name == "noshade" || a.name == "color") {
    const std::string colour = a.name == "color" ? CssColour(a.value) : std::string("gray");
    s.Add(o, "border-style", "solid");
    s.Add(o, "border-color", colour);
    s.Add(o, "background-color", colour);
  } else if (a.name == "align" && (a.value == "left" || a.value == "right")) {
    s.Add(o, "margin-left", a.value == "left" ? "0" : "auto");
    s.Add(o, "margin-right", a.value == "left" ? "auto" : "0");
  }
}

// A table's border: "1" and "" are still HTML5; another width becomes CSS on
// the table and its cells as browsers draw it; 0 draws none.
bool TableAttr(const Attr& a, Styles& s) {
  if (a.name == "border") {
    if (!a.has_value || a.value.empty() || a.value == "1") return true;
    if (CssLength(a.value) != "0px") {
      s.Add(s.own, "border", CssLength(a.value) + " outset gray");
      s.Add(s.cells, "border", "1px inset gray");
    }
  } else if (a.name == "cellpadding") {
    s.Add(s.cells, "padding", CssLength(a.value));
  } else if (a.name == "cellspacing") {
    s.Add(s.own, "border-spacing", CssLength(a.value));
  } else if (a.name == "width" || a.name == "height") {
    s.Add(s.own, a.name, CssLength(a.value));
  } else if (a.name == "bgcolor") {
    s.Add(s.own, "background-color", CssColour(a.value));
  } else if (a.name == "align") {
    if (a.value == "center") s.Add(s.own, "margin-left", "auto;margin-right:auto");
    else if (a.value == "left" || a.value == "right") s.Add(s.own, "float", std::string(a.value));
  }
  return false;
}

// True when the attribute is written as it is.
bool Keep(const Attr& a, AttrHost host, Styles& s) {
  if (a.name == "style") {
    s.author.assign(a.value);
    return false;
  }
  if (IsGlobal(a.name)) return true;
  switch (host) {
    case AttrHost::kFont:
      if (a.name == "face") s.Add(s.own, "font-family", a.value);
      else if (a.name == "color") s.Add(s.own, "color", CssColour(a.value));
      else if (a.name == "size") s.Add(s.own, "font-size", CssFontSize(a.value));
      return false;
    case AttrHost::kLink:
      return a.name == "href" || a.name == "target" || a.name == "rel" || a.name == "download" ||
             a.name == "hreflang" || a.name == "type" || a.name == "referrerpolicy" || a.name == "ping";
    case AttrHost::kSpan:
      return false;
    case AttrHost::kHr:
      HrAttr(a, s);
      return false;
    case AttrHost::kTable:
      return TableAttr(a, s);
  }
  return false;
}

}  // namespace

void AppendAttrValue(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '"') out += "&quot;"sv;
    else out += c;
  }
}

std::string CssColour(std::string_view value) {
  std::string out;
  if ((value.size() == 6 || value.size() == 3) && IsHex(value)) out += '#';
  out.append(value);
  return out;
}

std::string CssLength(std::string_view value) {
  std::size_t n = 0;
  while (n < value.size() && (std::isdigit(static_cast<unsigned char>(value[n])) || value[n] == '.')) ++n;
  if (n == 0) return std::string(value);
  std::string out(value.substr(0, n));
  out += n < value.size() && value[n] == '%' ? "%"sv : "px"sv;
  return out;
}

std::string_view CssFontSize(std::string_view value) {
  static constexpr std::string_view kSizes[] = {"x-small", "small",    "medium",   "large",
                                                "x-large", "xx-large", "xxx-large"};
  std::size_t p = 0;
  const bool plus = p < value.size() && value[p] == '+', minus = p < value.size() && value[p] == '-';
  if (plus || minus) ++p;
  int n = 0;
  bool digits = false;
  for (; p < value.size() && std::isdigit(static_cast<unsigned char>(value[p])) && n < 100; ++p, digits = true)
    n = n * 10 + (value[p] - '0');
  if (!digits) return "medium";
  if (plus) n = 3 + n;
  if (minus) n = 3 - n;
  n = n < 1 ? 1 : n > 7 ? 7 : n;
  return kSizes[n - 1];
}

void RewriteAttrs(std::string_view raw, AttrHost host, Html5Attrs& out) {
  Styles s;
  bool has_id = false;
  std::string_view link_name;
  Attr a;
  for (std::size_t p = 0; NextAttr(raw, p, a);) {
    if (host == AttrHost::kLink && a.name == "name") {
      link_name = a.value;  // HTML5 names a link's target by its id
      continue;
    }
    if (!Keep(a, host, s)) continue;
    has_id = has_id || a.name == "id";
    if (a.has_value) AppendAttr(out.attrs, a.name, a.value);
    else AppendAttr(out.attrs, a.name, "");
  }
  if (!link_name.empty() && !has_id) AppendAttr(out.attrs, "id", link_name);
  if (!s.author.empty()) {
    if (!s.own.empty()) s.own += ';';
    s.own += s.author;
  }
  if (!s.own.empty()) AppendAttr(out.attrs, "style", s.own);
  if (!s.cells.empty()) AppendAttr(out.cell_style, "style", s.cells);
}

}  // namespace norvelle
