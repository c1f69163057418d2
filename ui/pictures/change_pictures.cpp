#include "ui/pictures/change_pictures.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "ui/pictures/raster.h"

namespace cvn::pictures {

namespace {

enum Picture {
  kMyComputer,
  kFileSystem,
  kRegistry,
  kDrive,
  kPathNode,
  kContainerCreated,
  kContainerDeleted,
  kDataCreated,
  kDataDeleted,
  kDataChanged,
  kDataCounter,
  kTextCreated,
  kTextDeleted,
  kTextChanged,
  kTextCounter,
  kFileCreated,
  kFileDeleted,
  kFileChanged,
  kFileMovedFrom,
  kFileMovedTo,
};

enum class Badge { kCreated, kDeleted, kChanged, kCounter, kMovedOut, kMovedIn };

// Colours, 0xAARRGGBB.
constexpr Colour kInk{0xFF2E3645};
constexpr Colour kWhite{0xFFFFFFFF};
constexpr Colour kFolderBack{0xFFE0A93A};
constexpr Colour kFolderFront{0xFFF7CF64};
constexpr Colour kFolderEdge{0xFF9C6A12};
constexpr Colour kPaper{0xFFFFFFFF};
constexpr Colour kPaperEdge{0xFF667085};
constexpr Colour kPaperFold{0xFFD5DCE6};
constexpr Colour kPaperLines{0xFF9DB0C8};
constexpr Colour kScreen{0xFF3B8BDB};
constexpr Colour kScreenLight{0xFF8CC4F5};
constexpr Colour kMetal{0xFFC9D0DA};
constexpr Colour kMetalDark{0xFF8E99A8};
constexpr Colour kLamp{0xFF35C45A};
constexpr Colour kBlock{0xFF4B7FD1};
constexpr Colour kBlockEdge{0xFF23488A};
constexpr Colour kTextTile{0xFFFFF1DC};
constexpr Colour kTextTileEdge{0xFFB5773A};
constexpr Colour kTextGlyph{0xFFA03A16};
constexpr Colour kDataTile{0xFFE3EEFF};
constexpr Colour kDataTileEdge{0xFF4F73AE};
constexpr Colour kDataGlyph{0xFF1C4C9C};
constexpr Colour kBadgeCreated{0xFF23A041};
constexpr Colour kBadgeDeleted{0xFFDC3430};
constexpr Colour kBadgeChanged{0xFFF09A12};
constexpr Colour kBadgeCounter{0xFF2C6FD6};
constexpr Colour kBadgeMoved{0xFF7A52D6};
constexpr Colour kBox{0xFFD89A4E};
constexpr Colour kBoxTop{0xFFEFC486};
constexpr Colour kBoxSide{0xFFB7773A};
constexpr Colour kBoxEdge{0xFF6E4419};
constexpr Colour kBoxTape{0xFFF6E2BE};
constexpr Colour kLens{0x70BDE4FF};

// The convex polygon with each side moved inwards by its distance in pixels:
// side i runs from corner i to the next.
std::vector<Point> Inset(const std::vector<Point>& corners, const std::vector<double>& distances) {
  const size_t n = corners.size();
  double orientation = 0;
  for (size_t i = 0; i < n; ++i) {
    const Point& a = corners[i];
    const Point& b = corners[(i + 1) % n];
    orientation += a.x * b.y - b.x * a.y;
  }
  const double inward = orientation > 0 ? 1 : -1;
  // Each side moved inwards, as its direction and a point on it.
  std::vector<Point> along(n), through(n);
  for (size_t i = 0; i < n; ++i) {
    const Point& a = corners[i];
    const Point& b = corners[(i + 1) % n];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double distance = distances[i] * inward;
    along[i] = {(b.x - a.x) / length, (b.y - a.y) / length};
    through[i] = {a.x - along[i].y * distance, a.y + along[i].x * distance};
  }
  // Each corner moves to where the side before it meets its own side.
  std::vector<Point> inset(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t before = (i + n - 1) % n;
    const Point& d1 = along[before];
    const Point& d2 = along[i];
    const double cross = d1.x * d2.y - d1.y * d2.x;
    const double dx = through[i].x - through[before].x;
    const double dy = through[i].y - through[before].y;
    const double t = (dx * d2.y - dy * d2.x) / cross;
    inset[i] = {through[before].x + d1.x * t, through[before].y + d1.y * t};
  }
  return inset;
}

// A picture being drawn on a grid of 16 by 16 units, whatever its size in
// pixels. Edges that run along the grid are put on whole pixels so that they
// stay sharp; outlines are whole pixels thick.
class Sketch {
 public:
  explicit Sketch(int size)
      : canvas_(size),
        unit_(size / 16.0),
        line_(std::max(1.0, std::round(size / 24.0))),
        stroke_(std::max(1.0, std::floor(size / 16.0))) {}

