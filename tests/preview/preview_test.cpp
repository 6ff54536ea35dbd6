// The preview's logic without a window: the run into memory and its
// line marks, a long page's slices, which files it watches, the debounce, the scroll anchor across an
// edit, the sample document, the remembered document.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/encoding.h"
#include "preview/debounce.h"
#include "preview/memory_run.h"
#include "preview/page_slices.h"
#include "preview/placement.h"
#include "preview/sample.h"
#include "preview/scroll_anchor.h"
#include "preview/watch_files.h"
#include "rules/listing_colours.h"
#include "rules/rule_keys.h"
#include "support/test_support.h"

namespace norvelle::test {
namespace {

using namespace std::chrono_literals;

std::string Sjis(const char* utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);
  return out;
}

TEST(LineMap, FollowsLinesAcrossAnEdit) {
  struct Case {
    const char* old_text;
    const char* new_text;
    int old_line, new_line;
  } cases[] = {
      {"a\nb\nc\nd\n", "new\na\nb\nc\nd\n", 3, 4},  // a line added above
      {"a\nb\nc\nd\n", "b\nc\nd\n", 3, 2},          // a line removed above
      {"a\nb\nc\nd\n", "a\nb\nc\nd\ne\n", 3, 3},    // added below
      {"a\nb\nc\nd\n", "a\nX\nY\nd\n", 2, 2},       // in the change: its first line
      {"a\nb\nc\nd\n", "a\nX\nY\nd\n", 4, 4},
      {"a\na\na\n", "a\na\na\na\n", 3, 3},          // equal lines: the start wins
      {"a\nb\n", "a\nb", 2, 2},                   // the last line feed is no line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.old_text) + " -> " + c.new_text);
    EXPECT_EQ(LineMap(c.old_text, c.new_text)(c.old_line), c.new_line);
  }
}

// Lines 1, 3, 5 start at y 0, 100, 200.
LinePositions Page() {
  LinePositions p;
  p.lines = {1, 3, 5};
  p.y = [](std::size_t i) { return int(i) * 100; };
  return p;
}

TEST(ScrollAnchor, TakenAndFoundAgain) {
  struct Case {
    int scroll;
    ScrollAnchor anchor;
  } cases[] = {{0, {0, 0}}, {1, {1, 1}}, {99, {1, 99}}, {100, {3, 0}}, {250, {5, 50}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scroll);
    EXPECT_EQ(AnchorAt(Page(), c.scroll), c.anchor);
    EXPECT_EQ(ScrollFor(Page(), c.anchor), c.scroll);
  }
  EXPECT_EQ(ScrollFor(Page(), {4, 10}), 110);  // a line with no mark: the one before it
  EXPECT_EQ(AnchorAt({}, 500), ScrollAnchor{});
}

TEST(Debounce, EachEditPushesTheRunBack) {
  const auto t0 = Debounce::Clock::now();
  Debounce d(40ms);
  EXPECT_FALSE(d.Remaining(t0));
  d.Poke(t0);
  d.Poke(t0 + 30ms);
  EXPECT_EQ(*d.Remaining(t0 + 40ms), 30ms);
  EXPECT_FALSE(d.Take(t0 + 60ms));
  EXPECT_TRUE(d.Take(t0 + 70ms));
  EXPECT_FALSE(d.Take(t0 + 80ms));  // once
  EXPECT_FALSE(d.pending());
}

// A mark of line n, as the run puts it at each line's start.
std::string M(int n) { return "<span title=\"nvl" + std::to_string(n) + "\">&#8203;</span>"; }

TEST(Anchors, OnePerLineAtItsStart) {
  EXPECT_EQ(BodyWithAnchors("ab<br>cd", {{1, 0}, {2, 2}, {2, 6}, {1, 7}, {3, 99}}),
            "<span title=\"nvl1\">&#8203;</span>ab<span title=\"nvl2\">&#8203;</span><br>cd");
  // Inside the blocks a line starts, so that a mark makes no blank line of its own.
  EXPECT_EQ(BodyWithAnchors("<h2>h</h2><table><tr><td>x<center>", {{1, 0}, {2, 0}, {3, 10}, {4, 26}}),
            "<h2>" + M(1) + M(2) + "h</h2><table><tr><td>" + M(3) + "x<center>" + M(4));
  EXPECT_EQ(LineOfAnchor("nvl42"), 42);
  EXPECT_EQ(LineOfAnchor("nvl"), 0);
  EXPECT_EQ(LineOfAnchor("top"), 0);
  const std::pair<std::string, int> reports[] = {
      {Sjis("[12]：'frob'認識できない命令です。"), 12}, {Sjis("2 個のエラーが発生しました"), 0}, {"[x]", 0}, {"[]", 0}};
  for (const auto& [line, n] : reports) EXPECT_EQ(ReportedLine(line), n) << line;
}

TEST(PageSlices, CutOnlyWhereNoElementIsOpen) {
  struct Case {
    std::string body;
    std::vector<int> cut_lines;  // the first line of each slice after the first
  } cases[] = {
      {M(1) + "a<br>" + M(2) + "b<br>" + M(3) + "c", {2, 3}},
      {M(1) + "<table><tr><td>a</td></tr><tr><td>" + M(2) + "x</td></tr></table>" + M(3) + "y", {3}},
      {M(1) + "<b>bold" + M(2) + "still</b>" + M(3) + "z", {3}},
      {M(1) + "<p>open" + M(2) + "<p>again" + M(3) + "<center>c</center>" + M(4), {4}},
      {M(1) + "<!-- <b> -->" + M(2) + "<br/><img src='a>b'>" + M(3) + "</i>" + M(4), {2, 3, 4}},
      {M(1) + "<script>if (a<b) x='<b>'</script>" + M(2) + "<div>never closed" + M(3), {2}},
      {M(1) + "a < b" + M(2) + "<li>x" + M(3) + "<li>y" + M(4), {2}},
  };
  for (const Case& c : cases) {
    const PageSlices s(c.body, 1);
    std::vector<int> lines;
    for (std::size_t i = 1; i < s.count(); ++i) lines.push_back(s.first_line(i));
    EXPECT_EQ(lines, c.cut_lines) << c.body;
    EXPECT_EQ(s.begin_of(0), 0u);
    EXPECT_EQ(s.end_of(s.count() - 1), c.body.size());
    for (std::size_t i = 1; i < s.count(); ++i) EXPECT_EQ(MarkAt(c.body, s.begin_of(i)), s.first_line(i));
  }
  // A mark inside the block its line starts: the cut is before the block.
  const std::string body = M(1) + "a<h2>" + M(2) + "h</h2><table><tr><td>" + M(3) + "x</table><b>" + M(4) + "y</b>";
  const PageSlices s(body, 1);
  ASSERT_EQ(s.count(), 4u);
  EXPECT_EQ(body.substr(s.begin_of(1), 4), "<h2>");
  EXPECT_EQ(body.substr(s.begin_of(2), 6), "<table");
  EXPECT_EQ(body.substr(s.begin_of(3), 3), "<b>");
  EXPECT_EQ(s.first_line(3), 4);
}

TEST(PageSlices, WindowHoldsTheLineAndIsAboutTheSizeAsked) {
  std::string body;
  for (int n = 1; n <= 1000; ++n) body += M(n) + "line " + std::to_string(n) + "<br>";
  const PageSlices s(body, 1000);
  EXPECT_GT(s.count(), 30u);
  for (std::size_t i = 0; i + 1 < s.count(); ++i) EXPECT_GE(s.end_of(i) - s.begin_of(i), 1000u);
  for (const int line : {1, 2, 500, 999, 1000, 5000}) {
    const auto [first, last] = s.WindowAround(line, 8000);
    const std::size_t bytes = s.end_of(last - 1) - s.begin_of(first);
    EXPECT_GE(bytes, 8000u) << line;
    EXPECT_LT(bytes, 8000u + 2 * 1100) << line;
    EXPECT_LE(s.first_line(first), std::min(line, 1000)) << line;
    EXPECT_TRUE(last == s.count() || s.first_line(last) > line) << line;
  }
  const auto whole = s.WindowAround(500, body.size());
  EXPECT_EQ(whole, std::make_pair(std::size_t(0), s.count()));
  EXPECT_EQ(PageSlices(body, body.size() + 1).count(), 1u);  // a short page is one slice
}

TEST(Placement, BesideTheOwnerAndOnTheScreen) {
  const Box screen{0, 0, 1280, 1024};
  struct Case {
    Box owner;
    Box preview;
    int owner_x;
  } cases[] = {
      {{100, 50, 500, 600}, {608, 50, 640, 600}, 100},   // right of it
      {{700, 50, 500, 600}, {52, 50, 640, 600}, 700},    // left of it
      {{300, 50, 500, 600}, {808, 50, 472, 600}, 300},   // the wider side, narrower
      {{200, 50, 700, 600}, {708, 50, 572, 600}, 0},     // the owner moves to the edge
      {{100, 900, 1200, 600}, {640, 424, 640, 600}, 100},  // no room: at the right edge, on the screen
  };
  for (const Case& c : cases) {
    const Placement p = PlaceBeside(c.owner, screen, 640, c.owner.height, 400);
    EXPECT_EQ(p.preview, c.preview) << c.owner.x << "," << c.owner.width;
    EXPECT_EQ(p.owner_x, c.owner_x) << c.owner.x << "," << c.owner.width;
  }
}

class PreviewRun : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    EXPECT_TRUE(WriteBytes(dir.File(name), text));
    return dir.File(name);
  }
  TempDir dir;
};

