// tools/bake/scenes/avion.cpp - the night bomber of the opening flight (maps/avion.3ds) and
// its material pictures.
//
// The show draws these meshes in world coordinates with their textures only (no lighting
// file, no vertex colours), so every picture carries its own light: each piece is a
// parametric surface, its mesh samples the surface and its picture is painted by
// evaluating the same surface at every texel, shading the texel by the surface normal there
// under a fixed moon. Pieces that meet (the fuselage sections) are painted from one shader
// in world space, so their pictures agree along the joins.
//
// Layout, in scene space (Y up, nose towards +Z): fuselage from z = -37 to 42.5, a swept
// low wing of 70 units span, six jet pods hung under it whose nozzles end just ahead of the
// six fire points of the flight (x = +-12, +-20, +-26, y = -7, z = -18, -19, -25), a swept
// fin and tailplane, the glazed canopy and turrets and the polished leading edges as '?'
// meshes that take the streaming clouds. The smoke point (0, -5, -38) lies under the tail
// turret, and the plane holds still at the origin: the clouds do the moving.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tools/bake/noise.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"
#include "tools/bake/text.h"

namespace {

// ---------------------------------------------------------------------------------------
// Parametric surfaces: a point for every (u, v) in [0, 1]^2, and a point inside the body
// that the surface faces away from (for the winding of its faces and for its normals).

struct Surface {
  std::function<V3(float, float)> at;
  std::function<V3(float, float)> inside;
};

V3 SurfaceNormal(const Surface& s, float u, float v) {
  const float e = 1e-3f;
  float u0 = std::max(0.0f, u - e), u1 = std::min(1.0f, u + e);
  float v0 = std::max(0.0f, v - e), v1 = std::min(1.0f, v + e);
  V3 p = s.at(u, v), out = p - s.inside(u, v);
  V3 n = Cross(s.at(u1, v) - s.at(u0, v), s.at(u, v1) - s.at(u, v0));
  // Poles and closed tips have no tangent plane of their own: face straight out there.
  if (Length(n) < 1e-7f) n = out;
  n = Normalize(n);
  return Dot(n, out) < 0 ? -n : n;
}

// Samples the surface at the given parameters; the texture coordinates are (u, v) scaled
// by `uvScale` (1 for surfaces whose picture spans them once).
void AddSurface(BakeMesh& m, const Surface& s, const std::vector<float>& us, const std::vector<float>& vs,
                UV uvScale = {1, 1}) {
  size_t base = m.vertices.size();
  for (float v : vs)
    for (float u : us) {
      m.vertices.push_back(s.at(u, v));
      m.uvs.push_back({u * uvScale.u, v * uvScale.v});
    }
  size_t row = us.size();
  for (size_t j = 0; j + 1 < vs.size(); j++)
    for (size_t i = 0; i + 1 < us.size(); i++) {
      uint16_t a = (uint16_t)(base + j * row + i), b = (uint16_t)(a + 1);
      uint16_t d = (uint16_t)(a + row), c = (uint16_t)(d + 1);
      float um = 0.5f * (us[i] + us[i + 1]), vm = 0.5f * (vs[j] + vs[j + 1]);
      V3 out = s.at(um, vm) - s.inside(um, vm);
      for (std::array<uint16_t, 3> f : {std::array<uint16_t, 3>{a, b, c}, std::array<uint16_t, 3>{a, c, d}}) {
        V3 pa = m.vertices[f[0]], pb = m.vertices[f[1]], pc = m.vertices[f[2]];
        V3 n = Cross(pb - pa, pc - pa);
        if (Length(n) < 1e-6f) continue;  // collapsed at a pole
        if (Dot(n, out) < 0) std::swap(f[1], f[2]);
        m.faces.push_back(f);
      }
    }
}

std::vector<float> Even(float a, float b, int n) {
  std::vector<float> out;
  for (int i = 0; i <= n; i++) out.push_back(a + (b - a) * i / n);
  return out;
}

// Samples crowded towards both ends (edges and tips, where the shape turns fastest).
std::vector<float> Cosine(float a, float b, int n) {
  std::vector<float> out;
  for (int i = 0; i <= n; i++) out.push_back(a + (b - a) * 0.5f * (1 - std::cos(Pi * i / n)));
  return out;
}

std::vector<float> Join(std::vector<float> a, const std::vector<float>& b) {
  for (float x : b)
    if (a.empty() || x > a.back() + 1e-6f) a.push_back(x);
  return a;
}

// The mirror image across x = 0 (the other wing), faces turned to keep facing out.
BakeMesh Mirrored(const BakeMesh& m, const std::string& name) {
  BakeMesh r = m;
  r.name = name;
  for (V3& p : r.vertices) p.x = -p.x;
  for (auto& f : r.faces) std::swap(f[1], f[2]);
  return r;
}

// ---------------------------------------------------------------------------------------
// The shapes.

// Fuselage cross-section at z: half-width, heights above and below the centre line, centre.
struct Section {
  float halfWidth, top, bottom, centre;
};

const float NoseZ = 42.5f, TailZ = -37.0f;

Section FuselageAt(float z) {
  const float r = 4.2f, top = 4.4f;
  if (z > 29.0f) {
    float s = std::min(1.0f, (z - 29.0f) / (NoseZ - 29.0f));
    float f = std::sqrt(std::max(0.0f, 1 - std::pow(s, 2.3f)));
    return {r * f, top * f, r * f, -0.9f * s * s};
  }
  if (z < -15.0f) {
    float s = std::min(1.0f, (-15.0f - z) / (-15.0f - TailZ));
    return {r * (1 - 0.7f * std::pow(s, 1.3f)), top * (1 - 0.62f * std::pow(s, 1.2f)),
            r * (1 - 0.74f * std::pow(s, 1.1f)), -0.6f * s};
  }
  return {r, top, r, 0};
}

// u runs round from the belly (u = 0) by the left side (+X, u = 0.25) over the top (0.5).
V3 FuselagePoint(float u, float z) {
  Section c = FuselageAt(z);
  float a = 2 * Pi * u, x = std::sin(a), y = -std::cos(a);
  float h = y > 0 ? c.top : c.bottom;
  // A slightly squared section: fuller shoulders than an ellipse.
  float sx = x < 0 ? -std::pow(-x, 0.85f) : std::pow(x, 0.85f);
  float sy = y < 0 ? -std::pow(-y, 0.9f) : std::pow(y, 0.9f);
  return {c.halfWidth * sx, c.centre + h * sy, z};
}

Surface FuselageSurface(float z0, float z1) {
  return {[=](float u, float v) { return FuselagePoint(u, z0 + (z1 - z0) * v); },
          [=](float, float v) {
            float z = z0 + (z1 - z0) * v;
            return V3{0, FuselageAt(z).centre, z - (z > 40 ? 3.0f : 0.0f)};
          }};
}

// A wing-like surface: leading edge from rootLE to tipLE, chord running towards -Z, a
// symmetric section whose thickness lies along `thick` (Y for wings, X for the fin).
// u runs from the trailing edge over the `thick` side to the leading edge (u = 0.5) and
// back under the other side; v from root to tip. The last few per cent of span round off.
struct Foil {
  V3 rootLE, tipLE;
  float rootChord, tipChord, rootThickness, tipThickness;  // thickness as a fraction of chord
  V3 thick{0, 1, 0};
};

float FoilHalfThickness(float c) {
  c = std::clamp(c, 0.0f, 1.0f);
  return 5 * (0.2969f * std::sqrt(c) - 0.126f * c - 0.3516f * c * c + 0.2843f * c * c * c - 0.1036f * c * c * c * c);
}

float FoilChordAt(float u) { return u < 0.5f ? 1 - 2 * u : 2 * u - 1; }

V3 FoilPoint(const Foil& f, float u, float v) {
  float c = FoilChordAt(u);
  float chord = Lerp(f.rootChord, f.tipChord, v), t = Lerp(f.rootThickness, f.tipThickness, v);
  // The section thins to nothing over the last few per cent, closing the tip.
  float round = v > 0.95f ? std::sqrt(std::max(0.0f, 1 - std::pow((v - 0.95f) / 0.05f, 2.0f))) : 1.0f;
  float side = u < 0.5f ? 1.0f : -1.0f;
  return LerpV(f.rootLE, f.tipLE, v) + V3{0, 0, -c * chord} + f.thick * (side * FoilHalfThickness(c) * t * chord * round);
}

Surface FoilSurface(const Foil& f) {
  return {[f](float u, float v) { return FoilPoint(f, u, v); },
          [f](float u, float v) {
            float chord = Lerp(f.rootChord, f.tipChord, v);
            return LerpV(f.rootLE, f.tipLE, v) + V3{0, 0, -FoilChordAt(u) * chord} - V3{0, 0, 0.001f};
          }};
}

// Parameters (u) of the foil's surfaces with samples crowded at both edges.
std::vector<float> FoilUs(float u0, float u1, int n) { return Cosine(u0, u1, n); }

const Foil MainWing{{0, -3.2f, 6.0f}, {35.0f, -2.5f, -14.0f}, 21.0f, 7.0f, 0.12f, 0.08f};
const Foil Tailplane{{0, 0.8f, -24.0f}, {13.0f, 1.6f, -31.5f}, 9.0f, 4.0f, 0.1f, 0.08f};
const Foil TailFin{{0, 1.2f, -17.0f}, {0, 16.0f, -31.0f}, 17.0f, 6.0f, 0.09f, 0.07f, {1, 0, 0}};

// The leading-edge strip of a wing: the part of the section ahead of this chord fraction.
const float EdgeChord = 0.09f;

// Height of the wing's middle plane at span x.
float WingMidY(float x) {
  float v = x / MainWing.tipLE.x;
  return Lerp(MainWing.rootLE.y, MainWing.tipLE.y, v);
}

// The six pods: x of the axis, z of the intake and of the nozzle; the fire points lie one
// unit behind the nozzles.
struct Pod {
  float x, front, exit;
};
const float PodY = -7.0f, PodRadius = 1.75f;
const Pod Pods[6] = {{12, 1.8f, -17.0f}, {20, -2.8f, -18.0f}, {26, -6.3f, -24.0f},
                     {-12, 1.8f, -17.0f}, {-20, -2.8f, -18.0f}, {-26, -6.3f, -24.0f}};

// The pod's profile, radius against distance aft of the intake, through a smooth curve:
// spinner, fan face, duct, lip, cowling, nozzle and exhaust cone. Knots 3 to 5 are the
// polished lip. Returned as (radius, 0, z).
V3 PodProfile(const Pod& p, float s) {
  float L = p.front - p.exit;
  const float pts[][2] = {{0.0f, -1.7f},  {0.45f, -1.55f}, {1.2f, -1.3f},  {1.32f, -0.25f},
                          {1.48f, 0.0f},  {1.66f, -0.55f}, {PodRadius, -0.22f * L}, {1.7f, -0.6f * L},
                          {1.32f, -L + 1.1f}, {1.2f, -L}, {1.0f, -L + 0.35f}, {0.55f, -L + 1.1f},
                          {0.0f, -L + 0.6f}};
  const int n = 13;
  float t = std::clamp(s, 0.0f, 1.0f) * (n - 1);
  int k = std::min(n - 2, (int)t);
  float f = t - k;
  auto P = [&](int i) {
    i = std::clamp(i, 0, n - 1);
    return std::array<float, 2>{pts[i][0], pts[i][1]};
  };
  std::array<float, 2> a = P(k - 1), b = P(k), c = P(k + 1), d = P(k + 2);
  float out[2];
  for (int i = 0; i < 2; i++)
    out[i] = 0.5f * (2 * b[i] + (c[i] - a[i]) * f + (2 * a[i] - 5 * b[i] + 4 * c[i] - d[i]) * f * f +
                     (3 * b[i] - a[i] - 3 * c[i] + d[i]) * f * f * f);
  return {std::max(0.0f, out[0]), 0, p.front + out[1]};
}
const float PodLip0 = 3.0f / 12, PodLip1 = 5.0f / 12;

// u round the pod (from below, by +X over the top), v along the profile.
Surface PodSurface(const Pod& p) {
  return {[p](float u, float v) {
            V3 rz = PodProfile(p, v);
            float a = 2 * Pi * u;
            return V3{p.x + rz.x * std::sin(a), PodY - rz.x * std::cos(a), rz.z};
          },
          [p](float, float v) { return V3{p.x, PodY, PodProfile(p, v).z}; }};
}

// The pylon of a pod: a thin section from inside the pod up into the wing; its leading edge
// slopes back from the pod's nose to behind the wing's leading edge.
Surface PylonSurface(const Pod& p) {
  float ax = std::fabs(p.x), v = ax / MainWing.tipLE.x;
  float wingLE = Lerp(MainWing.rootLE.z, MainWing.tipLE.z, v);
  float wingChord = Lerp(MainWing.rootChord, MainWing.tipChord, v);
  float y0 = PodY + PodRadius - 0.4f, y1 = WingMidY(ax);
  float bottomFront = p.front - 2.2f, bottomBack = p.exit + 5.0f;
  float topFront = wingLE - 0.8f, topBack = wingLE - 0.75f * wingChord;
  return {[=](float u, float h) {
            float front = Lerp(bottomFront, topFront, h), back = Lerp(bottomBack, topBack, h);
            float c = FoilChordAt(u), side = u < 0.5f ? 1.0f : -1.0f;
            return V3{p.x + side * FoilHalfThickness(c) * 0.28f, Lerp(y0, y1, h), front - c * (front - back)};
          },
          [=](float u, float h) {
            float front = Lerp(bottomFront, topFront, h), back = Lerp(bottomBack, topBack, h);
            return V3{p.x, Lerp(y0, y1, h), front - FoilChordAt(u) * (front - back)};
          }};
}

// An ellipsoidal shell: centre, radii, and the range of its polar angle (0 = along +axis).
// u runs round the axis, v from the pole outwards.
Surface Dome(V3 centre, V3 radii, int axis, float polarEnd) {
  return {[=](float u, float v) {
            float pol = polarEnd * v, az = 2 * Pi * u;
            float a = std::cos(pol), b = std::sin(pol) * std::cos(az), c = std::sin(pol) * std::sin(az);
            V3 d = axis == 1 ? V3{b, a, c} : axis == 2 ? V3{c, b, a} : V3{a, b, c};
            if (axis == -1) d = V3{b, -a, c};
            if (axis == -2) d = V3{c, b, -a};
            return centre + V3{d.x * radii.x, d.y * radii.y, d.z * radii.z};
          },
          [=](float, float) { return centre; }};
}

// A tube from a to b (a cylinder of radius r0 at a, r1 at b); u round, v along.
Surface Tube(V3 a, V3 b, float r0, float r1) {
  V3 axis = Normalize(b - a);
  V3 side = Normalize(Cross(axis, std::fabs(axis.y) < 0.9f ? V3{0, 1, 0} : V3{1, 0, 0}));
  V3 up = Cross(side, axis);
  return {[=](float u, float v) {
            float ang = 2 * Pi * u;
            return LerpV(a, b, v) + (side * std::cos(ang) + up * std::sin(ang)) * Lerp(r0, r1, v);
          },
          [=](float, float v) { return LerpV(a, b, v); }};
}

// The canopy: a blister on the fuselage's back, u across (left base to right base), v from
// its back to its front.
const float CanopyBack = 22.5f, CanopyFront = 33.0f;
float CanopyBase(float z) { return FuselagePoint(0.5f, z).y - 0.9f; }
Surface CanopySurface() {
  return {[](float u, float v) {
            float z = Lerp(CanopyBack, CanopyFront, v);
            // Rises gently from the back, steepest at the windscreen near the front.
            // Sines and cosines at the ends come out a hair below zero; powers of those are
            // not numbers, so they are clamped first.
            float shape = v < 0.72f ? std::pow(std::max(0.0f, std::sin(0.5f * Pi * v / 0.72f)), 0.55f)
                                    : std::pow(std::max(0.0f, std::cos(0.5f * Pi * (v - 0.72f) / 0.28f)), 0.7f);
            float w = 2.3f * std::max(0.15f, shape), h = 0.9f + 1.5f * shape;
            float a = Pi * u;
            return V3{w * std::cos(a), CanopyBase(z) + h * std::pow(std::max(0.0f, std::sin(a)), 0.8f), z};
          },
          [](float, float v) {
            float z = Lerp(CanopyBack, CanopyFront, v);
            return V3{0, CanopyBase(z) - 0.5f, z};
          }};
}

// ---------------------------------------------------------------------------------------
// Light and paint.

const V3 Moon = Normalize({0.45f, 0.8f, 0.4f});
const V3 FillLight = Normalize({-0.75f, 0.25f, 0.15f});

// The light falling on a surface of normal n: cold moonlight from above on the left, a dim
// glow of the clouds from the other side and below, and the sky's blue from above.
Colour Moonlit(V3 n) {
  float moon = std::max(0.0f, Dot(n, Moon)), fill = std::max(0.0f, Dot(n, FillLight));
  float sky = 0.5f + 0.5f * n.y;
  return Colour{0.8f, 0.86f, 1.0f} * (0.95f * moon) + Colour{0.38f, 0.42f, 0.55f} * (0.8f * fill) +
         Colour{0.22f, 0.25f, 0.32f} * (0.42f * sky + 0.12f);
}

// A broad sheen towards the moon, for polished and painted metal.
float Sheen(V3 n, float power) {
  V3 half = Normalize(Moon + V3{0, 0, 1} * 0.3f + V3{0, 0.3f, 0});
  return std::pow(std::max(0.0f, Dot(n, half)), power);
}

// Antialiased line weight at distance d from a line of half-width w, texel size px.
float LineAt(float d, float w, float px) { return 1 - Smoothstep(w, w + px, std::fabs(d)); }

// Distance to the nearest multiple of `step` (offset by `phase`).
float GridDistance(float x, float step, float phase = 0) {
  float f = (x - phase) / step;
  return (f - std::round(f)) * step;
}

// A mask of lettering laid over a rectangle of surface coordinates (a, b): a to the right,
// b up, `unitsWide` by `unitsHigh` around its centre.
struct Decal {
  Mask mask;
  float unitsWide, unitsHigh;
  float Sample(float a, float b) const {
    float x = (a / unitsWide + 0.5f) * mask.width - 0.5f, y = (0.5f - b / unitsHigh) * mask.height - 0.5f;
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = x - x0, fy = y - y0;
    return Lerp(Lerp(mask.Get(x0, y0), mask.Get(x0 + 1, y0), fx), Lerp(mask.Get(x0, y0 + 1), mask.Get(x0 + 1, y0 + 1), fx),
                fy);
  }
};

Decal Lettering(const std::string& left, const std::string& right, float gapUnits, float unitsWide, float unitsHigh,
                float capUnits) {
  Decal d{Mask(512, (int)(512 * unitsHigh / unitsWide)), unitsWide, unitsHigh};
  float ppu = 512 / unitsWide;
  TextStyle style{FontStyle::SansCondensedBold, 0, 1, 0.05f};
  style.size = 100;
  style.size = 100 * capUnits * ppu / std::max(1.0f, CapHeight(style));
  float base = d.mask.height * 0.5f + capUnits * ppu * 0.5f;
  if (!left.empty()) DrawText(d.mask, style, left, 256 - gapUnits * ppu - MeasureText(style, left), base);
  if (!right.empty()) DrawText(d.mask, style, right, 256 + gapUnits * ppu, base);
  return d;
}

// A roundel in the night style: dull blue ring and dull red centre, no white.
Colour Roundel(Colour under, float r, float radius, float px) {
  float outer = 1 - Smoothstep(radius - px, radius, r);
  float inner = 1 - Smoothstep(radius * 0.45f - px, radius * 0.45f, r);
  Colour c = Mix(under, Colour{0.12f, 0.14f, 0.3f}, outer);
  return Mix(c, Colour{0.42f, 0.07f, 0.06f}, inner);
}

Image Paint(const Surface& s, int w, int h, const std::function<Colour(float, float, V3, V3)>& shade) {
  Image img(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
      img.At(x, y) = shade(u, v, s.at(u, v), SurfaceNormal(s, u, v));
    }
  return img;
}

Colour Clamp(Colour c) { return {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)}; }