  Canvas& canvas() { return canvas_; }
  int size() const { return canvas_.size(); }
  // Units to pixels, and units to the nearest pixel edge.
  double At(double units) const { return units * unit_; }
  double Snap(double units) const { return std::round(units * unit_); }
  // The width of outlines, and of the strokes of letters and details, in pixels.
  double line() const { return line_; }
  double stroke() const { return stroke_; }

  void Fill(const Path& path, Colour colour) { canvas_.Fill(path, colour); }

  // A rectangle in units, rounded by `radius` units, filled and outlined.
  void Box(double left, double top, double right, double bottom, double radius, Colour fill,
           Colour edge) {
    const double l = Snap(left), t = Snap(top), r = Snap(right), b = Snap(bottom);
    const double round = At(radius);
    Fill(Path().RoundedRect(l, t, r, b, round), edge);
    Fill(Path().RoundedRect(l + line_, t + line_, r - line_, b - line_,
                            std::max(0.0, round - line_)),
         fill);
  }

  // A convex polygon in pixels, filled and outlined.
  void Shape(const std::vector<Point>& corners, Colour fill, Colour edge) {
    Fill(Path().Polygon(corners), edge);
    Fill(Path().Polygon(Inset(corners, std::vector<double>(corners.size(), line_))), fill);
  }

 private:
  Canvas canvas_;
  double unit_;
  double line_;
  double stroke_;
};

Point Rotated(Point point, Point centre, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double x = point.x - centre.x, y = point.y - centre.y;
  return {centre.x + x * c - y * s, centre.y + x * s + y * c};
}

std::vector<Point> Rotated(std::vector<Point> points, Point centre, double angle) {
  for (Point& point : points) point = Rotated(point, centre, angle);
  return points;
}

// A folder: the back with its tab, and the front a little lower.
void DrawFolder(Sketch& sketch) {
  const double line = sketch.line();
  const double l = sketch.Snap(0.5), r = sketch.Snap(15.5), b = sketch.Snap(14);
  const double tab_top = sketch.Snap(2), back_top = sketch.Snap(3.5);
  const double tab_right = sketch.Snap(6.5), front_top = sketch.Snap(5.5);
  const double round = sketch.At(1);
  Path back = Path()
                  .RoundedRect(l, tab_top, tab_right, back_top + round * 2, round)
                  .RoundedRect(l, back_top, r, b, round);
  sketch.Fill(back, kFolderEdge);
  sketch.Fill(
      Path()
          .RoundedRect(l + line, tab_top + line, tab_right - line, back_top + round * 2,
                       std::max(0.0, round - line))
          .RoundedRect(l + line, back_top + line, r - line, b - line, std::max(0.0, round - line)),
      kFolderBack);
  sketch.Fill(Path().RoundedRect(l, front_top, r, b, round), kFolderEdge);
  sketch.Fill(Path().RoundedRect(l + line, front_top + line, r - line, b - line,
                                 std::max(0.0, round - line)),
              kFolderFront);
}

// A page with its top right corner folded over, and lines of writing.
void DrawPage(Sketch& sketch) {
  const double l = sketch.Snap(2.5), t = sketch.Snap(0.5), r = sketch.Snap(13.5),
               b = sketch.Snap(15.5);
  const double fold = sketch.Snap(4);
  const double line = sketch.line();
  sketch.Shape({{l, t}, {r - fold, t}, {r, t + fold}, {r, b}, {l, b}}, kPaper, kPaperEdge);
  sketch.Shape({{r - fold, t}, {r, t + fold}, {r - fold, t + fold}}, kPaperFold, kPaperEdge);
  for (double y : {6.0, 8.5, 11.0}) {
    const double top = sketch.Snap(y);
    sketch.Fill(
        Path().Rect(l + line + sketch.Snap(1.5), top, r - line - sketch.Snap(1.5), top + line),
        kPaperLines);
  }
}

// Where the badge goes in a picture of `size` pixels.
struct BadgeGeometry {
  explicit BadgeGeometry(int size)
      : stroke(std::max(2.0, std::round(size / 8.0))),
        // The glyph's strokes sit on whole pixels when the diameter and the
        // stroke are both odd or both even.
        diameter(std::round(size / 2.0) +
                 (static_cast<int>(std::round(size / 2.0) - stroke) % 2 != 0 ? 1 : 0)),
        radius(diameter / 2),
        centre{size - radius, size - radius},
        gap(std::max(1.0, std::floor(size / 16.0))) {}

