// tools/bake/scenes/bain.cpp - the bath hall: maps/bain.3ds, maps/bain.vlo and its pictures.
//
// A vaulted hall around a sunken pool of turquoise mosaic. In the middle of the pool a round
// dais rises to the walkway's height; the glowing figure stands on it (the '@' anchor), and
// the blobs grow around her head. Arcades on marble columns run along both long sides, with
// candle-lit aisles behind them; candelabra stand at the pool's corners and small candles
// line its rim. Steam rises from the water ('*3' emitters) and the water itself is an
// additive ripple layer over the lit mosaic, since this scene gets no reflection texture.
//
// The scene is drawn whole every frame, so the geometry is kept to about 15 500 faces, and
// surfaces are tessellated only as finely as the candle light needs to show its pools.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

// The figure stands at (540, 13, -300) and the blobs grow around (540, 28, -300): the hall is
// built around that point, in coordinates relative to it.
constexpr float CentreX = 540, CentreZ = -300;
V3 At(float x, float y, float z) { return {CentreX + x, y, CentreZ + z}; }

constexpr float FloorY = 13;     // walkway and dais top: where the figure's feet are
constexpr float WaterY = 10.5f;
constexpr float PoolY = 3;       // pool bottom
constexpr float PoolX = 60, PoolZ = 40;  // pool half extents
constexpr float HallX = 95, HallZ = 80;  // inner faces of the outer walls
constexpr float ArcadeZ = 51, ArcadeDepth = 6;  // arcade's inner face and thickness
constexpr float SpringY = 60, ArcadeTopY = 75, CorniceTopY = 78, VaultApexY = 104;
constexpr float ColumnRadius = 3.2f;
const float ColumnX[6] = {-75, -45, -15, 15, 45, 75};

// ---------------------------------------------------------------------------------------
// Geometry helpers. Every face is turned so that its front (counter-clockwise side) looks
// the way `facing` says at the face's centre, which is the side the lighting bake shades.

using FacingFn = std::function<V3(V3)>;

void PushFace(BakeMesh& m, uint16_t a, uint16_t b, uint16_t c, const FacingFn& facing) {
  V3 pa = m.vertices[a], pb = m.vertices[b], pc = m.vertices[c];
  V3 n = Cross(pb - pa, pc - pa);
  if (Dot(n, n) < 1e-10f) return;  // the collapsed corner of a disc: nothing to draw
  if (Dot(n, facing((pa + pb + pc) * (1.0f / 3))) < 0) std::swap(b, c);
  m.faces.push_back({a, b, c});
}

// A grid surface of nu by nv cells with shared vertices (smooth lighting across it).
void AddSurface(BakeMesh& m, int nu, int nv, const std::function<V3(float, float)>& pos,
                const std::function<UV(float, float, V3)>& uv, const FacingFn& facing) {
  uint16_t base = (uint16_t)m.vertices.size();
  for (int j = 0; j <= nv; j++)
    for (int i = 0; i <= nu; i++) {
      float s = (float)i / nu, t = (float)j / nv;
      V3 p = pos(s, t);
      m.vertices.push_back(p);
      m.uvs.push_back(uv(s, t, p));
    }
  for (int j = 0; j < nv; j++)
    for (int i = 0; i < nu; i++) {
      uint16_t a = (uint16_t)(base + j * (nu + 1) + i), b = (uint16_t)(a + 1);
      uint16_t c = (uint16_t)(a + nu + 1), d = (uint16_t)(c + 1);
      PushFace(m, a, b, d, facing);
      PushFace(m, a, d, c, facing);
    }
}

// Texture coordinates projected on the plane the normal is closest to, in world units;
// v runs down the picture as height rises, so wall pictures stand upright.
UV Planar(V3 p, V3 n, float scale) {
  float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  if (ay >= ax && ay >= az) return {p.x * scale, p.z * scale};
  if (ax >= az) return {p.z * scale, -p.y * scale};
  return {p.x * scale, -p.y * scale};
}

int CellCount(float length, float cell) { return std::max(1, (int)std::ceil(length / cell - 0.01f)); }

// A flat rectangle from corner a along edges u and v, cut into cells of about `cell` units,
// its front along `normal`.
void AddPanel(BakeMesh& m, V3 a, V3 u, V3 v, V3 normal, float cell, float uvScale) {
  AddSurface(
      m, CellCount(Length(u), cell), CellCount(Length(v), cell), [=](float s, float t) { return a + u * s + v * t; },
      [=](float, float, V3 p) { return Planar(p, normal, uvScale); }, [=](V3) { return normal; });
}

// A box with tessellated sides; `omit` bits as AddBox (1 -X, 2 +X, 4 -Y, 8 +Y, 16 -Z, 32 +Z).
void AddBlock(BakeMesh& m, V3 lo, V3 hi, float cell, float uvScale, int omit = 0) {
  V3 dx{hi.x - lo.x, 0, 0}, dy{0, hi.y - lo.y, 0}, dz{0, 0, hi.z - lo.z};
  if (!(omit & 1)) AddPanel(m, lo, dz, dy, {-1, 0, 0}, cell, uvScale);
  if (!(omit & 2)) AddPanel(m, lo + dx, dz, dy, {1, 0, 0}, cell, uvScale);
  if (!(omit & 4)) AddPanel(m, lo, dx, dz, {0, -1, 0}, cell, uvScale);
  if (!(omit & 8)) AddPanel(m, lo + dy, dx, dz, {0, 1, 0}, cell, uvScale);
  if (!(omit & 16)) AddPanel(m, lo, dx, dy, {0, 0, -1}, cell, uvScale);
  if (!(omit & 32)) AddPanel(m, lo + dz, dx, dy, {0, 0, 1}, cell, uvScale);
}

