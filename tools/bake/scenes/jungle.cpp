// tools/bake/scenes/jungle.cpp - the jungle of the raptor flight: maps/jungle.3ds, its baked
// lighting maps/jungle.vlo and the pictures of its materials.
//
// The land is a height field of rolling hills cut by a meandering river, walled in by
// higher hills at the rim so that the edge of the world hides in the fog. Palms crowd the
// banks, tall canopy trees and ferns fill the forest, shafts of sunlight fall through the
// gaps and blue glowing flowers light the floor. One camera flies up the river, over a
// pack of raptors running along the bank, then turns into the forest, where two more
// raptors circle a clearing and cross in front of it. Mist rises from the water.
//
// Everything is placed by seeded random numbers, so two bakes give the same bytes. The
// vegetation keeps clear of the camera's and the raptors' ways, and its density falls off
// away from the camera so that the faces the grid shows stay few.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/bake/draw.h"
#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

// ---------------------------------------------------------------------------------------
// Numbers of the scene.

constexpr float Extent = 1800;        // the land runs from -Extent to Extent on X and Z
constexpr float LandStep = 40;        // edge of a terrain quad
constexpr float WaterLevel = 0;
constexpr int FramesPerSecond = 30;   // keyframer frames per second of scene time
constexpr float SceneSeconds = 52;
constexpr int StartFrame = 90;        // the camera's key 1; frames before it turn the raptors
constexpr int EndFrame = StartFrame + (int)(SceneSeconds * FramesPerSecond);
constexpr int CameraKeyStep = 40;     // frames between camera keys
constexpr float CameraSpeed = 92;     // units per second along the camera's way
// The raptors run at the pace of the model's cycle (28 units a stride, one stride a second
// at 14 frames per second), so their feet do not slide over the ground.
constexpr float RaptorSpeed = 28;     // the pack along the river
constexpr float CircleSpeed = 28;     // the pair in the clearing

// The raptor model's nose in the show's space before any turn. The anchors turn it to
// face the way they run.
constexpr V3 RaptorForward{0, 0, 1};

const V3 SunDirection = Normalize(V3{0.55f, 0.7f, 0.3f});

// ---------------------------------------------------------------------------------------
// The land.

float RiverZ(float x) { return 210 * std::sin(x * 0.0019f + 0.5f) + 75 * std::sin(x * 0.0047f + 1.3f); }
float RiverSlope(float x) {
  return 210 * 0.0019f * std::cos(x * 0.0019f + 0.5f) + 75 * 0.0047f * std::cos(x * 0.0047f + 1.3f);
}
float RiverHalfWidth(float x) { return 62 + 18 * std::sin(x * 0.0031f + 2.0f); }

// Distance across the river from its centre line (good where the meanders are gentle).
float RiverDistance(float x, float z) {
  float s = RiverSlope(x);
  return std::fabs(z - RiverZ(x)) / std::sqrt(1 + s * s);
}

float Ground(float x, float z) {
  // Noise coordinates are offset so the map sits inside one period and never repeats.
  float nx = x / 900 + 8, nz = z / 900 + 8;
  float hills = Fbm(nx, nz, 32, 32, 5, 0.5f, 7101) * 0.5f + 0.5f;
  float bumps = Fbm(nx * 4, nz * 4, 128, 128, 3, 0.5f, 7102);
  float land = 18 + 95 * hills * hills + 7 * bumps;
  float rim = std::max(std::fabs(x), std::fabs(z));
  land += 260 * Smoothstep(1050, 1750, rim);
  float d = RiverDistance(x, z), hw = RiverHalfWidth(x);
  // Banks: the river bed lies below the water and the land climbs out of it.
  float bank = Smoothstep(hw - 25, hw + 90, d);
  float bed = -13 + 9 * Smoothstep(0, hw, d);
  float near = Smoothstep(hw + 90, hw + 260, d);
  land = Lerp(std::min(land, 10 + 0.12f * (d - hw)), land, near);
  return Lerp(bed, land, bank);
}

// ---------------------------------------------------------------------------------------
// Ways: smooth curves on the ground plane, walked by arc length.

struct Way {
  std::vector<V3> points;   // dense samples (y unused)
  std::vector<float> along; // arc length at each sample
  float Length() const { return along.back(); }
  V3 At(float s) const {
    if (s <= 0) {
      V3 d = Normalize(points[1] - points[0]);
      return points[0] + d * s;
    }
    if (s >= Length()) {
      size_t n = points.size();
      V3 d = Normalize(points[n - 1] - points[n - 2]);
      return points[n - 1] + d * (s - Length());
    }
    size_t i = std::upper_bound(along.begin(), along.end(), s) - along.begin();
    float t = (s - along[i - 1]) / std::max(1e-4f, along[i] - along[i - 1]);
    return LerpV(points[i - 1], points[i], t);
  }
  V3 Heading(float s) const { return Normalize(At(s + 4) - At(s - 4)); }
};

// Catmull-Rom through the waypoints, sampled finely.
Way MakeWay(const std::vector<V3>& through) {
  Way w;
  size_t n = through.size();
  for (size_t i = 0; i + 1 < n; i++) {
    V3 p0 = through[i == 0 ? 0 : i - 1], p1 = through[i], p2 = through[i + 1], p3 = through[std::min(n - 1, i + 2)];
    for (int k = 0; k < 24; k++) {
      float t = k / 24.0f, t2 = t * t, t3 = t2 * t;
      V3 p = (p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 + (p1 * 3 - p0 - p2 * 3 + p3) * t3) * 0.5f;
      w.points.push_back({p.x, 0, p.z});
    }
  }
  w.points.push_back({through.back().x, 0, through.back().z});
  w.along.push_back(0);
  for (size_t i = 1; i < w.points.size(); i++) w.along.push_back(w.along.back() + Length(w.points[i] - w.points[i - 1]));
  return w;
}

V3 Side(V3 heading) { return {-heading.z, 0, heading.x}; }

// The camera's way: up the river from the west, then north into the forest, west along
// it, and south again towards the water.
Way CameraWay() {
  std::vector<V3> through;
  for (float x = -1500; x <= 760; x += 130) through.push_back({x, 0, RiverZ(x)});
  const V3 forest[] = {{930, 0, RiverZ(930) - 120}, {1000, 0, -430}, {880, 0, -700}, {600, 0, -840},
                       {250, 0, -820},  {-80, 0, -690}, {-360, 0, -720}, {-650, 0, -640},
                       {-860, 0, -430}, {-960, 0, -180}, {-1000, 0, 60}};
  for (V3 p : forest) through.push_back(p);
  return MakeWay(through);
}

// Height of the camera above the land or water under it, at scene time t.
float CameraClearance(float t) {
  float river = 24 + 6 * std::sin(t * 0.9f);
  float forest = 38 + 8 * std::sin(t * 0.7f + 1);
  return Lerp(river, forest, Smoothstep(24, 29, t));
}

float SurfaceUnder(float x, float z) {
  // The highest land near the point, so the camera clears the banks it skims.
  float h = std::max(WaterLevel, Ground(x, z));
  for (int k = 0; k < 8; k++) {
    float a = k * Pi / 4;
    h = std::max(h, Ground(x + 25 * std::cos(a), z + 25 * std::sin(a)) - 6);
  }
  return h;
}