TEST_F(PreviewRun, ConvertsIntoMemoryAndWritesNothing) {
  Write("part.html", "<i>included</i>");
  PreviewRequest r;
  r.source = Write("doc.txt", "one\n|include=part.html|\n|frob|x\n");
  const PreviewPage page = ConvertToMemory(r);
  EXPECT_EQ(page.outcome, RunOutcome::kDoneErrors);
  EXPECT_NE(page.html.find("<span title=\"nvl1\">"), std::string::npos);
  EXPECT_NE(page.html.find("<i>included</i>"), std::string::npos);
  ASSERT_EQ(page.report.size(), 2u);
  EXPECT_EQ(ReportedLine(page.report[0]), 3);
  EXPECT_FALSE(FileExists(dir.File("doc.htm")));
  EXPECT_FALSE(page.written);
  const std::vector<std::string> files = FilesToWatch(page.reads, {});
  EXPECT_NE(std::find(files.begin(), files.end(), dir.File("part.html")), files.end());
  EXPECT_NE(std::find(files.begin(), files.end(), dir.File("doc.txt")), files.end());
}

TEST_F(PreviewRun, WrittenWhenAskedWithoutAnchors) {
  PreviewRequest r;
  r.source = Write("doc.txt", "one\ntwo\n");
  r.write = true;
  const PreviewPage page = ConvertToMemory(r);
  EXPECT_TRUE(page.written);
  const std::string written = ReadBytes(dir.File("doc.htm"));
  EXPECT_NE(written.find("two"), std::string::npos);
  EXPECT_EQ(written.find("nvl"), std::string::npos);
  EXPECT_EQ(FilesToWatch(page.reads, dir.File("doc.htm")), FilesToWatch(page.reads, {}));
}