// An upright tube (no caps) around (x, z) from y0 to y1; texture wraps `wraps` times around.
void AddTube(BakeMesh& m, V3 base, float height, float r0, float r1, int sides, int rings, float wraps,
             float vScale, bool inward = false) {
  AddSurface(
      m, sides, rings,
      [=](float s, float t) {
        float a = 2 * Pi * s, r = Lerp(r0, r1, t);
        return V3{base.x + std::cos(a) * r, base.y + height * t, base.z + std::sin(a) * r};
      },
      [=](float s, float t, V3) { return UV{s * wraps, -height * t * vScale}; },
      [=](V3 p) {
        V3 out{p.x - base.x, 0, p.z - base.z};
        return inward ? -out : out;
      });
}

// A flat ring (a disc when r0 is 0) at height y, facing up or down.
void AddRing(BakeMesh& m, V3 centre, float r0, float r1, int sides, int rings, float uvScale, bool up = true) {
  AddSurface(
      m, sides, rings,
      [=](float s, float t) {
        float a = 2 * Pi * s, r = Lerp(r0, r1, t);
        return V3{centre.x + std::cos(a) * r, centre.y, centre.z + std::sin(a) * r};
      },
      [=](float, float, V3 p) { return UV{p.x * uvScale, p.z * uvScale}; },
      [=](V3) { return V3{0, up ? 1.0f : -1.0f, 0}; });
}

// One bay of an arcade: the wall between the arch and the rectangle [cx - h, cx + h] x
// [spring, spring + h], in the plane z = zFront (front towards `side` along Z) and its twin
// at the back, and the arch's underside joining them.
void AddArchBay(BakeMesh& stone, float cx, float zFront, float zBack, float side, float spring, float h,
                float r, float uvScale, int segments = 12) {
  std::vector<V3> inner, outer;
  for (int i = 0; i <= segments; i++) {
    float a = Pi * (1 - (float)i / segments);  // from the left springing over the top
    float c = std::cos(a), s = std::sin(a);
    inner.push_back({cx + c * r, spring + s * r, 0});
    // Where the ray from the arch's centre leaves the bay's square.
    float k = h / std::max(std::fabs(c), std::fabs(s));
    outer.push_back({cx + c * k, spring + s * k, 0});
  }
  for (int face = 0; face < 2; face++) {
    float z = face == 0 ? zFront : zBack;
    V3 normal{0, 0, face == 0 ? side : -side};
    for (int i = 0; i < segments; i++) {
      V3 p0{inner[i].x, inner[i].y, z}, p1{inner[i + 1].x, inner[i + 1].y, z};
      V3 q0{outer[i].x, outer[i].y, z}, q1{outer[i + 1].x, outer[i + 1].y, z};
      uint16_t base = (uint16_t)stone.vertices.size();
      for (V3 p : {p0, p1, q1, q0}) {
        stone.vertices.push_back(p);
        stone.uvs.push_back(Planar(p, normal, uvScale));
      }
      auto facing = [=](V3) { return normal; };
      PushFace(stone, base, (uint16_t)(base + 1), (uint16_t)(base + 2), facing);
      PushFace(stone, base, (uint16_t)(base + 2), (uint16_t)(base + 3), facing);
    }
  }
  // The underside faces the arch's centre line.
  AddSurface(
      stone, segments, 1,
      [=](float s, float t) {
        float a = Pi * (1 - s);
        return V3{cx + std::cos(a) * r, spring + std::sin(a) * r, Lerp(zFront, zBack, t)};
      },
      [=](float s, float t, V3) { return UV{s * Pi * r * uvScale, t * std::fabs(zBack - zFront) * uvScale}; },
      [=](V3 p) { return V3{cx - p.x, spring - p.y, 0}; });
}

// A blind arch on a wall: two pilasters and the arch's frame standing `depth` out of it, a
// mosaic field inside. Built on a wall `wall` units along +Z from the hall's centre, `cx`
// along X, then turned by `yaw` degrees about the centre into place (90: the east wall).
struct BlindArch {
  float wall, cx, yaw;
  float h, r, spring, depth;
  int segments;
};
void AddBlindArch(BakeMesh& stone, BakeMesh& mosaic, const BlindArch& a, float uvStone, float uvMosaic) {
  size_t s0 = stone.vertices.size(), m0 = mosaic.vertices.size();
  const float h = a.h, r = a.r, spring = a.spring;
  float x = CentreX + a.cx, zWall = CentreZ + a.wall, zFront = zWall - a.depth, zField = zWall - 0.05f;
  AddArchBay(stone, x, zFront, zWall, -1, spring, h, r, uvStone, a.segments);
  AddBlock(stone, {x - h, FloorY, zFront}, {x - r, spring, zWall}, 6, uvStone, 4 | 32);
  AddBlock(stone, {x + r, FloorY, zFront}, {x + h, spring, zWall}, 6, uvStone, 4 | 32);
  V3 out{0, 0, -1};
  AddPanel(mosaic, {x - r, FloorY, zField}, {2 * r, 0, 0}, {0, spring - FloorY, 0}, out, 8, uvMosaic);
  AddSurface(
      mosaic, a.segments, a.segments > 8 ? 3 : 1,
      [=](float s, float t) {
        float angle = Pi * (1 - s), rr = r * (1 - t);
        return V3{x + std::cos(angle) * rr, spring + std::sin(angle) * rr, zField};
      },
      [=](float, float, V3 p) { return Planar(p, out, uvMosaic); }, [=](V3) { return out; });
  V3 pivot{CentreX, 0, CentreZ};
  TransformFrom(stone, s0, pivot, a.yaw, {0, 0, 0});
  TransformFrom(mosaic, m0, pivot, a.yaw, {0, 0, 0});
}

// ---------------------------------------------------------------------------------------
// Pictures. All tile where they repeat; noise periods are whole numbers across the picture.

float Frac(float v) { return v - std::floor(v); }