// ---------------------------------------------------------------------------------------
// Keep-out: the vegetation stays clear of the ways the camera and the raptors take.

struct KeepOut {
  static constexpr float Cell = 60;
  int columns;
  std::vector<std::vector<V3>> buckets;
  KeepOut() : columns((int)(2 * Extent / Cell) + 2), buckets((size_t)columns * columns) {}
  size_t Bucket(float x, float z) const {
    int i = std::clamp((int)((x + Extent) / Cell), 0, columns - 1), j = std::clamp((int)((z + Extent) / Cell), 0, columns - 1);
    return (size_t)j * columns + i;
  }
  void Add(const Way& w, float from, float to) {
    for (float s = from; s <= to; s += 8) {
      V3 p = w.At(s);
      buckets[Bucket(p.x, p.z)].push_back(p);
    }
  }
  void AddPoint(V3 p) { buckets[Bucket(p.x, p.z)].push_back(p); }
  // Distance to the nearest way point, up to `limit` (beyond that, limit).
  float Distance(float x, float z, float limit) const {
    float best = limit * limit;
    int reach = (int)std::ceil(limit / Cell);
    int ci = (int)((x + Extent) / Cell), cj = (int)((z + Extent) / Cell);
    for (int j = cj - reach; j <= cj + reach; j++)
      for (int i = ci - reach; i <= ci + reach; i++) {
        if (i < 0 || j < 0 || i >= columns || j >= columns) continue;
        for (V3 p : buckets[(size_t)j * columns + i]) {
          float dx = p.x - x, dz = p.z - z;
          best = std::min(best, dx * dx + dz * dz);
        }
      }
    return std::sqrt(best);
  }
};

// ---------------------------------------------------------------------------------------
// Pictures.

// A shape drawn again across the borders it overlaps, so that tiling pictures stay seamless.
void WrapEllipse(Mask& m, Point c, float rx, float ry, float angle, float value = 1.0f) {
  float r = std::max(rx, ry) + 2;
  for (int oy = -1; oy <= 1; oy++)
    for (int ox = -1; ox <= 1; ox++) {
      Point p{c.x + ox * m.width, c.y + oy * m.height};
      if (p.x + r < 0 || p.y + r < 0 || p.x - r > m.width || p.y - r > m.height) continue;
      FillEllipse(m, p, rx, ry, angle, value);
    }
}

void WrapStroke(Mask& m, Point a, Point b, float r0, float r1) {
  for (int oy = -1; oy <= 1; oy++)
    for (int ox = -1; ox <= 1; ox++) {
      Point o{(float)ox * m.width, (float)oy * m.height};
      Point pa = a + o, pb = b + o;
      float lo = std::min(pa.x, pb.x), hi = std::max(pa.x, pb.x), top = std::min(pa.y, pb.y), bot = std::max(pa.y, pb.y);
      if (hi + r0 < 0 || lo - r0 > m.width || bot + r0 < 0 || top - r0 > m.height) continue;
      Stroke(m, {pa, pb}, r0, r1);
    }
}

// The forest floor: moss over dark soil, strewn with fallen leaves and twigs.
Image PaintGround() {
  const int n = 512;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float moss = Smoothstep(-0.25f, 0.35f, Fbm(u * 4, v * 4, 4, 4, 5, 0.55f, 7201));
      float grain = Fbm(u * 32, v * 32, 32, 32, 2, 0.5f, 7202);
      Colour soil = Mix(Rgb255(38, 28, 18), Rgb255(62, 46, 28), 0.5f + 0.5f * grain);
      Colour green = Mix(Rgb255(46, 70, 22), Rgb255(84, 110, 36), 0.5f + 0.5f * Fbm(u * 16, v * 16, 16, 16, 3, 0.5f, 7203));
      c.At(x, y) = Mix(soil, green, moss * 0.85f);
    }
  Rng rng(7204);
  const Colour leafColours[] = {Rgb255(110, 74, 30), Rgb255(140, 100, 40), Rgb255(82, 52, 26),
                                Rgb255(70, 90, 30),  Rgb255(120, 86, 50), Rgb255(96, 64, 22)};
  for (int i = 0; i < 420; i++) {
    Point p{rng.Range(0, n), rng.Range(0, n)};
    float rx = rng.Range(6, 15), ry = rx * rng.Range(0.32f, 0.45f), a = rng.Range(0, Pi);
    Mask edge(n, n), leaf(n, n);
    WrapEllipse(edge, p, rx + 1.5f, ry + 1.5f, a);
    WrapEllipse(leaf, p, rx, ry, a);
    Paint(c, edge, Rgb255(20, 14, 8), 0.55f);
    Colour col = leafColours[rng.Next() % 6] * rng.Range(0.8f, 1.15f);
    Paint(c, leaf, col);
    Mask rib(n, n);
    Point d{std::cos(a) * rx * 0.9f, std::sin(a) * rx * 0.9f};
    WrapStroke(rib, p - d, p + d, 0.7f, 0.4f);
    Paint(c, rib, col * 0.65f, 0.7f);
  }
  for (int i = 0; i < 40; i++) {
    Point p{rng.Range(0, n), rng.Range(0, n)};
    float a = rng.Range(0, 2 * Pi), len = rng.Range(15, 40);
    Mask twig(n, n);
    WrapStroke(twig, p, p + Point{std::cos(a) * len, std::sin(a) * len}, 1.6f, 0.8f);
    Paint(c, twig, Rgb255(48, 34, 22), 0.9f);
  }
  return c;
}

// Wet mud of the banks, with puddles and pebbles.
Image PaintMud() {
  const int n = 512;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float f = Fbm(u * 6, v * 6, 6, 6, 5, 0.55f, 7301) * 0.5f + 0.5f;
      CellDistances cell = Cells(u * 10, v * 10, 10, 10, 7302);
      float puddle = Smoothstep(0.38f, 0.2f, cell.f1) * Smoothstep(0.1f, 0.5f, Fbm(u * 3, v * 3, 3, 3, 2, 0.5f, 7303));
      Colour mud = Mix(Rgb255(52, 40, 26), Rgb255(92, 74, 48), f);
      mud = Mix(mud, Rgb255(34, 30, 22), puddle * 0.7f);
      float algae = Smoothstep(0.2f, 0.6f, Fbm(u * 8, v * 8, 8, 8, 3, 0.5f, 7304));
      c.At(x, y) = Mix(mud, Rgb255(58, 70, 30), algae * 0.45f);
    }
  Rng rng(7305);
  for (int i = 0; i < 160; i++) {
    Point p{rng.Range(0, n), rng.Range(0, n)};
    float r = rng.Range(2, 6);
    Mask stone(n, n), shine(n, n);
    WrapEllipse(stone, p, r, r * rng.Range(0.6f, 0.9f), rng.Range(0, Pi));
    WrapEllipse(shine, p + Point{-r * 0.3f, -r * 0.3f}, r * 0.35f, r * 0.25f, 0.6f);
    Paint(c, stone, Rgb255(96, 90, 80) * rng.Range(0.7f, 1.1f));
    Paint(c, shine, Rgb255(170, 165, 150), 0.5f);
  }
  return c;
}

