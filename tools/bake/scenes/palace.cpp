// tools/bake/scenes/palace.cpp - maps/palace.3ds, its light-mapped lighting file and its
// painted stone, marble and gold.
//
// The palace, walked through in 51.5 s: a long colonnaded gallery (raised floor at y 40,
// arcades of marble columns carrying arches, side aisles with tall moonlit windows, torches
// on the columns), a crossing with a great window, a corridor that ends in a staircase
// going down to the orb hall (floor y 0): an octagon of columns and arches around a round
// dais, braziers, windows on the far wall. The orb the show draws hangs at (538, 47, -300),
// above the dais; the camera comes down the stairs, walks up to it by 40 s and circles it
// until the end.
//
// Light comes from the torches, the braziers, the orb's own glow and the windows, baked
// into a light map per face: big surfaces are cut into 40-unit tiles so that a 16-texel map
// resolves the pools of light and the shadows of the columns.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

// ---------------------------------------------------------------------------------------
// Materials.

const char* const MatFloor = "maps/palace_marble.jpg";
const char* const MatWall = "maps/palace_stone.jpg";
const char* const MatColumn = "maps/palace_column.jpg";
const char* const MatGold = "maps/palace_gold.jpg";
const char* const MatCeiling = "maps/palace_ceiling.jpg";
const char* const MatCarpet = "maps/palace_carpet.jpg";
const char* const MatFlame = "maps/palace_flame.jpg";
const char* const MatWindow = "maps/palace_window.jpg";
const char* const MatShaft = "maps/palace_shaft.jpg";
const char* const MatBanner = "maps/palace_banner.jpg";  // alpha-masked: swallowtailed cloth

// Picture repeats per world unit.
const float FloorScale = 1.0f / 80;    // one picture holds 2 x 2 floor slabs of 40
const float WallScale = 1.0f / 128;
const float CeilingScale = 1.0f / 80;  // 2 x 2 coffers of 40
const float GoldScale = 1.0f / 24;
const float Tile = 40.0f;               // edge of the light-mapped tiles of big surfaces

// Layout (see the header comment).
const float GalleryFloor = 40, GalleryCeiling = 170;
const float NaveHalf = 40, AisleOuter = 80, WallThick = 10;
const float GalleryNorth = 440, CrossSouth = -380;
const float FirstColumnZ = 420, ColumnStep = 60;
const int GalleryColumns = 11;  // z = 420 ... -180
const float CorridorNorth = -250, CorridorSouth = -350, CorridorCeiling = 150;
const float StairTop = 300, StairBottom = 399, StepRun = 11, StepRise = 4;
const float HallWest = 410, HallEast = 670, HallNorth = -170, HallSouth = -430, HallCeiling = 200;
const V3 HallCentre{540, 0, -300};
const V3 OrbPlace{538, 47, -300};
const float RingRadius = 95;

// ---------------------------------------------------------------------------------------
// Geometry helpers: faces with explicit texture coordinates, turned to face a given side.

uint16_t Vtx(BakeMesh& m, V3 p, UV uv) {
  m.vertices.push_back(p);
  m.uvs.push_back(uv);
  return (uint16_t)(m.vertices.size() - 1);
}

V3 Min(V3 a, V3 b) { return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)}; }
V3 Max(V3 a, V3 b) { return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)}; }

void Tri(BakeMesh& m, V3 a, V3 b, V3 c, UV ta, UV tb, UV tc, V3 front) {
  if (Dot(Cross(b - a, c - a), front) < 0) {
    std::swap(b, c);
    std::swap(tb, tc);
  }
  uint16_t ia = Vtx(m, a, ta), ib = Vtx(m, b, tb), ic = Vtx(m, c, tc);
  m.faces.push_back({ia, ib, ic});
}

void Quad(BakeMesh& m, V3 p0, V3 p1, V3 p2, V3 p3, UV t0, UV t1, UV t2, UV t3, V3 front) {
  if (Dot(Cross(p1 - p0, p2 - p0), front) < 0) {
    std::swap(p1, p3);
    std::swap(t1, t3);
  }
  uint16_t a = Vtx(m, p0, t0), b = Vtx(m, p1, t1), c = Vtx(m, p2, t2), d = Vtx(m, p3, t3);
  m.faces.push_back({a, b, c});
  m.faces.push_back({a, c, d});
}

// A flat surface from `corner` spanned by u and v (its front is u x v), cut into tiles of
// at most `tile`; the picture is laid in world units along u and v (scale s), its rows
// running against v so that upright walls show pictures the right way up.
void Plane(BakeMesh& m, V3 corner, V3 u, V3 v, float tile, float s, UV shift = {}) {
  float lu = Length(u), lv = Length(v);
  if (lu <= 0 || lv <= 0) return;
  int nu = std::max(1, (int)std::ceil(lu / tile - 0.01f)), nv = std::max(1, (int)std::ceil(lv / tile - 0.01f));
  V3 uh = u * (1 / lu), vh = v * (1 / lv);
  uint16_t base = (uint16_t)m.vertices.size();
  for (int j = 0; j <= nv; j++)
    for (int i = 0; i <= nu; i++) {
      V3 p = corner + u * ((float)i / nu) + v * ((float)j / nv);
      Vtx(m, p, {Dot(p, uh) * s + shift.u, -Dot(p, vh) * s + shift.v});
    }
  for (int j = 0; j < nv; j++)
    for (int i = 0; i < nu; i++) {
      uint16_t a = (uint16_t)(base + j * (nu + 1) + i), b = (uint16_t)(a + 1);
      uint16_t d = (uint16_t)(a + nu + 1), c = (uint16_t)(d + 1);
      m.faces.push_back({a, b, c});
      m.faces.push_back({a, c, d});
    }
}

// Upward floor over x0..x1, z0..z1 at height y (and a ceiling facing down).
void Floor(BakeMesh& m, float x0, float z0, float x1, float z1, float y, float s) {
  Plane(m, {x0, y, z1}, {x1 - x0, 0, 0}, {0, 0, z0 - z1}, Tile, s);
}
void Ceiling(BakeMesh& m, float x0, float z0, float x1, float z1, float y, float s) {
  Plane(m, {x0, y, z0}, {x1 - x0, 0, 0}, {0, 0, z1 - z0}, Tile, s);
}
// An upright wall along the segment a..b (heights y0..y1) whose front faces `front`.
void Wall(BakeMesh& m, V3 a, V3 b, float y0, float y1, V3 front, float s = WallScale) {
  V3 up{0, 1, 0};
  if (Dot(Cross(b - a, up), front) < 0) std::swap(a, b);
  Plane(m, {a.x, y0, a.z}, {b.x - a.x, 0, b.z - a.z}, {0, y1 - y0, 0}, Tile, s);
}
// A box whose sides are tiled; omit bits as AddBox (1 -X, 2 +X, 4 -Y, 8 +Y, 16 -Z, 32 +Z).
void Box(BakeMesh& m, V3 lo, V3 hi, float s, int omit = 0, float tile = Tile) {
  float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
  if (!(omit & 1)) Plane(m, {lo.x, lo.y, lo.z}, {0, 0, dz}, {0, dy, 0}, tile, s);
  if (!(omit & 2)) Plane(m, {hi.x, lo.y, hi.z}, {0, 0, -dz}, {0, dy, 0}, tile, s);
  if (!(omit & 4)) Plane(m, {lo.x, lo.y, lo.z}, {dx, 0, 0}, {0, 0, dz}, tile, s);
  if (!(omit & 8)) Plane(m, {lo.x, hi.y, hi.z}, {dx, 0, 0}, {0, 0, -dz}, tile, s);
  if (!(omit & 16)) Plane(m, {hi.x, lo.y, lo.z}, {-dx, 0, 0}, {0, dy, 0}, tile, s);
  if (!(omit & 32)) Plane(m, {lo.x, lo.y, hi.z}, {dx, 0, 0}, {0, dy, 0}, tile, s);
}