// Warm polished marble tiles in a checker of cream and rose, with dark grout.
Image PaintFloor() {
  const int n = 256, tiles = 4;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      int tx = (int)(u * tiles), ty = (int)(v * tiles);
      float fx = Frac(u * tiles), fy = Frac(v * tiles);
      bool rose = ((tx + ty) & 1) != 0;
      float vein = RidgedFbm(u * 6 + tx * 0.37f, v * 6 + ty * 0.21f, 6, 6, 5, 0.55f, rose ? 311 : 312);
      float cloud = Fbm(u * 8, v * 8, 8, 8, 4, 0.5f, 313) * 0.5f + 0.5f;
      Colour base = rose ? Rgb255(176, 104, 82) : Rgb255(226, 206, 170);
      Colour c = base * (0.86f + 0.18f * cloud);
      c = Mix(c, rose ? Rgb255(120, 60, 48) : Rgb255(170, 140, 110), Smoothstep(0.78f, 0.95f, vein) * 0.6f);
      // Grout and a slight bevel at the tile edges.
      float edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy)) * (n / tiles);
      float grout = 1 - Smoothstep(0.8f, 2.2f, edge);
      c = c * (0.9f + 0.1f * Smoothstep(1.5f, 6.0f, edge));
      c = Mix(c, Rgb255(62, 48, 38), grout);
      img.At(x, y) = c;
    }
  return img;
}

// Small square tesserae in turquoise and blue with pale grout; a few darker ones scattered.
Image PaintPoolMosaic() {
  const int n = 256, tiles = 32;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      int tx = (int)(u * tiles), ty = (int)(v * tiles);
      float fx = Frac(u * tiles), fy = Frac(v * tiles);
      uint32_t h = Hash(tx, ty, 421);
      float r = (h & 255) / 255.0f, r2 = ((h >> 8) & 255) / 255.0f;
      float wave = Fbm(u * 4, v * 4, 4, 4, 3, 0.5f, 422) * 0.5f + 0.5f;
      Colour c = Mix(Rgb255(40, 150, 160), Rgb255(30, 105, 150), r * 0.7f + wave * 0.3f);
      if (r2 > 0.9f) c = Rgb255(20, 70, 110);
      if (r2 < 0.06f) c = Rgb255(120, 200, 200);
      c = c * (0.88f + 0.2f * Frac(r * 7.3f));
      float edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy)) * (n / tiles);
      c = Mix(c, Rgb255(190, 200, 190), 1 - Smoothstep(0.4f, 1.2f, edge));
      img.At(x, y) = c;
    }
  return img;
}

// Honey-coloured marble with soft clouds and fine veins.
Image PaintStone() {
  const int n = 256;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      float cloud = Fbm(u * 4, v * 4, 4, 4, 6, 0.55f, 511) * 0.5f + 0.5f;
      float vein = RidgedFbm(u * 3 + cloud * 0.6f, v * 3, 3, 3, 5, 0.5f, 512);
      float speck = Fbm(u * 32, v * 32, 32, 32, 2, 0.5f, 513);
      Colour c = Mix(Rgb255(214, 184, 140), Rgb255(240, 222, 190), cloud);
      c = Mix(c, Rgb255(160, 118, 80), Smoothstep(0.82f, 0.97f, vein) * 0.7f);
      c = c * (0.96f + 0.06f * speck);
      img.At(x, y) = c;
    }
  return img;
}

// Ashlar: courses of warm sandstone blocks, each block its own tone, with worn joints.
Image PaintWall() {
  const int n = 256, courses = 4, perCourse = 2;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      int row = (int)(v * courses);
      float su = u * perCourse + (row & 1) * 0.5f;
      int col = (int)std::floor(su);
      float fx = Frac(su), fy = Frac(v * courses);
      uint32_t h = Hash(col % perCourse, row, 611);
      float tone = (h & 255) / 255.0f;
      float grain = Fbm(u * 8, v * 8, 8, 8, 5, 0.55f, 612) * 0.5f + 0.5f;
      Colour c = Mix(Rgb255(178, 142, 104), Rgb255(206, 172, 128), tone) * (0.85f + 0.25f * grain);
      float ex = std::min(fx, 1 - fx) * n / perCourse, ey = std::min(fy, 1 - fy) * n / courses;
      float edge = std::min(ex, ey);
      c = c * (0.82f + 0.18f * Smoothstep(0.0f, 5.0f, edge));
      c = Mix(c, Rgb255(92, 72, 56), 1 - Smoothstep(0.6f, 1.8f, edge));
      img.At(x, y) = c;
    }
  return img;
}

// Coffers: a grid of recessed squares, ochre frames, deep blue panels with a gilded rosette.
Image PaintCoffers() {
  const int n = 256, cells = 2;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      float fx = Frac(u * cells), fy = Frac(v * cells);
      float dx = fx - 0.5f, dy = fy - 0.5f;
      float box = std::max(std::fabs(dx), std::fabs(dy));  // 0 at the centre, 0.5 at the rim
      float grain = Fbm(u * 8, v * 8, 8, 8, 4, 0.5f, 711) * 0.5f + 0.5f;
      Colour frame = Mix(Rgb255(170, 128, 78), Rgb255(200, 160, 100), grain);
      Colour panel = Mix(Rgb255(26, 48, 86), Rgb255(40, 66, 110), grain);
      Colour c;
      if (box > 0.42f) {
        c = frame;
      } else if (box > 0.3f) {
        // Stepped bevel, lit from below (the candles are on the floor).
        float lit = dy > std::fabs(dx) ? 1.15f : dy < -std::fabs(dx) ? 0.6f : 0.85f;
        c = frame * (lit * (box > 0.36f ? 1.0f : 0.8f));
      } else {
        c = panel;
        float r = std::sqrt(dx * dx + dy * dy);
        float petals = 0.07f + 0.03f * std::cos(std::atan2(dy, dx) * 8);
        float rosette = 1 - Smoothstep(petals - 0.01f, petals + 0.01f, r);
        float ring = 1 - Smoothstep(0.004f, 0.012f, std::fabs(r - 0.2f));
        c = Mix(c, Rgb255(224, 182, 90), std::max(rosette, ring * 0.8f));
      }
      img.At(x, y) = c;
    }
  return img;
}