// Murky green water; the reflection layer adds the sheen.
Image PaintWater() {
  const int n = 256;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float ripple = RidgedFbm(u * 4, v * 8, 4, 8, 4, 0.5f, 7401);
      float depth = Fbm(u * 2, v * 2, 2, 2, 3, 0.5f, 7402) * 0.5f + 0.5f;
      Colour base = Mix(Rgb255(70, 104, 78), Rgb255(100, 132, 96), depth);
      c.At(x, y) = Mix(base, Rgb255(170, 196, 160), std::pow(ripple, 4.0f) * 0.5f);
    }
  return c;
}

// Bark running along the trunks (v), wrapping once around them (u): fibrous ridges,
// ring scars of old fronds and patches of moss.
Image PaintBark() {
  const int n = 256;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float ridge = RidgedFbm(u * 8, v * 2, 8, 2, 5, 0.5f, 7501);
      float rings = 0.5f + 0.5f * std::sin(v * 2 * Pi * 10 + 1.5f * Fbm(u * 4, v * 4, 4, 4, 2, 0.5f, 7502));
      float moss = Smoothstep(0.1f, 0.5f, Fbm(u * 3, v * 3, 3, 3, 4, 0.5f, 7503));
      Colour bark = Mix(Rgb255(40, 30, 22), Rgb255(118, 100, 78), ridge);
      bark = bark * (0.8f + 0.25f * rings);
      c.At(x, y) = Mix(bark, Rgb255(62, 84, 30), moss * 0.6f);
    }
  return c;
}

// A leaf picture and its mask; the colour under the transparent parts is the leaf's own
// green, so filtering at the mask's edge gives no dark fringe.
struct Leafy {
  Image colour;
  Mask mask;
};

Leafy Finish(Image c, Mask m, Colour fringe) {
  for (size_t i = 0; i < c.pixels.size(); i++) c.pixels[i] = Mix(fringe, c.pixels[i], Clamp01(m.values[i] * 1.5f));
  return {std::move(c), std::move(m)};
}

// One palm frond, its stalk down the middle from the top (base) to the bottom (tip).
Leafy PaintPalmFrond() {
  const int w = 256, h = 512;
  Image c(w, h, Rgb255(48, 86, 26));
  Mask all(w, h);
  Rng rng(7601);
  for (float y = 10; y < h - 6; y += 6.5f) {
    float t = y / h;
    for (int side : {-1, 1}) {
      float len = (w * 0.5f - 6) * (1 - 0.55f * t * t) * rng.Range(0.85f, 1.0f);
      float a = rng.Range(0.45f, 0.65f);  // leaflets sweep towards the tip
      Point root{w * 0.5f, y};
      Point tip = root + Point{side * std::cos(a) * len, std::sin(a) * len};
      Mask leaf(w, h);
      std::vector<Point> path = Bezier(root, root + Point{side * len * 0.4f, -4}, tip + Point{0, -len * 0.1f}, tip, 10);
      Stroke(leaf, path, 3.4f, 0.6f);
      Colour col = Mix(Rgb255(52, 96, 26), Rgb255(104, 146, 44), rng.Unit()) * (1.05f - 0.35f * t);
      Paint(c, leaf, col);
      Mask vein(w, h);
      Stroke(vein, path, 0.7f, 0.2f);
      Paint(c, vein, col * 1.35f, 0.6f);
      MaskMax(all, leaf);
    }
  }
  Mask stalk(w, h);
  Stroke(stalk, {{w * 0.5f, 0}, {w * 0.5f, (float)h - 4}}, 4.5f, 1.2f);
  Paint(c, stalk, Rgb255(122, 130, 58));
  MaskMax(all, stalk);
  return Finish(std::move(c), std::move(all), Rgb255(48, 86, 26));
}

// A fern frond: many pinnae with lobed edges, narrowing to the tip.
Leafy PaintFernFrond() {
  const int w = 256, h = 512;
  Image c(w, h, Rgb255(56, 104, 34));
  Mask all(w, h);
  Rng rng(7701);
  for (float y = 14; y < h - 8; y += 5.0f) {
    float t = y / h;
    float len = (w * 0.5f - 8) * std::sin(Pi * (0.15f + 0.85f * t)) * (1 - 0.4f * t) * rng.Range(0.9f, 1.0f);
    for (int side : {-1, 1}) {
      Point root{w * 0.5f, y};
      float a = 0.25f;
      Point tip = root + Point{side * std::cos(a) * len, std::sin(a) * len};
      Mask pinna(w, h);
      Stroke(pinna, {root, tip}, 2.6f, 0.8f);
      for (float k = 0.15f; k < 0.95f; k += 0.14f) {
        Point q = root + (tip - root) * k;
        FillEllipse(pinna, q + Point{0, 1.5f}, 3.2f * (1.1f - k * 0.6f), 2.0f, side * 0.5f);
      }
      Colour col = Mix(Rgb255(60, 118, 34), Rgb255(120, 170, 60), rng.Unit()) * (1.1f - 0.3f * t);
      Paint(c, pinna, col);
      MaskMax(all, pinna);
    }
  }
  Mask stalk(w, h);
  Stroke(stalk, {{w * 0.5f, 0}, {w * 0.5f, (float)h - 6}}, 2.8f, 0.8f);
  Paint(c, stalk, Rgb255(90, 110, 40));
  MaskMax(all, stalk);
  return Finish(std::move(c), std::move(all), Rgb255(56, 104, 34));
}

// A liana: a wavy stem down the middle with heart-shaped leaves on either side.
Leafy PaintVine() {
  const int w = 128, h = 512;
  Image c(w, h, Rgb255(44, 74, 24));
  Mask all(w, h);
  Rng rng(7751);
  std::vector<Point> stem;
  for (int y = 0; y <= h; y += 8) stem.push_back({w * 0.5f + 10 * std::sin(y * 2 * Pi / 128), (float)y});
  Mask stalk(w, h);
  Stroke(stalk, stem, 3.0f, 2.0f);
  Paint(c, stalk, Rgb255(82, 70, 40));
  MaskMax(all, stalk);
  for (int y = 18; y < h - 10; y += 22) {
    Point at{w * 0.5f + 10 * std::sin(y * 2 * Pi / 128), (float)y};
    int side = (y / 22) % 2 ? 1 : -1;
    float size = rng.Range(14, 20);
    Point centre = at + Point{side * size * 0.9f, size * 0.5f};
    Mask leaf(w, h);
    FillEllipse(leaf, centre + Point{-size * 0.25f, -size * 0.15f}, size * 0.55f, size * 0.45f, 0.3f * side);
    FillEllipse(leaf, centre + Point{size * 0.25f, -size * 0.15f}, size * 0.55f, size * 0.45f, -0.3f * side);
    FillPolygon(leaf, {centre + Point{-size * 0.75f, -size * 0.05f}, centre + Point{size * 0.75f, -size * 0.05f}, centre + Point{0, size * 0.85f}});
    Stroke(leaf, {at, centre}, 1.2f, 1.0f);
    Colour col = Mix(Rgb255(50, 96, 28), Rgb255(110, 150, 50), rng.Unit());
    Paint(c, leaf, col);
    Mask vein(w, h);
    Stroke(vein, {centre + Point{0, -size * 0.2f}, centre + Point{0, size * 0.7f}}, 0.8f, 0.3f);
    Paint(c, vein, col * 1.3f, 0.6f);
    MaskMax(all, leaf);
  }
  return Finish(std::move(c), std::move(all), Rgb255(44, 74, 24));
}

