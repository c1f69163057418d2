#include "ui/pictures/raster.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cvn::pictures {

namespace {

// Rows of samples per pixel row; across, coverage is exact.
constexpr int kSubrows = 16;
// Curves are cut into straight pieces that stray at most this far (pixels).
constexpr double kFlatness = 0.05;

// Twice the area the outline encloses; positive when it runs clockwise on
// the screen (y grows downwards).
double SignedArea(const std::vector<Point>& outline) {
  double area = 0;
  for (size_t i = 0; i < outline.size(); ++i) {
    const Point& a = outline[i];
    const Point& b = outline[(i + 1) % outline.size()];
    area += a.x * b.y - b.x * a.y;
  }
  return area;
}

// Points on the arc around `centre` from angle `from` to `to` (radians,
// clockwise on the screen), both ends included.
void AddArc(std::vector<Point>& points, Point centre, double radius, double from, double to) {
  const double step = 2 * std::acos(std::max(0.0, 1 - kFlatness / std::max(radius, kFlatness)));
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::abs(to - from) / step)));
  for (int i = 0; i <= pieces; ++i) {
    const double angle = from + (to - from) * i / pieces;
    points.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
  }
}

uint32_t ToByte(double value) {
  return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

}  // namespace

Colour Colour::Faded(double factor) const {
  return {(ToByte(alpha() * factor) << 24) | (argb & 0xFFFFFF)};
}

Path& Path::Polygon(const std::vector<Point>& corners, bool hole) {
  // Shapes too small for their details can come out degenerate.
  const auto finite = [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  if (corners.size() < 3 || !std::all_of(corners.begin(), corners.end(), finite)) return *this;
  outlines_.push_back(corners);
  if ((SignedArea(corners) < 0) != hole)
    std::reverse(outlines_.back().begin(), outlines_.back().end());
  return *this;
}

Path& Path::Rect(double left, double top, double right, double bottom, bool hole) {
  return Polygon({{left, top}, {right, top}, {right, bottom}, {left, bottom}}, hole);
}

Path& Path::RoundedRect(double left, double top, double right, double bottom, double radius,
                        bool hole) {
  radius = std::clamp(radius, 0.0, std::min(right - left, bottom - top) / 2);
  if (radius <= 0) return Rect(left, top, right, bottom, hole);
  constexpr double kQuarter = std::numbers::pi / 2;
  std::vector<Point> corners;
  AddArc(corners, {right - radius, top + radius}, radius, -kQuarter, 0);
  AddArc(corners, {right - radius, bottom - radius}, radius, 0, kQuarter);
  AddArc(corners, {left + radius, bottom - radius}, radius, kQuarter, 2 * kQuarter);
  AddArc(corners, {left + radius, top + radius}, radius, 2 * kQuarter, 3 * kQuarter);
  return Polygon(corners, hole);
}

Path& Path::Circle(Point centre, double radius, bool hole) {
  std::vector<Point> points;
  AddArc(points, centre, radius, 0, 2 * std::numbers::pi);
  points.pop_back();  // the first point again
  return Polygon(points, hole);
}

Path& Path::Line(Point from, Point to, double width, bool round_ends) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  if (length == 0) return *this;
  // Half the width, across the line.
  const double dx = (from.y - to.y) / length * width / 2;
  const double dy = (to.x - from.x) / length * width / 2;
  Polygon({{from.x + dx, from.y + dy},
           {to.x + dx, to.y + dy},
           {to.x - dx, to.y - dy},
           {from.x - dx, from.y - dy}});
  if (round_ends) {
    Circle(from, width / 2);
    Circle(to, width / 2);
  }
  return *this;
}

Canvas::Canvas(int size)
    : size_(std::max(size, 0)), pixels_(static_cast<size_t>(size_) * size_ * 4, 0.0f) {}

