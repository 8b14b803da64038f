// tools/bake/scenes/tunnel.cpp - maps/tunnel.3ds: the long winding service tunnel, its
// baked lighting (maps/tunnel.vlo) and its material pictures.
//
// The tunnel follows one centre line, a Catmull-Rom curve through control points about
// 100 units apart. The camera's eye keys are those same control points, one per key at
// even frame steps, so the show's camera spline runs exactly down the middle however hard
// the tunnel turns. The line heads roughly east (a yaw of about 80 degrees, near where the
// show's trails hang in the middle of the picture) and swings about that heading, and it
// sinks gently with the camera looking a little down, so that the trails, which follow
// the camera's yaw and pitch, sway across the picture at every turn.
//
// Cross-section: a flat floor with a polished walkway down its middle, bevelled lower
// walls with a polished band at eye height, and a vaulted ceiling. Ribs stand at every
// bay, heavier hazard-striped bulkheads at every tenth, and each bay has a lamp on the
// vault, on alternating sides. Each lamp is a light of the scene (baked into the vertex
// colours, so the bays sit in pools of light with darker stretches between) and an
// additive glowing strip; thin dashed strips run along both floor edges.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/bake/contact_sheet.h"
#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

// ---------------------------------------------------------------------------------------
// The centre line.

const int ControlCount = 34;
const float ControlSpacing = 100.0f;
// Eye keys 0 .. 27 sit on control points 1 .. 28; the show plays keys 1 to 25 (key count
// - 3), so the camera runs from control point 2 to 26 and the tunnel goes on for six more
// control steps ahead, beyond the far plane.
const int CameraKeys = 28;
const int FramesPerKey = 10;
const float LookAhead = 0.55f;  // control steps between the eye and its target
const float EyeLift = 2.0f, TargetDrop = 6.0f;

// Heading as the show measures a camera's yaw (0 looks along -Z, 90 along +X) and slope
// (degrees, rising positive) of the centre line at distance s from its start.
float Heading(float s) {
  return 80.0f + 21.0f * std::sin(2 * Pi * s / 1300.0f + 0.4f) + 13.0f * std::sin(2 * Pi * s / 470.0f + 2.1f);
}
float Slope(float s) { return -5.0f + 6.0f * std::sin(2 * Pi * s / 900.0f + 1.0f); }

V3 CatmullRom(V3 p0, V3 p1, V3 p2, V3 p3, float t) {
  float t2 = t * t, t3 = t2 * t;
  return (p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 + (p1 * 3 - p0 - p2 * 3 + p3) * t3) * 0.5f;
}

struct Frame {
  V3 centre, tangent, right, up;
  V3 At(float x, float y) const { return centre + right * x + up * y; }
};

struct CentreLine {
  std::vector<V3> control;
  std::vector<float> arc;  // arc length at parameter 1 + i * Step
  static constexpr float Step = 0.005f;

  // The curve at parameter k (control point index), valid from 1 to ControlCount - 2.
  V3 At(float k) const {
    int n = (int)control.size();
    k = std::clamp(k, 1.0f, (float)(n - 2));
    int i = std::min((int)k, n - 3);
    return CatmullRom(control[i - 1], control[i], control[i + 1], control[i + 2], k - i);
  }
  float Length() const { return arc.back(); }
  // The parameter at arc length s.
  float ParamAt(float s) const {
    s = std::clamp(s, 0.0f, Length());
    size_t i = std::upper_bound(arc.begin(), arc.end(), s) - arc.begin();
    if (i == 0) return 1.0f;
    if (i >= arc.size()) return 1.0f + (arc.size() - 1) * Step;
    float a = arc[i - 1], b = arc[i];
    return 1.0f + ((i - 1) + (b > a ? (s - a) / (b - a) : 0)) * Step;
  }
  Frame FrameAt(float s) const {
    float k = ParamAt(s);
    Frame f;
    f.centre = At(k);
    f.tangent = Normalize(At(k + 0.01f) - At(k - 0.01f));
    f.right = Normalize(Cross(f.tangent, V3{0, 1, 0}));
    f.up = Cross(f.right, f.tangent);
    return f;
  }
};