// A clump of broad leaves for the canopy and the bushes: many overlapping leaves, each
// with a darker edge and a pale midrib, thinning out towards a ragged rim.
Leafy PaintCanopy() {
  const int n = 512;
  Image c(n, n, Rgb255(30, 58, 20));
  Mask all(n, n);
  Rng rng(7801);
  for (int i = 0; i < 260; i++) {
    float r = n * 0.42f * std::sqrt(rng.Unit()), a = rng.Range(0, 2 * Pi);
    Point p{n * 0.5f + std::cos(a) * r, n * 0.5f + std::sin(a) * r * 0.9f};
    float along = std::atan2(p.y - n * 0.5f, p.x - n * 0.5f) + rng.Range(-0.6f, 0.6f);
    float len = rng.Range(22, 36), wid = len * rng.Range(0.36f, 0.48f);
    Point d{std::cos(along), std::sin(along)};
    Point centre = p + d * (len * 0.5f);
    Mask edge(n, n), leaf(n, n), rib(n, n);
    FillEllipse(edge, centre, len + 1.5f, wid + 1.5f, along);
    FillEllipse(leaf, centre, len, wid, along);
    Stroke(rib, {p, p + d * (len * 1.7f)}, 1.0f, 0.4f);
    float lightness = 0.55f + 0.45f * (1 - r / (n * 0.42f)) * rng.Range(0.7f, 1.0f);
    Colour col = Mix(Rgb255(40, 78, 22), Rgb255(96, 150, 46), rng.Unit()) * (0.7f + 0.5f * lightness);
    Paint(c, edge, Rgb255(18, 34, 12), 0.8f);
    Paint(c, leaf, col);
    Paint(c, rib, col * 1.3f, 0.5f);
    MaskMax(all, edge);
  }
  return Finish(std::move(c), std::move(all), Rgb255(30, 58, 20));
}

// Grey stone with lichen and moss on top (v runs from the top of the boulder down).
Image PaintRock() {
  const int n = 256;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float f = Fbm(u * 4, v * 4, 4, 4, 5, 0.55f, 7351) * 0.5f + 0.5f;
      CellDistances cell = Cells(u * 6, v * 6, 6, 6, 7352);
      float crack = Smoothstep(0.08f, 0.0f, cell.f2 - cell.f1);
      Colour stone = Mix(Rgb255(70, 72, 66), Rgb255(130, 128, 116), f) * (1 - 0.5f * crack);
      float moss = Smoothstep(0.55f, 0.2f, v) * Smoothstep(-0.1f, 0.4f, Fbm(u * 8, v * 8, 8, 8, 3, 0.5f, 7353));
      c.At(x, y) = Mix(stone, Rgb255(64, 92, 30) * (0.8f + 0.4f * f), moss);
    }
  return c;
}

// A beam of sunlight, added to the frame: bright under the canopy, fading to the floor.
Image PaintShaft() {
  const int w = 128, h = 256;
  Image c(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      // The beam fills its card, since fog tints the whole card.
      float across = std::exp(-std::pow((u - 0.5f) / 0.3f, 2.0f)) * (0.7f + 0.3f * Fbm(u * 6, v * 1, 6, 1, 2, 0.5f, 7901));
      float along = Smoothstep(0.0f, 0.15f, v) * (1 - Smoothstep(0.4f, 1.0f, v));
      float edge = Smoothstep(0.0f, 0.15f, u) * Smoothstep(0.0f, 0.15f, 1 - u);
      c.At(x, y) = Colour{0.58f, 0.56f, 0.4f} * (across * along * edge * 0.5f);
    }
  return c;
}

// A glowing flower of the forest floor, added to the frame.
Image PaintGlowFlower() {
  const int n = 128;
  Image c(n, n);
  Mask petals(n, n), heart(n, n);
  for (int k = 0; k < 6; k++) {
    float a = k * Pi / 3 + 0.2f;
    FillEllipse(petals, {n * 0.5f + std::cos(a) * 20, n * 0.5f + std::sin(a) * 20}, 20, 9, a);
  }
  FillDisc(heart, {n * 0.5f, n * 0.5f}, 9);
  Mask halo = petals;
  Blur(halo, 10);
  Blur(petals, 1.5f);
  AddLight(c, halo, Colour{0.05f, 0.35f, 0.45f}, 0.9f);
  AddLight(c, petals, Colour{0.15f, 0.65f, 0.75f}, 0.9f);
  Blur(heart, 3);
  AddLight(c, heart, Colour{0.8f, 0.85f, 0.5f});
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float dx = (x + 0.5f) / n * 2 - 1, dy = (y + 0.5f) / n * 2 - 1;
      c.At(x, y) = c.At(x, y) * (1 - Smoothstep(0.8f, 1.0f, std::sqrt(dx * dx + dy * dy)));
    }
  return c;
}

// A puff of mist for the rising particles, added to the frame: faint, so that columns of
// it read as haze and not as smoke.
Image PaintMist() {
  const int n = 128;
  Image c(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float dx = (x + 0.5f) / n * 2 - 1, dy = (y + 0.5f) / n * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      float puff = std::pow(1 - Smoothstep(0.1f, 1.0f, r), 1.6f);
      float cloud = 0.7f + 0.3f * Fbm(dx * 2 + 4, dy * 2 + 4, 16, 16, 4, 0.5f, 8001);
      c.At(x, y) = Colour{0.34f, 0.39f, 0.33f} * (puff * cloud);
    }
  return c;
}

// The show's masks are read the other way round from coverage: dark pixels are opaque,
// bright ones transparent.
Image MaskImage(const Mask& m) {
  Image img(m.width, m.height);
  for (size_t i = 0; i < m.values.size(); i++) {
    float v = 1 - Clamp01(m.values[i]);
    img.pixels[i] = {v, v, v};
  }
  return img;
}

// ---------------------------------------------------------------------------------------
// Plants.

// A card: the quad from `a` to `b` along the picture's v (top to bottom), `halfWidth` to
// each side along `side`.
void AddCard(BakeMesh& m, V3 a, V3 b, V3 side, float halfWidth, float v0 = 0, float v1 = 1) {
  V3 s = side * halfWidth;
  uint16_t i = (uint16_t)m.vertices.size();
  m.vertices.insert(m.vertices.end(), {a - s, a + s, b + s, b - s});
  m.uvs.insert(m.uvs.end(), {{0, v0}, {1, v0}, {1, v1}, {0, v1}});
  m.faces.push_back({i, (uint16_t)(i + 1), (uint16_t)(i + 2)});
  m.faces.push_back({i, (uint16_t)(i + 2), (uint16_t)(i + 3)});
}