// The water layer, added over the lit mosaic: a dark tint crossed by bright caustic lines.
Image PaintWater() {
  const int n = 256;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      float warp = Fbm(u * 4, v * 4, 4, 4, 3, 0.5f, 811) * 0.12f;
      CellDistances d = Cells(u * 6 + warp * 6, v * 6 - warp * 6, 6, 6, 812);
      float line = std::exp(-(d.f2 - d.f1) * 9.0f);
      CellDistances small = Cells(u * 12, v * 12, 12, 12, 813);
      float fine = std::exp(-(small.f2 - small.f1) * 10);
      Colour c = Rgb255(8, 20, 24) + Rgb255(70, 130, 130) * line + Rgb255(30, 60, 60) * fine;
      img.At(x, y) = c;
    }
  return img;
}

// A candle flame on black: white-yellow core, orange skirt, blue at the foot.
Image PaintFlame() {
  const int n = 128;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float px = (x + 0.5f) / n * 2 - 1, py = (y + 0.5f) / n;  // py 0 at the top
      // Teardrop: widest a little below the middle, a point at the top.
      float hgt = 1 - py;  // 0 at the foot
      float width = 0.42f * std::pow(std::max(0.0f, std::sin(Pi * std::min(1.0f, hgt * 1.15f))), 0.8f) *
                    (1 - 0.5f * hgt);
      float d = width > 0 ? std::fabs(px) / width : 9;
      float body = 1 - Smoothstep(0.55f, 1.0f, d);
      body *= Smoothstep(0.02f, 0.12f, hgt) * (1 - Smoothstep(0.82f, 0.95f, hgt));
      float core = (1 - Smoothstep(0.0f, 0.5f, d)) * Smoothstep(0.1f, 0.3f, hgt) * (1 - Smoothstep(0.5f, 0.75f, hgt));
      Colour c = Rgb255(255, 120, 30) * body + Rgb255(255, 230, 150) * (core * 0.9f);
      float foot = std::exp(-((px * px) / 0.02f + (hgt - 0.12f) * (hgt - 0.12f) / 0.004f));
      c += Rgb255(40, 60, 200) * (foot * 0.5f);
      img.At(x, y) = c;
    }
  return img;
}

// A soft warm halo, black at the edges so the quads vanish into what is behind them.
Image PaintHalo() {
  const int n = 128;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float dx = (x + 0.5f) / n * 2 - 1, dy = (y + 0.5f) / n * 2 - 1;
      float r2 = dx * dx + dy * dy;
      float glow = std::exp(-r2 / 0.05f) * 0.55f + std::exp(-r2 / 0.25f) * 0.3f;
      glow *= 1 - Smoothstep(0.75f, 1.0f, std::sqrt(r2));
      img.At(x, y) = Colour{1.0f, 0.62f, 0.3f} * glow;
    }
  return img;
}

// Ivory wax with faint drips running down.
Image PaintWax() {
  const int n = 128;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      float drip = Fbm(u * 8, v * 1, 8, 1, 3, 0.5f, 911) * 0.5f + 0.5f;
      float grain = Fbm(u * 8, v * 8, 8, 8, 3, 0.5f, 912) * 0.5f + 0.5f;
      img.At(x, y) = Mix(Rgb255(232, 220, 190), Rgb255(250, 244, 224), drip * 0.7f + grain * 0.3f);
    }
  return img;
}

// A steam puff for the additive emitters: a dim, billowing grey-white blot on black.
Image PaintSteam() {
  const int n = 128;
  Image img(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      float dx = u * 2 - 1, dy = v * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      float billow = Fbm(u * 4, v * 4, 4, 4, 5, 0.55f, 1011) * 0.5f + 0.5f;
      float density = (1 - Smoothstep(0.1f, 0.9f, r + (0.5f - billow) * 0.4f)) * (0.5f + 0.5f * billow);
      density *= 1 - Smoothstep(0.8f, 0.98f, r);
      img.At(x, y) = Colour{0.24f, 0.25f, 0.26f} * density;
    }
  return img;
}

// ---------------------------------------------------------------------------------------
// The hall.

const char* const FloorPic = "maps/bain_floor.jpg";
const char* const PoolPic = "maps/bain_pool.jpg";
const char* const StonePic = "maps/bain_stone.jpg";
const char* const WallPic = "maps/bain_wall.jpg";
const char* const VaultPic = "maps/bain_vault.jpg";
const char* const WaterPic = "maps/bain_water.jpg";
const char* const FlamePic = "maps/bain_flame.jpg";
const char* const HaloPic = "maps/bain_halo.jpg";
const char* const WaxPic = "maps/bain_wax.jpg";
const char* const SteamPic = "maps/bain_steam.jpg";

BakeMesh NewMesh(const std::string& name, const std::string& material, V3 pivot) {
  BakeMesh m;
  m.name = name;
  m.material = material;
  m.pivot = pivot;
  return m;
}

struct Candles {
  BakeMesh wax, flames, halos;
};

// A candle of radius r standing on y with its wick at y + height; its flame and halo.
void AddCandle(Candles& c, float x, float y, float z, float height, float r, float halo) {
  AddTube(c.wax, {x, y, z}, height, r, r * 0.95f, 6, 1, 1, 1.0f / 8);
  AddRing(c.wax, {x, y + height, z}, 0, r * 0.95f, 6, 1, 0.5f);
  float top = y + height + 0.2f, fw = r * 1.7f, fh = r * 4.2f;
  // Two crossed flames, then a star of three halo quads so the glow reads from any side.
  for (int k = 0; k < 2; k++) {
    float a = Pi * 0.5f * k + 0.4f, cx = std::cos(a) * fw, cz = std::sin(a) * fw;
    // Corner a carries the picture's top row: the flame's tip goes up.
    AddQuad(c.flames, {x - cx, top + fh, z - cz}, {x + cx, top + fh, z + cz}, {x + cx, top, z + cz},
            {x - cx, top, z - cz});
  }
  float hy = top + fh * 0.45f;
  for (int k = 0; k < 3; k++) {
    float a = Pi / 3 * k + 0.2f, cx = std::cos(a) * halo, cz = std::sin(a) * halo;
    AddQuad(c.halos, {x - cx, hy - halo, z - cz}, {x + cx, hy - halo, z + cz}, {x + cx, hy + halo, z + cz},
            {x - cx, hy + halo, z - cz});
  }
}