// A round shaft cut into rings of at most `ring` units, so that its facets keep small maps.
void Shaft(BakeMesh& m, V3 base, float height, float r0, float r1, int sides, float s, float ring) {
  int n = std::max(1, (int)std::ceil(height / ring));
  for (int k = 0; k < n; k++) {
    float f0 = (float)k / n, f1 = (float)(k + 1) / n;
    size_t first = m.vertices.size();
    AddCylinder(m, {base.x, base.y + height * f0, base.z}, height / n, Lerp(r0, r1, f0), Lerp(r0, r1, f1), sides,
                s, false);
    // AddCylinder starts its picture at v 0 for every ring; continue it up the shaft.
    for (size_t i = first; i < m.vertices.size(); i++) m.uvs[i].v += height * f0 * s;
  }
}

struct Meshes {
  BakeMesh floor, walls, ceiling, columns, gold, stairs, carpet, fixtures, flames, windows, shafts, banners;
};

// A column standing on `at` (its foot), `height` to the top of the abacus.
void Column(Meshes& ms, V3 at, float height) {
  float x = at.x, y = at.y, z = at.z;
  Box(ms.gold, {x - 8, y, z - 8}, {x + 8, y + 5, z + 8}, GoldScale, 4);
  Shaft(ms.gold, {x, y + 5, z}, 4, 7, 6, 12, GoldScale, 20);
  Shaft(ms.columns, {x, y + 9, z}, height - 21, 5.8f, 5.0f, 12, 1.0f / 64, 21);
  Shaft(ms.gold, {x, y + height - 12, z}, 7, 5.0f, 8.0f, 12, GoldScale, 20);
  Box(ms.gold, {x - 8.5f, y + height - 5, z - 8.5f}, {x + 8.5f, y + height, z + 8.5f}, GoldScale);
}

// The wall that an arch cuts between two column tops p and q (centres on the floor plan):
// springing at ys, wall up to ytop, `thick` through, the opening leaving `pier` half-width
// over each column. Both faces and the soffit, with a gold band along the soffit's edge.
void Arch(Meshes& ms, V3 p, V3 q, float ys, float ytop, float thick, float pier) {
  V3 d = q - p;
  d.y = 0;
  float span = Length(d);
  V3 dir = d * (1 / span), n{dir.z, 0, -dir.x};
  V3 mid = (p + q) * 0.5f;
  mid.y = 0;
  float r = span / 2 - pier;
  const int segs = 8;
  auto at = [&](float along, float y, float side) {
    V3 v = mid + dir * along + n * (side * thick / 2);
    v.y = y;
    return v;
  };
  auto uvAt = [&](float along, float y) { return UV{along * WallScale, -y * WallScale}; };
  for (int side = -1; side <= 1; side += 2) {
    V3 front = n * (float)side;
    // Over the two half piers.
    for (int e = -1; e <= 1; e += 2) {
      float a0 = e * (span / 2), a1 = e * r;
      Quad(ms.walls, at(a0, ys, side), at(a1, ys, side), at(a1, ytop, side), at(a0, ytop, side), uvAt(a0, ys),
           uvAt(a1, ys), uvAt(a1, ytop), uvAt(a0, ytop), front);
    }
    for (int i = 0; i < segs; i++) {
      float t0 = Pi * i / segs, t1 = Pi * (i + 1) / segs;
      float a0 = -r * std::cos(t0), a1 = -r * std::cos(t1);
      float y0 = ys + r * std::sin(t0), y1 = ys + r * std::sin(t1);
      Quad(ms.walls, at(a0, y0, side), at(a1, y1, side), at(a1, ytop, side), at(a0, ytop, side), uvAt(a0, y0),
           uvAt(a1, y1), uvAt(a1, ytop), uvAt(a0, ytop), front);
    }
  }
  for (int i = 0; i < segs; i++) {
    float t0 = Pi * i / segs, t1 = Pi * (i + 1) / segs;
    float a0 = -r * std::cos(t0), a1 = -r * std::cos(t1);
    float y0 = ys + r * std::sin(t0), y1 = ys + r * std::sin(t1);
    float tm = (t0 + t1) / 2;
    V3 inward{dir.x * std::cos(tm), -std::sin(tm), dir.z * std::cos(tm)};
    float g = 1.5f;  // gold edge on each face
    float w = thick / 2;
    Quad(ms.walls, at(a0, y0, -(w - g) / w), at(a1, y1, -(w - g) / w), at(a1, y1, (w - g) / w),
         at(a0, y0, (w - g) / w), {a0 * WallScale * 2, 0}, {a1 * WallScale * 2, 0},
         {a1 * WallScale * 2, thick * WallScale}, {a0 * WallScale * 2, thick * WallScale}, inward);
    for (int side = -1; side <= 1; side += 2) {
      float s0 = side * (w - g) / w, s1 = (float)side;
      Quad(ms.gold, at(a0, y0, s0), at(a1, y1, s0), at(a1, y1, s1), at(a0, y0, s1), {a0 * GoldScale, 0},
           {a1 * GoldScale, 0}, {a1 * GoldScale, 0.12f}, {a0 * GoldScale, 0.12f}, inward);
    }
  }
  // A gold cornice along the top of both faces.
  for (int side = -1; side <= 1; side += 2) {
    V3 front = n * (float)side;
    float a0 = -span / 2, a1 = span / 2;
    V3 o = n * (side * 1.5f);
    Quad(ms.gold, at(a0, ytop - 12, side) + o, at(a1, ytop - 12, side) + o, at(a1, ytop - 6, side) + o,
         at(a0, ytop - 6, side) + o, {a0 * GoldScale, 0}, {a1 * GoldScale, 0}, {a1 * GoldScale, 0.25f},
         {a0 * GoldScale, 0.25f}, front);
    Quad(ms.gold, at(a0, ytop - 12, side), at(a1, ytop - 12, side), at(a1, ytop - 12, side) + o,
         at(a0, ytop - 12, side) + o, {a0 * GoldScale, 0}, {a1 * GoldScale, 0}, {a1 * GoldScale, 0.06f},
         {a0 * GoldScale, 0.06f}, {0, -1, 0});
  }
}

struct LightSource {
  V3 at;
  Colour colour;
  float multiplier, inner, outer, radius;
};

