// Attribute text of the legacy page rewritten for the HTML5 profile.
//
// The tags keep the attribute text the author gave (face=Arial, border=1
// cellpadding=4, width=60%) and the text the font and link tags build from
// their commands. Here that text is read back as attributes and written
// again: every value quoted, attributes that HTML5 calls obsolete turned
// into one style attribute (font faces, colours and sizes, table borders,
// widths, alignment, hr shading), name on a link into id. Global attributes
// (class, id, style, title, lang, dir, data-*, aria-*, on*) pass as they are;
// any other attribute the host element does not know is dropped, since a
// validator rejects it and a browser ignores it.
//
// Not for: HTML the author writes himself (-x, +x, rep, include=, noconv
// text), which is copied as written in both profiles.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

// The element an attribute text belongs to; it decides what is kept and how
// obsolete attributes become CSS.
enum class AttrHost {
  kFont,   // <font> written as <span>: face, color, size
  kLink,   // <a>: href, target, name (as id)
  kSpan,   // <span>: global attributes only
  kHr,     // <hr>: width, size, align, noshade, color
  kTable,  // <table>: border, cellpadding, cellspacing, width, bgcolor, align
};

// The rewritten attributes of one element: attrs for the element itself
// (each " name=\"value\""), cell_style for each cell of a table (a style
// attribute, or empty).
struct Html5Attrs {
  std::string attrs;
  std::string cell_style;
};

// Reads raw (legacy attribute syntax: name, name=value, name="value",
// name='value', separated by blanks) and appends the HTML5 form to out.
void RewriteAttrs(std::string_view raw, AttrHost host, Html5Attrs& out);

// A colour of the legacy attributes as CSS: three or six hexadecimal digits
// get the "#" that browsers supply for them.
std::string CssColour(std::string_view value);

// A length of the legacy attributes as CSS: "60%" stays, "200" is "200px".
std::string CssLength(std::string_view value);

// The CSS keyword of a font size 1..7, or of +n / -n from the base size 3.
std::string_view CssFontSize(std::string_view value);

// Appends value to out as the text of a double-quoted attribute.
void AppendAttrValue(std::string& out, std::string_view value);

}  // namespace norvelle