CentreLine MakeCentreLine() {
  CentreLine line;
  V3 p{0, 0, 0};
  for (int i = 0; i < ControlCount; i++) {
    line.control.push_back(p);
    for (int step = 0; step < (int)ControlSpacing; step++) {
      float s = i * ControlSpacing + step + 0.5f;
      float yaw = Heading(s) * Pi / 180, slope = Slope(s) * Pi / 180;
      p += V3{std::sin(yaw) * std::cos(slope), std::sin(slope), -std::cos(yaw) * std::cos(slope)};
    }
  }
  float length = 0;
  V3 last = line.At(1);
  int samples = (int)((ControlCount - 3) / CentreLine::Step);
  line.arc.push_back(0);
  for (int i = 1; i <= samples; i++) {
    V3 q = line.At(1 + i * CentreLine::Step);
    length += Length(q - last);
    last = q;
    line.arc.push_back(length);
  }
  return line;
}

// ---------------------------------------------------------------------------------------
// The cross-section, counter-clockwise seen along the tunnel (x to the right, y up);
// `part` names what the segment from this point to the next one is.

enum Part { Walkway, Floor, Wall, Band, NoPart };

struct ProfilePoint {
  float x, y;
  Part part;
};

const float FloorY = -14.0f, ArchY = 8.0f, ArchHalfWidth = 19.0f, ArchRise = 13.0f;
const int ArchSegments = 8;
// Indices into the profile: the floor edges (where ribs stand), and the vault points that
// carry the lamps (45 degrees up the vault on either side).
const int RightFloorEdge = 3, LeftFloorEdge = 19, RightLamp = 9, LeftLamp = 13;

std::vector<ProfilePoint> MakeProfile() {
  std::vector<ProfilePoint> p = {
      {-3, FloorY, Walkway}, {3, FloorY, Floor}, {8, FloorY, Floor}, {13, FloorY, Wall},
      {17, -10.5f, Wall},    {19, -4, Band},     {19, 2, Wall},
  };
  for (int j = 0; j <= ArchSegments; j++) {
    float a = Pi * j / ArchSegments;
    p.push_back({ArchHalfWidth * std::cos(a), ArchY + ArchRise * std::sin(a), Wall});
  }
  p.push_back({-19, 2, Band});
  p.push_back({-19, -4, Wall});
  p.push_back({-17, -10.5f, Wall});
  p.push_back({-13, FloorY, Floor});
  p.push_back({-8, FloorY, Floor});
  p.push_back({-3, FloorY, NoPart});  // back at the first point
  return p;
}

// Inward normals of the profile's points: the mean of the neighbouring segments' left
// normals (the profile runs counter-clockwise).
std::vector<std::pair<float, float>> ProfileNormals(const std::vector<ProfilePoint>& p) {
  std::vector<std::pair<float, float>> n(p.size());
  for (size_t i = 0; i < p.size(); i++) {
    float sx = 0, sy = 0;
    for (int side = -1; side <= 0; side++) {
      long a = (long)i + side, b = a + 1;
      if (a < 0 || b >= (long)p.size()) continue;
      float dx = p[b].x - p[a].x, dy = p[b].y - p[a].y, l = std::sqrt(dx * dx + dy * dy);
      sx += -dy / l;
      sy += dx / l;
    }
    float l = std::sqrt(sx * sx + sy * sy);
    n[i] = {sx / l, sy / l};
  }
  return n;
}

std::vector<float> ProfileArc(const std::vector<ProfilePoint>& p) {
  std::vector<float> arc(p.size(), 0);
  for (size_t i = 1; i < p.size(); i++) arc[i] = arc[i - 1] + std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
  return arc;
}

// ---------------------------------------------------------------------------------------
// Mesh helpers.

uint16_t Vertex(BakeMesh& m, V3 p, UV uv) {
  m.vertices.push_back(p);
  m.uvs.push_back(uv);
  return (uint16_t)(m.vertices.size() - 1);
}

// Two triangles over a, b, c, d, wound so that their front faces `facing`.
void Quad(BakeMesh& m, uint16_t a, uint16_t b, uint16_t c, uint16_t d, V3 facing) {
  V3 n = Cross(m.vertices[b] - m.vertices[a], m.vertices[c] - m.vertices[a]);
  if (Dot(n, facing) >= 0) {
    m.faces.push_back({a, b, c});
    m.faces.push_back({a, c, d});
  } else {
    m.faces.push_back({a, c, b});
    m.faces.push_back({a, d, c});
  }
}

