// Keeping a preview's place across runs by source line, not by pixels: the
// line at the top of the view, and how far below that line's start the view
// is, are taken before a run and looked up again after it. Lines that an
// edit moved (a line added above the view) are followed through LineMap.
//
// The window supplies where each marked line starts (a y in the page, in
// pixels, ascending with the line); nothing here knows about the toolkit.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace norvelle {

// Lines of an old text to lines of a new one: the lines the two share at
// their start stay, those they share at their end move by the difference in
// length, and a line of the changed part goes to the change's first line.
// One pass over each text; no diff of the middle.
class LineMap {
 public:
  LineMap(std::string_view old_text, std::string_view new_text);
  int operator()(int old_line) const;  // 1-based

 private:
  int same_start_ = 0;  // lines equal at the start
  int same_end_ = 0;    // lines equal at the end (not overlapping the start)
  int old_lines_ = 0;
  int new_lines_ = 0;
};

struct ScrollAnchor {
  int line = 0;    // 0: the top of the page
  int offset = 0;  // pixels from the line's start down to the view's top
  bool operator==(const ScrollAnchor&) const = default;
};

// The marked lines of a page, in page order, and where each starts.
struct LinePositions {
  std::vector<int> lines;           // ascending
  std::function<int(std::size_t)> y;  // y of lines[i]; ascending with i
};

// The last marked line that starts at or above scroll_y (the top: line 0).
ScrollAnchor AnchorAt(const LinePositions& page, int scroll_y);
// Where to scroll so that the anchor's line is where it was; a line the page
// lacks counts as the nearest marked line before it.
int ScrollFor(const LinePositions& page, const ScrollAnchor& anchor);

}  // namespace norvelle
