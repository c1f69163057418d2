// A small anti-aliased rasterizer for the program's pictures: filled paths
// (polygons, circles, rounded rectangles, thick lines) painted onto a square
// of premultiplied colour, each pixel covered by the exact fraction of its
// area across and in 16 steps down. Coordinates are in pixels, with (0, 0)
// the top-left corner of the top-left pixel and y growing downwards.
//
// Threads: plain values; no shared state.
#pragma once

#include <cstdint>
#include <vector>

namespace cvn::pictures {

struct Point {
  double x = 0;
  double y = 0;
};

// A colour with straight (not premultiplied) alpha, 0xAARRGGBB as written.
struct Colour {
  uint32_t argb = 0;

  double alpha() const { return (argb >> 24) / 255.0; }
  double red() const { return ((argb >> 16) & 0xFF) / 255.0; }
  double green() const { return ((argb >> 8) & 0xFF) / 255.0; }
  double blue() const { return (argb & 0xFF) / 255.0; }
  // The same colour with its opacity multiplied by `factor` (0 to 1).
  Colour Faded(double factor) const;
};

// Closed outlines filled with the non-zero winding rule. Each shape below is
// turned to run clockwise, so overlapping shapes join; with `hole` it runs
// the other way and cuts its area out of the shapes around it.
class Path {
 public:
  Path& Polygon(const std::vector<Point>& corners, bool hole = false);
  Path& Rect(double left, double top, double right, double bottom, bool hole = false);
  // Corners rounded with `radius` (0 gives a plain rectangle).
  Path& RoundedRect(double left, double top, double right, double bottom, double radius,
                    bool hole = false);
  Path& Circle(Point centre, double radius, bool hole = false);
  // A line `width` wide between two points; round ends add a half circle.
  Path& Line(Point from, Point to, double width, bool round_ends = false);

  const std::vector<std::vector<Point>>& outlines() const { return outlines_; }

 private:
  std::vector<std::vector<Point>> outlines_;
};

class Canvas {
 public:
  // A transparent square of `size` pixels (0 or more).
  explicit Canvas(int size);

  int size() const { return size_; }
  void Fill(const Path& path, Colour colour);
  // Makes what the path covers transparent again, in proportion to coverage.
  void Erase(const Path& path);
  // Multiplies the opacity of everything painted so far by `factor` (0 to 1).
  void Fade(double factor);
  // Premultiplied BGRA, 0xAARRGGBB as a number, the top row first.
  std::vector<uint32_t> Pixels() const;

 private:
  // The coverage of every pixel by the path, 0 to 1, row by row.
  std::vector<float> Coverage(const Path& path) const;

  int size_;
  std::vector<float> pixels_;  // premultiplied red, green, blue, alpha
};

}  // namespace cvn::pictures
