// A long page shown a part at a time: QTextBrowser takes about a third of a
// second per megabyte of HTML to load and lays the page out on the GUI
// thread, so a preview of a large page loads only the lines around the view
// and moves that window as the view nears its edge.
//
// The body is cut only at a line's mark (see memory_run.h) where no element
// is open, so that each window, between the page's head and end, is the same
// HTML as that part of the whole page. A body that never comes back to the
// top level past some point (an unclosed element, a block around everything)
// simply has no cuts there: that part is shown whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvelle {

class PageSlices {
 public:
  struct Cut {
    std::size_t offset = 0;  // into the body, where a line's mark starts
    int line = 0;            // that line; the first cut: the body's start, line 0
  };

  PageSlices() = default;
  // Slices of at least `slice_bytes` (but the last), cut at marked lines.
  PageSlices(std::string_view body, std::size_t slice_bytes);

  std::size_t count() const { return cuts_.size() - 1; }  // at least one
  std::size_t begin_of(std::size_t slice) const { return cuts_[slice].offset; }
  std::size_t end_of(std::size_t slice) const { return cuts_[slice + 1].offset; }
  int first_line(std::size_t slice) const { return cuts_[slice].line; }
  // The slice that holds the line's mark (the nearest line before it when
  // the body has no mark for it).
  std::size_t SliceOf(int line) const;
  // Slices [first, last) around the one holding `line`, about `bytes` in
  // all, as evenly before as after it where the body allows.
  std::pair<std::size_t, std::size_t> WindowAround(int line, std::size_t bytes) const;

 private:
  std::vector<Cut> cuts_{Cut{}, Cut{}};
};

// The line of a mark that starts at body[at] ("<span title=\"nvlN\">"); 0 if none.
int MarkAt(std::string_view body, std::size_t at);

// Reading tags: past the '>' of the tag that starts at body[at] (quotes
// honoured; the body's end if it has none), and the lower-case name that
// starts at body[at] (at most 16 letters and digits).
std::size_t TagEnd(std::string_view body, std::size_t at);
std::string TagName(std::string_view body, std::size_t at);
// Elements whose content is text, not markup (<script>...).
bool HoldsRawText(std::string_view name);

}  // namespace norvelle
