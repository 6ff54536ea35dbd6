// Legacy attribute text rewritten for the HTML5 profile.
#include "html/html5_attrs.h"

#include <gtest/gtest.h>

namespace norvelle {
namespace {

TEST(Html5Attrs, Rewrites) {
  struct Case {
    const char* raw;
    AttrHost host;
    const char* attrs;
    const char* cells;
  };
  const Case cases[] = {
      // font: face, colour and size become one style; a colour of bare hex digits gets its "#"
      {" face=Arial color=\"red\" size=\"3\"", AttrHost::kFont, " style=\"font-family:Arial;color:red;font-size:medium\"", ""},
      {" color=\"ff0000\" size=\"+2\"", AttrHost::kFont, " style=\"color:#ff0000;font-size:x-large\"", ""},
      {" face='MS Gothic' class=k", AttrHost::kFont, " class=\"k\" style=\"font-family:MS Gothic\"", ""},
      // the author's style comes after the converted attributes, so it still wins
      {" color=\"red\" style=\"color:blue\"", AttrHost::kFont, " style=\"color:red;color:blue\"", ""},
      // link: values quoted, name becomes id, unknown attributes dropped
      {" class=x href=\"p.htm\" target=\"_top\" name=\"n\"", AttrHost::kLink,
       " class=\"x\" href=\"p.htm\" target=\"_top\" id=\"n\"", ""},
      {" id=a name=b charset=x", AttrHost::kLink, " id=\"a\"", ""},
      // span: global attributes only, a quote inside a value escaped
      {"style='a:\"b\"' title=t align=left", AttrHost::kSpan, " title=\"t\" style=\"a:&quot;b&quot;\"", ""},
      {"data-x=1 onclick=f() hidden", AttrHost::kSpan, " data-x=\"1\" onclick=\"f()\" hidden=\"\"", ""},
      // hr
      {"width=60%", AttrHost::kHr, " style=\"width:60%\"", ""},
      {"size=3 noshade align=left", AttrHost::kHr,
       " style=\"height:3px;border-style:solid;border-color:gray;background-color:gray;margin-left:0;margin-right:auto\"", ""},
      // table: border 1 stays, other widths and the cell attributes become CSS
      {"border=1 cellpadding=4", AttrHost::kTable, " border=\"1\"", " style=\"padding:4px\""},
      {"border=\"\"", AttrHost::kTable, " border=\"\"", ""},
      {"border=0 width=80% cellspacing=2", AttrHost::kTable, " style=\"width:80%;border-spacing:2px\"", ""},
      {"border=3 bgcolor=ffffcc align=center summary=s", AttrHost::kTable,
       " style=\"border:3px outset gray;background-color:#ffffcc;margin-left:auto;margin-right:auto\"",
       " style=\"border:1px inset gray\""},
      // stray syntax: a lone "=", an unclosed quote
      {"= class=\"a b", AttrHost::kSpan, " class=\"a b\"", ""},
      {"", AttrHost::kTable, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    Html5Attrs out;
    RewriteAttrs(c.raw, c.host, out);
    EXPECT_EQ(out.attrs, c.attrs);
    EXPECT_EQ(out.cell_style, c.cells);
  }
}

TEST(Html5Attrs, Values) {
  EXPECT_EQ(CssColour("abc"), "#abc");
  EXPECT_EQ(CssColour("#0060c0"), "#0060c0");
  EXPECT_EQ(CssColour("red"), "red");
  EXPECT_EQ(CssColour("12345g"), "12345g");
  EXPECT_EQ(CssLength("200"), "200px");
  EXPECT_EQ(CssLength("12.5%"), "12.5%");
  EXPECT_EQ(CssLength("auto"), "auto");
  const std::pair<const char*, const char*> sizes[] = {
      {"1", "x-small"}, {"7", "xxx-large"}, {"9", "xxx-large"}, {"0", "x-small"}, {"+1", "large"},
      {"-1", "small"},  {"-5", "x-small"},  {"x", "medium"},    {"", "medium"}};
  for (const auto& [in, out] : sizes) EXPECT_EQ(CssFontSize(in), out) << in;
}

}  // namespace
}  // namespace norvelle