// A torch on a wall or pier: bracket, cup and crossed flames; `out` points away from the
// wall. Returns the light it gives.
LightSource Torch(Meshes& ms, V3 at, V3 out) {
  V3 side{out.z, 0, -out.x};
  V3 tip = at + out * 6;
  // Bracket: a short gold arm from the wall to the cup.
  V3 a0 = at + side * 0.8f, a1 = at - side * 0.8f;
  V3 b0 = tip + side * 0.8f + V3{0, -2, 0}, b1 = tip - side * 0.8f + V3{0, -2, 0};
  Quad(ms.fixtures, a0 + V3{0, -4, 0}, a1 + V3{0, -4, 0}, b1, b0, {0, 0}, {0.1f, 0}, {0.1f, 0.3f}, {0, 0.3f},
       {0, 1, 0});
  Quad(ms.fixtures, a0 + V3{0, -4, 0}, a1 + V3{0, -4, 0}, b1 + V3{0, -1.5f, 0}, b0 + V3{0, -1.5f, 0}, {0, 0},
       {0.1f, 0}, {0.1f, 0.3f}, {0, 0.3f}, {0, -1, 0});
  AddCylinder(ms.fixtures, tip + V3{0, -2, 0}, 5, 1.2f, 3.2f, 8, GoldScale, true);
  // Flames: two crossed quads above the cup.
  V3 c = tip + V3{0, 3, 0};
  for (int k = 0; k < 2; k++) {
    V3 w = k == 0 ? out * 3.5f : side * 3.5f;
    V3 p0 = c - w, p1 = c + w, p2 = c + w + V3{0, 13, 0}, p3 = c - w + V3{0, 13, 0};
    uint16_t i0 = Vtx(ms.flames, p0, {0, 1}), i1 = Vtx(ms.flames, p1, {1, 1}), i2 = Vtx(ms.flames, p2, {1, 0}),
             i3 = Vtx(ms.flames, p3, {0, 0});
    ms.flames.faces.push_back({i0, i1, i2});
    ms.flames.faces.push_back({i0, i2, i3});
  }
  return {c + V3{0, 6, 0} + out * 1.5f, Colour{1.0f, 0.62f, 0.3f}, 1.0f, 15, 150, 2.5f};
}

// A tall arched window glowing on a wall (its pane a little in front of it) in a gold frame;
// returns the cool light it lets in.
LightSource Window(Meshes& ms, V3 centreBottom, V3 inward, float width, float height) {
  V3 side{inward.z, 0, -inward.x};
  V3 b = centreBottom + inward * 0.4f;
  V3 p0 = b - side * (width / 2), p1 = b + side * (width / 2);
  V3 up{0, height, 0};
  Quad(ms.windows, p0, p1, p1 + up, p0 + up, {0, 1}, {1, 1}, {1, 0}, {0, 0}, inward);
  // Gold frame around the pane.
  V3 f = inward * 0.6f;
  float g = 2.5f;
  Quad(ms.gold, p0 - side * g + V3{0, -g, 0} + f, p1 + side * g + V3{0, -g, 0} + f, p1 + side * g + f, p0 - side * g + f,
       {0, 0}, {width * GoldScale, 0}, {width * GoldScale, 0.1f}, {0, 0.1f}, inward);
  Quad(ms.gold, p0 - side * g + up + f, p1 + side * g + up + f, p1 + side * g + up + V3{0, g, 0} + f,
       p0 - side * g + up + V3{0, g, 0} + f, {0, 0}, {width * GoldScale, 0}, {width * GoldScale, 0.1f}, {0, 0.1f},
       inward);
  for (int e = -1; e <= 1; e += 2) {
    V3 q = b + side * (e * width / 2);
    Quad(ms.gold, q + f, q + side * (e * g) + f, q + side * (e * g) + up + f, q + up + f, {0, 0}, {0.1f, 0},
         {0.1f, height * GoldScale}, {0, height * GoldScale}, inward);
  }
  return {b + up * 0.55f + inward * 12, Colour{0.55f, 0.65f, 0.95f}, 0.4f, 20, 140, 10};
}

// A light shaft: a slanting additive quad from the upper part of a window to the floor.
void LightShaft(Meshes& ms, V3 windowBottom, V3 inward, float width, float height, float floorY, float reach) {
  V3 side{inward.z, 0, -inward.x};
  V3 t0 = windowBottom + V3{0, height * 0.9f, 0} - side * (width * 0.45f) + inward * 0.8f;
  V3 t1 = windowBottom + V3{0, height * 0.9f, 0} + side * (width * 0.45f) + inward * 0.8f;
  V3 l0 = windowBottom - side * (width * 0.6f) + inward * reach, l1 = windowBottom + side * (width * 0.6f) + inward * reach;
  l0.y = l1.y = floorY + 0.5f;
  uint16_t a = Vtx(ms.shafts, t0, {0, 0}), b = Vtx(ms.shafts, t1, {1, 0}), c = Vtx(ms.shafts, l1, {1, 1}),
           d = Vtx(ms.shafts, l0, {0, 1});
  ms.shafts.faces.push_back({a, b, c});
  ms.shafts.faces.push_back({a, c, d});
}

// A banner hanging on a wall from a gold rod; `at` is the middle of its top edge.
void Banner(Meshes& ms, V3 at, V3 inward, float width, float height) {
  V3 side{inward.z, 0, -inward.x};
  V3 top = at + inward * 1.2f;
  V3 p0 = top - side * (width / 2), p1 = top + side * (width / 2), down{0, -height, 0};
  Quad(ms.banners, p0, p1, p1 + down, p0 + down, {0, 0}, {1, 0}, {1, 1}, {0, 1}, inward);
  V3 r = side * (width / 2 + 2.5f);
  Box(ms.fixtures, Min(top - r, top + r) + V3{-0.8f, -0.8f, -0.8f},
      Max(top - r, top + r) + V3{0.8f, 0.8f, 0.8f}, GoldScale);
}

// A brazier: three legs, a gold bowl and its flames.
LightSource Brazier(Meshes& ms, V3 at) {
  for (int k = 0; k < 3; k++) {
    float a = 2 * Pi * k / 3;
    V3 foot = at + V3{std::cos(a) * 7, 0, std::sin(a) * 7};
    Shaft(ms.gold, foot, 30, 1.0f, 0.7f, 5, GoldScale, 30);
  }
  // The bowl casts no shadow: the fire stands above its rim.
  AddCylinder(ms.fixtures, at + V3{0, 28, 0}, 7, 3, 9, 14, GoldScale, true);
  V3 c = at + V3{0, 33, 0};
  for (int k = 0; k < 3; k++) {
    float a = Pi * k / 3;
    V3 w{std::cos(a) * 7, 0, std::sin(a) * 7};
    V3 p0 = c - w, p1 = c + w, p2 = c + w + V3{0, 20, 0}, p3 = c - w + V3{0, 20, 0};
    uint16_t i0 = Vtx(ms.flames, p0, {0, 1}), i1 = Vtx(ms.flames, p1, {1, 1}), i2 = Vtx(ms.flames, p2, {1, 0}),
             i3 = Vtx(ms.flames, p3, {0, 0});
    ms.flames.faces.push_back({i0, i1, i2});
    ms.flames.faces.push_back({i0, i2, i3});
  }
  return {at + V3{0, 44, 0}, Colour{1.0f, 0.58f, 0.26f}, 1.1f, 20, 170, 4};
}

// ---------------------------------------------------------------------------------------
// The building.