BakeMesh NewMesh(const std::string& name, const std::string& material) {
  BakeMesh m;
  m.name = name;
  m.material = material;
  return m;
}

// Distances of the rings along the centre line, about `step` apart.
std::vector<float> RingDistances(const CentreLine& line, float step) {
  int count = std::max(2, (int)std::lround(line.Length() / step) + 1);
  std::vector<float> s(count);
  for (int i = 0; i < count; i++) s[i] = line.Length() * i / (count - 1);
  return s;
}

// The tunnel's skin for one part of the profile: a column of vertices per profile point
// that the part touches, shared by its neighbouring segments (smooth across the part),
// faces towards the tunnel's axis. Texture: u along the profile, v along the tunnel.
BakeMesh Skin(const CentreLine& line, const std::vector<float>& rings, const std::vector<ProfilePoint>& profile,
              Part part, const std::string& name, const std::string& material, float uvAround, float uvAlong) {
  BakeMesh m = NewMesh(name, material);
  std::vector<float> arc = ProfileArc(profile);
  std::vector<int> column(profile.size(), -1);
  int columns = 0;
  for (size_t i = 0; i + 1 < profile.size(); i++)
    if (profile[i].part == part) {
      if (column[i] < 0) column[i] = columns++;
      if (column[i + 1] < 0) column[i + 1] = columns++;
    }
  std::vector<int> order;  // profile index of each column
  order.resize(columns);
  for (size_t i = 0; i < profile.size(); i++)
    if (column[i] >= 0) order[column[i]] = (int)i;
  for (float s : rings) {
    Frame f = line.FrameAt(s);
    for (int c = 0; c < columns; c++) {
      const ProfilePoint& p = profile[order[c]];
      Vertex(m, f.At(p.x, p.y), {arc[order[c]] / uvAround, s / uvAlong});
    }
  }
  for (size_t r = 0; r + 1 < rings.size(); r++) {
    Frame f = line.FrameAt(0.5f * (rings[r] + rings[r + 1]));
    V3 axis = f.At(0, 2);
    for (size_t i = 0; i + 1 < profile.size(); i++) {
      if (profile[i].part != part) continue;
      uint16_t a = (uint16_t)(r * columns + column[i]), b = (uint16_t)(r * columns + column[i + 1]);
      uint16_t c = (uint16_t)(b + columns), d = (uint16_t)(a + columns);
      V3 mid = (m.vertices[a] + m.vertices[c]) * 0.5f;
      Quad(m, a, b, c, d, axis - mid);
    }
  }
  return m;
}

// A rib (or a bulkhead) round the walls and vault at distance s: `width` along the
// tunnel, standing `depth` out of the wall. Its outer edge sinks a little into the wall so
// that no crack shows where the wall bends between rings. Only the inner face and the face
// towards an oncoming camera are built: the camera only ever flies forwards.
void AddRib(BakeMesh& m, const CentreLine& line, const std::vector<ProfilePoint>& profile, float s, float width,
            float depth, float uvAround) {
  auto normals = ProfileNormals(profile);
  std::vector<float> arc = ProfileArc(profile);
  Frame front = line.FrameAt(s - width * 0.5f), back = line.FrameAt(s + width * 0.5f);
  int first = RightFloorEdge, last = LeftFloorEdge;
  auto inner = [&](const Frame& f, int i) {
    float nx = normals[i].first, ny = normals[i].second;
    // The ends stand on the floor: they reach in along it rather than up off it.
    if (i == first) nx = -1, ny = 0;
    if (i == last) nx = 1, ny = 0;
    return f.At(profile[i].x + nx * depth, profile[i].y + ny * depth);
  };
  auto outer = [&](const Frame& f, int i) {
    float nx = normals[i].first, ny = normals[i].second;
    if (i == first || i == last) ny = 0;
    return f.At(profile[i].x - nx * 0.4f, profile[i].y - ny * 0.4f);
  };
  // Inner face.
  uint16_t base = (uint16_t)m.vertices.size();
  for (int i = first; i <= last; i++) {
    Vertex(m, inner(front, i), {arc[i] / uvAround, 0});
    Vertex(m, inner(back, i), {arc[i] / uvAround, 1});
  }
  for (int i = first; i < last; i++) {
    uint16_t a = (uint16_t)(base + 2 * (i - first)), b = (uint16_t)(a + 2);
    V3 mid = (m.vertices[a] + m.vertices[b + 1]) * 0.5f;
    Quad(m, a, b, (uint16_t)(b + 1), (uint16_t)(a + 1), front.At(0, 2) - mid);
  }
  // Front face, the texture's top rows along its rim.
  base = (uint16_t)m.vertices.size();
  float rim = depth / width;
  for (int i = first; i <= last; i++) {
    Vertex(m, outer(front, i), {arc[i] / uvAround, 1 + rim});
    Vertex(m, inner(front, i), {arc[i] / uvAround, 1});
  }
  for (int i = first; i < last; i++) {
    uint16_t a = (uint16_t)(base + 2 * (i - first)), b = (uint16_t)(a + 2);
    Quad(m, a, b, (uint16_t)(b + 1), (uint16_t)(a + 1), -front.tangent);
  }
}

