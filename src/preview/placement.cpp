#include "preview/placement.h"

#include <algorithm>

namespace norvelle {

namespace {

constexpr int kGap = 8;

}  // namespace

Placement PlaceBeside(const Box& owner, const Box& screen, int width, int height, int narrowest) {
  Placement p;
  p.owner_x = owner.x;
  Box& b = p.preview;
  b.height = std::min(height, screen.height);
  b.y = std::clamp(owner.y, screen.y, screen.bottom() - b.height);
  const int right = screen.right() - owner.right() - kGap;
  const int left = owner.x - screen.x - kGap;
  // The right side when the whole width fits there, or fits on neither
  // side and the right has more room; the left side otherwise.
  const bool on_right = right >= width || (left < width && right >= left);
  const int room = on_right ? right : left;
  if (room >= std::min(width, narrowest)) {
    b.width = std::min(width, room);
    b.x = on_right ? owner.right() + kGap : owner.x - kGap - b.width;
  } else if (screen.width - owner.width - kGap >= narrowest) {
    // Side by side only with the owner at the screen's left edge.
    p.owner_x = screen.x;
    b.width = std::min(width, screen.width - owner.width - kGap);
    b.x = screen.x + owner.width + kGap;
  } else {
    // No room beside it at all: at the screen's right edge, over it.
    b.width = std::min(width, screen.width);
    b.x = screen.right() - b.width;
  }
  return p;
}

}  // namespace norvelle