void BuildPalace(BakeScene& scene) {
  Meshes ms;
  std::vector<LightSource> lights;
  const V3 px{1, 0, 0}, nx{-1, 0, 0}, pz{0, 0, 1}, nz{0, 0, -1};

  // --- Gallery: nave and aisles, z from the north end wall to the crossing's south wall.
  Floor(ms.floor, -AisleOuter, CrossSouth, AisleOuter, GalleryNorth, GalleryFloor, FloorScale);
  Ceiling(ms.ceiling, -AisleOuter, CrossSouth, AisleOuter, GalleryNorth, GalleryCeiling, CeilingScale);
  // Carpet down the middle of the nave, ending before the crossing.
  {
    float x0 = -14, x1 = 14, z0 = -200, z1 = GalleryNorth;
    float y = GalleryFloor + 0.25f;
    int n = (int)std::ceil((z1 - z0) / Tile);
    for (int k = 0; k < n; k++) {
      float za = z1 - (z1 - z0) * k / n, zb = z1 - (z1 - z0) * (k + 1) / n;
      Quad(ms.carpet, {x0, y, za}, {x1, y, za}, {x1, y, zb}, {x0, y, zb}, {0, za / 28}, {1, za / 28}, {1, zb / 28},
           {0, zb / 28}, {0, 1, 0});
    }
  }
  // North end wall and the crossing's south wall.
  Wall(ms.walls, {-AisleOuter, 0, GalleryNorth}, {AisleOuter, 0, GalleryNorth}, GalleryFloor, GalleryCeiling, nz);
  Wall(ms.walls, {-AisleOuter, 0, CrossSouth}, {AisleOuter, 0, CrossSouth}, GalleryFloor, GalleryCeiling, pz);
  // West outer wall, whole length; east outer wall with the corridor's opening.
  Wall(ms.walls, {-AisleOuter, 0, CrossSouth}, {-AisleOuter, 0, GalleryNorth}, GalleryFloor, GalleryCeiling, px);
  Wall(ms.walls, {AisleOuter, 0, CorridorNorth}, {AisleOuter, 0, GalleryNorth}, GalleryFloor, GalleryCeiling, nx);
  Wall(ms.walls, {AisleOuter, 0, CrossSouth}, {AisleOuter, 0, CorridorSouth}, GalleryFloor, GalleryCeiling, nx);
  Wall(ms.walls, {AisleOuter, 0, CorridorSouth}, {AisleOuter, 0, CorridorNorth}, CorridorCeiling, GalleryCeiling, nx);
  // Skirting: a low gold band along the aisle walls.
  for (int e = -1; e <= 1; e += 2) {
    float x = e * (AisleOuter - 0.5f);
    V3 front{(float)-e, 0, 0};
    Wall(ms.gold, {x, 0, (e < 0 ? CrossSouth : CorridorNorth)}, {x, 0, GalleryNorth}, GalleryFloor, GalleryFloor + 4,
         front, GoldScale);
  }
  // Arcades.
  const float colHeight = 70, springY = GalleryFloor + colHeight;
  for (int e = -1; e <= 1; e += 2) {
    float x = e * NaveHalf;
    for (int k = 0; k < GalleryColumns; k++) {
      float z = FirstColumnZ - ColumnStep * k;
      Column(ms, {x, GalleryFloor, z}, colHeight);
      if (k + 1 < GalleryColumns)
        Arch(ms, {x, 0, z}, {x, 0, z - ColumnStep}, springY, GalleryCeiling, 12, 8.5f);
    }
    // The arcade wall's end over the last column, and its piece back to the north wall.
    float zl = FirstColumnZ - ColumnStep * (GalleryColumns - 1);
    Quad(ms.walls, {x - 6, springY, zl}, {x + 6, springY, zl}, {x + 6, GalleryCeiling, zl}, {x - 6, GalleryCeiling, zl},
         {0, 0}, {12 * WallScale, 0}, {12 * WallScale, 0.5f}, {0, 0.5f}, nz);
    for (int side = -1; side <= 1; side += 2)
      Wall(ms.walls, {x + side * 6.0f, 0, FirstColumnZ}, {x + side * 6.0f, 0, GalleryNorth}, springY, GalleryCeiling,
           {(float)side, 0, 0});
    Box(ms.walls, {x - 6, springY, FirstColumnZ}, {x + 6, springY + 0.01f, GalleryNorth}, WallScale, 8 | 1 | 2 | 16 | 32);
  }
  // Torches on the nave side of every other column, alternating sides; windows in the
  // aisle walls between the others.
  for (int k = 0; k < GalleryColumns; k++) {
    float z = FirstColumnZ - ColumnStep * k;
    int e = (k % 2 == 0) ? -1 : 1;
    lights.push_back(Torch(ms, {e * (NaveHalf - 6.0f), GalleryFloor + 48, z}, {(float)-e, 0, 0}));
    if (k + 1 < GalleryColumns && k % 2 == 0) {
      for (int w = -1; w <= 1; w += 2)
        Banner(ms, {w * AisleOuter, GalleryFloor + 100, z - ColumnStep / 2}, {(float)-w, 0, 0}, 20, 56);
    }
    if (k + 1 < GalleryColumns && k % 2 == 1) {
      for (int w = -1; w <= 1; w += 2) {
        V3 bottom{w * AisleOuter, GalleryFloor + 30, z - ColumnStep / 2};
        V3 in{(float)-w, 0, 0};
        // No shafts here: seen edge-on down the nave through the fog they would be streaks.
        lights.push_back(Window(ms, bottom, in, 22, 90));
      }
    }
  }
  // The crossing: a great window in the south wall, two on the west wall, torches by the
  // corridor's opening.
  {
    V3 bottom{0, GalleryFloor + 12, CrossSouth};
    lights.push_back(Window(ms, bottom, pz, 44, 105));
    lights.back().multiplier = 0.8f;
    LightShaft(ms, bottom, pz, 44, 105, GalleryFloor, 110);
    for (float z : {-250.0f, -330.0f}) {
      V3 wb{-AisleOuter, GalleryFloor + 30, z};
      lights.push_back(Window(ms, wb, px, 24, 90));
    }
    lights.push_back(Torch(ms, {AisleOuter, GalleryFloor + 60, CorridorNorth + 14}, nx));
    lights.push_back(Torch(ms, {AisleOuter, GalleryFloor + 60, CorridorSouth - 14}, nx));
  }

  // --- Corridor and staircase down to the hall.
  Floor(ms.floor, AisleOuter, CorridorSouth, StairTop, CorridorNorth, GalleryFloor, FloorScale);
  Ceiling(ms.ceiling, AisleOuter, CorridorSouth, HallWest, CorridorNorth, CorridorCeiling, CeilingScale);
  Wall(ms.walls, {AisleOuter, 0, CorridorNorth}, {StairTop, 0, CorridorNorth}, GalleryFloor, CorridorCeiling, nz);
  Wall(ms.walls, {AisleOuter, 0, CorridorSouth}, {StairTop, 0, CorridorSouth}, GalleryFloor, CorridorCeiling, pz);
  Wall(ms.walls, {StairTop, 0, CorridorNorth}, {HallWest, 0, CorridorNorth}, 0, CorridorCeiling, nz);
  Wall(ms.walls, {StairTop, 0, CorridorSouth}, {HallWest, 0, CorridorSouth}, 0, CorridorCeiling, pz);
  // Pilasters along the corridor, torches on them.
  for (float x : {140.0f, 220.0f}) {
    for (int e = -1; e <= 1; e += 2) {
      float zw = e < 0 ? CorridorSouth : CorridorNorth;
      V3 in{0, 0, (float)-e};
      Box(ms.walls, {x - 8, GalleryFloor, std::min(zw, zw + in.z * 5)}, {x + 8, CorridorCeiling, std::max(zw, zw + in.z * 5)},
          WallScale, 4 | 8 | (e < 0 ? 16 : 32));
      Box(ms.gold, {x - 9, CorridorCeiling - 8, std::min(zw, zw + in.z * 6)},
          {x + 9, CorridorCeiling - 3, std::max(zw, zw + in.z * 6)}, GoldScale, e < 0 ? 16 : 32);
      lights.push_back(Torch(ms, {x, GalleryFloor + 55, zw + in.z * 5}, in));
    }
  }
  // Steps: ten risers of 4 going down towards +X, a tread after each but the last (the
  // hall's floor); the stone under them is never seen.
  for (int k = 0; k < 10; k++) {
    float x = StairTop + StepRun * k, y = GalleryFloor - StepRise * k, low = y - StepRise;
    Quad(ms.stairs, {x, y, CorridorSouth}, {x, low, CorridorSouth}, {x, low, CorridorNorth}, {x, y, CorridorNorth},
         {0, y * FloorScale}, {0, low * FloorScale}, {1.25f, low * FloorScale}, {1.25f, y * FloorScale}, px);
    if (k < 9)
      Plane(ms.stairs, {x, low, CorridorNorth}, {StepRun, 0, 0}, {0, 0, CorridorSouth - CorridorNorth}, 50, FloorScale);
    // Gold nosing along the step's edge.
    Quad(ms.gold, {x + 0.02f, y, CorridorSouth}, {x + 0.02f, y - 1.2f, CorridorSouth},
         {x + 0.02f, y - 1.2f, CorridorNorth}, {x + 0.02f, y, CorridorNorth}, {0, 0}, {0, 0.05f}, {4, 0.05f}, {4, 0},
         px);
  }
  lights.push_back(Torch(ms, {StairTop + 40, 62, CorridorNorth}, nz));
  lights.push_back(Torch(ms, {StairTop + 40, 62, CorridorSouth}, pz));

  // --- The orb hall.
  Floor(ms.floor, StairBottom, HallSouth, HallEast, HallNorth, 0, FloorScale);
  Ceiling(ms.ceiling, HallWest, HallSouth, HallEast, HallNorth, HallCeiling, CeilingScale);
  Wall(ms.walls, {HallWest, 0, HallSouth}, {HallWest, 0, CorridorSouth}, 0, HallCeiling, px);
  Wall(ms.walls, {HallWest, 0, CorridorNorth}, {HallWest, 0, HallNorth}, 0, HallCeiling, px);
  Wall(ms.walls, {HallWest, 0, CorridorSouth}, {HallWest, 0, CorridorNorth}, CorridorCeiling, HallCeiling, px);
  Wall(ms.walls, {HallEast, 0, HallSouth}, {HallEast, 0, HallNorth}, 0, HallCeiling, nx);
  Wall(ms.walls, {HallWest, 0, HallNorth}, {HallEast, 0, HallNorth}, 0, HallCeiling, nz);
  Wall(ms.walls, {HallWest, 0, HallSouth}, {HallEast, 0, HallSouth}, 0, HallCeiling, pz);
  // The octagon of columns and arches around the dais.
  const float ringHeight = 90;
  std::vector<V3> ring;
  for (int k = 0; k < 8; k++) {
    float a = (22.5f + 45.0f * k) * Pi / 180;
    ring.push_back(HallCentre + V3{std::cos(a) * RingRadius, 0, std::sin(a) * RingRadius});
  }
  for (int k = 0; k < 8; k++) {
    Column(ms, ring[k], ringHeight);
    Arch(ms, ring[k], ring[(k + 1) % 8], ringHeight, HallCeiling, 12, 8.5f);
  }
  // Round dais of two steps under the orb.
  AddCylinder(ms.stairs, HallCentre, 4, 46, 46, 32, FloorScale, false);
  AddCylinder(ms.stairs, HallCentre + V3{0, 4, 0}, 4, 34, 34, 32, FloorScale, false);
  {
    // The dais tops as rings of tiles, so their light maps stay small.
    auto disc = [&](float y, float r0, float r1, int segs) {
      for (int k = 0; k < segs; k++) {
        float a0 = 2 * Pi * k / segs, a1 = 2 * Pi * (k + 1) / segs;
        V3 i0 = HallCentre + V3{std::cos(a0) * r0, y, std::sin(a0) * r0};
        V3 i1 = HallCentre + V3{std::cos(a1) * r0, y, std::sin(a1) * r0};
        V3 o0 = HallCentre + V3{std::cos(a0) * r1, y, std::sin(a0) * r1};
        V3 o1 = HallCentre + V3{std::cos(a1) * r1, y, std::sin(a1) * r1};
        auto uv = [](V3 p) { return UV{p.x * FloorScale, p.z * FloorScale}; };
        if (r0 <= 0)
          Tri(ms.stairs, i0, o0, o1, uv(i0), uv(o0), uv(o1), {0, 1, 0});
        else
          Quad(ms.stairs, i0, o0, o1, i1, uv(i0), uv(o0), uv(o1), uv(i1), {0, 1, 0});
      }
    };
    disc(4, 34, 46, 32);
    disc(8, 16, 34, 24);
    disc(8, 0, 16, 12);
    AddCylinder(ms.gold, HallCentre + V3{0, 7.8f, 0}, 0.5f, 34.3f, 34.3f, 32, GoldScale, false);
    AddCylinder(ms.gold, HallCentre + V3{0, 3.8f, 0}, 0.5f, 46.3f, 46.3f, 32, GoldScale, false);
  }
  // The orb's own glow, braziers, torches and windows on the walls.
  // The braziers stand outside the ring, where they never come between the camera and the orb.
  for (int k = 0; k < 4; k++) {
    float a = (45.0f + 90.0f * k) * Pi / 180;
    lights.push_back(Brazier(ms, HallCentre + V3{std::cos(a) * 124, 0, std::sin(a) * 124}));
  }
  lights.push_back({OrbPlace, Colour{1.0f, 0.6f, 0.55f}, 1.0f, 20, 160, 3});
  for (float z : {-370.0f, -300.0f, -230.0f}) {
    V3 wb{HallEast, 50, z};
    lights.push_back(Window(ms, wb, nx, 30, 120));
    LightShaft(ms, wb, nx, 30, 120, 0, 110);
  }
  for (float x : {480.0f, 600.0f}) {
    lights.push_back(Torch(ms, {x, 75, HallNorth}, nz));
    lights.push_back(Torch(ms, {x, 75, HallSouth}, pz));
  }
  for (float z : {-400.0f, -200.0f}) lights.push_back(Torch(ms, {HallWest, 75, z}, px));
  Banner(ms, {540, 140, HallNorth}, nz, 26, 76);
  Banner(ms, {540, 140, HallSouth}, pz, 26, 76);
  for (float z : {-335.0f, -265.0f}) Banner(ms, {HallEast, 150, z}, nx, 22, 64);

  // Meshes in list order.
  struct Entry {
    BakeMesh* mesh;
    const char* name;
    const char* material;
  };
  const Entry entries[] = {
      {&ms.floor, "floor", MatFloor},        {&ms.walls, "walls", MatWall},
      {&ms.ceiling, "ceiling", MatCeiling},  {&ms.columns, "columns", MatColumn},
      {&ms.gold, "gold", MatGold},           {&ms.stairs, "stairs", MatFloor},
      {&ms.carpet, "carpet", MatCarpet},     {&ms.fixtures, "fixtures", MatGold},
      {&ms.flames, "%flames", MatFlame},     {&ms.windows, "%windows", MatWindow},
      {&ms.shafts, "%shafts", MatShaft},     {&ms.banners, "%%banners", MatBanner},
  };
  for (const Entry& e : entries) {
    BakeMesh m = std::move(*e.mesh);
    m.name = e.name;
    m.material = e.material;
    m.pivot = {0, 0, 0};
    if (m.name[0] == '%') m.castsShadow = false;
    if (m.name == "fixtures") m.castsShadow = false;
    if (m.name == "carpet") m.castsShadow = false;
    AddMeshSplit(scene, std::move(m));
  }
  for (size_t i = 0; i < lights.size(); i++) {
    BakeLight l;
    l.name = "light" + std::to_string(i + 1);
    l.position = lights[i].at;
    l.colour = lights[i].colour;
    l.multiplier = lights[i].multiplier;
    l.innerRange = lights[i].inner;
    l.outerRange = lights[i].outer;
    l.radius = lights[i].radius;
    scene.lights.push_back(l);
  }
  scene.ambient = {0.05f, 0.035f, 0.025f};
}