// A strip lying on the profile at point `index`, `halfWidth` to either side along the
// profile, lifted `lift` off the wall, from s0 to s1 in rings about `step` apart. Texture
// u across the strip 0..1, v along it from 0 to `repeats`.
void AddStrip(BakeMesh& m, const CentreLine& line, const std::vector<ProfilePoint>& profile, int index,
              float halfWidth, float lift, float s0, float s1, float step, float repeats) {
  auto normals = ProfileNormals(profile);
  float nx = normals[index].first, ny = normals[index].second;
  float tx = ny, ty = -nx;  // along the profile, perpendicular to the normal
  float px = profile[index].x + nx * lift, py = profile[index].y + ny * lift;
  int count = std::max(2, (int)std::lround((s1 - s0) / step) + 1);
  uint16_t base = (uint16_t)m.vertices.size();
  for (int i = 0; i < count; i++) {
    float s = s0 + (s1 - s0) * i / (count - 1);
    Frame f = line.FrameAt(s);
    float v = repeats * i / (count - 1);
    Vertex(m, f.At(px - tx * halfWidth, py - ty * halfWidth), {0, v});
    Vertex(m, f.At(px + tx * halfWidth, py + ty * halfWidth), {1, v});
  }
  for (int i = 0; i + 1 < count; i++) {
    uint16_t a = (uint16_t)(base + 2 * i);
    Frame f = line.FrameAt(s0 + (s1 - s0) * (i + 0.5f) / (count - 1));
    V3 mid = (m.vertices[a] + m.vertices[a + 3]) * 0.5f;
    Quad(m, a, (uint16_t)(a + 1), (uint16_t)(a + 3), (uint16_t)(a + 2), f.At(0, 2) - mid);
  }
}

// ---------------------------------------------------------------------------------------
// The scene.

const float BaySpacing = 45.0f;
const int BulkheadEvery = 10;

struct LampKind {
  const char* mesh;
  const char* material;
  Colour light;
};
const LampKind Lamps[3] = {
    {"%tunnel_lamps_warm", "maps/tunnel_lampw.jpg", {1.0f, 0.74f, 0.46f}},
    {"%tunnel_lamps_cool", "maps/tunnel_lampc.jpg", {0.62f, 0.8f, 1.0f}},
    {"%tunnel_lamps_red", "maps/tunnel_lampr.jpg", {1.0f, 0.22f, 0.1f}},
};

// Which lamp a bay has: the bay after each bulkhead has a red one; between them the
// sections alternate warm and cool light.
int LampOf(int bay) {
  if (bay % BulkheadEvery == 1) return 2;
  return (bay / BulkheadEvery) % 2;
}

}  // namespace