BakeLight CandleLight(const std::string& name, V3 p, float strength, float inner, float outer) {
  BakeLight l;
  l.name = name;
  l.position = p;
  l.colour = {1.0f, 0.62f, 0.3f};
  l.multiplier = strength;
  l.innerRange = inner;
  l.outerRange = outer;
  l.radius = 1.5f;
  return l;
}

BakeCamera MakeCamera() {
  // Times in seconds of the scene; the show spreads key 1 .. key count - 3 over its 24 s, so
  // one key before the start and two after the end only shape the curve's ends.
  struct Shot {
    float t;
    V3 eye, target;
  };
  const Shot shots[] = {
      {-2.5f, {-10, 21, 31}, {0, 21, 0}},
      {0.0f, {0, 22, 36}, {0, 21, 0}},       // the figure, face to face
      {3.0f, {20, 26, 34}, {0, 21, 0}},      // turning round her
      {6.0f, {50, 40, 30}, {0, 50, -40}},    // up: the arcades and the vault
      {9.0f, {48, 20, -31}, {-30, 24, -40}}, // low over the water along the colonnade
      {12.0f, {-80, 34, -20}, {0, 22, 0}},  // from the far end: the figure across the pool
      {14.6f, {-34, 28, 30}, {0, 23, 0}},    // back to her as she bursts
      {16.3f, {-15, 32, 44}, {0, 26, 0}},
      {18.0f, {0, 35, 49}, {0, 28, 0}},      // the blobs fill the view
      {21.0f, {28, 42, 42}, {0, 28, 0}},
      {24.0f, {48, 47, 24}, {0, 28, 0}},
      {26.0f, {56, 50, 6}, {0, 28, 0}},
      {28.0f, {58, 52, -12}, {0, 28, 0}},
  };
  BakeCamera cam;
  cam.name = "bain_camera";
  for (const Shot& s : shots) {
    int frame = (int)std::lround(30 + s.t * 10);
    cam.eye.push_back({frame, At(s.eye.x, s.eye.y, s.eye.z)});
    cam.target.push_back({frame, At(s.target.x, s.target.y, s.target.z)});
  }
  return cam;
}

}  // namespace