// ---------------------------------------------------------------------------------------
// The camera: a path given by way points in seconds, smoothed, sampled into keys.

struct WayPoint {
  float t;
  V3 p;
};

V3 Piecewise(const std::vector<WayPoint>& w, float t) {
  if (t <= w.front().t) return w.front().p;
  for (size_t i = 1; i < w.size(); i++)
    if (t <= w[i].t) return LerpV(w[i - 1].p, w[i].p, (t - w[i - 1].t) / (w[i].t - w[i - 1].t));
  return w.back().p;
}

// The polyline averaged over a window of +-`half` seconds: rounds the corners and eases
// the speed changes.
V3 Smoothed(const std::vector<WayPoint>& w, float t, float half) {
  V3 sum;
  const int n = 24;
  for (int i = 0; i <= n; i++) sum += Piecewise(w, t - half + 2 * half * i / n);
  return sum * (1.0f / (n + 1));
}

V3 OrbitEye(float t) {
  // From 40 s on: round the orb, starting west of it, slowly closing in and rising.
  float a = (180.0f - (t - 40.0f) * 10.5f) * Pi / 180;
  float r = 80.0f - (t - 40.0f) * 0.8f;
  float y = 52.0f + (t - 40.0f) * 0.7f;
  return {OrbPlace.x + std::cos(a) * r, y, OrbPlace.z + std::sin(a) * r};
}