// Also called by the tests, which declare it themselves.
bool BuildTunnelScene(BakeScene* scene, std::string* error) {
  CentreLine line = MakeCentreLine();
  std::vector<ProfilePoint> profile = MakeProfile();
  std::vector<float> rings = RingDistances(line, 10.0f);
  BakeScene& sc = *scene;
  sc = BakeScene{};
  sc.ambient = {0.1f, 0.095f, 0.1f};

  sc.meshes.push_back(Skin(line, rings, profile, Wall, "tunnel_walls", "maps/tunnel_panel.jpg", 24.0f, 22.5f));
  sc.meshes.push_back(Skin(line, rings, profile, Floor, "tunnel_floor", "maps/tunnel_floor.jpg", 12.0f, 12.0f));
  sc.meshes.push_back(Skin(line, rings, profile, Walkway, "?tunnel_walkway", "maps/tunnel_chrome.jpg", 6.0f, 12.0f));
  sc.meshes.push_back(Skin(line, rings, profile, Band, "?tunnel_bands", "maps/tunnel_chrome.jpg", 6.0f, 12.0f));

  BakeMesh ribs = NewMesh("tunnel_ribs", "maps/tunnel_rib.jpg");
  BakeMesh bulkheads = NewMesh("tunnel_bulkheads", "maps/tunnel_frame.jpg");
  std::vector<BakeMesh> lamps;
  for (const LampKind& k : Lamps) lamps.push_back(NewMesh(k.mesh, k.material));
  auto normals = ProfileNormals(profile);
  int bays = (int)((line.Length() - BaySpacing * 0.5f) / BaySpacing);
  for (int bay = 1; bay <= bays; bay++) {
    float s = bay * BaySpacing;
    if (bay % BulkheadEvery == 0) AddRib(bulkheads, line, profile, s, 7.0f, 3.5f, 12.0f);
    else AddRib(ribs, line, profile, s, 2.6f, 1.6f, 8.0f);
    float ls = s + BaySpacing * 0.5f;
    if (ls + 8 > line.Length()) continue;
    int side = bay % 2 ? RightLamp : LeftLamp;
    int kind = LampOf(bay);
    AddStrip(lamps[kind], line, profile, side, 1.2f, 0.4f, ls - 7, ls + 7, 7.0f, 1.0f);
    BakeLight light;
    light.name = "tunnel_lamp" + std::to_string(bay);
    Frame f = line.FrameAt(ls);
    light.position = f.At(profile[side].x + normals[side].first * 2.5f, profile[side].y + normals[side].second * 2.5f);
    light.colour = Lamps[kind].light;
    // Aimed across and down at the walkway: each lamp leaves its own pool on the floor and
    // the far wall, with darker stretches between the bays.
    light.spot = true;
    light.target = f.At(side == RightLamp ? -6.0f : 6.0f, FloorY);
    light.hotspot = 30.0f;
    light.falloff = 110.0f;
    light.multiplier = kind == 2 ? 1.8f : 1.5f;
    light.innerRange = 26.0f;
    light.outerRange = 50.0f;
    light.radius = 1.0f;
    sc.lights.push_back(light);
  }
  sc.meshes.push_back(std::move(ribs));
  sc.meshes.push_back(std::move(bulkheads));
  for (BakeMesh& m : lamps) {
    // Lamps light the scene through the lights; their strips glow by themselves.
    m.castsShadow = false;
    if (!m.faces.empty()) sc.meshes.push_back(std::move(m));
  }
  BakeMesh dashes = NewMesh("%tunnel_dashes", "maps/tunnel_dash.jpg");
  dashes.castsShadow = false;
  {
    // On the bevels just above the floor, along their midpoints (which are no points of
    // the tunnel's profile, so each strip gets a small profile of its own).
    std::vector<ProfilePoint> right = {{13, FloorY, NoPart}, {15, -12.25f, NoPart}, {17, -10.5f, NoPart}};
    std::vector<ProfilePoint> left = {{-17, -10.5f, NoPart}, {-15, -12.25f, NoPart}, {-13, FloorY, NoPart}};
    float length = line.Length();
    for (const auto* bevel : {&right, &left})
      AddStrip(dashes, line, *bevel, 1, 0.45f, 0.15f, 0, length, 10.0f, length / 8.0f);
  }
  sc.meshes.push_back(std::move(dashes));

  // The camera: eye keys on the control points, targets a little ahead and below.
  BakeCamera cam;
  cam.name = "tunnel_camera";
  for (int j = 0; j < CameraKeys; j++) {
    int frame = j * FramesPerKey;
    cam.eye.push_back({frame, line.control[j + 1] + V3{0, EyeLift, 0}});
    cam.target.push_back({frame, line.At(j + 1 + LookAhead) + V3{0, EyeLift - TargetDrop, 0}});
  }
  sc.cameras.push_back(cam);
  sc.frameCount = (CameraKeys - 1) * FramesPerKey;

  for (const BakeMesh& m : sc.meshes)
    if (m.vertices.size() > 65535 || m.faces.size() > 65535) {
      if (error) *error = "tunnel mesh " + m.name + " is too large";
      return false;
    }
  return true;
}

