// Where a preview window opens beside the window it previews for: to its
// right, else to its left, narrower if need be; on a screen too narrow for
// both side by side, the other window moves to the screen's edge to make
// room. Plain rectangles, so that it can be tested without a display.
#pragma once

namespace norvelle {

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  int right() const { return x + width; }  // one past the last column
  int bottom() const { return y + height; }
  bool operator==(const Box&) const = default;
};

struct Placement {
  Box preview;
  int owner_x = 0;  // where the other window's left edge goes (often where it is)
};

// owner: the other window's frame; screen: the screen's free area; width and
// height: the preview's wish; narrowest: the least width worth opening beside.
Placement PlaceBeside(const Box& owner, const Box& screen, int width, int height, int narrowest);

}  // namespace norvelle