std::vector<WayPoint> EyePath() {
  std::vector<WayPoint> w = {
      {-4.0f, {0, 80, 470}},       {0.0f, {0, 80, 400}},       {6.0f, {10, 84, 270}},
      {12.0f, {-8, 92, 130}},      {18.0f, {6, 86, -10}},      {23.0f, {0, 82, -160}},
      {26.5f, {-5, 80, -285}},     {29.5f, {100, 78, -300}},   {33.0f, {220, 80, -300}},
      {35.0f, {290, 78, -300}},    {37.5f, {385, 52, -300}},   {40.0f, OrbitEye(40.0f)},
  };
  for (float t = 41.0f; t <= 58.0f; t += 1.0f) w.push_back({t, OrbitEye(t)});
  return w;
}

V3 EyeAt(float t) {
  static const std::vector<WayPoint> path = EyePath();
  // The orbit is already smooth: smooth the travelling part only, blending into it.
  V3 travel = Smoothed(path, t, 1.6f);
  if (t <= 40.0f) return travel;
  float k = Smoothstep(40.0f, 42.0f, t);
  return LerpV(travel, OrbitEye(t), k);
}

V3 TargetAt(float t) {
  V3 ahead = EyeAt(t + 2.2f);
  V3 look = ahead + V3{0, -4, 0};
  // Looking ahead along the path, then turning to the orb as the camera comes into the hall.
  float k = Smoothstep(35.5f, 39.0f, t);
  return LerpV(look, OrbPlace, k);
}

void BuildCamera(BakeScene& scene) {
  // Key k at frame 10 k is second (k - 1) * 51.5 / 40: key 1 starts the scene and key 41
  // (count - 3) ends it, keys 0, 42 and 43 only shape the curve's ends.
  BakeCamera cam;
  cam.name = "camera";
  const int keys = 44;
  for (int k = 0; k < keys; k++) {
    float t = (k - 1) * 51.5f / 40;
    cam.eye.push_back({10 * k, EyeAt(t)});
    cam.target.push_back({10 * k, TargetAt(t)});
  }
  scene.cameras.push_back(cam);
  scene.frameCount = 10 * (keys - 1);
}

// ---------------------------------------------------------------------------------------
// Pictures. Lit by light maps that can only darken, so they are painted near full light.

float Wrap01(float v) { return v - std::floor(v); }

// Veins of marble: thin bright or dark lines along the ridges of folded noise.
float Veins(float u, float v, int period, uint32_t seed) {
  float warp = Fbm(u * period, v * period, period, period, 4, 0.5f, seed + 7);
  float r = RidgedFbm(u * period + warp * 0.8f, v * period - warp * 0.6f, period, period, 5, 0.55f, seed);
  return std::pow(Clamp01(r), 7.0f);
}

Image PaintFloor() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      int tx = x / 256, ty = y / 256;
      bool dark = (tx + ty) % 2 == 1;
      float veins = Veins(u, v, 4, dark ? 91 : 37);
      float cloud = Fbm(u * 6, v * 6, 6, 6, 4, 0.5f, 55) * 0.5f + 0.5f;
      Colour c;
      if (!dark) {
        c = Mix(Colour{0.93f, 0.88f, 0.78f}, Colour{0.82f, 0.76f, 0.66f}, cloud);
        c = Mix(c, Colour{0.45f, 0.40f, 0.36f}, veins * 0.8f);
      } else {
        c = Mix(Colour{0.55f, 0.14f, 0.11f}, Colour{0.38f, 0.08f, 0.07f}, cloud);
        c = Mix(c, Colour{0.90f, 0.78f, 0.66f}, veins * 0.7f);
      }
      // Joints between the slabs, a thin dark line with a bevel beside it.
      float lx = (float)(x % 256), ly = (float)(y % 256);
      float edge = std::min({lx, 255 - lx, ly, 255 - ly});
      c = c * (0.82f + 0.18f * Smoothstep(1.0f, 5.0f, edge));
      if (edge < 1.5f) c = Colour{0.16f, 0.12f, 0.09f};
      // Gold diamonds where four slabs meet.
      float ccx = (x % 256 < 128) ? (float)(x % 256) : (float)(x % 256) - 256;
      float ccy = (y % 256 < 128) ? (float)(y % 256) : (float)(y % 256) - 256;
      float dia = std::fabs(ccx) + std::fabs(ccy);
      if (dia < 22) {
        float g = 0.8f + 0.2f * std::sin(dia * 0.6f);
        c = dia < 19 ? Colour{0.85f * g, 0.64f * g, 0.28f * g} : Colour{0.2f, 0.14f, 0.08f};
      }
      img.At(x, y) = c;
    }
  return img;
}

