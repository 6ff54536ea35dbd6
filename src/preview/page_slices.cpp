#include "preview/page_slices.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>

namespace norvelle {

namespace {

constexpr std::string_view kMarkStart = "<span title=\"nvl";

bool Among(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsVoid(std::string_view name) {
  return Among(name, {"br", "hr", "img", "meta", "link", "input", "area", "base", "basefont", "col", "param",
                      "wbr", "embed", "source", "track", "frame", "isindex"});
}

// Elements whose start closes an open <p>, as an HTML parser does.
bool ClosesParagraph(std::string_view name) {
  return Among(name, {"p", "div", "center", "table", "pre", "ul", "ol", "dl", "blockquote", "h1", "h2", "h3", "h4",
                      "h5", "h6", "hr", "address", "form", "listing", "xmp"});
}

// The open elements, enough to tell where the body is back at its top
// level: the end tags HTML lets a writer leave out are closed as a parser
// closes them, and an end tag with no open element of its name is ignored.
class OpenElements {
 public:
  bool empty() const { return open_.empty(); }
  void Start(const std::string& name) {
    if (!open_.empty() && open_.back() == "p" && ClosesParagraph(name)) open_.pop_back();
    if (Among(name, {"li", "dt", "dd", "option"}) && !open_.empty() && open_.back() == name) open_.pop_back();
    if (Among(name, {"td", "th", "tr"}) && !open_.empty() && Among(open_.back(), {"td", "th"})) open_.pop_back();
    if (name == "tr" && !open_.empty() && open_.back() == "tr") open_.pop_back();
    if (!IsVoid(name)) open_.push_back(name);
  }
  void End(const std::string& name) {
    const auto it = std::find(open_.rbegin(), open_.rend(), name);
    if (it != open_.rend()) open_.erase(std::next(it).base(), open_.end());
  }

 private:
  std::vector<std::string> open_;
};

}  // namespace

std::size_t TagEnd(std::string_view body, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < body.size(); ++i) {
    const char c = body[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return body.size();
}

std::string TagName(std::string_view body, std::size_t i) {
  std::string name;
  while (i < body.size() && name.size() < 16 && std::isalnum(static_cast<unsigned char>(body[i])))
    name += char(std::tolower(static_cast<unsigned char>(body[i++])));
  return name;
}

bool HoldsRawText(std::string_view name) {
  return Among(name, {"script", "style", "textarea", "xmp", "title", "plaintext", "listing"});
}

int MarkAt(std::string_view body, std::size_t at) {
  if (body.compare(at, kMarkStart.size(), kMarkStart) != 0) return 0;
  int line = 0;
  std::size_t i = at + kMarkStart.size();
  for (; i < body.size() && body[i] >= '0' && body[i] <= '9' && line < 100000000; ++i) line = line * 10 + (body[i] - '0');
  return i < body.size() && body[i] == '"' ? line : 0;
}

namespace {

// Past the text of an element whose content is not markup (<script>...).
std::size_t PastRawText(std::string_view body, std::size_t from, const std::string& name) {
  for (std::size_t i = body.find("</", from); i != std::string_view::npos; i = body.find("</", i + 2))
    if (TagName(body, i + 2) == name) return TagEnd(body, i);
  return body.size();
}

}  // namespace

PageSlices::PageSlices(std::string_view body, std::size_t slice_bytes) {
  cuts_.resize(1);
  OpenElements open;
  // The last place, with nothing but tags from it to here, where no element
  // was open: a mark put inside the block its line starts is cut before it.
  std::size_t top = 0, end = 0;
  std::size_t i = body.find('<');
  while (i != std::string_view::npos && i + 1 < body.size()) {
    const char next = body[i + 1];
    if (i > end) top = std::string_view::npos;  // text since
    if (open.empty()) top = i;
    if (body.compare(i, 4, "<!--") == 0) {
      const std::size_t close = body.find("-->", i + 4);
      end = close == std::string_view::npos ? body.size() : close + 3;
    } else if (next == '!' || next == '?') {
      end = TagEnd(body, i);
    } else if (next == '/') {
      end = TagEnd(body, i);
      open.End(TagName(body, i + 2));
    } else if (std::isalpha(static_cast<unsigned char>(next))) {
      const int line = top != std::string_view::npos ? MarkAt(body, i) : 0;
      if (line > cuts_.back().line && top - cuts_.back().offset >= slice_bytes) cuts_.push_back({top, line});
      const std::string name = TagName(body, i + 1);
      end = TagEnd(body, i);
      if (end >= 2 && body[end - 2] == '/') {
        // <br/>: nothing stays open
      } else if (HoldsRawText(name)) {
        end = PastRawText(body, end, name);
      } else {
        open.Start(name);
      }
    } else {
      end = i + 1;  // a '<' that starts no tag
    }
    i = body.find('<', end);
  }
  cuts_.push_back({body.size(), cuts_.back().line});
}

std::size_t PageSlices::SliceOf(int line) const {
  // The last cut whose line is not past `line` begins the slice.
  const auto it = std::upper_bound(cuts_.begin() + 1, cuts_.end() - 1, line,
                                   [](int l, const Cut& c) { return l < c.line; });
  return std::size_t(it - cuts_.begin()) - 1;
}

std::pair<std::size_t, std::size_t> PageSlices::WindowAround(int line, std::size_t bytes) const {
  std::size_t first = SliceOf(line), last = first + 1;
  const auto size = [this](std::size_t a, std::size_t b) { return cuts_[b].offset - cuts_[a].offset; };
  // Grow on the side that has less, while either side can grow.
  while (size(first, last) < bytes && (first > 0 || last < count())) {
    const std::size_t before = size(first, SliceOf(line)), after = size(SliceOf(line) + 1, last);
    if (first > 0 && (before <= after || last == count())) --first;
    else ++last;
  }
  return {first, last};
}

}  // namespace norvelle
