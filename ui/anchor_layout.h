// Placement of controls that keep their distance to chosen sides of their
// parent when it is resized, and scale with the screen's DPI. Bounds are
// designed in pixels at 96 DPI.
#pragma once

#include <cstdint>

namespace cvn::ui {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
  int width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Sides of the parent a control keeps its distance to: a set of bits.
using Anchors = uint8_t;
inline constexpr Anchors kAnchorLeft = 1;
inline constexpr Anchors kAnchorTop = 2;
inline constexpr Anchors kAnchorRight = 4;
inline constexpr Anchors kAnchorBottom = 8;
inline constexpr Anchors kAnchorTopLeft = kAnchorLeft | kAnchorTop;
inline constexpr Anchors kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;

inline constexpr int kDesignDpi = 96;

// `value` pixels at 96 DPI as pixels at `dpi`, rounded to the nearest.
int ScaleForDpi(int value, int dpi);

// The bounds of a control designed at `design` inside a parent whose client
// area was designed as `parent_design` and now measures `parent_now` pixels
// at `dpi`. On each axis: anchored to both sides, the control stretches;
// to the far side only, it moves with that side; to neither, it keeps its
// place relative to the parent's centre; otherwise it stays put.
Rect AnchoredBounds(const Rect& design, Anchors anchors, Size parent_design, Size parent_now,
                    int dpi);

}  // namespace cvn::ui