namespace {

// ---------------------------------------------------------------------------------------
// Pictures. All tile: noise periods divide the picture and patterns repeat a whole number
// of times. They carry the surface detail; the light comes from the vertex colours.

// Fractal noise over the picture's unit square, seamless with periods px, py.
float Grain(float u, float v, int px, int py, int octaves, uint32_t seed) {
  return Fbm(u * px, v * py, px, py, octaves, 0.5f, seed);
}

// A round rivet head at (cx, cy) of radius r: highlight towards the upper left, shadow
// below it. Returns the brightness change at (x, y).
float Rivet(float x, float y, float cx, float cy, float r) {
  float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
  if (d > r * 1.6f) return 0;
  if (d > r) {
    // Cast shadow to the lower right.
    float sx = x - cx - r * 0.35f, sy = y - cy - r * 0.35f;
    return std::sqrt(sx * sx + sy * sy) < r * 1.1f ? -0.12f : 0;
  }
  float light = (-dx - dy) / (r * 1.414f);
  return 0.1f + 0.22f * light;
}

// Wall plates: 2 by 2 plates per tile with bevelled seams and rivets; one plate carries a
// vent grille, one an inspection hatch; oil streaks run round the tunnel (u), along which
// the walls rise.
void PaintPanels(Image& c) {
  int n = c.width, half = n / 2;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      int px = x % half, py = y % half, id = (x / half) + 2 * (y / half);
      float fx = (float)px, fy = (float)py, w = (float)half;
      float edge = std::min({fx, fy, w - 1 - fx, w - 1 - fy});
      Rng tint((uint64_t)id * 7 + 3);
      float shade = 0.5f + tint.Range(-0.05f, 0.05f);
      Colour base{shade * 0.92f, shade * 0.97f, shade * 1.05f};
      float b = 0;
      if (edge < 2.5f) b -= 0.32f;
      else if (edge < 8) {
        // Bevel: lit from above-left, shaded below-right.
        bool lit = (fx < 8 || fy < 8) && !(w - 1 - fx < 8 || w - 1 - fy < 8);
        b += lit ? 0.1f : -0.09f;
      }
      // Rivets along the seams.
      for (int k = 0; k < 8; k++) {
        float at = 16 + k * (w - 32) / 7;
        b += Rivet(fx, fy, at, 12, 3.2f) + Rivet(fx, fy, at, w - 13, 3.2f);
        if (k > 0 && k < 7) b += Rivet(fx, fy, 12, at, 3.2f) + Rivet(fx, fy, w - 13, at, 3.2f);
      }
      if (id == 1 && edge > 40) {
        // Vent slots across the plate, each with a lit lower lip.
        float cy = std::fmod(fy - 40, 18.0f);
        if (fx > 44 && fx < w - 44 && fy > 44 && fy < w - 44) {
          if (cy < 9) b -= 0.38f;
          else if (cy < 11) b += 0.12f;
        }
      }
      if (id == 2) {
        // Inspection hatch: a recessed square with its own bevel and a stencil stripe.
        float hx = std::fabs(fx - w / 2), hy = std::fabs(fy - w / 2), hm = std::max(hx, hy);
        if (hm < 58 && hm > 54) b -= 0.25f;
        else if (hm <= 54 && hm > 50) b += (fx < w / 2 || fy < w / 2) ? -0.07f : 0.08f;
        if (hx < 40 && fy > w / 2 + 22 && fy < w / 2 + 34 && hm < 50) {
          base = Mix(base, Colour{0.75f, 0.55f, 0.12f}, 0.8f);
          if (((int)(fx + fy) / 8) % 2) base = base * 0.35f;
        }
      }
      float grime = Grain(u, v, 4, 4, 5, 301) * 0.5f + 0.5f;
      float streak = Grain(u, v, 2, 32, 4, 302);
      float scratches = Grain(u, v, 32, 32, 2, 303);
      Colour col = base * (1 + b);
      col = col * (0.72f + 0.38f * grime);
      col = Mix(col, Colour{0.26f, 0.2f, 0.14f}, Smoothstep(0.15f, 0.7f, streak) * 0.45f);
      col = col * (1 + 0.06f * scratches);
      c.At(x, y) = col;
    }
}

