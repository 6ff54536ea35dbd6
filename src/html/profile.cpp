#include "html/profile.h"

#include "html/html5_attrs.h"

namespace norvelle {

namespace {

constexpr std::string_view kClassNames[kListingColourCount] = {
    "src-normal", "src-keyword", "src-string", "src-comment",
    "src-line",   "src-symbol",  "src-char",   "src-number"};

// What the legacy elements look like in a browser's own style sheet: a
// centred block also centres the tables in it, and each big is one size up.
// The legacy page is shown in quirks mode, which drops the top margin of the
// page's first block and sizes a listing's lines by its own font: the first
// and last rules do the same here.
constexpr std::string_view kFixedRules =
    "body>:first-child{margin-top:0}\n"
    ".nv-center{display:block;text-align:center}\n"
    ".nv-center table{margin-left:auto;margin-right:auto}\n"
    ".nv-big{font-size:larger}\n"
    ".nv-nobr{white-space:nowrap}\n"
    ".nv-src td{font-family:monospace}\n";

// Inside a style element only "</" could end it early; a colour holding one
// is cut there.
std::string_view SafeColour(std::string_view v) {
  std::size_t cut = v.find_first_of("<>{};");
  return cut == std::string_view::npos ? v : v.substr(0, cut);
}

}  // namespace

std::string_view ListingClass(ListingColour c) { return kClassNames[int(c)]; }

std::string StyleBlock(const ListingColours& colours) {
  std::string out = "<style>\n";
  out += kFixedRules;
  for (const ListingColourInfo& c : kListingColours) {
    out += '.';
    out += ListingClass(c.colour);
    out += "{color:";
    out += CssColour(SafeColour(colours[c.colour].view()));
    out += "}\n";
  }
  out += "</style>";
  return out;
}

void FinishHtml5Header(CStr& header, std::string_view lang, std::string_view style) {
  header.ReplaceAll("<lang_rep>", lang);
  if (header.Find("<style_rep>") >= 0) {
    header.ReplaceAll("<style_rep>", style);
    return;
  }
  const int head_end = header.Find("</head>");
  if (head_end < 0) return;
  std::string with(header.view().substr(0, std::size_t(head_end)));
  with.append(style);
  with += '\n';
  with.append(header.view().substr(std::size_t(head_end)));
  header = CStr(with);
}

}  // namespace norvelle