  // The top of the ring cut out around the badge.
  double top() const { return centre.y - radius - gap; }

  double stroke;
  double diameter;
  double radius;
  Point centre;
  double gap;  // the transparent ring around it
};

// A tile that holds a registry value: "ab" for text, "01" for other data.
// Tile and letters end above the ring around the badge.
void DrawValue(Sketch& sketch, bool text) {
  const double w = sketch.stroke();
  const double tile_top = sketch.Snap(1);
  const double cap = sketch.Snap(3);
  const double base = std::min(sketch.Snap(8), std::floor(BadgeGeometry(sketch.size()).top()) + 1);
  const double middle = base - std::max(3.0, std::round((base - cap) * 0.62));  // small letters
  const double width = sketch.Snap(3.5);
  const double first = sketch.Snap(2), second = sketch.Snap(6.5);
  const double tile_bottom = base + (cap - tile_top);
  const double line = sketch.line();
  const double corner = sketch.At(1.5);
  sketch.Fill(Path().RoundedRect(0, tile_top, sketch.size(), tile_bottom, corner),
              text ? kTextTileEdge : kDataTileEdge);
  sketch.Fill(Path().RoundedRect(line, tile_top + line, sketch.size() - line, tile_bottom - line,
                                 std::max(0.0, corner - line)),
              text ? kTextTile : kDataTile);

  const Colour ink = text ? kTextGlyph : kDataGlyph;
  const double round = sketch.At(1.6);
  // A ring: a rounded outline `w` thick.
  const auto ring = [&](double left, double top, double right, double bottom) {
    sketch.Fill(
        Path()
            .RoundedRect(left, top, right, bottom, round)
            .RoundedRect(left + w, top + w, right - w, bottom - w, std::max(0.0, round - w), true),
        ink);
  };
  if (text) {
    // a: a bowl with its stem on the right; b: a tall stem with a bowl.
    ring(first, middle, first + width, base);
    sketch.Fill(Path().Rect(first + width - w, middle, first + width, base), ink);
    ring(second, middle, second + width, base);
    sketch.Fill(Path().Rect(second, cap, second + w, base), ink);
  } else {
    // 0: a tall ring; 1: a stem with a nub below its top on the left.
    ring(first, cap, first + width, base);
    const double stem = second + std::round((width - w) / 2);
    const double nub = std::max(w, std::round(width / 3));
    sketch.Fill(Path().Rect(stem, cap, stem + w, base).Rect(stem - nub, cap + w, stem, cap + 2 * w),
                ink);
  }
}

// A round badge in the lower right corner, cut out of what lies below it.
void DrawBadge(Sketch& sketch, Badge badge) {
  const BadgeGeometry geometry(sketch.size());
  const double stroke = geometry.stroke, diameter = geometry.diameter, radius = geometry.radius;
  const Point centre = geometry.centre;
  sketch.canvas().Erase(Path().Circle(centre, radius + geometry.gap));

  Colour colour = kBadgeCreated;
  switch (badge) {
    case Badge::kCreated:
      break;
    case Badge::kDeleted:
      colour = kBadgeDeleted;
      break;
    case Badge::kChanged:
      colour = kBadgeChanged;
      break;
    case Badge::kCounter:
      colour = kBadgeCounter;
      break;
    case Badge::kMovedOut:
    case Badge::kMovedIn:
      colour = kBadgeMoved;
      break;
  }
  sketch.Fill(Path().Circle(centre, radius), colour);

  // Half the length of the glyph's strokes.
  const double reach = radius - std::round(diameter / 6);
  const double half = stroke / 2;
  const Point c = centre;
  switch (badge) {
    case Badge::kCreated:
      sketch.Fill(Path()
                      .Rect(c.x - reach, c.y - half, c.x + reach, c.y + half)
                      .Rect(c.x - half, c.y - reach, c.x + half, c.y + reach),
                  kWhite);
      break;
    case Badge::kDeleted:
      sketch.Fill(Path().Rect(c.x - reach, c.y - half, c.x + reach, c.y + half), kWhite);
      break;
    case Badge::kChanged: {
      // A pencil from lower left to upper right, its point at the lower left.
      const double body = half * 1.15;
      const std::vector<Point> pencil = {{c.x - reach, c.y},
                                         {c.x - reach + body * 1.6, c.y - body},
                                         {c.x + reach, c.y - body},
                                         {c.x + reach, c.y + body},
                                         {c.x - reach + body * 1.6, c.y + body}};
      sketch.Fill(Path().Polygon(Rotated(pencil, c, -std::numbers::pi / 4)), kWhite);
      break;
    }
    case Badge::kCounter:
    case Badge::kMovedOut:
    case Badge::kMovedIn: {
      // An arrow pointing right, turned to point up or left.
      const double head = reach * 0.95;
      const std::vector<Point> arrow = {
          {c.x - reach, c.y - half},        {c.x + reach - head, c.y - half},
          {c.x + reach - head, c.y - head}, {c.x + reach, c.y},
          {c.x + reach - head, c.y + head}, {c.x + reach - head, c.y + half},
          {c.x - reach, c.y + half}};
      const double angle = badge == Badge::kCounter   ? -std::numbers::pi / 2
                           : badge == Badge::kMovedIn ? std::numbers::pi
                                                      : 0;
      // Not convex: the shaft and the head are filled as one outline.
      sketch.Fill(Path().Polygon(Rotated(arrow, c, angle)), kWhite);
      break;
    }
  }
}

void DrawComputer(Sketch& sketch) {
  sketch.Box(0.5, 1.5, 15.5, 12, 1, kScreen, kInk);
  const double line = sketch.line();
  // A light band across the screen.
  const double l = sketch.Snap(0.5) + line, t = sketch.Snap(1.5) + line;
  const double r = sketch.Snap(15.5) - line, b = sketch.Snap(12) - line;
  sketch.Fill(Path().Polygon({{l, t}, {l + (r - l) * 0.55, t}, {l, t + (b - t) * 0.8}}),
              kScreenLight.Faded(0.55));
  const double neck_l = sketch.Snap(6.5), neck_r = sketch.Snap(9.5);
  sketch.Fill(Path().Rect(neck_l, sketch.Snap(12), neck_r, sketch.Snap(14)), kInk);
  sketch.Fill(Path().RoundedRect(sketch.Snap(3.5), sketch.Snap(13.5), sketch.Snap(12.5),
                                 sketch.Snap(15.5), sketch.At(0.75)),
              kInk);
}

// A cabinet of two drawers, each with a handle.
void DrawFileSystem(Sketch& sketch) {
  sketch.Box(2.5, 0.5, 13.5, 15.5, 1, kFolderFront, kFolderEdge);
  const double line = sketch.line();
  const double l = sketch.Snap(2.5), r = sketch.Snap(13.5);
  const double middle = sketch.Snap(8);
  sketch.Fill(
      Path().Rect(l, middle - std::floor(line / 2), r, middle - std::floor(line / 2) + line),
      kFolderEdge);
  for (double centre : {4.25, 11.75}) {
    const double y = sketch.Snap(centre);
    const double w = sketch.stroke();
    sketch.Fill(Path().Rect(sketch.Snap(6), y - w / 2, sketch.Snap(10), y + w / 2), kFolderEdge);
  }
}

// Keys in a tree: one above, two below, joined by lines.
void DrawRegistry(Sketch& sketch) {
  const double w = sketch.line();
  const double join_y = sketch.Snap(8.5);
  const double left_x = sketch.Snap(4), right_x = sketch.Snap(12), top_x = sketch.Snap(8);
  sketch.Fill(Path()
                  .Rect(top_x - w / 2, sketch.Snap(5), top_x + w / 2, join_y + w / 2)
                  .Rect(left_x - w / 2, join_y - w / 2, right_x + w / 2, join_y + w / 2)
                  .Rect(left_x - w / 2, join_y, left_x + w / 2, sketch.Snap(10))
                  .Rect(right_x - w / 2, join_y, right_x + w / 2, sketch.Snap(10)),
              kBlockEdge);
  sketch.Box(4.5, 0.5, 11.5, 6, 1, kBlock, kBlockEdge);
  sketch.Box(0.5, 9.5, 7.5, 15, 1, kBlock, kBlockEdge);
  sketch.Box(8.5, 9.5, 15.5, 15, 1, kBlock, kBlockEdge);
}

// A hard disk seen from the front, its lamp lit.
void DrawDrive(Sketch& sketch) {
  sketch.Box(0.5, 4.5, 15.5, 12.5, 1.5, kMetal, kMetalDark);
  const double line = sketch.line();
  const double t = sketch.Snap(4.5), b = sketch.Snap(12.5);
  const double middle = std::round((t + b) / 2);
  sketch.Fill(Path().Rect(sketch.Snap(0.5) + line, middle, sketch.Snap(15.5) - line, b - line),
              kMetalDark.Faded(0.45));
  const double lamp = std::max(1.0, sketch.stroke());
  const double lamp_x = sketch.Snap(12.5);
  const double lamp_y = std::round((middle + b - line) / 2 - lamp / 2);
  sketch.Fill(Path().Rect(lamp_x - lamp, lamp_y, lamp_x + lamp, lamp_y + lamp), kLamp);
  sketch.Fill(Path().Rect(sketch.Snap(2.5), lamp_y, sketch.Snap(8), lamp_y + lamp),
              kInk.Faded(0.6));
}

}  // namespace

std::vector<uint32_t> DrawChangePicture(int index, int size) {
  if (size < 1) return {};
  Sketch sketch(size);
  switch (index) {
    case kMyComputer:
      DrawComputer(sketch);
      break;
    case kFileSystem:
      DrawFileSystem(sketch);
      break;
    case kRegistry:
      DrawRegistry(sketch);
      break;
    case kDrive:
      DrawDrive(sketch);
      break;
    case kPathNode:
    case kContainerCreated:
    case kContainerDeleted:
      DrawFolder(sketch);
      break;
    case kDataCreated:
    case kDataDeleted:
    case kDataChanged:
    case kDataCounter:
      DrawValue(sketch, false);
      break;
    case kTextCreated:
    case kTextDeleted:
    case kTextChanged:
    case kTextCounter:
      DrawValue(sketch, true);
      break;
    case kFileCreated:
    case kFileDeleted:
    case kFileChanged:
    case kFileMovedTo:
      DrawPage(sketch);
      break;
    case kFileMovedFrom:
      DrawPage(sketch);
      sketch.canvas().Fade(0.5);
      break;
    default:
      break;
  }
  switch (index) {
    case kContainerCreated:
    case kDataCreated:
    case kTextCreated:
    case kFileCreated:
      DrawBadge(sketch, Badge::kCreated);
      break;
    case kContainerDeleted:
    case kDataDeleted:
    case kTextDeleted:
    case kFileDeleted:
      DrawBadge(sketch, Badge::kDeleted);
      break;
    case kDataChanged:
    case kTextChanged:
    case kFileChanged:
      DrawBadge(sketch, Badge::kChanged);
      break;
    case kDataCounter:
    case kTextCounter:
      DrawBadge(sketch, Badge::kCounter);
      break;
    case kFileMovedFrom:
      DrawBadge(sketch, Badge::kMovedOut);
      break;
    case kFileMovedTo:
      DrawBadge(sketch, Badge::kMovedIn);
      break;
    default:
      break;
  }
  return sketch.canvas().Pixels();
}

std::vector<uint32_t> DrawProgramIcon(int size) {
  if (size < 1) return {};
  Sketch sketch(size);
  // A parcel seen from above at the front left: its top, front and right side.
  const auto p = [&](double x, double y) { return Point{sketch.Snap(x), sketch.Snap(y)}; };
  const Point front_tl = p(0.5, 5.5), front_tr = p(10, 5.5), front_br = p(10, 15.5),
              front_bl = p(0.5, 15.5);
  const Point back_tl = p(4, 1.5), back_tr = p(13.5, 1.5), back_br = p(13.5, 11.5);
  sketch.Fill(Path().Polygon({front_tl, back_tl, back_tr, back_br, front_br, front_bl}), kBoxEdge);
  // Each face keeps the outline of its outer sides; the lines between faces
  // belong to the front and to the lid.
  const double line = sketch.line();
  sketch.Fill(
      Path().Polygon(Inset({front_tl, front_tr, front_br, front_bl}, {line, line, line, line})),
      kBox);
  sketch.Fill(Path().Polygon(Inset({front_tl, back_tl, back_tr, front_tr}, {line, line, line, 0})),
              kBoxTop);
  sketch.Fill(Path().Polygon(Inset({front_tr, back_tr, back_br, front_br}, {0, line, line, 0})),
              kBoxSide);
  // The tape over the lid and down the front.
  const double tape = std::max(1.0, std::round(sketch.At(2)));
  const double tape_front = std::round((front_tl.x + front_tr.x) / 2 - tape / 2);
  // Across the lid the tape leans as its sides do.
  const double lean = (back_tl.x - front_tl.x) / (front_tl.y - back_tl.y);
  const double far = back_tl.y + line;
  const double shift = lean * (front_tl.y - far);
  sketch.Fill(Path().Polygon({{tape_front, front_tl.y},
                              {tape_front + shift, far},
                              {tape_front + shift + tape, far},
                              {tape_front + tape, front_tl.y}}),
              kBoxTape);
  sketch.Fill(Path().Rect(tape_front, front_tl.y + line, tape_front + tape, sketch.Snap(9)),
              kBoxTape);

  // The magnifying glass over the parcel's lower right.
  const Point lens = {sketch.At(10.4), sketch.At(10.4)};
  const double radius = sketch.At(3.7);
  const double rim = std::max(1.5, sketch.At(1.3));
  const double handle = std::max(2.0, sketch.At(2.4));
  const Point grip_from = Rotated({lens.x + radius, lens.y}, lens, std::numbers::pi / 4);
  const Point grip_to = {sketch.At(15.2), sketch.At(15.2)};
  sketch.canvas().Erase(Path()
                            .Circle(lens, radius + rim / 2 + line)
                            .Line(grip_from, grip_to, handle + 2 * line, true));
  sketch.Fill(Path().Circle(lens, radius), kLens);
  sketch.Fill(Path().Circle(lens, radius + rim / 2).Circle(lens, radius - rim / 2, true), kInk);
  sketch.Fill(Path().Line(grip_from, grip_to, handle, true), kInk);
  // A glint on the glass.
  sketch.Fill(Path().Circle({lens.x - radius * 0.38, lens.y - radius * 0.38}, radius * 0.22),
              kWhite.Faded(0.85));
  return sketch.canvas().Pixels();
}

}  // namespace cvn::pictures