// World-space fractal noise, periodic round the fuselage (angle a in turns).
float HullNoise(float turns, float z, float scale, uint32_t seed) {
  int period = std::max(1, (int)std::round(28 * scale));
  return Fbm((turns + 1) * period, (z + 200) * scale, period, 4096, 4, 0.5f, seed);
}

const Colour TopPaint{0.36f, 0.39f, 0.44f}, UnderPaint{0.075f, 0.075f, 0.085f};

// The fuselage, painted in world space. `px` is the texel size in units.
struct HullDecals {
  Decal codes;
};

Colour HullColour(const HullDecals& decals, V3 p, V3 n, float px) {
  Section c = FuselageAt(p.z);
  float turns = std::atan2(p.x, -(p.y - c.centre)) / (2 * Pi);  // 0 belly, +-0.5 top
  float up = (p.y - c.centre) / std::max(0.5f, c.top);
  // Night camouflage: black sides and belly, grey back, with a wavy line between them.
  float line = -0.05f + 0.12f * std::sin(p.z * 0.35f) + 0.06f * std::sin(p.z * 0.9f + 1.3f);
  float topness = Smoothstep(line - 0.04f, line + 0.04f, up);
  Colour albedo = Mix(UnderPaint, TopPaint, topness);
  float grime = HullNoise(turns, p.z, 0.35f, 3) * 0.5f + HullNoise(turns * 3, p.z * 0.12f, 1.0f, 4) * 0.5f;
  albedo = albedo * (0.92f + 0.16f * grime);
  // Rain streaks run aft.
  float streak = HullNoise(turns * 7, p.z * 0.05f, 2.0f, 5);
  albedo = albedo * (1 - 0.12f * Smoothstep(0.2f, 0.6f, streak));
  // Frames every 2 units and stringers every 1/16 turn, with rivet rows beside the frames.
  float around = turns * 2 * Pi * c.halfWidth;
  float frame = GridDistance(p.z, 2.0f, 0.3f), stringer = GridDistance(around, 2 * Pi * c.halfWidth / 16, 0);
  float seams = std::max(0.8f * LineAt(frame, 0.025f, px), 0.45f * LineAt(stringer, 0.02f, px));
  float rivets = LineAt(std::fabs(frame) - 0.14f, 0.02f, px) * LineAt(GridDistance(around, 0.3f), 0.04f, px);
  // Bomb bay doors under the middle, and the crew door on the left.
  bool belly = turns > -0.12f && turns < 0.12f;
  float bay = 0;
  if (belly && p.z > -8 && p.z < 14) {
    float edge = std::min(std::fabs(p.z + 8), std::fabs(p.z - 14));
    bay = std::max(LineAt(p.x, 0.04f, px), LineAt(std::fabs(p.x) - 1.7f, 0.04f, px));
    bay = std::max(bay, LineAt(edge, 0.05f, px));
    albedo = albedo * 0.8f;
  }
  float door = 0;
  if (p.x > 0 && p.z > -22 && p.z < -19 && up > -0.4f && up < 0.5f) {
    float dz = std::min(std::fabs(p.z + 22), std::fabs(p.z + 19)), dy = std::min(std::fabs(up + 0.4f), std::fabs(up - 0.5f));
    door = LineAt(std::min(dz, dy * c.top), 0.04f, px);
  }
  albedo = albedo * (1 - 0.32f * seams - 0.5f * std::max(bay, door)) + Colour{0.04f, 0.04f, 0.04f} * rivets;
  // Matt anti-glare panel ahead of the windscreen.
  if (p.z > 32.5f && p.z < 39 && up > 0.55f) albedo = Mix(albedo, Colour{0.04f, 0.04f, 0.05f}, Smoothstep(0.55f, 0.65f, up));
  // Exhaust and oil stains behind the wing root on the belly.
  albedo = albedo * (1 - 0.3f * Smoothstep(-0.3f, -0.8f, up) * Smoothstep(-4.0f, -14.0f, p.z) *
                             Smoothstep(-30.0f, -20.0f, p.z));
  // Code letters either side of a roundel on the rear fuselage; each side reads forwards.
  float a = p.x > 0 ? -(p.z + 12.5f) : (p.z + 12.5f);
  float b = p.y - 0.2f;
  float letters = std::fabs(p.x) > 1.0f ? decals.codes.Sample(a, b) : 0.0f;
  albedo = Mix(albedo, Colour{0.5f, 0.09f, 0.07f}, letters * 0.9f);
  if (std::fabs(p.x) > 1.0f) {
    float r = std::sqrt((p.z + 12.5f) * (p.z + 12.5f) + b * b);
    albedo = Roundel(albedo, r, 1.7f, px);
  }
  Colour lit = albedo * Moonlit(n) + Colour{0.5f, 0.55f, 0.65f} * (0.25f * Sheen(n, 12) * topness);
  // Crew windows: small round ports along both sides, a few of them lit from inside.
  const float ports[] = {15.5f, 17.6f, 19.7f, -16.5f};
  for (int i = 0; i < 4; i++) {
    float dz = p.z - ports[i], dy = p.y - 1.3f;
    float r = std::sqrt(dz * dz + dy * dy);
    if (std::fabs(p.x) < 2.5f) continue;
    float glass = 1 - Smoothstep(0.33f - px, 0.33f, r), ring = LineAt(r - 0.38f, 0.05f, px);
    bool litPort = (i % 2 == 0) == (p.x > 0);
    Colour inside = litPort ? Colour{1.0f, 0.78f, 0.42f} * (1.0f - 0.5f * r) : Colour{0.05f, 0.07f, 0.1f};
    lit = Mix(lit, inside, glass);
    lit = Mix(lit, Colour{0.02f, 0.02f, 0.02f}, ring * 0.7f);
  }
  return Clamp(lit);
}

