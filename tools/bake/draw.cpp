// tools/bake/draw.cpp - polygon filling and strokes with anti-aliasing.
#include "tools/bake/draw.h"

#include <algorithm>
#include <cmath>

std::vector<Point> Bezier(Point p0, Point p1, Point p2, Point p3, int steps) {
  std::vector<Point> out;
  for (int i = 0; i <= steps; i++) {
    float t = (float)i / steps, u = 1 - t;
    out.push_back(p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t));
  }
  return out;
}

std::vector<Point> SmoothPath(const std::vector<Point>& p, int steps) {
  if (p.size() < 3) return p;
  std::vector<Point> out;
  for (size_t i = 0; i + 1 < p.size(); i++) {
    Point a = p[i == 0 ? 0 : i - 1], b = p[i], c = p[i + 1], d = p[std::min(i + 2, p.size() - 1)];
    for (int s = 0; s < steps; s++) {
      float t = (float)s / steps, t2 = t * t, t3 = t2 * t;
      out.push_back((b * 2 + (c - a) * t + (a * 2 - b * 5 + c * 4 - d) * t2 + (b * 3 - a - c * 3 + d) * t3) * 0.5f);
    }
  }
  out.push_back(p.back());
  return out;
}

void FillPolygon(Mask& m, const std::vector<Point>& poly, float value) {
  if (poly.size() < 3) return;
  const int Sub = 16;  // sub-rows per pixel row; horizontal coverage is exact
  float minY = poly[0].y, maxY = poly[0].y;
  for (const Point& p : poly) minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  int y0 = std::max(0, (int)std::floor(minY)), y1 = std::min(m.height - 1, (int)std::ceil(maxY));
  std::vector<float> row(m.width + 2);
  struct Crossing {
    float x;
    int dir;
  };
  std::vector<Crossing> xs;
  for (int y = y0; y <= y1; y++) {
    std::fill(row.begin(), row.end(), 0.0f);
    bool any = false;
    for (int s = 0; s < Sub; s++) {
      float sy = y + (s + 0.5f) / Sub;
      xs.clear();
      for (size_t i = 0; i < poly.size(); i++) {
        Point a = poly[i], b = poly[(i + 1) % poly.size()];
        if ((a.y <= sy) == (b.y <= sy)) continue;
        float t = (sy - a.y) / (b.y - a.y);
        xs.push_back({a.x + t * (b.x - a.x), b.y > a.y ? 1 : -1});
      }
      std::sort(xs.begin(), xs.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
      int winding = 0;
      for (size_t i = 0; i + 1 < xs.size(); i++) {
        winding += xs[i].dir;
        if (winding == 0) continue;
        float l = std::max(0.0f, xs[i].x), r = std::min((float)m.width, xs[i + 1].x);
        if (r <= l) continue;
        any = true;
        // Span [l, r): whole pixels get 1, the two end pixels their fraction.
        int li = (int)l, ri = (int)r;
        if (li == ri) {
          row[li] += (r - l);
        } else {
          row[li] += (li + 1 - l);
          for (int x = li + 1; x < ri; x++) row[x] += 1;
          if (ri < m.width) row[ri] += (r - ri);
        }
      }
    }
    if (!any) continue;
    for (int x = 0; x < m.width; x++) {
      float c = std::min(1.0f, row[x] / Sub) * value;
      if (c > m.At(x, y)) m.At(x, y) = c;
    }
  }
}

void FillEllipse(Mask& m, Point c, float rx, float ry, float angle, float value) {
  float ca = std::cos(angle), sa = std::sin(angle);
  float extent = std::max(rx, ry) + 1;
  int x0 = std::max(0, (int)(c.x - extent)), x1 = std::min(m.width - 1, (int)(c.x + extent));
  int y0 = std::max(0, (int)(c.y - extent)), y1 = std::min(m.height - 1, (int)(c.y + extent));
  float minR = std::min(rx, ry);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      float dx = x + 0.5f - c.x, dy = y + 0.5f - c.y;
      float u = (dx * ca + dy * sa) / rx, v = (-dx * sa + dy * ca) / ry;
      // Distance to the outline in pixels, approximately: (|q| - 1) times the radius there.
      float d = (std::sqrt(u * u + v * v) - 1) * minR;
      float cover = Clamp01(0.5f - d) * value;
      if (cover > m.At(x, y)) m.At(x, y) = cover;
    }
}

namespace {
// One capsule from a (radius ra) to b (radius rb): coverage from the distance to the
// segment, the radius taken at the nearest point along it.
void Capsule(Mask& m, Point a, Point b, float ra, float rb, float value) {
  float extent = std::max(ra, rb) + 1.5f;
  int x0 = std::max(0, (int)std::floor(std::min(a.x, b.x) - extent));
  int x1 = std::min(m.width - 1, (int)std::ceil(std::max(a.x, b.x) + extent));
  int y0 = std::max(0, (int)std::floor(std::min(a.y, b.y) - extent));
  int y1 = std::min(m.height - 1, (int)std::ceil(std::max(a.y, b.y) + extent));
  Point ab = b - a;
  float len2 = ab.x * ab.x + ab.y * ab.y;
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      Point p{x + 0.5f, y + 0.5f};
      Point ap = p - a;
      float t = len2 > 0 ? Clamp01((ap.x * ab.x + ap.y * ab.y) / len2) : 0;
      Point q = a + ab * t - p;
      float d = std::sqrt(q.x * q.x + q.y * q.y) - Lerp(ra, rb, t);
      // Thin strokes keep their weight as lower coverage instead of vanishing.
      float r = Lerp(ra, rb, t);
      float cover = Clamp01(0.5f - d) * (r < 0.5f ? r * 2 : 1) * value;
      if (cover > m.At(x, y)) m.At(x, y) = cover;
    }
}
}  // namespace

void StrokeVarying(Mask& m, const std::vector<Point>& path, const std::vector<float>& radii, float value) {
  if (radii.size() < path.size()) return;  // one radius per point, or nothing to draw
  for (size_t i = 0; i + 1 < path.size(); i++) Capsule(m, path[i], path[i + 1], radii[i], radii[i + 1], value);
  if (path.size() == 1) Capsule(m, path[0], path[0], radii[0], radii[0], value);
}

void Stroke(Mask& m, const std::vector<Point>& path, float r0, float r1, float value) {
  if (path.empty()) return;
  // Radius runs with the length along the path, not with the point count.
  std::vector<float> along(path.size(), 0.0f);
  for (size_t i = 1; i < path.size(); i++) {
    Point d = path[i] - path[i - 1];
    along[i] = along[i - 1] + std::sqrt(d.x * d.x + d.y * d.y);
  }
  std::vector<float> radii(path.size());
  float total = along.back() > 0 ? along.back() : 1;
  for (size_t i = 0; i < path.size(); i++) radii[i] = Lerp(r0, r1, along[i] / total);
  StrokeVarying(m, path, radii, value);
}