// Chequer plate: raised lozenges in alternating directions on dark steel, worn brighter
// where the walkway is trodden (the middle of the tile, across u).
void PaintFloor(Image& c) {
  int n = c.width;
  const int cells = 8;
  float size = (float)n / cells;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      int cx = (int)(x / size), cy = (int)(y / size);
      float lx = (x - (cx + 0.5f) * size) / size, ly = (y - (cy + 0.5f) * size) / size;
      // Rotate the lozenge by +-45 degrees with the chequer.
      float a = ((cx + cy) % 2) ? 0.785f : -0.785f;
      float rx = lx * std::cos(a) - ly * std::sin(a), ry = lx * std::sin(a) + ly * std::cos(a);
      float d = (rx * rx) / (0.36f * 0.36f) + (ry * ry) / (0.1f * 0.1f);
      float b = 0;
      if (d < 1) b += 0.16f + 0.18f * (-rx - ry) * 1.5f;
      else if (d < 1.5f) b -= 0.12f;
      float grime = Grain(u, v, 4, 4, 5, 311) * 0.5f + 0.5f;
      float wear = Grain(u, v, 8, 8, 3, 312);
      Colour base{0.36f, 0.36f, 0.37f};
      Colour col = base * (1 + b) * (0.7f + 0.4f * grime);
      col = Mix(col, Colour{0.55f, 0.56f, 0.58f}, Smoothstep(0.2f, 0.7f, wear) * 0.3f);
      c.At(x, y) = col;
    }
}

// Painted ribs: blue-grey paint, chipped to bright metal at the edges of the rib (v near
// 0 and 1) and along its rim (v above 1 wraps to the top rows), two rows of rivets.
void PaintRib(Image& c) {
  int n = c.width;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float chips = Grain(u, v, 8, 8, 5, 321);
      float edgeWear = 1 - Smoothstep(0.0f, 0.12f, std::min(v, 1 - v));
      float bare = Smoothstep(0.45f, 0.55f, chips * 0.5f + 0.5f - 0.6f + edgeWear * 0.7f);
      Colour paint{0.22f, 0.3f, 0.34f};
      Colour metal{0.62f, 0.6f, 0.57f};
      Colour col = Mix(paint, metal, bare);
      float b = 0;
      for (int k = 0; k < 4; k++) {
        float cx = (k + 0.5f) * n / 4;
        b += Rivet((float)x, (float)y, cx, n * 0.22f, 5) + Rivet((float)x, (float)y, cx, n * 0.78f, 5);
      }
      float grime = Grain(u, v, 4, 4, 4, 322) * 0.5f + 0.5f;
      col = col * (1 + b) * (0.75f + 0.35f * grime);
      c.At(x, y) = col;
    }
}

// Bulkhead frames: worn yellow and black hazard stripes.
void PaintFrame(Image& c) {
  int n = c.width;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float stripe = std::fmod((float)(x + y) / (n / 4.0f), 1.0f);
      float black = Smoothstep(0.47f, 0.5f, stripe) * (1 - Smoothstep(0.97f, 1.0f, stripe));
      Colour col = Mix(Colour{0.85f, 0.62f, 0.08f}, Colour{0.07f, 0.07f, 0.07f}, black);
      float chips = Grain(u, v, 8, 8, 5, 331) * 0.5f + 0.5f;
      col = Mix(col, Colour{0.5f, 0.47f, 0.43f}, Smoothstep(0.66f, 0.72f, chips));
      float grime = Grain(u, v, 4, 4, 4, 332) * 0.5f + 0.5f;
      col = col * (0.65f + 0.45f * grime);
      c.At(x, y) = col;
    }
}

// Polished steel: brushed along the tunnel (v), grooves along it and a joint across it
// once a tile. Bright: the reflection layer multiplies it down.
void PaintChrome(Image& c) {
  int n = c.width;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      float brush = Grain(u, v, 64, 2, 3, 341);
      float b = 0.86f + 0.06f * brush;
      float gx = std::fmod((float)x, n / 4.0f);
      if (gx < 3) b *= 0.55f;
      else if (gx < 5) b *= 1.08f;
      if (y < 3) b *= 0.45f;
      else if (y < 5) b *= 1.1f;
      float smear = Grain(u, v, 4, 4, 4, 342) * 0.5f + 0.5f;
      b *= 0.9f + 0.12f * smear;
      c.At(x, y) = Colour{b * 0.96f, b * 0.98f, b * 1.03f};
    }
}