// Wings and tailplane: c the chord fraction, upper or lower side, x the span station.
Colour WingColour(const Foil& f, float u, float v, V3 p, V3 n, float px, bool mainWing) {
  float c = FoilChordAt(u), x = std::fabs(p.x);
  bool upper = u < 0.5f;
  float chord = Lerp(f.rootChord, f.tipChord, v);
  Colour albedo = upper ? TopPaint : UnderPaint;
  float grime = Fbm(x * 0.4f, c * chord * 0.4f + 50, 4096, 4096, 4, 0.5f, upper ? 7 : 8);
  float streak = Fbm(x * 1.2f, c * chord * 0.06f + 50, 4096, 4096, 3, 0.5f, 9);
  albedo = albedo * (0.9f + 0.16f * grime) * (1 - 0.1f * Smoothstep(0.2f, 0.6f, streak));
  float cu = c * chord;  // distance aft of the leading edge
  float lines = 0;
  lines = std::max(lines, LineAt(GridDistance(x, 1.8f, 0.4f), 0.02f, px) * (c > 0.12f ? 0.6f : 0.0f));
  for (float s : {0.12f, 0.62f}) lines = std::max(lines, LineAt(cu - s * chord, 0.025f, px));
  // Flaps and ailerons: a hinge gap and the cuts between the panels.
  float hinge = chord * 0.76f;
  if (c > 0.74f) {
    lines = std::max(lines, LineAt(cu - hinge, 0.045f, px));
    const float cuts[] = {4.5f, 13.0f, 21.0f, 31.5f};
    for (float k : cuts)
      if (mainWing) lines = std::max(lines, LineAt(x - k, 0.05f, px));
  }
  albedo = albedo * (1 - 0.55f * lines);
  if (mainWing) {
    // Oil and soot behind the pods on the underside; walkway outline near the root on top.
    for (float e : {12.0f, 20.0f, 26.0f})
      if (!upper) albedo = albedo * (1 - 0.45f * (1 - Smoothstep(0.6f, 1.6f, std::fabs(x - e))) * Smoothstep(0.4f, 0.9f, c));
    if (upper && x > 3.2f && x < 8.5f && c > 0.2f && c < 0.6f) {
      float d = std::min(std::min(x - 3.2f, 8.5f - x), std::min(cu - 0.2f * chord, 0.6f * chord - cu));
      albedo = albedo + Colour{0.1f, 0.1f, 0.1f} * (LineAt(d, 0.05f, px) * (GridDistance(x + cu, 0.8f) > 0 ? 1.0f : 0.0f));
    }
    if (upper) {
      float dx = x - 25.5f, dz = cu - 0.42f * chord;
      albedo = Roundel(albedo, std::sqrt(dx * dx + dz * dz), 2.1f, px);
    }
  }
  Colour lit = albedo * Moonlit(n) + Colour{0.5f, 0.55f, 0.65f} * (upper ? 0.3f * Sheen(n, 10) : 0.0f);
  return Clamp(lit);
}

