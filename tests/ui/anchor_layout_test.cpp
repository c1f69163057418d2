// Anchored placement: controls keep their distance to the sides they are
// anchored to, and everything scales with the DPI.
#include "ui/anchor_layout.h"

#include <gtest/gtest.h>

#include "ui/main_window.h"

namespace cvn::ui {
namespace {

TEST(ScaleForDpi, KeepsValuesAt96AndRoundsToTheNearestPixel) {
  // {value, dpi, scaled}
  const int cases[][3] = {{688, 96, 688},         {688, 120, 860},       {8, 144, 12},
                          {5, 120, 6} /* 6.25 */, {6, 120, 8} /* 7.5 */, {-6, 120, -8}};
  for (const auto& c : cases) EXPECT_EQ(ScaleForDpi(c[0], c[1]), c[2]) << c[0] << " at " << c[1];
}

TEST(AnchoredBounds, FollowsTheSidesTheControlIsAnchoredTo) {
  // A control at {10, 20, 100, 30} in a parent designed as 400 x 300.
  struct Case {
    const char* what;
    uint8_t anchors;
    Size parent_now;
    int dpi;
    Rect expected;
  };
  const Case cases[] = {
      {"all sides stretch", kAnchorAll, {500, 350}, 96, {10, 20, 200, 80}},
      {"bottom right moves", kAnchorRight | kAnchorBottom, {500, 350}, 96, {110, 70, 100, 30}},
      {"free axis keeps to the centre", kAnchorTop, {500, 300}, 96, {60, 20, 100, 30}},
      {"never a negative size", kAnchorAll, {100, 50}, 96, {10, 20, 0, 0}},
      // At 144 DPI the parent's design is 600 x 450; it is 60 pixels wider.
      {"scales first", kAnchorLeft | kAnchorRight | kAnchorTop, {660, 450}, 144, {15, 30, 210, 45}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnchoredBounds({10, 20, 100, 30}, c.anchors, {400, 300}, c.parent_now, c.dpi),
              c.expected)
        << c.what;
  }
}

TEST(MainWindowMinTrackSize, ScalesWithIntegerDivision) {
  EXPECT_EQ(MainWindowMinTrackSize(96), (Size{620, 404}));
  EXPECT_EQ(MainWindowMinTrackSize(110), (Size{710, 462}));  // 710.4 and 462.9 cut off
}

}  // namespace
}  // namespace cvn::ui