// A lamp strip, added to the frame: a white-hot tube along v in a tinted glow, dark caps at
// both ends; black where it adds nothing.
void PaintLamp(Image& c, Colour tint) {
  int n = c.width;
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n - 0.5f, v = (y + 0.5f) / c.height;
      float tube = Smoothstep(0.1f, 0.16f, v) * Smoothstep(0.1f, 0.16f, 1 - v);
      float core = std::exp(-u * u / (0.16f * 0.16f)) * tube;
      float glow = std::exp(-u * u / (0.22f * 0.22f)) * std::pow(std::sin(Pi * v), 2.0f);
      float fade = 1 - Smoothstep(0.4f, 0.5f, std::fabs(u));
      Colour col = Colour{1.0f, 0.97f, 0.9f} * core + tint * (glow * 0.55f + core * 0.3f);
      c.At(x, y) = col * fade;
    }
}

// The dashed floor-edge strips: short cyan dashes with soft ends, two per tile.
void PaintDash(Image& c) {
  int n = c.width;
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < n; x++) {
      float u = (x + 0.5f) / n - 0.5f, v = std::fmod((y + 0.5f) / c.height * 2, 1.0f);
      float dash = Smoothstep(0.0f, 0.08f, v) * (1 - Smoothstep(0.55f, 0.63f, v));
      float core = std::exp(-u * u / (0.14f * 0.14f));
      float fade = 1 - Smoothstep(0.38f, 0.5f, std::fabs(u));
      Colour col = Colour{0.25f, 0.75f, 1.0f} * (core * 0.9f) + Colour{0.8f, 0.95f, 1.0f} * std::pow(core, 6.0f) * 0.5f;
      c.At(x, y) = col * (dash * fade);
    }
}

void AddPictures(BakeOutput& out) {
  Image panel(512, 512), floor(256, 256), rib(256, 256), frame(256, 256), chrome(256, 256);
  PaintPanels(panel);
  PaintFloor(floor);
  PaintRib(rib);
  PaintFrame(frame);
  PaintChrome(chrome);
  AddJpegMember(out, "maps/tunnel_panel.jpg", panel);
  AddJpegMember(out, "maps/tunnel_floor.jpg", floor);
  AddJpegMember(out, "maps/tunnel_rib.jpg", rib);
  AddJpegMember(out, "maps/tunnel_frame.jpg", frame);
  AddJpegMember(out, "maps/tunnel_chrome.jpg", chrome);
  const Colour tints[3] = {{1.0f, 0.62f, 0.25f}, {0.45f, 0.7f, 1.0f}, {1.0f, 0.15f, 0.05f}};
  for (int k = 0; k < 3; k++) {
    Image lamp(128, 128);
    PaintLamp(lamp, tints[k]);
    AddJpegMember(out, Lamps[k].material, lamp);
  }
  Image dash(64, 128);
  PaintDash(dash);
  AddJpegMember(out, "maps/tunnel_dash.jpg", dash);
  if (out.wantSheet) {
    const std::pair<const char*, const Image*> shown[] = {{"maps/tunnel_panel.jpg", &panel},
                                                          {"maps/tunnel_floor.jpg", &floor},
                                                          {"maps/tunnel_rib.jpg", &rib},
                                                          {"maps/tunnel_frame.jpg", &frame},
                                                          {"maps/tunnel_chrome.jpg", &chrome}};
    for (const auto& [name, picture] : shown) out.sheet.push_back({name, Thumbnail(*picture, 1.0f, 300)});
  }
}

}  // namespace

bool BakeTunnel(BakeOutput& out, std::string* error) {
  BakeScene scene;
  if (!BuildTunnelScene(&scene, error)) return false;
  LightBakeOptions options;
  options.shadowSamples = 8;
  options.aoRays = 24;
  options.aoDistance = 10.0f;
  options.threads = 2;
  if (!AddSceneMembers(out, "maps/tunnel", scene, &options, error)) return false;
  AddPictures(out);
  return true;
}