TEST_F(PreviewRun, FailedRunShowsNoPage) {
  PreviewRequest r;
  r.source = dir.File("missing.txt");
  const PreviewPage page = ConvertToMemory(r);
  EXPECT_FALSE(page.shown());
  EXPECT_TRUE(page.html.empty());
  EXPECT_EQ(page.report.size(), 1u);
  std::atomic<bool> cancel{true};
  r.source = Write("doc.txt", "one\n");
  EXPECT_EQ(ConvertToMemory(r, &cancel).outcome, RunOutcome::kCancelled);
}

TEST_F(PreviewRun, RulesFromMemoryNotFromTheFile) {
  RuleStore rule;
  rule.ValueSlot("/EndStr") = CStr("<p>FOOT</p>");
  PreviewRequest r;
  r.source = Write("doc.txt", "one\n");
  r.rules = &rule;
  const PreviewPage page = ConvertToMemory(r);
  EXPECT_NE(page.html.find("<p>FOOT</p>"), std::string::npos);
}

// The sample shows every part of the rule: each listing colour, the filled
// slot, the words, the split key's elements.
// --rules and --html5 reach the preview's run.
TEST_F(PreviewRun, NamedRuleFileAndHtml5) {
  PreviewRequest r;
  r.source = Write("doc.txt", "one\n");
  r.default_rules = Write("mine.ini", "EndStr=<p>MINE</p>\n");
  r.html5 = true;
  const PreviewPage page = ConvertToMemory(r);
  EXPECT_NE(page.html.find("<p>MINE</p>"), std::string::npos);
  EXPECT_EQ(page.html.rfind("<!DOCTYPE html>", 0), 0u) << page.html.substr(0, 40);
}