std::vector<float> Canvas::Coverage(const Path& path) const {
  struct Edge {
    Point top, bottom;
    int winding;  // +1 where the outline runs downwards
  };
  std::vector<Edge> edges;
  for (const std::vector<Point>& outline : path.outlines()) {
    for (size_t i = 0; i < outline.size(); ++i) {
      const Point& a = outline[i];
      const Point& b = outline[(i + 1) % outline.size()];
      if (a.y < b.y) edges.push_back({a, b, 1});
      if (a.y > b.y) edges.push_back({b, a, -1});
    }
  }

  std::vector<float> coverage(static_cast<size_t>(size_) * size_, 0.0f);
  struct Crossing {
    double x;
    int winding;
  };
  std::vector<Crossing> crossings;
  constexpr float kWeight = 1.0f / kSubrows;
  for (int row = 0; row < size_; ++row) {
    float* cells = &coverage[static_cast<size_t>(row) * size_];
    for (int subrow = 0; subrow < kSubrows; ++subrow) {
      const double y = row + (subrow + 0.5) / kSubrows;
      crossings.clear();
      for (const Edge& edge : edges) {
        if (y < edge.top.y || y >= edge.bottom.y) continue;
        const double t = (y - edge.top.y) / (edge.bottom.y - edge.top.y);
        crossings.push_back({edge.top.x + t * (edge.bottom.x - edge.top.x), edge.winding});
      }
      std::sort(crossings.begin(), crossings.end(),
                [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
      // Each span inside the path covers whole cells and parts of its end cells.
      int winding = 0;
      for (size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += crossings[i].winding;
        if (winding == 0) continue;
        const double left = std::clamp(crossings[i].x, 0.0, static_cast<double>(size_));
        const double right = std::clamp(crossings[i + 1].x, 0.0, static_cast<double>(size_));
        if (right <= left) continue;
        const int first = static_cast<int>(left);
        const int last = std::min(static_cast<int>(right), size_ - 1);
        if (first == last) {
          cells[first] += static_cast<float>(right - left) * kWeight;
          continue;
        }
        cells[first] += static_cast<float>(first + 1 - left) * kWeight;
        for (int x = first + 1; x < last; ++x) cells[x] += kWeight;
        cells[last] += static_cast<float>(std::min(right - last, 1.0)) * kWeight;
      }
    }
  }
  return coverage;
}

void Canvas::Fill(const Path& path, Colour colour) {
  const float alpha = static_cast<float>(colour.alpha());
  const float source[4] = {static_cast<float>(colour.red()) * alpha,
                           static_cast<float>(colour.green()) * alpha,
                           static_cast<float>(colour.blue()) * alpha, alpha};
  const std::vector<float> coverage = Coverage(path);
  for (size_t i = 0; i < coverage.size(); ++i) {
    const float amount = std::min(coverage[i], 1.0f);
    if (amount <= 0) continue;
    float* pixel = &pixels_[i * 4];
    const float keep = 1 - alpha * amount;
    for (int channel = 0; channel < 4; ++channel)
      pixel[channel] = source[channel] * amount + pixel[channel] * keep;
  }
}

void Canvas::Erase(const Path& path) {
  const std::vector<float> coverage = Coverage(path);
  for (size_t i = 0; i < coverage.size(); ++i) {
    const float keep = 1 - std::min(coverage[i], 1.0f);
    for (int channel = 0; channel < 4; ++channel) pixels_[i * 4 + channel] *= keep;
  }
}

void Canvas::Fade(double factor) {
  for (float& channel : pixels_) channel *= static_cast<float>(std::clamp(factor, 0.0, 1.0));
}

std::vector<uint32_t> Canvas::Pixels() const {
  std::vector<uint32_t> out(pixels_.size() / 4);
  for (size_t i = 0; i < out.size(); ++i) {
    const float* pixel = &pixels_[i * 4];
    const uint32_t alpha = ToByte(pixel[3]);
    // Rounding must not leave a colour brighter than its opacity allows.
    const auto channel = [&](float value) { return std::min(ToByte(value), alpha); };
    out[i] = alpha << 24 | channel(pixel[0]) << 16 | channel(pixel[1]) << 8 | channel(pixel[2]);
  }
  return out;
}

}  // namespace cvn::pictures
