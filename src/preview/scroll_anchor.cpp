#include "preview/scroll_anchor.h"

#include <algorithm>
#include <cstring>

namespace norvelle {

namespace {

// Where each line starts; a text ending in a line feed has no empty last line.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const void* lf = std::memchr(text.data() + at, '\n', text.size() - at);
    const std::size_t end = lf ? std::size_t(static_cast<const char*>(lf) - text.data()) : text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace

LineMap::LineMap(std::string_view old_text, std::string_view new_text) {
  const std::vector<std::string_view> a = LinesOf(old_text), b = LinesOf(new_text);
  old_lines_ = int(a.size());
  new_lines_ = int(b.size());
  const std::size_t shorter = std::min(a.size(), b.size());
  std::size_t s = 0;
  while (s < shorter && a[s] == b[s]) ++s;
  std::size_t e = 0;
  while (e < shorter - s && a[a.size() - 1 - e] == b[b.size() - 1 - e]) ++e;
  same_start_ = int(s);
  same_end_ = int(e);
}

int LineMap::operator()(int old_line) const {
  if (old_line <= same_start_) return old_line;
  if (old_line > old_lines_ - same_end_) return old_line + new_lines_ - old_lines_;
  return same_start_ + 1;
}

ScrollAnchor AnchorAt(const LinePositions& page, int scroll_y) {
  if (scroll_y <= 0 || page.lines.empty()) return {};
  // The first index whose line starts below the view's top, by bisection:
  // a page of a megabyte has tens of thousands of lines.
  std::size_t lo = 0, hi = page.lines.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (page.y(mid) <= scroll_y) lo = mid + 1;
    else hi = mid;
  }
  if (lo == 0) return {0, scroll_y};
  return {page.lines[lo - 1], scroll_y - page.y(lo - 1)};
}

int ScrollFor(const LinePositions& page, const ScrollAnchor& anchor) {
  if (anchor.line <= 0 || page.lines.empty()) return anchor.offset;
  auto it = std::upper_bound(page.lines.begin(), page.lines.end(), anchor.line);
  if (it == page.lines.begin()) return anchor.offset;
  return page.y(std::size_t(it - page.lines.begin() - 1)) + anchor.offset;
}

}  // namespace norvelle