TEST_F(PreviewRun, SampleShowsEveryRule) {
  RuleStore rule;
  for (const ListingColourInfo& c : kListingColours)
    rule.ValueSlot(RuleKeyOf(ColourKey(c.colour)).path) = CStr("c0ffe" + std::to_string(int(c.colour)));
  rule.ValueSlot("/HeaderStr") = CStr("<html><body><exrep3>");
  rule.CreateSection("ReplaceList");
  rule.ValueSlot("/ReplaceList/07") = CStr("<hr class=slot>");
  rule.CreateSection("AutoReplaceList");
  rule.ValueSlot("/AutoReplaceList/word") = CStr("M:<u>%1</u>");
  rule.ValueSlot("/SplitKey") = CStr("/");
  PreviewRequest r;
  r.source = dir.File("sample.txt");
  r.text = SampleDocument(rule);
  r.title = SampleTitle();
  r.rules = &rule;
  const PreviewPage page = ConvertToMemory(r);
  ASSERT_TRUE(page.shown());
  for (const ListingColourInfo& c : kListingColours)
    EXPECT_NE(page.html.find("#c0ffe" + std::to_string(int(c.colour))), std::string::npos) << int(c.colour);
  for (const std::string& want : {std::string("<hr class=slot>"), std::string("<u>word</u>"),
                                   Sjis("<b>二つ目</b>"), Sjis("タブ:")})
    EXPECT_NE(page.html.find(want), std::string::npos) << want;
  EXPECT_NE(page.html.find(Sjis("先頭の差し込み3")), std::string::npos);
  EXPECT_EQ(page.html.find("<exrep3>"), std::string::npos);
  EXPECT_TRUE(FilesToWatch(page.reads, {}).empty() || !FileExists(dir.File("sample.txt")));
  EXPECT_FALSE(FileExists(dir.File("sample.htm")));
}

TEST_F(PreviewRun, RemembersTheLastDocument) {
  const char* old = std::getenv("XDG_STATE_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
  EXPECT_FALSE(LastDocument());
  const std::string doc = Write("doc.txt", "x\n");
  EXPECT_TRUE(RememberDocument(doc));
  EXPECT_EQ(LastDocument(), doc);
  std::remove(doc.c_str());
  EXPECT_FALSE(LastDocument());  // gone: the sample again
  if (old) ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
  else ::unsetenv("XDG_STATE_HOME");
}

TEST_F(PreviewRun, WatchThreadSeesASave) {
  const std::string doc = Write("doc.txt", "one\n");
  std::atomic<int> seen{0};
  WatchThread watch([&](const std::vector<std::string>& paths) {
    if (!paths.empty() && paths[0] == doc) ++seen;
  });
  watch.SetFiles({doc});
  std::this_thread::sleep_for(50ms);  // the watch is set up on its thread
  Write("other.txt", "not watched\n");
  Write("doc.txt", "two\n");
  for (int i = 0; i < 500 && seen == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace norvelle::test
