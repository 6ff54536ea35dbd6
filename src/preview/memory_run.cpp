#include "preview/memory_run.h"

#include "report/messages.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iterator>
#include <utility>

#include "platform/files.h"
#include "preview/page_slices.h"
#include "report/host.h"

namespace norvelle {

namespace {

// Keeps the report; the progress has no one to show it to.
class MemoryHost : public ConversionHost {
 public:
  explicit MemoryHost(const std::atomic<bool>* cancel) : cancel_(cancel) {}
  void SetStatus(std::string_view) override {}
  void AddError(std::string_view line) override { lines.emplace_back(line); }
  int ErrorCount() const override { return int(lines.size()); }
  void SetButtonCaption(std::string_view) override {}
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  bool Pump() override { return cancel_ && cancel_->load(std::memory_order_relaxed); }

  std::vector<std::string> lines;

 private:
  const std::atomic<bool>* cancel_;
};

// The source from the request's text when it has one; a copy of it kept
// either way, so that the next run can tell which lines moved.
class PreviewIO : public DocumentIO {
 public:
  PreviewIO(const std::optional<std::string>& given, std::string& kept) : given_(given), kept_(kept) {}

 protected:
  bool ReadFile(FileRole role, const std::string& path, std::string& text) override {
    if (role != FileRole::kSource) return DocumentIO::ReadFile(role, path, text);
    if (given_) text = *given_;
    else if (!DocumentIO::ReadFile(role, path, text)) return false;
    kept_ = text;
    return true;
  }
  bool Recorded(FileRole role) const override { return role != FileRole::kSource || !given_; }

 private:
  const std::optional<std::string>& given_;
  std::string& kept_;
};

}  // namespace

PreviewPage ConvertToMemory(const PreviewRequest& request, const std::atomic<bool>* cancel) {
  const auto started = std::chrono::steady_clock::now();
  PreviewPage page;
  MemoryHost host(cancel);
  PreviewIO io(request.text, page.source_text);
  std::vector<LineMark> marks;
  RunHooks hooks;
  hooks.io = &io;
  hooks.default_rule_store = request.rules;
  hooks.default_rules = request.default_rules;
  hooks.html5 = request.html5;
  hooks.line_marks = &marks;
  hooks.title_text = request.title;
  hooks.stream_source = request.text.has_value();
  hooks.write = [&](const std::string& output, const std::vector<std::string_view>& pieces) {
    page.page_path = output;
    const std::string body = BodyWithAnchors(pieces[1], marks);
    page.html.reserve(pieces[0].size() + body.size() + pieces[2].size());
    page.html.append(pieces[0]).append(body).append(pieces[2]);
    page.body_begin = pieces[0].size();
    page.body_end = page.body_begin + body.size();
    if (!request.write) return true;
    page.written = WriteTextFile(output, pieces);
    return page.written;
  };
  page.outcome = ConvertWith(host, request.source, hooks);
  if (!page.shown()) page.html.clear();
  page.report = std::move(host.lines);
  page.reads = io.reads();
  page.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  return page;
}

std::string LineAnchorName(int line) { return "nvl" + std::to_string(line); }

int LineOfAnchor(std::string_view name) {
  if (name.size() < 4 || name.substr(0, 3) != "nvl") return 0;
  int line = 0;
  for (const char c : name.substr(3)) {
    if (c < '0' || c > '9' || line > 100000000) return 0;
    line = line * 10 + (c - '0');
  }
  return line;
}

namespace {

// A line's mark is a zero-width space whose title names the line. Not an
// empty <a name>: QTextBrowser files every distinct format in a hash table in
// which all anchor names hash alike, which makes a page of many lines take
// quadratic time to load; a title is hashed by its text. The space also keeps
// the mark in the line's own block after a block's end (an empty element
// there is drawn into the block before).
constexpr std::string_view kMarkOpen = "<span title=\"";
constexpr std::string_view kMarkClose = "\">&#8203;</span>";

// Past the start tags of blocks that begin a line's output, up to `limit`
// (the next line's start): a mark before <h2> or <table> would stand in a
// block of its own, a blank line the page does not have; inside them it
// does not.
std::size_t PastBlockStarts(std::string_view body, std::size_t at, std::size_t limit) {
  static constexpr std::string_view kBlocks[] = {"h1", "h2", "h3", "h4", "h5", "h6", "p", "div", "center",
                                                 "table", "caption", "thead", "tbody", "tr", "td", "th", "pre",
                                                 "ul", "ol", "li", "dl", "dt", "dd", "blockquote", "hr", "address"};
  while (at + 1 < limit && body[at] == '<' && std::isalpha(static_cast<unsigned char>(body[at + 1]))) {
    const std::string name = TagName(body, at + 1);
    const std::size_t end = TagEnd(body, at);
    if (std::find(std::begin(kBlocks), std::end(kBlocks), name) == std::end(kBlocks) || end > limit) break;
    at = end;
  }
  return at;
}

}  // namespace

std::string BodyWithAnchors(std::string_view body, const std::vector<LineMark>& marks) {
  std::string out;
  out.reserve(body.size() + marks.size() * 24);
  std::size_t at = 0;
  int last = 0;
  std::size_t next = 0;  // the first mark after the place looked at
  for (const LineMark& m : marks) {
    // Lines only go forward; an offset past the body (none should be) is dropped.
    if (m.line <= last || m.offset > body.size()) continue;
    // A line with no output of its own goes with the next that has some.
    const std::size_t from = std::max(m.offset, at);
    while (next < marks.size() && marks[next].offset <= from) ++next;
    const std::size_t limit = next < marks.size() ? std::min(marks[next].offset, body.size()) : body.size();
    const std::size_t place = PastBlockStarts(body, from, limit);
    out.append(body.substr(at, place - at));
    out.append(kMarkOpen).append(LineAnchorName(m.line)).append(kMarkClose);
    at = place;
    last = m.line;
  }
  out.append(body.substr(at));
  return out;
}

int ReportedLine(std::string_view line) {
  int n = 0;
  std::string_view rest;
  return SplitNumberedLine(line, n, rest) ? n : 0;
}

}  // namespace norvelle