Colour FinColour(const Decal& code, float u, float v, V3 p, V3 n, float px) {
  float c = FoilChordAt(u);
  float chord = Lerp(TailFin.rootChord, TailFin.tipChord, v);
  Colour albedo = Mix(UnderPaint, TopPaint, 0.35f);
  albedo = albedo * (0.9f + 0.16f * Fbm(p.y * 0.5f + 40, p.z * 0.5f + 40, 4096, 4096, 4, 0.5f, 12));
  float cu = c * chord;
  float lines = std::max(LineAt(GridDistance(p.y, 1.6f, 0.5f), 0.02f, px) * 0.6f, LineAt(cu - 0.15f * chord, 0.025f, px));
  if (c > 0.7f) lines = std::max(lines, LineAt(cu - 0.72f * chord, 0.045f, px));  // rudder hinge
  albedo = albedo * (1 - 0.55f * lines);
  // A dull red band near the top and the squadron letter.
  if (p.y > 12.2f && p.y < 13.6f) albedo = Mix(albedo, Colour{0.4f, 0.07f, 0.06f}, 0.9f);
  float a = p.x > 0 ? -(p.z + 27.0f) : (p.z + 27.0f);
  albedo = Mix(albedo, Colour{0.55f, 0.52f, 0.42f}, 0.85f * code.Sample(a, p.y - 7.5f));
  return Clamp(albedo * Moonlit(n));
}