// A bent trunk of rings along a quadratic curve from base through bend to top.
void AddTrunk(BakeMesh& m, V3 base, V3 bend, V3 top, float r0, float r1, int sides, int segments) {
  uint16_t first = (uint16_t)m.vertices.size();
  float height = Length(top - base);
  for (int j = 0; j <= segments; j++) {
    float t = (float)j / segments;
    V3 c = base * ((1 - t) * (1 - t)) + bend * (2 * t * (1 - t)) + top * (t * t);
    float r = Lerp(r0, r1, t);
    for (int i = 0; i <= sides; i++) {
      float a = 2 * Pi * i / sides;
      m.vertices.push_back({c.x + std::cos(a) * r, c.y, c.z + std::sin(a) * r});
      m.uvs.push_back({(float)i / sides, t * height / 60});
    }
  }
  int row = sides + 1;
  for (int j = 0; j < segments; j++)
    for (int i = 0; i < sides; i++) {
      uint16_t a = (uint16_t)(first + j * row + i), b = (uint16_t)(a + row), c = (uint16_t)(a + 1), d = (uint16_t)(b + 1);
      m.faces.push_back({a, b, d});
      m.faces.push_back({a, d, c});
    }
}

void AddPalm(BakeMesh& trunks, BakeMesh& fronds, V3 base, int sides, Rng& rng) {
  float height = rng.Range(70, 115);
  float lean = height * rng.Range(0.08f, 0.22f), la = rng.Range(0, 2 * Pi);
  V3 leanDir{std::cos(la), 0, std::sin(la)};
  V3 top = base + V3{0, height, 0} + leanDir * lean;
  V3 bend = base + V3{0, height * 0.5f, 0} + leanDir * (lean * 0.15f);
  AddTrunk(trunks, base - V3{0, 3, 0}, bend, top, 3.6f, 2.4f, sides, 2);
  int count = 7;
  float spin = rng.Range(0, 2 * Pi);
  for (int k = 0; k < count; k++) {
    float a = spin + 2 * Pi * k / count + rng.Range(-0.15f, 0.15f);
    V3 dir{std::cos(a), 0, std::sin(a)};
    float len = rng.Range(40, 56), rise = rng.Range(0.05f, 0.3f);
    V3 mid = top + dir * (len * 0.5f) + V3{0, len * rise, 0};
    V3 tip = top + dir * (len * 0.95f) + V3{0, len * (rise - 0.45f), 0};
    V3 side = Side(dir);
    AddCard(fronds, top, mid, side, 9.5f, 0, 0.5f);
    AddCard(fronds, mid, tip, side, 8.0f, 0.5f, 1);
  }
}

V3 AddCanopyTree(BakeMesh& trunks, BakeMesh& leaves, V3 base, int sides, Rng& rng) {
  float height = rng.Range(115, 165);
  V3 top = base + V3{rng.Range(-8, 8), height, rng.Range(-8, 8)};
  AddTrunk(trunks, base - V3{0, 4, 0}, (base + top) * 0.5f, top, 6.5f, 3.5f, sides, 2);
  // Flat layers of leaf clumps, tilted a little, and two crossed ones for the side view.
  for (int k = 0; k < 5; k++) {
    float a = rng.Range(0, 2 * Pi), r = rng.Range(0, 30), size = rng.Range(34, 44);
    V3 c = top + V3{std::cos(a) * r, rng.Range(-18, 8), std::sin(a) * r};
    float spin = rng.Range(0, 2 * Pi), tilt = rng.Range(-0.3f, 0.3f);
    V3 along{std::cos(spin), tilt, std::sin(spin)};
    V3 side = Normalize(Cross(along, V3{0, 1, 0}));
    AddCard(leaves, c - along * size, c + along * size, side, size);
  }
  for (int k = 0; k < 2; k++) {
    float spin = rng.Range(0, Pi) + k * Pi / 2;
    V3 side{std::cos(spin), 0, std::sin(spin)};
    V3 c = top + V3{0, -5, 0};
    AddCard(leaves, c + V3{0, 34, 0}, c - V3{0, 30, 0}, side, 40);
  }
  return top;
}

// Lianas hanging from under a crown.
void AddVines(BakeMesh& vines, V3 top, int count, Rng& rng) {
  for (int k = 0; k < count; k++) {
    float a = rng.Range(0, 2 * Pi), r = rng.Range(14, 32);
    V3 from = top + V3{std::cos(a) * r, rng.Range(-14, -4), std::sin(a) * r};
    V3 to = from - V3{rng.Range(-6, 6), rng.Range(45, 85), rng.Range(-6, 6)};
    float spin = rng.Range(0, Pi);
    AddCard(vines, from, to, V3{std::cos(spin), 0, std::sin(spin)}, rng.Range(4, 6));
  }
}

void AddBush(BakeMesh& leaves, V3 base, Rng& rng) {
  float size = rng.Range(13, 20), spin = rng.Range(0, Pi);
  for (int k = 0; k < 3; k++) {
    float a = spin + k * Pi / 3;
    V3 side{std::cos(a), 0, std::sin(a)};
    AddCard(leaves, base + V3{0, size * 1.5f, 0}, base - V3{0, 3, 0}, side, size);
  }
}

void AddFern(BakeMesh& fronds, V3 base, Rng& rng) {
  int count = 5;
  float spin = rng.Range(0, 2 * Pi), scale = rng.Range(0.8f, 1.3f);
  for (int k = 0; k < count; k++) {
    float a = spin + 2 * Pi * k / count + rng.Range(-0.2f, 0.2f);
    V3 dir{std::cos(a), 0, std::sin(a)};
    float len = rng.Range(17, 25) * scale;
    V3 mid = base + dir * (len * 0.45f) + V3{0, len * 0.55f, 0};
    V3 tip = base + dir * len + V3{0, len * 0.2f, 0};
    V3 side = Side(dir);
    AddCard(fronds, base, mid, side, 4.8f * scale, 0, 0.45f);
    AddCard(fronds, mid, tip, side, 4.2f * scale, 0.45f, 1);
  }
}

// ---------------------------------------------------------------------------------------
// The land and the water as meshes.

void AddLand(BakeScene& scene) {
  int cells = (int)(2 * Extent / LandStep);
  BakeMesh moss, mud;
  moss.name = "jungle_floor";
  moss.material = "maps/jungle_floor.jpg";
  mud.name = "jungle_banks";
  mud.material = "maps/jungle_mud.jpg";
  // Each mesh keeps the corners it uses once, so its vertex normals are smooth.
  std::vector<int> index[2];
  index[0].assign((size_t)(cells + 1) * (cells + 1), -1);
  index[1] = index[0];
  std::vector<float> heights((size_t)(cells + 1) * (cells + 1));
  for (int j = 0; j <= cells; j++)
    for (int i = 0; i <= cells; i++) heights[(size_t)j * (cells + 1) + i] = Ground(-Extent + i * LandStep, -Extent + j * LandStep);
  auto corner = [&](int which, BakeMesh& m, int i, int j) -> uint16_t {
    size_t k = (size_t)j * (cells + 1) + i;
    if (index[which][k] < 0) {
      float x = -Extent + i * LandStep, z = -Extent + j * LandStep;
      index[which][k] = (int)m.vertices.size();
      m.vertices.push_back({x, heights[k], z});
      m.uvs.push_back({x / 90, z / 90});
    }
    return (uint16_t)index[which][k];
  };
  for (int j = 0; j < cells; j++)
    for (int i = 0; i < cells; i++) {
      float lowest = std::min({heights[(size_t)j * (cells + 1) + i], heights[(size_t)j * (cells + 1) + i + 1],
                               heights[(size_t)(j + 1) * (cells + 1) + i], heights[(size_t)(j + 1) * (cells + 1) + i + 1]});
      int which = lowest < 7 ? 1 : 0;
      BakeMesh& m = which ? mud : moss;
      uint16_t a = corner(which, m, i, j), b = corner(which, m, i + 1, j);
      uint16_t c = corner(which, m, i, j + 1), d = corner(which, m, i + 1, j + 1);
      m.faces.push_back({a, c, d});
      m.faces.push_back({a, d, b});
    }
  AddMeshSplit(scene, std::move(moss));
  AddMeshSplit(scene, std::move(mud));
}

