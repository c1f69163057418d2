// Anchored placement: controls keep their distance to the sides they are
// anchored to, and everything scales with the DPI.
#include "ui/anchor_layout.h"

#include <gtest/gtest.h>

#include "ui/main_window.h"

namespace cvn::ui {
namespace {

constexpr Size kParentDesign = {400, 300};
constexpr Rect kControl = {10, 20, 100, 30};

TEST(ScaleForDpi, KeepsValuesAt96AndRoundsToTheNearestPixel) {
  EXPECT_EQ(ScaleForDpi(688, 96), 688);
  EXPECT_EQ(ScaleForDpi(688, 120), 860);
  EXPECT_EQ(ScaleForDpi(8, 144), 12);
  EXPECT_EQ(ScaleForDpi(5, 120), 6);  // 6.25
  EXPECT_EQ(ScaleForDpi(6, 120), 8);  // 7.5 rounds up
  EXPECT_EQ(ScaleForDpi(-6, 120), -8);
}

TEST(AnchoredBounds, TopLeftAnchoredControlStaysWhenTheParentGrows) {
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorTopLeft, kParentDesign, {500, 350}, 96), kControl);
}

TEST(AnchoredBounds, ControlAnchoredOnAllSidesStretches) {
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorAll, kParentDesign, {500, 350}, 96),
            (Rect{10, 20, 200, 80}));
}

TEST(AnchoredBounds, ControlAnchoredBottomRightMovesWithThatCorner) {
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorRight | kAnchorBottom, kParentDesign, {500, 350}, 96),
            (Rect{110, 70, 100, 30}));
}

TEST(AnchoredBounds, UnanchoredAxisKeepsItsPlaceRelativeToTheCentre) {
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorTop, kParentDesign, {500, 300}, 96),
            (Rect{60, 20, 100, 30}));
}

TEST(AnchoredBounds, ShrinkingParentNeverGivesANegativeSize) {
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorAll, kParentDesign, {100, 50}, 96),
            (Rect{10, 20, 0, 0}));
}

TEST(AnchoredBounds, ScalesWithTheDpiBeforeFollowingTheParent) {
  // At 144 DPI the parent's design is 600 x 450; it is 60 pixels wider.
  EXPECT_EQ(AnchoredBounds(kControl, kAnchorLeft | kAnchorRight | kAnchorTop, kParentDesign,
                           {660, 450}, 144),
            (Rect{15, 30, 210, 45}));
}

TEST(MainWindowMinTrackSize, Is620By404At96DpiScaledWithIntegerDivision) {
  EXPECT_EQ(MainWindowMinTrackSize(96), (Size{620, 404}));
  EXPECT_EQ(MainWindowMinTrackSize(120), (Size{775, 505}));
  EXPECT_EQ(MainWindowMinTrackSize(144), (Size{930, 606}));
  EXPECT_EQ(MainWindowMinTrackSize(110), (Size{710, 462}));  // 710.4 and 462.9 cut off
}

}  // namespace
}  // namespace cvn::ui