Colour PodColour(float u, float v, V3 n, float px) {
  float L = 17.0f;
  // Inside the intake: dark duct, a fan face with blades, a bright spinner point.
  if (v < 3.0f / 12) {
    float r = v / (3.0f / 12);
    Colour duct{0.05f, 0.05f, 0.06f};
    float blades = 0.5f + 0.5f * std::cos(2 * Pi * 23 * u + r * 3);
    if (r < 0.55f) return Mix(Colour{0.35f, 0.36f, 0.4f}, duct, Smoothstep(0.2f, 0.55f, r)) * (0.7f + 0.3f * blades);
    return duct * (0.8f + 0.4f * blades);
  }
  // The nozzle's inside: soot, with the dull orange of hot metal deep inside.
  if (v > 9.0f / 12 + 0.01f) {
    float deep = Smoothstep(10.0f / 12, 12.0f / 12, v);
    return Mix(Colour{0.07f, 0.06f, 0.06f}, Colour{0.75f, 0.32f, 0.08f}, deep * 0.85f);
  }
  float s = (v - 5.0f / 12) / (4.0f / 12);  // 0 behind the lip .. 1 at the nozzle
  Colour albedo = Mix(Colour{0.32f, 0.34f, 0.38f}, Colour{0.26f, 0.24f, 0.22f}, Smoothstep(0.55f, 1.0f, s));
  // Heat tint on the tail cone: bronze to blue.
  albedo = Mix(albedo, Colour{0.3f, 0.22f, 0.14f}, 0.6f * Smoothstep(0.75f, 0.9f, s));
  albedo = Mix(albedo, Colour{0.16f, 0.17f, 0.24f}, 0.6f * Smoothstep(0.9f, 1.0f, s));
  float z = s * L;
  float lines = std::max(LineAt(GridDistance(z, 3.4f, 1.2f), 0.03f, px), 0.7f * LineAt(GridDistance(u, 0.125f), 0.004f, px / 10));
  // An access panel on each side.
  if (z > 4 && z < 8) {
    float du = std::min(std::fabs(u - 0.22f), std::fabs(u - 0.78f));
    if (du < 0.07f) lines = std::max(lines, LineAt(du - 0.065f, 0.002f, px / 12));
  }
  albedo = albedo * (0.92f + 0.14f * Fbm(u * 16, v * 8, 16, 8, 4, 0.5f, 14)) * (1 - 0.55f * lines);
  // Streaks of soot and oil along the underside of the cowling.
  float under = Smoothstep(0.3f, 0.0f, std::min(u, 1 - u));
  albedo = albedo * (1 - 0.4f * under * Smoothstep(0.2f, 0.9f, s));
  return Clamp(albedo * Moonlit(n) + Colour{0.5f, 0.55f, 0.65f} * (0.3f * Sheen(n, 10)));
}