Image PaintStone() {
  const int size = 512;
  Image img(size, size);
  const int rows = 8, rowH = size / rows;
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      int row = y / rowH;
      int blockW = 128;
      int shift = (row % 2) * 64;
      int bx = ((x + shift) % size) / blockW;
      float lx = (float)((x + shift) % blockW), ly = (float)(y % rowH);
      uint32_t h = Hash(bx, row, 811);
      float tint = (h & 255) / 255.0f;
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float grain = Fbm(u * 16, v * 16, 16, 16, 4, 0.5f, 13) * 0.5f + 0.5f;
      float pits = Fbm(u * 48, v * 48, 48, 48, 2, 0.5f, 17);
      Colour base = Mix(Colour{0.86f, 0.74f, 0.57f}, Colour{0.74f, 0.60f, 0.44f}, tint);
      Colour c = base * (0.85f + 0.22f * grain) * (1.0f - 0.1f * std::max(0.0f, pits));
      float edge = std::min({lx, blockW - 1 - lx, ly, rowH - 1 - ly});
      c = c * (0.78f + 0.22f * Smoothstep(0.0f, 6.0f, edge));
      // Lit upper edge, shaded lower edge: the blocks stand out a little.
      if (ly < 4 && edge >= 2) c = c * 1.08f;
      if (edge < 2.0f) c = Colour{0.36f, 0.30f, 0.24f} * (0.9f + 0.2f * grain);
      img.At(x, y) = c;
    }
  return img;
}

Image PaintColumn() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float veins = Veins(u, v, 3, 211);
      float cloud = Fbm(u * 5, v * 5, 5, 5, 4, 0.5f, 77) * 0.5f + 0.5f;
      Colour c = Mix(Colour{0.95f, 0.90f, 0.86f}, Colour{0.86f, 0.76f, 0.72f}, cloud);
      c = Mix(c, Colour{0.55f, 0.42f, 0.42f}, veins * 0.7f);
      // Flutes: 24 grooves round the shaft, shaded on one flank.
      float f = Wrap01(u * 24);
      float groove = std::sin(f * Pi);
      float flank = 0.5f + 0.5f * std::cos(f * 2 * Pi + 0.8f);
      c = c * (0.72f + 0.2f * groove + 0.1f * flank);
      img.At(x, y) = c;
    }
  return img;
}

Image PaintGold() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float n = Fbm(u * 8, v * 8, 8, 8, 4, 0.5f, 303) * 0.5f + 0.5f;
      // Mouldings: horizontal bands of a profile, each band a bright crest.
      float band = Wrap01(v * 4);
      float crest = std::pow(std::sin(band * Pi), 0.6f);
      // Beads along every other band, egg shapes along the others.
      int bi = (int)(v * 4);
      float bead;
      if (bi % 2 == 0) {
        float bu = Wrap01(u * 16) - 0.5f, bv = band - 0.5f;
        bead = Clamp01(1 - (bu * bu + bv * bv) * 5);
      } else {
        float bu = Wrap01(u * 8) - 0.5f, bv = (band - 0.5f) * 0.8f;
        float egg = bu * bu * 4 + bv * bv * 6;
        bead = Clamp01(1 - egg) * (egg < 0.9f ? 1.0f : 0.0f);
        if (std::fabs(bu) > 0.43f) bead = -0.5f;  // the dart between the eggs
      }
      float light = 0.5f + 0.3f * crest + 0.35f * bead + 0.15f * (n - 0.5f);
      Colour c = Ramp{{0.0f, {0.25f, 0.14f, 0.04f}},
                      {0.45f, {0.70f, 0.48f, 0.16f}},
                      {0.75f, {0.96f, 0.78f, 0.36f}},
                      {1.0f, {1.0f, 0.95f, 0.75f}}}(light);
      img.At(x, y) = c;
    }
  return img;
}

Image PaintCeiling() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float lx = (float)(x % 256) + 0.5f, ly = (float)(y % 256) + 0.5f;
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float n = Fbm(u * 8, v * 8, 8, 8, 4, 0.5f, 404) * 0.5f + 0.5f;
      float edge = std::min({lx, 256 - lx, ly, 256 - ly});
      Colour c;
      if (edge < 22) {
        // The beams between the coffers: painted stone with a gold fillet.
        c = Colour{0.72f, 0.60f, 0.45f} * (0.85f + 0.25f * n);
        if (edge > 16 && edge < 20) c = Colour{0.92f, 0.72f, 0.32f};
      } else if (edge < 50) {
        // Stepped sides of the coffer, lit from one side.
        float step = std::floor((edge - 22) / 9);
        bool lit = (lx < ly) == (lx < 256 - ly);
        float shade = lit ? 0.9f : 0.6f;
        c = Colour{0.66f, 0.52f, 0.38f} * (shade * (1.0f - 0.08f * step)) * (0.9f + 0.2f * n);
        if (std::fmod(edge - 22, 9.0f) < 1.2f) c = Colour{0.85f, 0.66f, 0.30f};
      } else {
        // The panel: deep blue, with a gold rosette.
        c = Colour{0.16f, 0.22f, 0.38f} * (0.85f + 0.3f * n);
        float dx = lx - 128, dy = ly - 128;
        float r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
        float petal = 28 + 10 * std::cos(a * 8);
        if (r < petal) {
          float g = 0.7f + 0.3f * std::cos(r * 0.35f);
          c = Colour{0.92f * g, 0.70f * g, 0.30f * g};
        } else if (r < petal + 2) {
          c = Colour{0.25f, 0.16f, 0.08f};
        }
        // Gold stars scattered on the blue.
        uint32_t h = Hash((int)(lx / 16), (int)(ly / 16), 405);
        float sx = (h & 15) - 7.5f + 8, sy = ((h >> 4) & 15) - 7.5f + 8;
        float ddx = std::fmod(lx, 16.0f) - sx, ddy = std::fmod(ly, 16.0f) - sy;
        if (r > petal + 6 && (h >> 8) % 3 == 0 && std::fabs(ddx) + std::fabs(ddy) < 2.2f)
          c = Colour{0.95f, 0.80f, 0.45f};
      }
      img.At(x, y) = c;
    }
  return img;
}