void AddWater(BakeScene& scene) {
  BakeMesh water;
  water.name = "?jungle_river";
  water.material = "maps/jungle_water.jpg";
  water.castsShadow = false;
  const float step = 60;
  int cells = (int)(2 * Extent / step);
  for (int j = 0; j < cells; j++)
    for (int i = 0; i < cells; i++) {
      float x0 = -Extent + i * step, z0 = -Extent + j * step;
      bool wet = false;
      for (int k = 0; k < 9 && !wet; k++) wet = Ground(x0 + step * 0.5f * (k % 3), z0 + step * 0.5f * (k / 3)) < WaterLevel + 1;
      if (!wet) continue;
      uint16_t a = (uint16_t)water.vertices.size();
      for (int k = 0; k < 4; k++) {
        float x = x0 + step * (k & 1), z = z0 + step * (k >> 1);
        water.vertices.push_back({x, WaterLevel, z});
        water.uvs.push_back({x / 140, z / 140});
      }
      water.faces.push_back({a, (uint16_t)(a + 2), (uint16_t)(a + 3)});
      water.faces.push_back({a, (uint16_t)(a + 3), (uint16_t)(a + 1)});
    }
  scene.meshes.push_back(std::move(water));
}

// ---------------------------------------------------------------------------------------
// Raptors: each runs along a way from the first frame to past the last; its first
// segment turns it from the file's unturned pose to its first heading before the camera
// starts.

float YawFacing(V3 heading) {
  return (std::atan2(heading.x, heading.z) - std::atan2(RaptorForward.x, RaptorForward.z)) * 180 / Pi;
}

// `place(frame)` gives the raptor's spot on the ground plane at a frame.
template <typename Place>
BakeMesh MakeRaptor(const std::string& name, Place place) {
  BakeMesh m;
  m.name = name;
  m.material = "maps/raptor.jpg";
  m.castsShadow = false;
  const int turnFrames = 6, step = 12, last = EndFrame + 60;
  auto spot = [&](int frame) {
    V3 p = place((float)frame);
    return V3{p.x, std::max(Ground(p.x, p.z), WaterLevel - 4), p.z};
  };
  std::vector<int> frames;
  for (int f = turnFrames; f <= last + step; f += step) frames.push_back(f);
  std::vector<V3> spots;
  std::vector<float> yaws;
  for (int f : frames) spots.push_back(spot(f));
  float previous = 0;
  for (size_t i = 0; i < frames.size(); i++) {
    V3 h = place((float)frames[i] + 2) - place((float)frames[i] - 2);
    float yaw = YawFacing(Normalize(V3{h.x, 0, h.z}));
    // Unwrapped, so that the turn between keys never goes the long way round.
    if (i > 0) {
      while (yaw - previous > 180) yaw -= 360;
      while (yaw - previous < -180) yaw += 360;
    }
    yaws.push_back(yaw);
    previous = yaw;
  }
  // A small marker at the first spot: the anchor's own faces are never drawn.
  V3 p0 = spots[0];
  AddQuad(m, p0 + V3{-1, 0.5f, -1}, p0 + V3{1, 0.5f, -1}, p0 + V3{1, 0.5f, 1}, p0 + V3{-1, 0.5f, 1});
  // The turn: standing on the first spot while turning to face the way.
  m.position = {{0, p0}, {2, p0}, {4, p0}, {turnFrames, p0}};
  m.rotation = {{0, {0, 0, 0}}, {2, {0, yaws[0] / 3, 0}}, {4, {0, yaws[0] * 2 / 3, 0}}, {turnFrames, {0, yaws[0], 0}}};
  for (size_t i = 1; i < frames.size(); i++) {
    int f0 = frames[i - 1], f1 = frames[i];
    V3 a = spots[i - 1], b = spots[i];
    m.position.push_back({f0 + (f1 - f0) / 3, LerpV(a, b, 1.0f / 3)});
    m.position.push_back({f0 + 2 * (f1 - f0) / 3, LerpV(a, b, 2.0f / 3)});
    m.position.push_back({f1, b});
    float y0 = yaws[i - 1], y1 = yaws[i];
    m.rotation.push_back({f0 + (f1 - f0) / 3, {0, Lerp(y0, y1, 1.0f / 3), 0}});
    m.rotation.push_back({f0 + 2 * (f1 - f0) / 3, {0, Lerp(y0, y1, 2.0f / 3), 0}});
    m.rotation.push_back({f1, {0, y1, 0}});
  }
  return m;
}

// ---------------------------------------------------------------------------------------
// The scene.

float PackOffset(int member) { return (float)(member == 0 ? 0 : member == 1 ? -38 : -70); }
float PackSide(int member) { return member == 0 ? 100 : member == 1 ? 124 : 110; }

struct Layout {
  Way camera;
  // Each member of the pack has a way of its own beside the camera's, walked at an even
  // pace (an offset curve is shorter on the inside of a bend), and starts at packStart.
  Way pack[3];
  float packStart[3] = {};
  V3 circleCentre;
  float circleRadius = 0, circleStart = 0;  // angle at scene time 0
};

float NearestAlong(const Way& w, V3 p) {
  float best = 1e30f, at = 0;
  for (size_t i = 0; i < w.points.size(); i++) {
    V3 d = w.points[i] - p;
    float dd = d.x * d.x + d.z * d.z;
    if (dd < best) best = dd, at = w.along[i];
  }
  return at;
}

// The pack runs up the bank on the camera's right and is overtaken around 13 s; the pair
// circles a clearing whose rim crosses the camera's way about 2 s ahead of it at 43 s.
Layout MakeLayout() {
  Layout l;
  l.camera = CameraWay();
  const float meet = 13;
  V3 cameraAtMeet = l.camera.At(CameraSpeed * meet + 20);
  for (int member = 0; member < 3; member++) {
    std::vector<V3> through;
    for (float s = -300; s < l.camera.Length() + 300; s += 40)
      through.push_back(l.camera.At(s) + Side(l.camera.Heading(s)) * PackSide(member));
    l.pack[member] = MakeWay(through);
    l.packStart[member] = NearestAlong(l.pack[member], cameraAtMeet) + 20 + PackOffset(member) - RaptorSpeed * meet;
  }
  float s = CameraSpeed * 45.5f;
  V3 cross = l.camera.At(s), h = l.camera.Heading(s);
  l.circleRadius = 190;
  l.circleCentre = cross + Side(h) * l.circleRadius;
  // At 43 s the pair reaches the crossing point, running across the camera's way.
  V3 from = cross - l.circleCentre;
  float angleAtCross = std::atan2(from.z, from.x);
  l.circleStart = angleAtCross - CircleSpeed * 43 / l.circleRadius;
  return l;
}