// Polished metal for the '?' edges, lips and nose cone: bright enough that the clouds
// sliding over it read as reflections, darker where it turns to the ground.
// The meshes that share it all run u round them with u = 0.5 on top (or on the leading
// edge), so the light is painted as a function of u alone.
Colour PolishedColour(float u, float v) {
  float streak = Fbm(u * 4, v * 32, 4, 32, 3, 0.5f, 15);
  float base = 0.6f + 0.08f * streak;
  float top = 0.5f + 0.5f * std::cos(2 * Pi * (u - 0.5f));
  float light = 0.45f + 0.55f * top + 0.3f * std::pow(top, 12.0f);
  return Clamp(Colour{0.88f, 0.9f, 0.96f} * (base * light));
}

// Glass: dark blue-grey panes that take the clouds, heavy frames, a faint green glow of
// instruments low inside. `bars` gives frame positions in u and v.
Colour GlassColour(float u, float v, V3 n, const std::vector<float>& ubars, const std::vector<float>& vbars, float pxu,
                   float pxv, float glow) {
  float frame = 0;
  for (float b : ubars) frame = std::max(frame, LineAt(u - b, 0.012f, pxu));
  for (float b : vbars) frame = std::max(frame, LineAt(v - b, 0.012f, pxv));
  float light = 0.62f + 0.38f * std::max(0.0f, Dot(n, Moon));
  Colour pane = Colour{0.62f, 0.7f, 0.82f} * light;
  pane += Colour{0.1f, 0.35f, 0.2f} * glow;
  Colour metal = Colour{0.14f, 0.15f, 0.17f} * (0.6f + 0.6f * std::max(0.0f, Dot(n, Moon)));
  return Clamp(Mix(pane, metal, frame));
}

Colour GunColour(float v, V3 n) {
  float ring = 0.9f + 0.1f * std::cos(2 * Pi * v * 24);
  return Clamp(Colour{0.2f, 0.2f, 0.22f} * ring * Moonlit(n) + Colour{0.3f, 0.3f, 0.32f} * Sheen(n, 16));
}

// ---------------------------------------------------------------------------------------
// The cameras: frames run 30 per second of flight from frame 30 (t = 0) to frame 930
// (t = 30), so camera 0 hands over at frame 300 (9 s) and camera 1 at frame 600 (19 s).

const int FlightStart = 30, FramesPerSecond = 30;
int FrameAt(float seconds) { return FlightStart + (int)std::lround(seconds * FramesPerSecond); }

BakeCamera Shot(const std::string& name, const std::vector<int>& frames, const std::vector<V3>& eyes,
                const std::vector<V3>& targets) {
  BakeCamera c;
  c.name = name;
  for (size_t i = 0; i < frames.size(); i++) {
    c.eye.push_back({frames[i], eyes[i]});
    c.target.push_back({frames[i], targets[i]});
  }
  return c;
}