Image PaintCarpet() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float n = Fbm(u * 32, v * 32, 32, 32, 3, 0.5f, 606) * 0.5f + 0.5f;
      Colour red = Colour{0.62f, 0.07f, 0.07f} * (0.85f + 0.25f * n);
      Colour gold{0.92f, 0.70f, 0.28f};
      Colour c = red;
      float side = std::min(u, 1 - u);
      if (side < 0.04f) c = Colour{0.25f, 0.04f, 0.04f};
      else if (side < 0.1f) c = gold * (0.85f + 0.2f * n);
      else if (side < 0.12f) c = Colour{0.3f, 0.05f, 0.04f};
      else {
        // A lozenge down the middle, repeating along the runner.
        float du = std::fabs(u - 0.5f) * 2, dv = std::fabs(Wrap01(v) - 0.5f) * 2;
        float d = du / 0.7f + dv;
        if (std::fabs(d - 0.7f) < 0.06f) c = gold * 0.9f;
        else if (d < 0.35f) c = Colour{0.85f, 0.55f, 0.2f} * (0.8f + 0.2f * n);
        else if (std::fabs(d - 0.5f) < 0.04f) c = Colour{0.2f, 0.05f, 0.1f};
      }
      img.At(x, y) = c;
    }
  return img;
}

Image PaintFlame() {
  const int size = 128;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size;  // v 0 at the tip
      float wob = Fbm(u * 2, v * 3, 4, 4, 3, 0.5f, 707) * 0.18f;
      float width = 0.55f * std::pow(Clamp01(v), 0.7f) * (1 - Smoothstep(0.8f, 1.0f, v) * 0.6f);
      float d = std::fabs(u + wob * v) / std::max(0.02f, width);
      float body = (1 - Smoothstep(0.55f, 1.0f, d)) * Smoothstep(0.02f, 0.25f, v) * (1 - Smoothstep(0.9f, 1.0f, v));
      float core = (1 - Smoothstep(0.0f, 0.5f, d)) * Smoothstep(0.35f, 0.8f, v);
      Colour c = Colour{0.9f, 0.35f, 0.05f} * body + Colour{0.2f, 0.5f, 0.45f} * (core * body);
      img.At(x, y) = c;
    }
  return img;
}

Image PaintWindow() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      // Arched top: the pane is the rectangle below v 0.25 and the half disc above it.
      float du = (u - 0.5f) / 0.46f;
      bool inside = std::fabs(du) < 1 && v < 0.985f && (v > 0.25f || du * du + std::pow((0.25f - v) / 0.23f, 2.0f) < 1);
      Colour c;
      if (inside) {
        // Leaded diamonds, mullions and a transom.
        float a = u * 10 + v * 6, b = u * 10 - v * 6;
        float la = std::fabs(Wrap01(a) - 0.5f), lb = std::fabs(Wrap01(b) - 0.5f);
        float lead = std::min(la, lb);
        uint32_t h = Hash((int)std::floor(a), (int)std::floor(b), 909);
        Colour glass{0.55f, 0.66f, 0.9f};
        if (h % 7 == 0) glass = {0.9f, 0.65f, 0.3f};
        else if (h % 7 == 1) glass = {0.35f, 0.45f, 0.95f};
        else if (h % 7 == 2) glass = {0.75f, 0.3f, 0.35f};
        float bright = 0.75f + 0.25f * ((h >> 8) & 255) / 255.0f;
        bright *= 0.7f + 0.3f * (1 - v);
        c = glass * bright;
        if (lead > 0.47f) c = c * 0.15f;
        if (std::fabs(u - 0.5f) < 0.012f || (std::fabs(v - 0.55f) < 0.01f)) c = {0.02f, 0.02f, 0.02f};
      }
      img.At(x, y) = c;
    }
  return img;
}

Image PaintShaft() {
  const int size = 128;
  Image img(size, size);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float across = std::pow(std::sin(u * Pi), 2.0f);
      float streak = 0.7f + 0.3f * Fbm(u * 8, 0.5f, 8, 8, 3, 0.5f, 1001);
      float along = (1 - v * 0.85f) * Smoothstep(0.0f, 0.08f, v);
      float k = 0.15f * across * streak * along;
      img.At(x, y) = Colour{0.75f, 0.8f, 1.0f} * k;
    }
  return img;
}

// The banner's cloth and its cut-out: a swallowtailed hem, folds, a gold border and sun.
float BannerCover(float u, float v) {
  float hem = 0.86f + 0.12f * std::fabs(u - 0.5f) * 2;
  return (u > 0.03f && u < 0.97f && v < hem) ? 1.0f : 0.0f;
}

Image PaintBanner(bool mask) {
  const int w = 128, h = 256;
  Image img(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      float cover = BannerCover(u, v);
      if (mask) {
        // The show makes bright mask pixels transparent and dark ones opaque.
        img.At(x, y) = Colour{1 - cover, 1 - cover, 1 - cover};
        continue;
      }
      float fold = 0.78f + 0.22f * std::sin(u * 2 * Pi * 3 + 0.4f);
      float weave = Fbm(u * 16, v * 32, 16, 32, 3, 0.5f, 1201) * 0.06f;
      Colour c = Colour{0.58f, 0.06f, 0.08f} * (fold + weave);
      Colour gold = Colour{0.95f, 0.74f, 0.30f} * (0.8f + 0.2f * fold);
      float hem = 0.86f + 0.12f * std::fabs(u - 0.5f) * 2;
      float inset = std::min({u - 0.03f, 0.97f - u, hem - v});
      if (inset < 0.035f || (inset > 0.05f && inset < 0.06f)) c = gold;
      if (v < 0.06f) c = gold * 0.9f;
      // The sun: a disc with twelve rays, in gold.
      float dx = (u - 0.5f) * w, dy = (v - 0.38f) * h;
      float r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
      float ray = 28 + 8 * std::cos(a * 12);
      if (r < 15) c = gold * (0.85f + 0.15f * std::cos(r * 0.5f));
      else if (r < 17) c = Colour{0.3f, 0.03f, 0.04f};
      else if (r < ray && r > 19) c = gold * 0.9f;
      if (cover <= 0) c = Colour{};
      img.At(x, y) = c;
    }
  return img;
}

}  // namespace

// The palace's geometry, lights and camera, before any lighting is baked (the content test
// walks the camera through it).
void BuildPalaceScene(BakeScene* scene) {
  BuildPalace(*scene);
  BuildCamera(*scene);
}

bool BakePalace(BakeOutput& out, std::string* error) {
  BakeScene scene;
  BuildPalaceScene(&scene);
  LightBakeOptions options;
  options.lightMaps = true;
  options.texelSize = 4.0f;
  options.shadowSamples = 4;
  options.aoRays = 12;
  options.aoDistance = 40;
  options.lightMapShadowSamples = 2;
  options.lightMapAoRays = 6;
  options.exposure = 1.0f;
  if (!AddSceneMembers(out, "maps/palace", scene, &options, error)) return false;
  AddJpegMember(out, MatFloor, PaintFloor());
  AddJpegMember(out, MatWall, PaintStone());
  AddJpegMember(out, MatColumn, PaintColumn());
  AddJpegMember(out, MatGold, PaintGold());
  AddJpegMember(out, MatCeiling, PaintCeiling());
  AddJpegMember(out, MatCarpet, PaintCarpet());
  AddJpegMember(out, MatFlame, PaintFlame());
  AddJpegMember(out, MatWindow, PaintWindow());
  AddJpegMember(out, MatShaft, PaintShaft());
  AddJpegMember(out, MatBanner, PaintBanner(false));
  AddJpegMember(out, MaskName(MatBanner), PaintBanner(true));
  return true;
}
