// tools/bake/draw.h - anti-aliased shapes drawn into coverage masks.
//
// Owns: points and curves (Bezier flattening), polygon filling with exact horizontal
// coverage on sixteen sub-rows, discs and ellipses, strokes whose width varies along
// the path (the way the organic silhouettes are built).
// Read by: the generators; masks are then composited with Paint or AddLight (image.h).
// Shapes combine by maximum coverage, so overlapping pieces of one shape do not darken.
#pragma once

#include <vector>

#include "tools/bake/image.h"

struct Point {
  float x = 0, y = 0;
};
inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, float s) { return {a.x * s, a.y * s}; }

// Points of a cubic Bezier from p0 to p3, `steps` segments (steps + 1 points).
std::vector<Point> Bezier(Point p0, Point p1, Point p2, Point p3, int steps);
// A smooth curve through the given points (Catmull-Rom), `steps` segments per span.
std::vector<Point> SmoothPath(const std::vector<Point>& through, int steps);

// Fills a polygon (non-zero winding) into the mask with coverage `value`.
void FillPolygon(Mask& m, const std::vector<Point>& polygon, float value = 1.0f);
void FillEllipse(Mask& m, Point centre, float rx, float ry, float angle = 0, float value = 1.0f);
inline void FillDisc(Mask& m, Point centre, float r, float value = 1.0f) { FillEllipse(m, centre, r, r, 0, value); }
// A stroke along the path whose half-width runs linearly from the first to the last radius
// (or, with one radius per point, through them); round ends.
void Stroke(Mask& m, const std::vector<Point>& path, float radiusStart, float radiusEnd, float value = 1.0f);
void StrokeVarying(Mask& m, const std::vector<Point>& path, const std::vector<float>& radii, float value = 1.0f);