V3 PackPlace(const Layout& l, int member, float frame) {
  float t = (frame - StartFrame) / FramesPerSecond;
  return l.pack[member].At(l.packStart[member] + RaptorSpeed * t);
}

V3 CirclePlace(const Layout& l, int member, float frame) {
  float t = (frame - StartFrame) / FramesPerSecond;
  float a = l.circleStart + CircleSpeed * t / l.circleRadius - member * 0.22f;
  float r = l.circleRadius + (member ? 18 : 0);
  return l.circleCentre + V3{std::cos(a) * r, 0, std::sin(a) * r};
}

void AddCamera(BakeScene& scene, const Layout& l) {
  BakeCamera cam;
  cam.name = "jungle_camera";
  int keys = (EndFrame - StartFrame) / CameraKeyStep + 4;
  for (int k = 0; k < keys; k++) {
    int frame = StartFrame + (k - 1) * CameraKeyStep;
    float t = (float)(frame - StartFrame) / FramesPerSecond;
    float s = CameraSpeed * t + 20;
    V3 p = l.camera.At(s);
    float eyeY = SurfaceUnder(p.x, p.z) + CameraClearance(t);
    V3 ahead = l.camera.At(s + 170);
    // Nearly level, but never aiming into a hillside.
    float aheadY = std::max(std::max(WaterLevel, Ground(ahead.x, ahead.z)) + 14, eyeY - 9);
    V3 target{ahead.x, aheadY, ahead.z};
    // While the pack is ahead, the camera glances towards it.
    float look = Smoothstep(4, 8, t) * (1 - Smoothstep(11, 13.5f, t)) * 0.45f;
    V3 pack = PackPlace(l, 0, (float)frame);
    pack.y = Ground(pack.x, pack.z) + 10;
    target = LerpV(target, pack, look);
    cam.eye.push_back({frame, {p.x, eyeY, p.z}});
    cam.target.push_back({frame, target});
  }
  scene.cameras.push_back(std::move(cam));
}

void AddPlants(BakeScene& scene, const KeepOut& ways, const Way& camera) {
  BakeMesh trunks, palms, canopy, ferns;
  trunks.name = "jungle_trunks";
  trunks.material = "maps/jungle_bark.jpg";
  palms.name = "%%jungle_palms";
  palms.material = "maps/jungle_palm.jpg";
  canopy.name = "%%jungle_canopy";
  canopy.material = "maps/jungle_leaves.jpg";
  ferns.name = "%%jungle_ferns";
  ferns.material = "maps/jungle_fern.jpg";
  BakeMesh vines;
  vines.name = "%%jungle_vines";
  vines.material = "maps/jungle_vine.jpg";
  for (BakeMesh* m : {&palms, &canopy, &ferns, &vines}) {
    m->twoSided = true;
    m->shadowOpacity = 0.55f;
  }
  KeepOut cameraOnly;
  cameraOnly.Add(camera, -200, camera.Length() + 200);
  Rng rng(7001);
  const float spacing = 34;
  int n = (int)(2 * Extent / spacing);
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++) {
      float x = -Extent + (i + rng.Range(0.1f, 0.9f)) * spacing, z = -Extent + (j + rng.Range(0.1f, 0.9f)) * spacing;
      float pick = rng.Unit();
      uint32_t seed = rng.Next();
      float g = Ground(x, z);
      if (g < WaterLevel + 2) continue;
      float river = RiverDistance(x, z) - RiverHalfWidth(x);
      float fromCamera = cameraOnly.Distance(x, z, 1000);
      float fromWays = ways.Distance(x, z, 80);
      // Far from the camera only the tall trees are seen through the fog.
      float near = 1 - Smoothstep(120, 400, fromCamera);
      float seen = 1 - Smoothstep(600, 950, fromCamera);
      float rim = Smoothstep(1150, 1500, std::max(std::fabs(x), std::fabs(z)));
      Rng local(seed);
      V3 base{x, g, z};
      // Trunks seen only through the fog get fewer sides.
      int sides = fromCamera < 200 ? 5 : 4;
      float palmChance = (river < 180 ? 0.15f : 0.04f) * (0.15f + 0.85f * near) * seen;
      float treeChance = (river > 60 ? 0.08f : 0.0f) * (1 - 0.6f * rim) * seen;
      float fernChance = 0.13f * near * near;
      // The forest away from the river has the thickest undergrowth.
      float bushChance = (river > 260 ? 0.16f : 0.08f) * near;
      if (pick < palmChance) {
        if (fromWays > 48 && g > 3) AddPalm(trunks, palms, base, sides, local);
      } else if (pick < palmChance + treeChance) {
        if (fromWays > 46) {
          V3 top = AddCanopyTree(trunks, canopy, base, sides, local);
          if (fromCamera < 320) AddVines(vines, top, 2 + (int)(local.Unit() * 2), local);
        }
      } else if (pick < palmChance + treeChance + fernChance) {
        if (fromWays > 12) AddFern(ferns, base, local);
      } else if (pick < palmChance + treeChance + fernChance + bushChance) {
        if (fromWays > 26) AddBush(canopy, base, local);
      }
    }
  AddMeshSplit(scene, std::move(trunks));
  AddMeshSplit(scene, std::move(palms));
  AddMeshSplit(scene, std::move(canopy));
  AddMeshSplit(scene, std::move(ferns));
  AddMeshSplit(scene, std::move(vines));
}

// Light shafts slanting down from the canopy along the sun, beside the camera's way, and
// clusters of glowing flowers on the floor.
void AddGlows(BakeScene& scene, const Way& camera) {
  BakeMesh shafts, flowers;
  shafts.name = "%jungle_shafts";
  shafts.material = "maps/jungle_shaft.jpg";
  flowers.name = "%jungle_flowers";
  flowers.material = "maps/jungle_glow.jpg";
  for (BakeMesh* m : {&shafts, &flowers}) m->castsShadow = false;
  Rng rng(7011);
  for (float s = 300; s < camera.Length(); s += rng.Range(420, 560)) {
    V3 p = camera.At(s), side = Side(camera.Heading(s));
    V3 foot = p + side * (rng.Range(45, 90) * (rng.Unit() < 0.5f ? -1 : 1));
    foot.y = std::max(WaterLevel, Ground(foot.x, foot.z)) - 2;
    V3 top = foot + SunDirection * (170 / SunDirection.y);
    float width = rng.Range(9, 15);
    V3 across = Normalize(Cross(SunDirection, V3{0, 1, 0}));
    V3 other = Normalize(Cross(SunDirection, across));
    AddCard(shafts, top, foot, across, width);
    AddCard(shafts, top, foot, other, width);
  }
  for (float s = 120; s < camera.Length(); s += rng.Range(140, 260)) {
    V3 p = camera.At(s), side = Side(camera.Heading(s));
    V3 centre = p + side * (rng.Range(40, 90) * (rng.Unit() < 0.5f ? -1 : 1));
    int count = 3 + (int)(rng.Unit() * 4);
    for (int k = 0; k < count; k++) {
      V3 q = centre + V3{rng.Range(-14, 14), 0, rng.Range(-14, 14)};
      float g = Ground(q.x, q.z);
      if (g < WaterLevel + 1) continue;
      float size = rng.Range(2.5f, 4.5f), spin = rng.Range(0, Pi);
      V3 at{q.x, g + size + rng.Range(1, 4), q.z};
      V3 a{std::cos(spin), 0, std::sin(spin)};
      AddCard(flowers, at + V3{0, size, 0}, at - V3{0, size, 0}, a, size);
      AddCard(flowers, at + V3{0, size, 0}, at - V3{0, size, 0}, Side(a), size);
    }
  }
  scene.meshes.push_back(std::move(shafts));
  scene.meshes.push_back(std::move(flowers));
}