// The plane's scene and, when `pictures` is given, its material pictures.
bool BuildAvionScene(BakeScene* scene, std::vector<std::pair<std::string, Image>>* pictures, std::string*) {
  BakeScene& s = *scene;
  s = BakeScene{};
  s.ambient = {0.2f, 0.2f, 0.25f};
  auto picture = [&](const std::string& name, Image img) {
    if (pictures) pictures->push_back({name, std::move(img)});
  };
  auto mesh = [&](const std::string& name, const std::string& material) {
    BakeMesh m;
    m.name = name;
    m.material = material;
    return m;
  };

  // Fuselage in three sections, each with its own picture at about 20 texels per unit.
  HullDecals decals{Lettering("VL", "2", 2.6f, 18, 4.5f, 2.3f)};
  struct HullPiece {
    const char* name;
    const char* material;
    float z0, z1;
    int stations;
  };
  const float RadomeZ = 40.6f;
  const HullPiece hull[] = {{"hull_tail", "maps/avion_hull_tail.jpg", TailZ, -8, 30},
                       {"hull_mid", "maps/avion_hull_mid.jpg", -8, 21, 26},
                       {"hull_nose", "maps/avion_hull_nose.jpg", 21, RadomeZ, 26}};
  const bool wantPictures = pictures != nullptr;
  for (const HullPiece& part : hull) {
    BakeMesh m = mesh(part.name, part.material);
    Surface surf = FuselageSurface(part.z0, part.z1);
    AddSurface(m, surf, Even(0, 1, 40), Even(0, 1, part.stations));
    s.meshes.push_back(std::move(m));
    if (wantPictures) {
      float px = std::max(2 * Pi * 4.2f / 512, (part.z1 - part.z0) / 512);
      picture(part.material, Paint(surf, 512, 512, [&](float, float, V3 p, V3 n) { return HullColour(decals, p, n, px); }));
    }
  }
  // Polished nose cone.
  {
    BakeMesh m = mesh("?radome", "maps/avion_polish.jpg");
    AddSurface(m, FuselageSurface(RadomeZ, NoseZ), Even(0, 1, 40), Cosine(0, 1, 6));
    s.meshes.push_back(std::move(m));
  }
  // Tail turret: a glazed dome closing the fuselage, with its guns.
  Section tail = FuselageAt(TailZ);
  {
    BakeMesh m = mesh("?turret_tail", "maps/avion_glass.jpg");
    float mid = tail.centre + 0.5f * (tail.top - tail.bottom);
    AddSurface(m, Dome({0, mid, TailZ}, {tail.halfWidth, 0.5f * (tail.top + tail.bottom), 2.4f}, -2, Pi / 2),
               Even(0, 1, 20), Even(0, 1, 8));
    s.meshes.push_back(std::move(m));
  }
  {
    BakeMesh m = mesh("?turret_top", "maps/avion_glass.jpg");
    AddSurface(m, Dome({0, 3.9f, 11.0f}, {1.7f, 1.5f, 1.7f}, 1, Pi / 2), Even(0, 1, 20), Even(0, 1, 8));
    s.meshes.push_back(std::move(m));
  }
  {
    BakeMesh m = mesh("?turret_belly", "maps/avion_glass.jpg");
    AddSurface(m, Dome({0, -3.7f, -6.0f}, {1.5f, 1.3f, 1.5f}, -1, Pi / 2), Even(0, 1, 20), Even(0, 1, 8));
    s.meshes.push_back(std::move(m));
  }
  {
    BakeMesh m = mesh("guns", "maps/avion_gun.jpg");
    auto gun = [&](V3 a, V3 b, float r) { AddSurface(m, Tube(a, b, r, r * 0.8f), Even(0, 1, 8), Even(0, 1, 1)); };
    for (float x : {-0.45f, 0.45f}) {
      gun({x, tail.centre + 0.1f, TailZ - 1.5f}, {x, tail.centre - 0.1f, TailZ - 6.0f}, 0.13f);
      gun({x, 4.9f, 11.5f}, {x, 5.2f, 16.5f}, 0.13f);
      gun({x, -4.6f, -6.5f}, {x, -4.9f, -11.5f}, 0.13f);
    }
    // Radio mast and pitot tube.
    AddSurface(m, Tube({0, 4.3f, 19.0f}, {0, 6.4f, 17.5f}, 0.16f, 0.05f), Even(0, 1, 6), Even(0, 1, 1));
    AddSurface(m, Tube({1.0f, -0.6f, 40.0f}, {1.0f, -0.8f, 44.5f}, 0.07f, 0.05f), Even(0, 1, 6), Even(0, 1, 1));
    s.meshes.push_back(std::move(m));
  }
  // Canopy.
  {
    BakeMesh m = mesh("?canopy", "maps/avion_canopy.jpg");
    Surface surf = CanopySurface();
    AddSurface(m, surf, Even(0, 1, 18), Cosine(0, 1, 20));
    s.meshes.push_back(std::move(m));
    if (wantPictures)
      picture("maps/avion_canopy.jpg", Paint(surf, 256, 256, [](float u, float v, V3, V3 n) {
                // Bars: the spine, two side rails, frames along the length, a heavy windscreen frame.
                Colour c = GlassColour(u, v, n, {0.5f, 0.2f, 0.8f}, {0.18f, 0.36f, 0.54f, 0.7f, 0.78f}, 1.0f / 256,
                                       1.0f / 256, 0.25f * Smoothstep(0.5f, 0.75f, v) * (1 - Smoothstep(0.0f, 0.3f, std::fabs(u - 0.5f) - 0.15f)));
                float base = std::min(u, 1 - u);
                return Mix(c, Colour{0.1f, 0.1f, 0.12f}, 1 - Smoothstep(0.04f, 0.06f, base));
              }));
  }

  // Wings: main surfaces and polished leading edges.
  const float edge0 = 0.5f - EdgeChord / 2, edge1 = 0.5f + EdgeChord / 2;
  {
    Surface wing = FoilSurface(MainWing);
    std::vector<float> spans = Join(Even(0, 0.9f, 24), Cosine(0.9f, 1.0f, 6));
    BakeMesh m = mesh("wing_left", "maps/avion_wing.jpg");
    AddSurface(m, wing, FoilUs(0, edge0, 12), spans);
    AddSurface(m, wing, FoilUs(edge1, 1, 12), spans);
    s.meshes.push_back(m);
    s.meshes.push_back(Mirrored(m, "wing_right"));
    BakeMesh e = mesh("?edge_left", "maps/avion_polish.jpg");
    AddSurface(e, wing, Cosine(edge0, edge1, 8), spans);
    s.meshes.push_back(e);
    s.meshes.push_back(Mirrored(e, "?edge_right"));
    if (wantPictures)
      picture("maps/avion_wing.jpg", Paint(wing, 512, 512, [](float u, float v, V3 p, V3 n) {
                return WingColour(MainWing, u, v, p, n, 35.0f / 512, true);
              }));
  }
  {
    Surface stab = FoilSurface(Tailplane);
    std::vector<float> spans = Join(Even(0, 0.9f, 8), Cosine(0.9f, 1.0f, 4));
    BakeMesh m = mesh("tailplane_left", "maps/avion_tailplane.jpg");
    AddSurface(m, stab, Join(FoilUs(0, 0.5f, 10), FoilUs(0.5f, 1, 10)), spans);
    s.meshes.push_back(m);
    s.meshes.push_back(Mirrored(m, "tailplane_right"));
    if (wantPictures)
      picture("maps/avion_tailplane.jpg", Paint(stab, 256, 256, [](float u, float v, V3 p, V3 n) {
                return WingColour(Tailplane, u, v, p, n, 13.0f / 256, false);
              }));
  }
  {
    Surface fin = FoilSurface(TailFin);
    std::vector<float> spans = Join(Even(0, 0.9f, 12), Cosine(0.9f, 1.0f, 4));
    BakeMesh m = mesh("fin", "maps/avion_fin.jpg");
    AddSurface(m, fin, FoilUs(0, edge0, 10), spans);
    AddSurface(m, fin, FoilUs(edge1, 1, 10), spans);
    s.meshes.push_back(m);
    BakeMesh e = mesh("?edge_fin", "maps/avion_polish.jpg");
    AddSurface(e, fin, Cosine(edge0, edge1, 6), spans);
    s.meshes.push_back(e);
    if (wantPictures) {
      Decal code = Lettering("", "", 0, 16, 8, 4);
      TextStyle style{FontStyle::SansCondensedBold, 100, 1, 0};
      float ppu = 512 / 16.0f;
      style.size = 100 * 3.6f * ppu / CapHeight(style);
      DrawText(code.mask, style, "K", 256, code.mask.height * 0.5f + 1.8f * ppu, true);
      picture("maps/avion_fin.jpg", Paint(fin, 256, 512, [&](float u, float v, V3 p, V3 n) {
                return FinColour(code, u, v, p, n, 17.0f / 256);
              }));
    }
  }

  // Pods, their polished intake lips and their pylons.
  {
    BakeMesh lips = mesh("?intakes", "maps/avion_polish.jpg");
    BakeMesh pylons = mesh("pylons", "maps/avion_pylon.jpg");
    std::vector<float> around = Even(0, 1, 20);
    for (int i = 0; i < 6; i++) {
      Surface pod = PodSurface(Pods[i]);
      BakeMesh m = mesh("engine_" + std::to_string(i + 1), "maps/avion_engine.jpg");
      AddSurface(m, pod, around, Even(0, PodLip0, 5));
      AddSurface(m, pod, around, Even(PodLip1, 1, 28));
      s.meshes.push_back(std::move(m));
      AddSurface(lips, pod, around, Even(PodLip0, PodLip1, 5));
      AddSurface(pylons, PylonSurface(Pods[i]), FoilUs(0, 1, 14), Even(0, 1, 3));
    }
    s.meshes.push_back(std::move(lips));
    s.meshes.push_back(std::move(pylons));
    if (wantPictures) {
      picture("maps/avion_engine.jpg",
              Paint(PodSurface(Pods[2]), 256, 512, [](float u, float v, V3, V3 n) { return PodColour(u, v, n, 17.0f / 512); }));
      picture("maps/avion_pylon.jpg", Paint(PylonSurface(Pods[0]), 128, 128, [](float, float, V3 p, V3 n) {
                Colour albedo = Mix(UnderPaint, TopPaint, 0.3f) * (1 - 0.5f * LineAt(GridDistance(p.z, 2.5f), 0.03f, 0.08f));
                return Clamp(albedo * Moonlit(n));
              }));
    }
  }

  // Navigation lights: red on the left tip, green on the right, white in the tail, and
  // the red beacon on the back; each takes one flat corner of the lamp picture.
  {
    BakeMesh m = mesh("lamps", "maps/avion_lamps.jpg");
    auto lamp = [&](V3 centre, float r, UV spot) {
      size_t first = m.vertices.size();
      AddSurface(m, Dome(centre, {r, r, r}, 1, Pi), Even(0, 1, 8), Even(0, 1, 6));
      for (size_t k = first; k < m.uvs.size(); k++) m.uvs[k] = spot;
    };
    V3 tip = FoilPoint(MainWing, 0.5f, 0.985f);
    lamp({tip.x, tip.y, tip.z - 1.0f}, 0.35f, {0.25f, 0.25f});
    lamp({-tip.x, tip.y, tip.z - 1.0f}, 0.35f, {0.75f, 0.25f});
    lamp({0, 16.1f, -36.2f}, 0.3f, {0.25f, 0.75f});
    lamp({0, 4.5f, 2.0f}, 0.35f, {0.75f, 0.75f});
    lamp({0, -4.25f, 4.0f}, 0.35f, {0.75f, 0.75f});
    s.meshes.push_back(std::move(m));
    if (wantPictures) {
      Image img(128, 128);
      for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
          bool right = x >= 64, low = y >= 64;
          img.At(x, y) = low ? (right ? Colour{1.0f, 0.25f, 0.15f} : Colour{0.95f, 0.95f, 0.9f})
                             : (right ? Colour{0.3f, 1.0f, 0.45f} : Colour{1.0f, 0.15f, 0.1f});
        }
      picture("maps/avion_lamps.jpg", img);
    }
  }

  if (wantPictures) {
    // Pictures shared by several meshes, painted over their own simple parameters.
    picture("maps/avion_polish.jpg", Paint(FoilSurface(MainWing), 256, 256, [](float u, float v, V3, V3) {
              return PolishedColour(u, v);
            }));
    picture("maps/avion_glass.jpg", Paint(Dome({0, 0, 0}, {1, 1, 1}, 1, Pi / 2), 256, 256, [](float u, float v, V3, V3 n) {
              std::vector<float> ub;
              for (int k = 0; k <= 8; k++) ub.push_back(k / 8.0f);
              return GlassColour(u, v, n, ub, {0.35f, 0.7f, 0.97f}, 1.0f / 256, 1.0f / 256, 0.0f);
            }));
    picture("maps/avion_gun.jpg", Paint(Tube({0, 0, 0}, {0, 0, -1}, 1, 1), 128, 128, [](float, float v, V3, V3 n) {
              return GunColour(v, n);
            }));
  }

  // Three shots over the 30 s of flight. Camera 0 plays key 1 to key 4 (frames 30 to 300),
  // camera 1 from 300 to 600, camera 2 from 600; the flight ends at camera 2's key 4.
  // The clouds stream away from the eye, so the shots look back at the plane from ahead.
  // Every shot keeps the view at least 30 degrees off the smoke and fire trails that run
  // straight back from the plane, so that their far ends (where hundreds of puffs pile up)
  // stay out of the frame.
  // Shot 1: ahead on the left and below, the bomber looms out of the murk; the eye swings
  // round to its moonlit side so that the wing, the pods and the smoke trail unfold.
  s.cameras.push_back(Shot("cam_approach", {0, FrameAt(0), FrameAt(3), FrameAt(6), FrameAt(9), FrameAt(12)},
                           {{90, -27, 136}, {93, -24, 108}, {95, -15, 72}, {87, -6, 38}, {74, 2, 10}, {58, 8, -14}},
                           {{0, -3, -2}, {0, -3, -4}, {0, -2, -6}, {0, -1, -8}, {0, 0, -10}, {0, 0, -12}}));
  // Shot 2: wide and low off the right side ahead of the wing, looking up, the sky above the
  // plane left open for the lightning that falls from height 50 from 15 s on.
  s.cameras.push_back(Shot("cam_storm", {FrameAt(9) - 100, FrameAt(9), FrameAt(12.5f), FrameAt(16), FrameAt(19), FrameAt(22)},
                           {{-56, -22, 122}, {-62, -20, 96}, {-70, -17.5f, 71}, {-76, -15, 48}, {-80, -13.5f, 27}, {-82, -12.5f, 8}},
                           {{0, 10, 10}, {0, 11, 8}, {0, 12, 4}, {0, 13, 0}, {0, 13, -3}, {0, 13, -6}}));
  // Shot 3: high over the left wing looking steeply down on the burning pods and the arcs
  // on the hull, drifting in across the fuselage towards the canopy.
  s.cameras.push_back(Shot("cam_fire",
                           {FrameAt(19) - 100, FrameAt(19), FrameAt(22.67f), FrameAt(26.33f), FrameAt(30), FrameAt(30) + 100,
                            FrameAt(30) + 200},
                           {{58, 34, 50}, {50, 32, 45}, {40, 29, 38}, {28, 27, 40}, {18, 26, 52}, {10, 25, 64}, {4, 24, 76}},
                           {{19, -5, -15}, {17, -5, -14}, {14, -5, -12}, {9, -3, -4}, {3, 2, 10}, {0, 3, 18}, {-2, 4, 26}}));
  s.frameCount = FrameAt(30) + 200;
  return true;
}

}  // namespace

bool BakeAvion(BakeOutput& out, std::string* error) {
  BakeScene scene;
  std::vector<std::pair<std::string, Image>> pictures;
  if (!BuildAvionScene(&scene, &pictures, error)) return false;
  std::vector<uint8_t> file;
  if (!Write3ds(scene, &file, error)) {
    if (error) *error = "maps/avion.3ds: " + *error;
    return false;
  }
  AddMember(out, "maps/avion.3ds", std::move(file));
  for (auto& [name, img] : pictures) {
    AddJpegMember(out, name, img, 92);
    if (out.wantSheet) out.sheet.push_back({name, Resize(img, 128, 128)});
  }
  return true;
}
