// Plain lines kept whole in pass 1 and cut while writing: the body must be
// the one written from the pieces pass 1 stores otherwise, whatever the
// state around the line (tags, tables, comments, conversion, split keys,
// replacement lists).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "markup/analyse.h"
#include "html/writer.h"
#include "rules/rule_store.h"
#include "support/recording_host.h"

namespace norvelle {
namespace {

using test::RecordingHost;

std::string Body(const std::vector<std::string>& lines, bool pack, const RuleSettings& settings) {
  ElementList elements;
  ArgPool args;
  TextArena arena;
  RecordingHost host;
  LineAnalyser analyser(elements, args, arena, host, std::string(settings.split_key.view()));
  analyser.set_pack_plain_lines(pack);
  for (const std::string& line : lines) analyser.Analyse(line);
  analyser.Finish();
  DocumentIO io;
  const RuleSource rules(io, "", "");
  ElementWriter writer(host, host, elements, args, int(lines.size()), io, rules, "");
  writer.set_split_keys(&analyser.split_keys());
  writer.ApplyRules(settings, true);
  EXPECT_TRUE(writer.Run());
  return writer.body();
}

RuleSettings Defaults() {
  RuleStore store;
  RuleSettings s;
  ReadSettings(store, s);
  return s;
}

TEST(PackedLines, WriteWhatThePiecesWrite) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
  } cases[] = {
      {"words", {"a b  c ", "", " lead", "x"}},
      {"escapes and tabs", {"<a> & \"b\"\tc", "\x83\x20 pair with the key byte", "end\x83"}},
      {"after a bold line", {"|b|x y", "p q r", "|1b|u v w", "s t"}},
      {"inside a table", {"|table|a\tb", "c\td e", "|endtable|", "f g"}},
      {"comments", {"|/*|", "a b", "|*/|c d", "e f", "|//|g h", "i j"}},
      {"no conversion", {"|noconv|", "<a> b", "|conv|", "<c> d"}},
      {"joined lines", {"a b", "|prev|c d", "e f", "|ins|g h", "i j"}},
      {"new split keys", {"|setsplit|,", "a,b c,,d", "|setsplit|ab", "xabyaab", "|setsplit|", "p q"}},
      {"font and link open", {"|color=red|a b", "c d", "|link=x.htm|e f", "g h"}},
      {"heading", {"|h2|a b", "c d"}},
      {"listing", {"|cppsrc|", "int a = 1;", "|endcppsrc|", "a b"}},
      {"no automatic breaks", {"|noautobr|", "a b", "c d", "|autobr|", "e f"}},
      {"tab stops", {"|tabcnt=3|", "a\tb c", "\t\x83\x40 d"}},
  };
  const RuleSettings plain = Defaults();
  RuleSettings replacing = plain;
  replacing.auto_replace = {{"b", "M:<B>"}, {"q", "I:[%1]"}, {"%{e%}", "R:E"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string want = Body(c.lines, false, plain);
    EXPECT_EQ(Body(c.lines, true, plain), want);
    EXPECT_EQ(Body(c.lines, true, replacing), Body(c.lines, false, replacing));
    EXPECT_FALSE(want.empty());
  }
}

}  // namespace
}  // namespace norvelle