// Mossy boulders along the water's edge where the camera flies up the river: squashed,
// lumpy spheres half sunk into the bank.
void AddRocks(BakeScene& scene, const Way& camera) {
  BakeMesh rocks;
  rocks.name = "jungle_rocks";
  rocks.material = "maps/jungle_rock.jpg";
  Rng rng(7031);
  for (float s = 100; s < CameraSpeed * 26; s += rng.Range(90, 160)) {
    V3 p = camera.At(s), side = Side(camera.Heading(s));
    float across = RiverHalfWidth(p.x) + rng.Range(-12, 14);
    V3 at = p + side * (across * (rng.Unit() < 0.5f ? -1 : 1));
    float r = rng.Range(6, 13);
    at.y = Ground(at.x, at.z) - r * 0.35f;
    size_t first = rocks.vertices.size();
    AddSphere(rocks, {0, 0, 0}, 1, 3, 6);
    uint32_t seed = rng.Next();
    for (size_t v = first; v < rocks.vertices.size(); v++) {
      V3 d = rocks.vertices[v];
      float lump = 1 + 0.22f * Noise(d.x * 1.7f + 5, d.z * 1.7f + d.y * 1.3f + 5, 64, 64, seed);
      rocks.vertices[v] = V3{d.x * r * 1.2f, d.y * r * 0.7f, d.z * r} * lump;
      rocks.uvs[v] = {rocks.uvs[v].u * 2, rocks.uvs[v].v};
    }
    TransformFrom(rocks, first, {0, 0, 0}, rng.Range(0, 360), at);
  }
  scene.meshes.push_back(std::move(rocks));
}

// Mist rising from the river where the camera flies over it.
void AddMist(BakeScene& scene, const Way& camera) {
  Rng rng(7021);
  int number = 1;
  for (float s = 180; s < CameraSpeed * 27; s += rng.Range(150, 230)) {
    V3 p = camera.At(s) + Side(camera.Heading(s)) * rng.Range(-45, 45);
    BakeMesh m;
    char name[32];
    snprintf(name, sizeof name, "*1jungle_mist%02d", number++);
    m.name = name;
    m.material = "maps/jungle_mist.jpg";
    m.castsShadow = false;
    m.pivot = {p.x, WaterLevel - 6, p.z};
    AddQuad(m, m.pivot + V3{-1, 0, -1}, m.pivot + V3{1, 0, -1}, m.pivot + V3{1, 0, 1}, m.pivot + V3{-1, 0, 1});
    scene.meshes.push_back(std::move(m));
  }
}

BakeScene BuildJungle() {
  BakeScene scene;
  scene.frameCount = EndFrame + 120;
  scene.ambient = {0.3f, 0.36f, 0.27f};
  Layout layout = MakeLayout();
  AddLand(scene);
  AddWater(scene);

  std::vector<BakeMesh> raptors;
  KeepOut ways;
  ways.Add(layout.camera, -200, layout.camera.Length() + 200);
  for (int member = 0; member < 3; member++) {
    raptors.push_back(MakeRaptor("@raptor_pack" + std::to_string(member + 1),
                                 [&](float frame) { return PackPlace(layout, member, frame); }));
  }
  for (int member = 0; member < 2; member++) {
    raptors.push_back(MakeRaptor("@raptor_clearing" + std::to_string(member + 1),
                                 [&](float frame) { return CirclePlace(layout, member, frame); }));
  }
  for (const BakeMesh& r : raptors)
    for (const PointKey& k : r.position) ways.AddPoint(k.value);
  // The clearing itself stays open, so the pair is seen running across it.
  for (float a = 0; a < 2 * Pi; a += 0.05f)
    for (float r = 0; r <= layout.circleRadius + 30; r += 40)
      ways.AddPoint(layout.circleCentre + V3{std::cos(a) * r, 0, std::sin(a) * r});

  AddPlants(scene, ways, layout.camera);
  AddGlows(scene, layout.camera);
  AddRocks(scene, layout.camera);
  for (BakeMesh& r : raptors) scene.meshes.push_back(std::move(r));
  AddMist(scene, layout.camera);

  BakeLight sun;
  sun.name = "jungle_sun";
  sun.position = SunDirection * 6000;
  sun.colour = {1.0f, 0.86f, 0.62f};
  sun.multiplier = 1.05f;
  sun.innerRange = 20000;
  sun.outerRange = 30000;
  sun.radius = 160;
  scene.lights.push_back(sun);
  AddCamera(scene, layout);
  return scene;
}

}  // namespace

bool BakeJungle(BakeOutput& out, std::string* error) {
  BakeScene scene = BuildJungle();
  LightBakeOptions options;
  options.shadowSamples = 4;
  options.aoRays = 10;
  options.aoDistance = 60;
  options.exposure = 1.0f;
  if (!AddSceneMembers(out, "maps/jungle", scene, &options, error)) return false;

  AddJpegMember(out, "maps/jungle_floor.jpg", PaintGround());
  AddJpegMember(out, "maps/jungle_mud.jpg", PaintMud());
  AddJpegMember(out, "maps/jungle_water.jpg", PaintWater());
  AddJpegMember(out, "maps/jungle_bark.jpg", PaintBark());
  AddJpegMember(out, "maps/jungle_rock.jpg", PaintRock());
  struct Masked {
    const char* material;
    Leafy (*paint)();
  };
  const Masked masked[] = {{"maps/jungle_palm.jpg", PaintPalmFrond},
                           {"maps/jungle_fern.jpg", PaintFernFrond},
                           {"maps/jungle_leaves.jpg", PaintCanopy},
                           {"maps/jungle_vine.jpg", PaintVine}};
  for (const Masked& m : masked) {
    Leafy leafy = m.paint();
    AddJpegMember(out, m.material, leafy.colour);
    AddJpegMember(out, MaskName(m.material), MaskImage(leafy.mask), 95);
  }
  AddJpegMember(out, "maps/jungle_shaft.jpg", PaintShaft());
  AddJpegMember(out, "maps/jungle_glow.jpg", PaintGlowFlower());
  AddJpegMember(out, "maps/jungle_mist.jpg", PaintMist());
  return true;
}
