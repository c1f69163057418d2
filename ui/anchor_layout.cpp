#include "ui/anchor_layout.h"

#include <algorithm>
#include <cstdint>

namespace cvn::ui {

int ScaleForDpi(int value, int dpi) {
  const int64_t scaled = static_cast<int64_t>(value) * dpi;
  const int64_t half = kDesignDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi
                                      : -((-scaled + half) / kDesignDpi));
}

namespace {

struct Span {
  int start, length;
};

// One axis of AnchoredBounds; `growth` is how much larger the parent is now
// than its scaled design.
Span PlaceOnAxis(int start, int length, bool near_side, bool far_side, int growth) {
  if (near_side && far_side) return {start, std::max(0, length + growth)};
  if (far_side) return {start + growth, length};
  if (!near_side) return {start + growth / 2, length};
  return {start, length};
}

}  // namespace

Rect AnchoredBounds(const Rect& design, Anchors anchors, Size parent_design, Size parent_now,
                    int dpi) {
  const int grow_x = parent_now.width - ScaleForDpi(parent_design.width, dpi);
  const int grow_y = parent_now.height - ScaleForDpi(parent_design.height, dpi);
  const Span x = PlaceOnAxis(ScaleForDpi(design.left, dpi), ScaleForDpi(design.width, dpi),
                             anchors & kAnchorLeft, anchors & kAnchorRight, grow_x);
  const Span y = PlaceOnAxis(ScaleForDpi(design.top, dpi), ScaleForDpi(design.height, dpi),
                             anchors & kAnchorTop, anchors & kAnchorBottom, grow_y);
  return {x.start, y.start, x.length, y.length};
}

}  // namespace cvn::ui