BakeScene BuildBainScene() {
  BakeScene scene;
  scene.ambient = {0.09f, 0.065f, 0.055f};
  scene.frameCount = 320;
  V3 centre = At(0, 0, 0);

  // Walkway: a tiled floor with the pool cut out of it.
  BakeMesh floor = NewMesh("bain_floor", FloorPic, At(0, FloorY, 0));
  {
    const float cell = 5;
    int nx = (int)(2 * HallX / cell), nz = (int)(2 * HallZ / cell);
    uint16_t base = (uint16_t)floor.vertices.size();
    for (int j = 0; j <= nz; j++)
      for (int i = 0; i <= nx; i++) {
        V3 p = At(-HallX + i * cell, FloorY, -HallZ + j * cell);
        floor.vertices.push_back(p);
        floor.uvs.push_back({p.x / 20, p.z / 20});
      }
    auto up = [](V3) { return V3{0, 1, 0}; };
    for (int j = 0; j < nz; j++)
      for (int i = 0; i < nx; i++) {
        float cx = -HallX + (i + 0.5f) * cell, cz = -HallZ + (j + 0.5f) * cell;
        if (std::fabs(cx) < PoolX && std::fabs(cz) < PoolZ) continue;
        uint16_t a = (uint16_t)(base + j * (nx + 1) + i), b = (uint16_t)(a + 1);
        uint16_t c = (uint16_t)(a + nx + 1), d = (uint16_t)(c + 1);
        PushFace(floor, a, b, d, up);
        PushFace(floor, a, d, c, up);
      }
  }
  scene.meshes.push_back(std::move(floor));

  // The pool: mosaic floor, walls, steps at both ends and the dais's sides.
  BakeMesh pool = NewMesh("bain_pool", PoolPic, At(0, PoolY, 0));
  const float poolUv = 1.0f / 16;
  AddPanel(pool, At(-PoolX, PoolY, -PoolZ), {2 * PoolX, 0, 0}, {0, 0, 2 * PoolZ}, {0, 1, 0}, 5, poolUv);
  float wallH = FloorY - PoolY;
  AddPanel(pool, At(-PoolX, PoolY, -PoolZ), {2 * PoolX, 0, 0}, {0, wallH, 0}, {0, 0, 1}, 5, poolUv);
  AddPanel(pool, At(-PoolX, PoolY, PoolZ), {2 * PoolX, 0, 0}, {0, wallH, 0}, {0, 0, -1}, 5, poolUv);
  AddPanel(pool, At(-PoolX, PoolY, -PoolZ), {0, 0, 2 * PoolZ}, {0, wallH, 0}, {1, 0, 0}, 5, poolUv);
  AddPanel(pool, At(PoolX, PoolY, -PoolZ), {0, 0, 2 * PoolZ}, {0, wallH, 0}, {-1, 0, 0}, 5, poolUv);
  for (int end = -1; end <= 1; end += 2) {
    // Three steps down into the water, 36 wide, 5 deep each.
    for (int s = 0; s < 3; s++) {
      float top = 10.0f - 2.5f * s;
      float xOuter = PoolX - 5.0f * s, xInner = xOuter - 5.0f;
      V3 lo = At(end > 0 ? xInner : -xOuter, PoolY, -18), hi = At(end > 0 ? xOuter : -xInner, top, 18);
      AddBlock(pool, lo, hi, 6, poolUv, 4 | (end > 0 ? 2 : 1));
    }
  }
  AddTube(pool, At(0, PoolY, 0), 11.2f - PoolY, 14.5f, 14.5f, 32, 2, 6, poolUv);
  AddTube(pool, At(0, 11.2f, 0), FloorY - 11.2f, 11, 11, 32, 1, 5, poolUv);

  // Marble: the pool's coping, the dais's tops, columns, arcades, cornices, pedestals.
  BakeMesh stone = NewMesh("bain_stone", StonePic, At(0, FloorY, 0));
  const float stoneUv = 1.0f / 20;
  {
    float y0 = FloorY - 0.8f, y1 = FloorY + 0.7f, w = 3.5f;
    AddBlock(stone, At(-PoolX - w, y0, -PoolZ - w), At(PoolX + w, y1, -PoolZ + 1), 6, stoneUv, 4);
    AddBlock(stone, At(-PoolX - w, y0, PoolZ - 1), At(PoolX + w, y1, PoolZ + w), 6, stoneUv, 4);
    AddBlock(stone, At(-PoolX - w, y0, -PoolZ + 1), At(-PoolX + 1, y1, PoolZ - 1), 6, stoneUv, 4 | 16 | 32);
    AddBlock(stone, At(PoolX - 1, y0, -PoolZ + 1), At(PoolX + w, y1, PoolZ - 1), 6, stoneUv, 4 | 16 | 32);
  }
  AddRing(stone, At(0, 11.2f, 0), 11, 14.5f, 32, 1, stoneUv);
  AddRing(stone, At(0, FloorY, 0), 0, 11, 32, 3, stoneUv);  // the dais's top, where she stands
  AddTube(stone, At(0, FloorY, 0), 0.6f, 11.6f, 11.6f, 32, 1, 5, stoneUv);  // the dais's lip
  AddRing(stone, At(0, FloorY + 0.6f, 0), 10.4f, 11.6f, 32, 1, stoneUv);
  AddRing(stone, At(0, FloorY, 0), 11, 11.6f, 32, 1, stoneUv, false);
  AddTube(stone, At(0, FloorY, 0), 0.6f, 10.4f, 10.4f, 32, 1, 5, stoneUv, true);
  for (int side = -1; side <= 1; side += 2) {
    float zc = side * (ArcadeZ + ArcadeDepth / 2);
    for (float x : ColumnX) {
      AddBlock(stone, At(x - 4.5f, FloorY, zc - 4.5f), At(x + 4.5f, FloorY + 2.5f, zc + 4.5f), 5, stoneUv, 4);
      AddTube(stone, At(x, FloorY + 2.5f, zc), 1.2f, 4.0f, ColumnRadius, 12, 1, 1, stoneUv);
      AddTube(stone, At(x, FloorY + 3.7f, zc), SpringY - 4 - FloorY - 3.7f, ColumnRadius, ColumnRadius * 0.9f, 12, 5, 1,
              stoneUv);
      AddTube(stone, At(x, SpringY - 4, zc), 1.5f, ColumnRadius * 0.9f, 4.6f, 12, 1, 1, stoneUv);
      AddBlock(stone, At(x - 5, SpringY - 2.5f, zc - 5), At(x + 5, SpringY, zc + 5), 5, stoneUv);
    }
    // Arches between the columns, solid wall from the last column to the end walls.
    float zIn = side * ArcadeZ, zOut = side * (ArcadeZ + ArcadeDepth);
    for (int b = 0; b + 1 < 6; b++) {
      float cx = (ColumnX[b] + ColumnX[b + 1]) / 2;
      AddArchBay(stone, CentreX + cx, CentreZ + zIn, CentreZ + zOut, -(float)side, SpringY, 15, 11.5f, stoneUv);
    }
    for (int end = -1; end <= 1; end += 2) {
      float x0 = end * ColumnX[5], x1 = end * HallX;
      V3 lo = At(std::min(x0, x1), FloorY, std::min(zIn, zOut)), hi = At(std::max(x0, x1), ArcadeTopY, std::max(zIn, zOut));
      AddBlock(stone, lo, hi, 8, stoneUv, 4 | 8 | (end > 0 ? 2 : 1));
    }
    // Cornice over the arcade, on which the vault springs.
    AddBlock(stone, At(-HallX, ArcadeTopY, std::min(zIn, zOut) - 1.5f),
             At(HallX, CorniceTopY, std::max(zIn, zOut) + 1.5f), 8, stoneUv, 1 | 2);
  }
  // A tall blind arch on each end wall; a small niche behind every aisle's candles.
  for (int end = -1; end <= 1; end += 2)
    AddBlindArch(stone, pool, {HallX, 0, end * 90.0f, 26, 20, 48, 2.5f, 16}, stoneUv, poolUv);
  for (int side = -1; side <= 1; side += 2)
    for (int b = 0; b + 1 < 6; b++) {
      float cx = (ColumnX[b] + ColumnX[b + 1]) / 2;
      AddBlindArch(stone, pool, {HallZ, side * cx, side > 0 ? 0.0f : 180.0f, 8.5f, 6.5f, FloorY + 22, 1.2f, 8},
                   stoneUv, poolUv);
    }
  scene.meshes.push_back(std::move(pool));
  scene.meshes.push_back(std::move(stone));

  // Walls: the aisles' outer walls and the two end walls, which rise into the vault.
  BakeMesh walls = NewMesh("bain_walls", WallPic, At(0, 40, 0));
  const float wallUv = 1.0f / 24;
  AddPanel(walls, At(-HallX, FloorY, -HallZ), {2 * HallX, 0, 0}, {0, ArcadeTopY - FloorY, 0}, {0, 0, 1}, 9, wallUv);
  AddPanel(walls, At(-HallX, FloorY, HallZ), {2 * HallX, 0, 0}, {0, ArcadeTopY - FloorY, 0}, {0, 0, -1}, 9, wallUv);
  AddPanel(walls, At(-HallX, FloorY, -HallZ), {0, 0, 2 * HallZ}, {0, VaultApexY + 2 - FloorY, 0}, {1, 0, 0}, 9, wallUv);
  AddPanel(walls, At(HallX, FloorY, -HallZ), {0, 0, 2 * HallZ}, {0, VaultApexY + 2 - FloorY, 0}, {-1, 0, 0}, 9, wallUv);
  scene.meshes.push_back(std::move(walls));

  // Ceilings: the coffered barrel vault over the pool and the aisles' flat ceilings.
  BakeMesh vault = NewMesh("bain_vault", VaultPic, At(0, 90, 0));
  {
    float halfSpan = ArcadeZ + ArcadeDepth, rise = VaultApexY - CorniceTopY;
    float radius = (halfSpan * halfSpan + rise * rise) / (2 * rise), axisY = VaultApexY - radius;
    float spread = std::asin(halfSpan / radius);
    AddSurface(
        vault, 19, 14,
        [=](float s, float t) {
          float a = Lerp(-spread, spread, t);
          return At(Lerp(-HallX, HallX, s), axisY + radius * std::cos(a), radius * std::sin(a));
        },
        [=](float s, float t, V3) { return UV{s * 2 * HallX / 30, t * 2 * spread * radius / 30}; },
        [=](V3 p) { return V3{0, axisY - p.y, CentreZ - p.z}; });
    for (int side = -1; side <= 1; side += 2) {
      float z0 = side * (ArcadeZ + ArcadeDepth), z1 = side * HallZ;
      AddPanel(vault, At(-HallX, ArcadeTopY, std::min(z0, z1)), {2 * HallX, 0, 0}, {0, 0, std::fabs(z1 - z0)},
               {0, -1, 0}, 8, 1.0f / 30);
    }
  }
  scene.meshes.push_back(std::move(vault));

  // Candles: groups in the aisles, candelabra at the pool's corners, tall stands before the
  // end walls, small candles along the rim. Each group has its own light.
  Candles candles{NewMesh("bain_candles", WaxPic, centre), NewMesh("%bain_flames", FlamePic, centre),
                  NewMesh("%bain_halos", HaloPic, centre)};
  BakeMesh stands = NewMesh("bain_stands", StonePic, centre);
  int lightNo = 0;
  auto addLight = [&](V3 p, float strength, float inner, float outer) {
    scene.lights.push_back(CandleLight("bain_candle" + std::to_string(lightNo++), p, strength, inner, outer));
  };
  for (int side = -1; side <= 1; side += 2) {
    for (int b = 0; b + 1 < 6; b++) {
      float cx = (ColumnX[b] + ColumnX[b + 1]) / 2, cz = side * (HallZ - 5);
      float top = FloorY + 5;
      AddBlock(stands, At(cx - 2.5f, FloorY, cz - 2.5f), At(cx + 2.5f, top, cz + 2.5f), 3, 1.0f / 10, 4);
      AddCandle(candles, CentreX + cx - 1.1f, top, CentreZ + cz - 0.6f, 3.2f, 0.7f, 3.0f);
      AddCandle(candles, CentreX + cx + 1.0f, top, CentreZ + cz - 0.9f, 2.2f, 0.6f, 2.6f);
      AddCandle(candles, CentreX + cx, top, CentreZ + cz + 1.1f, 4.2f, 0.75f, 3.2f);
      addLight(At(cx, top + 5, cz - side * 3.5f), 1.2f, 3, 55);
    }
  }
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sz = -1; sz <= 1; sz += 2) {
      float cx = sx * (PoolX + 7), cz = sz * (PoolZ + 7);
      float top = FloorY + 11;
      AddTube(stands, At(cx, FloorY, cz), 1.5f, 3.0f, 2.6f, 10, 1, 1, stoneUv);
      AddTube(stands, At(cx, FloorY + 1.5f, cz), top - FloorY - 2.5f, 0.9f, 0.7f, 8, 2, 1, stoneUv);
      AddTube(stands, At(cx, top - 1, cz), 1, 0.8f, 3.2f, 10, 1, 1, stoneUv);
      AddRing(stands, At(cx, top, cz), 0, 3.2f, 10, 1, stoneUv);
      AddCandle(candles, CentreX + cx, top, CentreZ + cz, 3.5f, 0.8f, 3.6f);
      AddCandle(candles, CentreX + cx - 1.7f, top, CentreZ + cz + 1.0f, 2.3f, 0.6f, 2.8f);
      AddCandle(candles, CentreX + cx + 1.5f, top, CentreZ + cz + 1.2f, 2.0f, 0.6f, 2.8f);
      AddCandle(candles, CentreX + cx + 0.2f, top, CentreZ + cz - 1.8f, 2.6f, 0.6f, 2.8f);
      addLight(At(cx, top + 6, cz), 1.3f, 4, 70);
    }
  for (int end = -1; end <= 1; end += 2) {
    float cx = end * (HallX - 8);
    AddBlock(stands, At(cx - 4, FloorY, -7), At(cx + 4, FloorY + 3, 7), 4, 1.0f / 10, 4);
    AddBlock(stands, At(cx - 3, FloorY + 3, -5), At(cx + 3, FloorY + 6, 5), 4, 1.0f / 10, 4);
    for (int k = -2; k <= 2; k++)
      AddCandle(candles, CentreX + cx + (k & 1) * 1.2f, FloorY + 6, CentreZ + k * 2.0f, 3.0f + (2 - std::abs(k)) * 1.5f,
                0.8f, 3.4f);
    addLight(At(cx - end * 4, FloorY + 14, 0), 1.3f, 4, 65);
  }
  for (int sz = -1; sz <= 1; sz += 2)
    for (int k = 0; k < 4; k++) {
      float cx = -45 + 30 * k, cz = sz * (PoolZ + 1.4f);
      AddCandle(candles, CentreX + cx, FloorY + 0.7f, CentreZ + cz, 1.8f, 0.55f, 2.4f);
      addLight(At(cx, FloorY + 4, cz), 0.5f, 2, 30);
    }
  // Two bronze lamps hang from the vault over the nave on long chains.
  for (int end = -1; end <= 1; end += 2) {
    float cx = end * 50, y = 58;
    AddTube(stands, At(cx, y - 1.5f, 0), 1.5f, 0.6f, 3.5f, 12, 1, 1, stoneUv);
    AddRing(stands, At(cx, y, 0), 0, 3.5f, 12, 1, stoneUv);
    AddBlock(stands, At(cx - 0.25f, y + 4, -0.25f), At(cx + 0.25f, VaultApexY, 0.25f), 50, stoneUv, 4 | 8);
    for (int k = 0; k < 3; k++) {
      float a = 2 * Pi * k / 3;
      V3 rim = At(cx + std::cos(a) * 3.3f, y, std::sin(a) * 3.3f), hook = At(cx, y + 4, 0);
      AddQuad(stands, rim, rim + V3{0.3f, 0, 0}, hook + V3{0.3f, 0, 0}, hook);
    }
    AddCandle(candles, CentreX + cx, y - 0.3f, CentreZ, 0.3f, 1.1f, 6.0f);
    addLight(At(cx, y + 3, 0), 1.0f, 4, 80);
  }
  scene.meshes.push_back(std::move(stands));
  candles.flames.castsShadow = candles.halos.castsShadow = false;
  candles.flames.emission = candles.halos.emission = {1, 1, 1};
  candles.wax.emission = {0.22f, 0.17f, 0.11f};  // wax glows a little round its flame
  scene.meshes.push_back(std::move(candles.wax));
  scene.meshes.push_back(std::move(candles.flames));
  scene.meshes.push_back(std::move(candles.halos));

  // Light in the water: two lamps under the surface make the mosaic glow.
  for (int sx = -1; sx <= 1; sx += 2) {
    BakeLight l;
    l.name = "bain_pool" + std::to_string(sx > 0 ? 1 : 0);
    l.position = At(sx * 32, 6, 0);
    l.colour = {0.25f, 0.7f, 0.75f};
    l.multiplier = 0.8f;
    l.innerRange = 12;
    l.outerRange = 55;
    l.radius = 3;
    scene.lights.push_back(l);
  }
  // The figure's own glow on the dais.
  {
    BakeLight l;
    l.name = "bain_figure";
    l.position = At(0, 24, 4);
    l.colour = {1.0f, 0.85f, 0.8f};
    l.multiplier = 0.8f;
    l.innerRange = 8;
    l.outerRange = 40;
    l.castsShadows = false;
    scene.lights.push_back(l);
  }

  // The water: an additive ripple layer over the mosaic, just under the coping.
  BakeMesh water = NewMesh("%bain_water", WaterPic, At(0, WaterY, 0));
  AddPanel(water, At(-PoolX, WaterY, -PoolZ), {2 * PoolX, 0, 0}, {0, 0, 2 * PoolZ}, {0, 1, 0}, 10, 1.0f / 30);
  water.castsShadow = false;
  water.emission = {0.08f, 0.14f, 0.14f};
  scene.meshes.push_back(std::move(water));

  // The figure's anchor, on the dais. Its faces are never drawn; its material is the figure's.
  BakeMesh anchor = NewMesh("@bain_figure", "maps/girl.jpg", At(0, FloorY, 0));
  AddBox(anchor, At(-1, FloorY, -1), At(1, FloorY + 2, 1), 0.5f);
  anchor.castsShadow = false;
  scene.meshes.push_back(std::move(anchor));

  // Steam over the water, in a loose ring around the dais: puffs that rise, thin and fade.
  const V3 steam[] = {{-45, 0, -22}, {-28, 0, 26}, {-50, 0, 14}, {-22, 0, -30}, {8, 0, -32}, {30, 0, 24},
                      {46, 0, -18}, {52, 0, 10}, {22, 0, -20}, {-10, 0, 30}, {-36, 0, -4}, {36, 0, 2}};
  int steamNo = 0;
  for (V3 s : steam) {
    V3 p = At(s.x, WaterY + 0.5f, s.z);
    BakeMesh e = NewMesh("*3bain_steam" + std::to_string(steamNo++), SteamPic, p);
    e.vertices = {p + V3{-0.5f, 0, 0}, p + V3{0.5f, 0, 0}, p + V3{0, 0, 0.5f}};
    e.uvs = {{0, 0}, {1, 0}, {0, 1}};
    e.faces = {{0, 2, 1}};
    e.castsShadow = false;
    scene.meshes.push_back(std::move(e));
  }

  scene.cameras.push_back(MakeCamera());
  return scene;
}

bool BakeBain(BakeOutput& out, std::string* error) {
  BakeScene scene = BuildBainScene();
  LightBakeOptions options;
  options.shadowSamples = 5;
  options.aoRays = 20;
  options.aoDistance = 30;
  options.exposure = 1.0f;
  if (!AddSceneMembers(out, "maps/bain", scene, &options, error)) return false;
  AddJpegMember(out, FloorPic, PaintFloor());
  AddJpegMember(out, PoolPic, PaintPoolMosaic());
  AddJpegMember(out, StonePic, PaintStone());
  AddJpegMember(out, WallPic, PaintWall());
  AddJpegMember(out, VaultPic, PaintCoffers());
  AddJpegMember(out, WaterPic, PaintWater());
  AddJpegMember(out, FlamePic, PaintFlame());
  AddJpegMember(out, HaloPic, PaintHalo());
  AddJpegMember(out, WaxPic, PaintWax());
  AddJpegMember(out, SteamPic, PaintSteam());
  return true;
}
