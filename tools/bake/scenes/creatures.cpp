// tools/bake/scenes/creatures.cpp - the running raptor and the dancing figure.
//
// Each creature is a rig of bones (a rest joint position and a parent each), a mesh of
// tubes swept along bone chains in the rest pose whose rings are bound to one or two
// bones, and a cycle that poses the rig frame by frame (legs by two-bone IK onto foot
// paths, everything else by periodic joint angles). Every motion is a whole number of
// periods per cycle, so the frame after the last is frame 0 again.
#include "tools/bake/scenes/creatures.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "tools/bake/contact_sheet.h"
#include "tools/bake/noise.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

constexpr float TwoPi = 2.0f * Pi;
float Rad(float degrees) { return degrees * Pi / 180.0f; }

// ---------------------------------------------------------------------------------------
// Rotations and rigid transforms.

struct M3 {
  float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

M3 Mul(const M3& a, const M3& b) {
  M3 r;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}
V3 Apply(const M3& a, V3 v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z, a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}
M3 Transpose(const M3& a) {
  M3 r;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) r.m[i][j] = a.m[j][i];
  return r;
}
// Right-handed rotations by `a` radians about X, Y and Z.
M3 RotX(float a) {
  M3 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[1][1] = c, r.m[1][2] = -s, r.m[2][1] = s, r.m[2][2] = c;
  return r;
}
M3 RotY(float a) {
  M3 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c, r.m[0][2] = s, r.m[2][0] = -s, r.m[2][2] = c;
  return r;
}
M3 RotZ(float a) {
  M3 r;
  float c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c, r.m[0][1] = -s, r.m[1][0] = s, r.m[1][1] = c;
  return r;
}
// The shortest rotation that turns direction a onto direction b.
M3 RotFromTo(V3 a, V3 b) {
  a = Normalize(a), b = Normalize(b);
  V3 axis = Cross(a, b);
  float s = Length(axis), c = Dot(a, b);
  if (s < 1e-6f) return M3{};
  axis = axis * (1.0f / s);
  float angle = std::atan2(s, c), cs = std::cos(angle), sn = std::sin(angle), t = 1 - cs;
  M3 r;
  r.m[0][0] = t * axis.x * axis.x + cs, r.m[0][1] = t * axis.x * axis.y - sn * axis.z;
  r.m[0][2] = t * axis.x * axis.z + sn * axis.y;
  r.m[1][0] = t * axis.x * axis.y + sn * axis.z, r.m[1][1] = t * axis.y * axis.y + cs;
  r.m[1][2] = t * axis.y * axis.z - sn * axis.x;
  r.m[2][0] = t * axis.x * axis.z - sn * axis.y, r.m[2][1] = t * axis.y * axis.z + sn * axis.x;
  r.m[2][2] = t * axis.z * axis.z + cs;
  return r;
}

struct Xf {
  M3 r;
  V3 t;
};
V3 Apply(const Xf& x, V3 v) { return Apply(x.r, v) + x.t; }

// ---------------------------------------------------------------------------------------
// Rig: bones in parent-before-child order, each turning about its rest joint.

struct Rig {
  std::vector<int> parent;
  std::vector<V3> joint;
  int Add(int p, V3 j) {
    parent.push_back(p);
    joint.push_back(j);
    return (int)joint.size() - 1;
  }
};

struct Pose {
  std::vector<M3> local;  // rotation about the bone's joint, in the parent's frame
  V3 rootOffset;          // translation of the root bone
  explicit Pose(const Rig& rig) : local(rig.joint.size()) {}
};

// The transform that carries each bone's rest-space points to their posed places.
std::vector<Xf> SolveRig(const Rig& rig, const Pose& pose) {
  std::vector<Xf> world(rig.joint.size());
  for (size_t b = 0; b < rig.joint.size(); b++) {
    V3 j = rig.joint[b];
    const M3& r = pose.local[b];
    if (rig.parent[b] < 0) {
      world[b].r = r;
      world[b].t = pose.rootOffset + j - Apply(r, j);
    } else {
      const Xf& p = world[(size_t)rig.parent[b]];
      world[b].r = Mul(p.r, r);
      world[b].t = Apply(p.r, j - Apply(r, j)) + p.t;
    }
  }
  return world;
}

// Sets the local rotations of a chain of bones (b[0] the first) so that each bone's rest
// segment, from its joint to the next joint of `ends`, points along `dirs`, each bone keeping
// its parent's twist. `parentWorld` is the world rotation of b[0]'s parent.
void AimChain(const Rig& rig, Pose& pose, M3 parentWorld, const std::vector<int>& bones,
              const std::vector<V3>& restEnds, const std::vector<V3>& dirs) {
  M3 w = parentWorld;
  for (size_t i = 0; i < bones.size(); i++) {
    int b = bones[i];
    V3 rest = restEnds[i] - rig.joint[(size_t)b];
    M3 world = Mul(RotFromTo(Apply(w, rest), dirs[i]), w);
    pose.local[(size_t)b] = Mul(Transpose(w), world);
    w = world;
  }
}

// Knee position of a two-bone limb from hip h to ankle a with lengths l1, l2, bending
// towards `pole`. The reach is limited to what the limb can span.
V3 SolveKnee(V3 h, V3* a, float l1, float l2, V3 pole) {
  V3 d = *a - h;
  float dist = Length(d);
  float maxReach = (l1 + l2) * 0.999f, minReach = std::fabs(l1 - l2) + 0.01f;
  V3 dir = Normalize(d);
  if (dist > maxReach) dist = maxReach;
  if (dist < minReach) dist = minReach;
  *a = h + dir * dist;
  float cosA = (l1 * l1 + dist * dist - l2 * l2) / (2 * l1 * dist);
  cosA = std::fmax(-1.0f, std::fmin(1.0f, cosA));
  float sinA = std::sqrt(1 - cosA * cosA);
  V3 n = Normalize(pole - dir * Dot(pole, dir));
  return h + dir * (l1 * cosA) + n * (l1 * sinA);
}

// ---------------------------------------------------------------------------------------
// Skinned mesh built from tubes.

struct SkinMesh {
  std::vector<V3> rest;
  std::vector<std::array<int, 2>> bones;
  std::vector<std::array<float, 2>> weights;
  std::vector<UV> uvs;
  std::vector<std::array<uint16_t, 3>> faces;
  std::vector<int> part;  // which tube made the vertex
};

struct Section {
  float rx = 1, ry = 1;  // half-widths across the side axis and the 'up' axis
  float up = 0;          // centre shifted along the 'up' axis
};

struct Tube {
  std::vector<V3> points;   // the centre line's control points, rest pose
  std::vector<int> owners;  // one bone per segment between two points
  std::function<Section(float s, float length)> section;  // by arc length from points[0]
  int rings = 10, sides = 8;
  V3 up{0, 1, 0};           // first ring's 'up' axis (angle 0 of every ring, v = v0)
  float u0 = 0, u1 = 1, v0 = 0, v1 = 1;
  float blend = 0.8f;       // half width of the weight blend across a joint
  bool clockwise = false;   // winding seen from outside
};

V3 CatmullRom(V3 p0, V3 p1, V3 p2, V3 p3, float t) {
  float t2 = t * t, t3 = t2 * t;
  return (p1 * 2.0f + (p2 - p0) * t + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * t2 +
          (p1 * 3.0f - p0 - p2 * 3.0f + p3) * t3) *
         0.5f;
}

void AddTube(SkinMesh& mesh, const Tube& tube, int partId) {
  const std::vector<V3>& p = tube.points;
  const int segs = (int)p.size() - 1;
  // Dense samples of the smooth centre line, with arc length and segment of each.
  const int per = 24;
  std::vector<V3> dense;
  std::vector<float> arc;
  std::vector<int> segOf;
  for (int k = 0; k < segs; k++) {
    V3 p0 = k > 0 ? p[(size_t)k - 1] : p[0] * 2.0f - p[1];
    V3 p3 = k + 2 <= segs ? p[(size_t)k + 2] : p[(size_t)segs] * 2.0f - p[(size_t)segs - 1];
    for (int i = 0; i < per; i++) {
      dense.push_back(CatmullRom(p0, p[(size_t)k], p[(size_t)k + 1], p3, (float)i / per));
      segOf.push_back(k);
    }
  }
  dense.push_back(p.back());
  segOf.push_back(segs - 1);
  arc.push_back(0);
  for (size_t i = 1; i < dense.size(); i++) arc.push_back(arc.back() + Length(dense[i] - dense[i - 1]));
  const float length = arc.back();
  std::vector<float> jointArc;  // arc length at each interior control point
  for (int k = 1; k < segs; k++) jointArc.push_back(arc[(size_t)k * per]);

  auto sample = [&](float s, V3* pos, V3* tangent, int* seg) {
    size_t i = 1;
    while (i + 1 < arc.size() && arc[i] < s) i++;
    float span = arc[i] - arc[i - 1];
    float f = span > 0 ? (s - arc[i - 1]) / span : 0;
    *pos = LerpV(dense[i - 1], dense[i], f);
    *tangent = Normalize(dense[i] - dense[i - 1]);
    *seg = segOf[i - 1];
  };

  const uint32_t base = (uint32_t)mesh.rest.size();
  V3 side;
  for (int r = 0; r <= tube.rings; r++) {
    float s = length * r / tube.rings;
    V3 c, t;
    int seg;
    sample(s, &c, &t, &seg);
    // Rotation-minimising frame: the side axis is carried from ring to ring.
    if (r == 0) side = Normalize(Cross(tube.up, t));
    else side = Normalize(side - t * Dot(side, t));
    V3 upAxis = Cross(t, side);
    // Ring weights: the segment's bone, blended with the neighbour across a nearby joint.
    std::array<int, 2> bones = {tube.owners[(size_t)seg], tube.owners[(size_t)seg]};
    std::array<float, 2> weights = {1, 0};
    for (int j = 0; j < (int)jointArc.size(); j++) {
      float lenPrev = arc[(size_t)(j + 1) * per] - arc[(size_t)j * per];
      float lenNext = arc[(size_t)(j + 2) * per] - arc[(size_t)(j + 1) * per];
      float h = std::fmin(tube.blend, 0.45f * std::fmin(lenPrev, lenNext));
      float d = s - jointArc[(size_t)j];
      if (h > 0 && std::fabs(d) < h) {
        float w = Smoothstep(-h, h, d);
        bones = {tube.owners[(size_t)j], tube.owners[(size_t)j + 1]};
        weights = {1 - w, w};
      }
    }
    Section sec = tube.section(s, length);
    for (int k = 0; k <= tube.sides; k++) {
      float a = TwoPi * k / tube.sides;
      V3 v = c + upAxis * (sec.up + sec.ry * std::cos(a)) + side * (sec.rx * std::sin(a));
      mesh.rest.push_back(v);
      mesh.bones.push_back(bones);
      mesh.weights.push_back(weights);
      mesh.uvs.push_back({tube.u0 + (tube.u1 - tube.u0) * s / length, tube.v0 + (tube.v1 - tube.v0) * k / tube.sides});
      mesh.part.push_back(partId);
    }
  }
  const int row = tube.sides + 1;
  for (int r = 0; r < tube.rings; r++)
    for (int k = 0; k < tube.sides; k++) {
      uint16_t a = (uint16_t)(base + r * row + k), b = (uint16_t)(a + row), c = (uint16_t)(b + 1),
               d = (uint16_t)(a + 1);
      // (a, b, c) turns from the centre line's direction towards the side axis: its normal
      // is the ring's outward direction.
      if (tube.clockwise) {
        mesh.faces.push_back({a, c, b});
        mesh.faces.push_back({a, d, c});
      } else {
        mesh.faces.push_back({a, b, c});
        mesh.faces.push_back({a, c, d});
      }
    }
}

std::vector<V3> SkinFrame(const SkinMesh& mesh, const std::vector<V3>& rest, const std::vector<Xf>& world) {
  std::vector<V3> out(rest.size());
  for (size_t i = 0; i < rest.size(); i++) {
    V3 v = Apply(world[(size_t)mesh.bones[i][0]], rest[i]) * mesh.weights[i][0];
    if (mesh.weights[i][1] > 0) v += Apply(world[(size_t)mesh.bones[i][1]], rest[i]) * mesh.weights[i][1];
    out[i] = v;
  }
  return out;
}

// Profile helpers: a table of (arc length, section) read with smooth steps between rows,
// and a rounded closing of the ends.
Section Profile(const std::vector<std::pair<float, Section>>& rows, float s) {
  if (s <= rows.front().first) return rows.front().second;
  for (size_t i = 1; i < rows.size(); i++)
    if (s <= rows[i].first) {
      float f = Smoothstep(rows[i - 1].first, rows[i].first, s);
      const Section &a = rows[i - 1].second, &b = rows[i].second;
      return {Lerp(a.rx, b.rx, f), Lerp(a.ry, b.ry, f), Lerp(a.up, b.up, f)};
    }
  return rows.back().second;
}
// 0 at the very ends of [0, length], rising like a circle over `cap` units.
float RoundEnds(float s, float length, float capStart, float capEnd) {
  float f = 1;
  if (capStart > 0 && s < capStart) f = std::sqrt(std::fmax(0.0f, 1 - (1 - s / capStart) * (1 - s / capStart)));
  float e = length - s;
  if (capEnd > 0 && e < capEnd) f *= std::sqrt(std::fmax(0.0f, 1 - (1 - e / capEnd) * (1 - e / capEnd)));
  return std::fmax(f, 0.02f);
}

FrameMesh ToFrameMesh(const SkinMesh& mesh) {
  FrameMesh out;
  out.uvs = mesh.uvs;
  out.faces = mesh.faces;
  return out;
}

// ---------------------------------------------------------------------------------------
// The raptor. Facing +Z, ground at y = 0. Texture: u along the body from the snout
// (0) to the tail tip (0.86), v around each tube from its top (0) through the belly (0.5);
// u above 0.875 holds the eye (upper half) and the claws and teeth (lower half).

constexpr float RaptorBodyU = 0.86f;

struct RaptorRig {
  Rig rig;
  int pelvis, spine, neck, head, jaw, tail[4];
  int thigh[2], shin[2], meta[2], toe[2];
  int upperArm[2], foreArm[2], hand[2];
  V3 snout, tailTip, toeEnd[2], handEnd[2];
};

RaptorRig MakeRaptorRig() {
  RaptorRig r;
  Rig& g = r.rig;
  r.pelvis = g.Add(-1, {0, 10.6f, 0});
  r.spine = g.Add(r.pelvis, {0, 10.9f, 3.6f});
  r.neck = g.Add(r.spine, {0, 11.8f, 8.2f});
  r.head = g.Add(r.neck, {0, 16.2f, 11.0f});
  r.jaw = g.Add(r.head, {0, 15.2f, 11.4f});
  r.tail[0] = g.Add(r.pelvis, {0, 10.7f, -3.2f});
  r.tail[1] = g.Add(r.tail[0], {0, 11.0f, -8.4f});
  r.tail[2] = g.Add(r.tail[1], {0, 10.9f, -13.6f});
  r.tail[3] = g.Add(r.tail[2], {0, 10.5f, -18.8f});
  r.snout = {0, 15.5f, 17.6f};
  r.tailTip = {0, 9.9f, -26.0f};
  for (int s = 0; s < 2; s++) {
    float x = s == 0 ? 2.6f : -2.6f;
    r.thigh[s] = g.Add(r.pelvis, {x, 10.0f, 0.3f});
    r.shin[s] = g.Add(r.thigh[s], {x, 6.6f, 3.0f});
    r.meta[s] = g.Add(r.shin[s], {x, 3.2f, -1.0f});
    r.toe[s] = g.Add(r.meta[s], {x, 0.7f, 0.8f});
    r.toeEnd[s] = {x, 0.3f, 3.9f};
    float ax = s == 0 ? 1.9f : -1.9f, hx = s == 0 ? 2.3f : -2.3f;
    r.upperArm[s] = g.Add(r.spine, {ax, 9.8f, 6.2f});
    r.foreArm[s] = g.Add(r.upperArm[s], {hx, 7.8f, 6.0f});
    r.hand[s] = g.Add(r.foreArm[s], {hx, 7.0f, 8.3f});
    r.handEnd[s] = {hx, 5.9f, 9.4f};
  }
  return r;
}

SkinMesh MakeRaptorMesh(const RaptorRig& r) {
  SkinMesh mesh;
  const Rig& g = r.rig;
  // Head, neck, body and tail: one tube from the snout back to the tail tip.
  {
    Tube t;
    t.points = {r.snout, g.joint[(size_t)r.head], g.joint[(size_t)r.neck], g.joint[(size_t)r.spine],
                g.joint[(size_t)r.pelvis], g.joint[(size_t)r.tail[0]], g.joint[(size_t)r.tail[1]],
                g.joint[(size_t)r.tail[2]], g.joint[(size_t)r.tail[3]], r.tailTip};
    t.owners = {r.head, r.neck, r.spine, r.pelvis, r.pelvis, r.tail[0], r.tail[1], r.tail[2], r.tail[3]};
    std::vector<std::pair<float, Section>> rows = {
        {0.0f, {0.45f, 0.55f, 0.1f}},  {1.2f, {0.75f, 0.85f, 0.1f}},  {4.0f, {1.05f, 1.05f, 0.2f}},
        {6.2f, {1.5f, 1.5f, 0.35f}},   {7.6f, {1.35f, 1.45f, 0.0f}},  {9.5f, {1.2f, 1.35f, 0.0f}},
        {12.0f, {1.8f, 2.1f, -0.3f}},  {15.0f, {2.5f, 3.2f, -0.9f}},  {18.0f, {2.7f, 3.3f, -0.8f}},
        {21.0f, {2.5f, 2.9f, -0.4f}},  {24.0f, {1.9f, 2.1f, -0.1f}},  {29.0f, {1.35f, 1.45f, 0.0f}},
        {34.0f, {0.9f, 0.95f, 0.0f}},  {39.0f, {0.55f, 0.6f, 0.0f}},  {44.0f, {0.2f, 0.22f, 0.0f}}};
    t.section = [rows](float s, float length) {
      Section sec = Profile(rows, s);
      float f = RoundEnds(s, length, 0.6f, 1.0f);
      sec.rx *= f, sec.ry *= f;
      return sec;
    };
    t.rings = 44, t.sides = 12;
    t.u0 = 0, t.u1 = RaptorBodyU;
    t.blend = 1.6f;
    AddTube(mesh, t, 0);
  }
  // Lower jaw under the snout.
  {
    Tube t;
    V3 hinge = g.joint[(size_t)r.jaw];
    t.points = {hinge + V3{0, 0.1f, -0.8f}, hinge + V3{0, -0.25f, 2.8f}, {0, 14.35f, 17.1f}};
    t.owners = {r.jaw, r.jaw};
    t.section = [](float s, float length) {
      float f = RoundEnds(s, length, 0.5f, 0.6f);
      float w = Lerp(1.15f, 0.5f, s / length);
      return Section{w * f, 0.5f * f, 0};
    };
    t.rings = 8, t.sides = 6;
    t.u0 = 0.10f, t.u1 = 0.0f;
    AddTube(mesh, t, 1);
  }
  // Teeth: a thin ivory ridge along each side of the upper jaw's lip.
  for (int s = 0; s < 2; s++) {
    float x = s == 0 ? 0.8f : -0.8f;
    Tube t;
    t.points = {{x * 0.5f, 14.8f, 16.9f}, {x * 0.95f, 14.75f, 14.5f}, {x * 1.05f, 14.9f, 12.4f}};
    t.owners = {r.head, r.head};
    t.section = [](float s2, float length) {
      // A sawtooth of points hanging from the lip.
      float saw = std::fabs(std::fmod(s2 * 2.2f, 1.0f) - 0.5f) * 2;
      float f = RoundEnds(s2, length, 0.3f, 0.3f);
      return Section{0.09f * f, (0.08f + 0.2f * saw) * f, -0.1f * saw};
    };
    t.rings = 24, t.sides = 3;
    t.u0 = 0.90f, t.u1 = 0.92f, t.v0 = 0.78f, t.v1 = 0.80f;
    AddTube(mesh, t, 1);
  }
  // Eyes: small bulbs on the sides of the skull, pointing outwards.
  for (int s = 0; s < 2; s++) {
    float x = s == 0 ? 1.0f : -1.0f;
    Tube t;
    V3 centre{x * 1.05f, 16.55f, 12.9f};
    t.points = {centre - V3{x * 0.35f, 0, 0}, centre + V3{x * 0.45f, 0, 0.05f}};
    t.owners = {r.head};
    t.section = [](float s2, float length) {
      float f = RoundEnds(s2, length, length * 0.5f, length * 0.5f);
      return Section{0.5f * f, 0.42f * f, 0};
    };
    t.rings = 4, t.sides = 6;
    t.up = {0, 1, 0};
    t.u0 = 0.88f, t.u1 = 0.995f, t.v0 = 0.05f, t.v1 = 0.45f;
    AddTube(mesh, t, 2);
  }
  for (int s = 0; s < 2; s++) {
    // Leg: a strong thigh, shin and raised metatarsus down to the ball of the foot.
    Tube leg;
    V3 hip = g.joint[(size_t)r.thigh[s]];
    leg.points = {V3{hip.x * 0.55f, hip.y + 1.6f, hip.z - 0.6f}, hip, g.joint[(size_t)r.shin[s]], g.joint[(size_t)r.meta[s]],
                  g.joint[(size_t)r.toe[s]]};
    // The top of the thigh stays with the hips, so the swinging leg does not lift it out
    // of the body.
    leg.owners = {r.pelvis, r.thigh[s], r.shin[s], r.meta[s]};
    std::vector<std::pair<float, Section>> rows = {
        {0.0f, {1.1f, 1.6f, 0}},    {1.7f, {1.55f, 2.2f, 0.1f}}, {4.2f, {1.35f, 1.75f, 0.2f}},
        {5.8f, {0.95f, 1.1f, 0}},   {7.5f, {1.0f, 1.25f, -0.2f}}, {10.5f, {0.55f, 0.6f, 0}},
        {11.5f, {0.6f, 0.65f, 0}},  {14.5f, {0.42f, 0.5f, 0}}, {15.5f, {0.55f, 0.55f, 0}}};
    leg.section = [rows](float s2, float length) {
      Section sec = Profile(rows, s2);
      float f = RoundEnds(s2, length, 1.0f, 0.5f);
      sec.rx *= f, sec.ry *= f;
      return sec;
    };
    leg.rings = 18, leg.sides = 8;
    leg.up = {0, 0, 1};
    leg.u0 = 0.36f, leg.u1 = 0.58f;
    leg.blend = 1.2f;
    AddTube(mesh, leg, 3);
    // Foot: the toes forward from the ball, lying on the ground.
    Tube foot;
    V3 ball = g.joint[(size_t)r.toe[s]];
    foot.points = {ball + V3{0, 0.25f, -0.9f}, ball, r.toeEnd[s]};
    foot.owners = {r.meta[s], r.toe[s]};
    foot.section = [](float s2, float length) {
      float f = RoundEnds(s2, length, 0.5f, 0.6f);
      float w = Lerp(0.75f, 0.95f, Smoothstep(0, length, s2));
      return Section{w * f, 0.45f * f, 0};
    };
    foot.rings = 6, foot.sides = 6;
    foot.u0 = 0.58f, foot.u1 = 0.64f;
    foot.blend = 0.5f;
    AddTube(mesh, foot, 3);
    // The raised sickle claw of the second toe.
    Tube claw;
    float cx = ball.x * 0.92f;
    claw.points = {ball + V3{cx - ball.x, 0.5f, -0.2f}, {cx, 2.0f, 1.0f}, {cx, 1.9f, 2.1f}, {cx, 1.2f, 2.6f}};
    claw.owners = {r.toe[s], r.toe[s], r.toe[s]};
    claw.section = [](float s2, float length) {
      float w = Lerp(0.35f, 0.03f, s2 / length);
      return Section{w * 0.7f, w, 0};
    };
    claw.rings = 6, claw.sides = 4;
    claw.up = {0, 0, 1};
    claw.u0 = 0.88f, claw.u1 = 0.995f, claw.v0 = 0.55f, claw.v1 = 0.95f;
    AddTube(mesh, claw, 4);
    // Arm: short, held folded, ending in a clawed hand.
    Tube arm;
    arm.points = {g.joint[(size_t)r.upperArm[s]] + V3{0, 0.8f, -0.2f}, g.joint[(size_t)r.upperArm[s]],
                  g.joint[(size_t)r.foreArm[s]], g.joint[(size_t)r.hand[s]], r.handEnd[s]};
    arm.owners = {r.upperArm[s], r.upperArm[s], r.foreArm[s], r.hand[s]};
    arm.section = [](float s2, float length) {
      float f = RoundEnds(s2, length, 0.5f, 0.4f);
      float w = Lerp(0.7f, 0.3f, s2 / length);
      return Section{w * f, w * 1.1f * f, 0};
    };
    arm.rings = 10, arm.sides = 6;
    arm.up = {0, 0, 1};
    arm.u0 = 0.2f, arm.u1 = 0.3f;
    arm.blend = 0.5f;
    AddTube(mesh, arm, 5);
  }
  return mesh;
}

// One pose of the run at cycle phase u in [0, 1).
Pose RaptorPose(const RaptorRig& r, float u) {
  const Rig& g = r.rig;
  Pose pose(g);
  const float w = TwoPi * u;
  const float duty = 0.4f;  // share of the cycle each foot is on the ground
  // Body: lowest at each mid-stance (u = 0.2 and 0.7), highest in the flights between.
  float bob = -0.55f * std::cos(2 * TwoPi * (u - duty / 2));
  float yaw = Rad(4) * std::sin(w - 0.6f), roll = Rad(3) * std::sin(w + 0.9f);
  float pitch = Rad(2.5f) * std::sin(2 * TwoPi * (u - duty / 2) + 0.8f);
  pose.rootOffset = {0, bob, 0};
  pose.local[(size_t)r.pelvis] = Mul(RotY(yaw), Mul(RotX(pitch), RotZ(roll)));
  pose.local[(size_t)r.spine] = Mul(RotY(-yaw * 0.6f), RotX(-pitch * 0.5f));
  // The neck takes up the bounce so the head stays steady; the head looks ahead.
  pose.local[(size_t)r.neck] = Mul(RotY(-yaw * 0.5f), RotX(-pitch * 0.6f + Rad(2) * std::sin(2 * TwoPi * u + 2.0f)));
  pose.local[(size_t)r.head] = RotX(Rad(-4) + Rad(3) * std::sin(2 * TwoPi * u + 2.6f));
  // Jaw: snaps open once a cycle.
  float open = 0.5f - 0.5f * std::cos(w + 0.3f);
  pose.local[(size_t)r.jaw] = RotX(Rad(6) + Rad(16) * open * open);
  // Tail: a travelling side wave growing towards the tip, swinging against the hips.
  for (int k = 0; k < 4; k++) {
    float lag = 0.7f * (k + 1);
    pose.local[(size_t)r.tail[k]] = Mul(RotY(-Rad(3.0f + 1.6f * k) * std::sin(w - lag)),
                                        RotX(Rad(1.5f + 0.5f * k) * std::sin(2 * TwoPi * u - lag)));
  }
  // Arms: folded, swaying a little with the stride.
  for (int s = 0; s < 2; s++) {
    float sgn = s == 0 ? 1.0f : -1.0f;
    pose.local[(size_t)r.upperArm[s]] = RotX(Rad(-8) + Rad(7) * sgn * std::sin(w));
    pose.local[(size_t)r.foreArm[s]] = RotX(Rad(-12) + Rad(6) * sgn * std::sin(w + 0.8f));
    pose.local[(size_t)r.hand[s]] = RotX(Rad(8) * std::sin(w + 1.6f));
  }
  // Legs: the ball of each foot follows its ground path; thigh and shin reach the ankle
  // with the knee forward, the metatarsus tilts with the phase of the step.
  std::vector<Xf> world = SolveRig(g, pose);
  const Xf& pw = world[(size_t)r.pelvis];
  for (int s = 0; s < 2; s++) {
    float phase = std::fmod(u + (s == 0 ? 0.0f : 0.5f), 1.0f);
    float x = g.joint[(size_t)r.toe[s]].x;
    const float groundY = 0.55f, zMid = 0.6f, reach = RaptorStride * duty / 2;
    const float lt = Length(r.toeEnd[s] - g.joint[(size_t)r.toe[s]]);
    const float pushToe = 0.55f;  // the toes' tilt as the foot leaves the ground
    V3 ball;
    float tilt, toe;  // metatarsus angle from the vertical (ball to ankle, back negative), toe angle
    if (phase < duty) {
      // The toe tips stay where they landed while the ground carries them back; late in the
      // stance the ball of the foot rolls up over them.
      float f = phase / duty;
      float tipZ = zMid + reach + lt - 2 * reach * f;
      toe = pushToe * Smoothstep(0.55f, 1.0f, f);
      ball = {x, groundY + lt * std::sin(toe), tipZ - lt * std::cos(toe)};
      tilt = f < 0.5f ? Lerp(-0.45f, -0.75f, Smoothstep(0, 0.5f, f)) : Lerp(-0.75f, -0.2f, Smoothstep(0.5f, 1, f));
    } else {
      float f = (phase - duty) / (1 - duty);
      float along = 0.5f - 0.5f * std::cos(Pi * f);
      V3 from{x, groundY + lt * std::sin(pushToe), zMid - reach + lt * (1 - std::cos(pushToe))};
      V3 to{x, groundY, zMid + reach};
      ball = LerpV(from, to, along);
      ball.y += 3.2f * std::pow(std::sin(Pi * std::pow(f, 0.8f)), 1.3f);
      tilt = f < 0.4f ? Lerp(-0.2f, 0.25f, Smoothstep(0, 0.4f, f)) : Lerp(0.25f, -0.45f, Smoothstep(0.4f, 1, f));
      toe = Lerp(pushToe, 0.0f, Smoothstep(0.3f, 1.0f, f)) + 0.6f * std::sin(Pi * f);
    }
    float lm = Length(g.joint[(size_t)r.toe[s]] - g.joint[(size_t)r.meta[s]]);
    V3 ankle = ball + V3{0, std::cos(tilt), std::sin(tilt)} * lm;
    V3 hip = Apply(pw, g.joint[(size_t)r.thigh[s]]);
    float l1 = Length(g.joint[(size_t)r.shin[s]] - g.joint[(size_t)r.thigh[s]]);
    float l2 = Length(g.joint[(size_t)r.meta[s]] - g.joint[(size_t)r.shin[s]]);
    V3 knee = SolveKnee(hip, &ankle, l1, l2, Apply(pw.r, V3{0, 0, 1}));
    V3 toeDir{0, -std::sin(toe), std::cos(toe)};
    AimChain(g, pose, pw.r, {r.thigh[s], r.shin[s], r.meta[s], r.toe[s]},
             {g.joint[(size_t)r.shin[s]], g.joint[(size_t)r.meta[s]], g.joint[(size_t)r.toe[s]], r.toeEnd[s]},
             {knee - hip, ankle - knee, ball - ankle, toeDir});
  }
  return pose;
}

// ---------------------------------------------------------------------------------------
// The figure: slender, about 45 tall, facing +Z, feet at y = 0, a short flared dress and
// long hair. Wound clockwise seen from outside (it is drawn with front faces culled).

struct GirlRig {
  Rig rig;
  int pelvis, waist, chest, neck, head, hair[2];
  int thigh[2], shin[2], foot[2];
  int upperArm[2], foreArm[2], hand[2];
  V3 headTop, toe[2], handEnd[2], hairEnd;
};

const float GirlArmDrop = Rad(35);  // rest pose: arms 35 degrees below the horizontal

GirlRig MakeGirlRig() {
  GirlRig r;
  Rig& g = r.rig;
  r.pelvis = g.Add(-1, {0, 23.5f, 0});
  r.waist = g.Add(r.pelvis, {0, 27.5f, 0});
  r.chest = g.Add(r.waist, {0, 31.5f, 0});
  r.neck = g.Add(r.chest, {0, 38.3f, -0.2f});
  r.head = g.Add(r.neck, {0, 40.0f, 0.1f});
  r.headTop = {0, 45.2f, 0.1f};
  r.hair[0] = g.Add(r.head, {0, 41.0f, -2.0f});
  r.hair[1] = g.Add(r.hair[0], {0, 35.5f, -2.9f});
  r.hairEnd = {0, 30.5f, -2.6f};
  for (int s = 0; s < 2; s++) {
    float sx = s == 0 ? 1.0f : -1.0f;
    r.thigh[s] = g.Add(r.pelvis, {2.1f * sx, 22.5f, 0});
    r.shin[s] = g.Add(r.thigh[s], {1.9f * sx, 12.3f, 0.3f});
    r.foot[s] = g.Add(r.shin[s], {1.8f * sx, 2.0f, -0.3f});
    r.toe[s] = {1.9f * sx, 0.35f, 3.4f};
    V3 dir{std::cos(GirlArmDrop) * sx, -std::sin(GirlArmDrop), 0};
    V3 shoulder{4.2f * sx, 36.9f, -0.2f};
    r.upperArm[s] = g.Add(r.chest, shoulder);
    r.foreArm[s] = g.Add(r.upperArm[s], shoulder + dir * 7.2f);
    r.hand[s] = g.Add(r.foreArm[s], shoulder + dir * 13.7f);
    r.handEnd[s] = shoulder + dir * 17.4f;
  }
  return r;
}

constexpr int GirlDressPart = 6;

SkinMesh MakeGirlMesh(const GirlRig& r) {
  SkinMesh mesh;
  const Rig& g = r.rig;
  // A short flared dress from the waist to above the knees; it swirls in the frames. It
  // comes first so that, drawn with depth, it hides the legs inside it rather than adding
  // to them.
  {
    Tube t;
    t.points = {{0, 28.6f, 0}, {0, 22.0f, 0}, {0, 15.2f, 0}};
    t.owners = {r.pelvis, r.pelvis};
    t.section = [](float s, float length) {
      // Close over the hips, then falling straight to the hem.
      float f = s / length, g = 0.5f * f + 0.5f * (1 - (1 - f) * (1 - f));
      return Section{Lerp(3.0f, 7.0f, g), Lerp(2.3f, 6.0f, g), 0};
    };
    t.rings = 12, t.sides = 20;
    t.up = {0, 0, 1};
    t.clockwise = true;
    AddTube(mesh, t, GirlDressPart);
  }
  // Torso, neck and head in one tube from the crotch up; 'up' of the rings is the front.
  {
    Tube t;
    t.points = {{0, 20.4f, 0}, g.joint[(size_t)r.pelvis], g.joint[(size_t)r.waist], g.joint[(size_t)r.chest],
                {0, 37.4f, -0.2f}, g.joint[(size_t)r.neck], g.joint[(size_t)r.head], r.headTop};
    t.owners = {r.pelvis, r.pelvis, r.waist, r.chest, r.chest, r.neck, r.head};
    // Rows by height above the crotch: rx across the body, ry front to back, up = forward.
    std::vector<std::pair<float, Section>> rows = {
        {0.0f, {1.0f, 0.8f, 0}},      {1.0f, {2.7f, 2.0f, 0}},      {2.4f, {3.6f, 2.5f, -0.2f}},
        {4.2f, {3.7f, 2.5f, -0.1f}},  {7.0f, {2.6f, 1.9f, 0}},      {9.6f, {2.8f, 2.0f, 0.1f}},
        {11.6f, {3.2f, 2.5f, 0.5f}},  {12.8f, {3.3f, 2.4f, 0.45f}}, {15.0f, {3.5f, 2.0f, 0}},
        {16.6f, {3.6f, 1.7f, -0.1f}}, {17.4f, {1.5f, 1.4f, 0}},     {18.3f, {1.05f, 1.1f, 0}},
        {19.3f, {1.05f, 1.1f, 0}},    {20.0f, {1.6f, 1.9f, 0.3f}},  {21.8f, {2.1f, 2.5f, 0.1f}},
        {23.2f, {2.05f, 2.4f, -0.1f}}, {24.8f, {0.3f, 0.3f, 0}}};
    t.section = [rows](float s, float length) {
      Section sec = Profile(rows, s);
      float f = RoundEnds(s, length, 0.6f, 1.0f);
      sec.rx *= f, sec.ry *= f;
      return sec;
    };
    t.rings = 44, t.sides = 16;
    t.up = {0, 0, 1};
    t.blend = 1.4f;
    t.clockwise = true;
    AddTube(mesh, t, 0);
  }
  // Long hair down the back.
  {
    Tube t;
    t.points = {{0, 44.6f, -0.6f}, g.joint[(size_t)r.hair[0]], g.joint[(size_t)r.hair[1]], r.hairEnd};
    t.owners = {r.head, r.hair[0], r.hair[1]};
    t.section = [](float s, float length) {
      float f = RoundEnds(s, length, 0.8f, 1.2f);
      float w = Lerp(2.0f, 1.3f, s / length);
      return Section{w * f, 0.9f * f, 0};
    };
    t.rings = 14, t.sides = 8;
    t.up = {0, 0, -1};
    t.blend = 1.2f;
    t.clockwise = true;
    AddTube(mesh, t, 1);
  }
  for (int s = 0; s < 2; s++) {
    Tube leg;
    V3 hip = g.joint[(size_t)r.thigh[s]];
    // The leg runs on past the ankle into the heel, so that the foot grows out of it.
    leg.points = {hip + V3{0, 1.5f, 0}, hip, g.joint[(size_t)r.shin[s]], g.joint[(size_t)r.foot[s]],
                  g.joint[(size_t)r.foot[s]] + V3{0, -1.1f, 0.2f}};
    leg.owners = {r.thigh[s], r.thigh[s], r.shin[s], r.foot[s]};
    std::vector<std::pair<float, Section>> rows = {{0.0f, {2.3f, 2.3f, 0}},   {2.0f, {2.3f, 2.4f, 0.1f}},
                                                   {10.5f, {1.35f, 1.4f, 0}}, {11.8f, {1.2f, 1.25f, 0}},
                                                   {14.8f, {1.35f, 1.45f, -0.3f}}, {20.5f, {0.7f, 0.75f, 0}},
                                                   {22.0f, {0.75f, 0.8f, 0}}, {23.2f, {0.7f, 0.85f, 0}}};
    leg.section = [rows](float s2, float length) {
      Section sec = Profile(rows, s2);
      float f = RoundEnds(s2, length, 0.8f, 0.6f);
      sec.rx *= f, sec.ry *= f;
      return sec;
    };
    leg.rings = 24, leg.sides = 10;
    leg.up = {0, 0, 1};
    leg.blend = 1.2f;
    leg.clockwise = true;
    AddTube(mesh, leg, 2);
    Tube foot;
    V3 ankle = g.joint[(size_t)r.foot[s]];
    foot.points = {ankle + V3{0, -0.6f, -1.1f}, ankle + V3{0, -1.0f, 0.6f}, r.toe[s]};
    foot.owners = {r.foot[s], r.foot[s]};
    foot.section = [](float s2, float length) {
      float f = RoundEnds(s2, length, 0.6f, 0.8f);
      return Section{0.75f * f, Lerp(0.65f, 0.35f, s2 / length) * f, 0};
    };
    foot.rings = 8, foot.sides = 8;
    foot.clockwise = true;
    AddTube(mesh, foot, 3);
    Tube arm;
    V3 sh = g.joint[(size_t)r.upperArm[s]];
    V3 dir = Normalize(g.joint[(size_t)r.foreArm[s]] - sh);
    arm.points = {sh - dir * 1.0f, sh, g.joint[(size_t)r.foreArm[s]], g.joint[(size_t)r.hand[s]], r.handEnd[s]};
    arm.owners = {r.upperArm[s], r.upperArm[s], r.foreArm[s], r.hand[s]};
    std::vector<std::pair<float, Section>> rows2 = {{0.0f, {1.2f, 1.2f, 0}},  {1.5f, {1.15f, 1.2f, 0}},
                                                    {8.0f, {0.8f, 0.8f, 0}},  {11.0f, {0.8f, 0.75f, 0}},
                                                    {14.5f, {0.5f, 0.42f, 0}}, {15.6f, {0.75f, 0.3f, 0}},
                                                    {18.4f, {0.45f, 0.2f, 0}}};
    arm.section = [rows2](float s2, float length) {
      Section sec = Profile(rows2, s2);
      float f = RoundEnds(s2, length, 0.8f, 0.8f);
      sec.rx *= f, sec.ry *= f;
      return sec;
    };
    arm.rings = 20, arm.sides = 8;
    arm.up = {0, 1, 0};
    arm.blend = 1.0f;
    arm.clockwise = true;
    AddTube(mesh, arm, 4 + s);
  }
  return mesh;
}

Pose GirlPose(const GirlRig& r, float u, float* yawOut) {
  const Rig& g = r.rig;
  Pose pose(g);
  const float w = TwoPi * u;
  // She turns slowly to either side once a cycle and shifts her weight twice.
  float yaw = Rad(40) * std::sin(w);
  float sway = std::sin(2 * w);
  *yawOut = yaw;
  M3 turn = RotY(yaw);
  pose.rootOffset = Apply(turn, V3{1.3f * sway, -0.35f * (1 - std::cos(4 * w)) * 0.5f - 0.2f, 0});
  pose.local[(size_t)r.pelvis] = Mul(turn, RotZ(Rad(-5) * sway));
  pose.local[(size_t)r.waist] = RotZ(Rad(4) * sway);
  pose.local[(size_t)r.chest] = Mul(RotY(Rad(12) * std::sin(w + 0.8f)), Mul(RotZ(Rad(3) * sway), RotX(Rad(-3) + Rad(3) * std::sin(w + 2.0f))));
  pose.local[(size_t)r.neck] = RotZ(Rad(-3) * sway);
  pose.local[(size_t)r.head] = Mul(RotY(-yaw * 0.3f), Mul(RotZ(Rad(9) * std::sin(w + 1.5f)), RotX(Rad(6) * std::sin(2 * w + 0.5f))));
  // Hair trails the turn of the head.
  pose.local[(size_t)r.hair[0]] = Mul(RotZ(Rad(6) * std::sin(w - 0.6f)), RotX(Rad(-4) * std::cos(w)));
  pose.local[(size_t)r.hair[1]] = Mul(RotZ(Rad(8) * std::sin(w - 1.2f)), RotX(Rad(-5) * std::cos(w - 0.6f)));
  // Arms rise and fall in a slow wave, the right one behind the left.
  for (int s = 0; s < 2; s++) {
    float sx = s == 0 ? 1.0f : -1.0f;
    float ph = w + (s == 0 ? 0.0f : Pi * 0.7f);
    float lift = 0.5f - 0.5f * std::cos(ph);
    float elevation = Rad(-50) + Rad(92) * lift;  // from the horizontal, up positive
    float forward = Rad(18) + Rad(16) * std::sin(ph + 1.0f);
    pose.local[(size_t)r.upperArm[s]] = Mul(RotY(-forward * sx), RotZ((elevation + GirlArmDrop) * sx));
    float bend = Rad(15) + Rad(30) * (0.5f + 0.5f * std::sin(ph + 1.3f));
    pose.local[(size_t)r.foreArm[s]] = Mul(RotY(-bend * sx), RotZ(Rad(10) * sx * std::sin(ph + 2.0f)));
    pose.local[(size_t)r.hand[s]] = RotZ(Rad(-25) * sx * std::sin(ph + 2.4f));
  }
  // Legs: the supporting foot stays planted, the free one slides out and points.
  std::vector<Xf> world = SolveRig(g, pose);
  const Xf& pw = world[(size_t)r.pelvis];
  for (int s = 0; s < 2; s++) {
    float sx = s == 0 ? 1.0f : -1.0f;
    float free = std::fmax(0.0f, -sway * sx);  // the left leg is free while she leans right
    V3 ankleRest = g.joint[(size_t)r.foot[s]];
    V3 ankleLocal = ankleRest + V3{0.9f * sx * free, 1.75f * free, 1.8f * free};
    V3 ankle = Apply(turn, ankleLocal);
    V3 hip = Apply(pw, g.joint[(size_t)r.thigh[s]]);
    float l1 = Length(g.joint[(size_t)r.shin[s]] - g.joint[(size_t)r.thigh[s]]);
    float l2 = Length(g.joint[(size_t)r.foot[s]] - g.joint[(size_t)r.shin[s]]);
    V3 knee = SolveKnee(hip, &ankle, l1, l2, Apply(turn, V3{0.15f * sx, 0, 1}));
    V3 toeRest = r.toe[s] - ankleRest;
    V3 toeDir = Apply(Mul(turn, RotX(Rad(40) * free)), toeRest);
    AimChain(g, pose, pw.r, {r.thigh[s], r.shin[s], r.foot[s]},
             {g.joint[(size_t)r.shin[s]], g.joint[(size_t)r.foot[s]], r.toe[s]}, {knee - hip, ankle - knee, toeDir});
  }
  return pose;
}

// ---------------------------------------------------------------------------------------
// Pictures.

Image PaintRaptor() {
  const int n = 512;
  Image img(n, n);
  const int bodyW = (int)(n * 0.875f);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float u = (float)x / n, v = (float)y / n;
      Colour c;
      if (x < bodyW) {
        float a = TwoPi * v;
        float dorsal = 0.5f + 0.5f * std::cos(a);  // 1 along the spine, 0 under the belly
        float warp = Fbm(x / 64.0f, y / 64.0f, 8, 8, 4, 0.5f, 11) * 0.6f;
        // Belly cream, flanks ochre, back dark olive brown.
        Colour belly = Rgb255(226, 204, 150), flank = Rgb255(168, 112, 52), back = Rgb255(92, 70, 34);
        c = Mix(belly, flank, Smoothstep(0.12f, 0.42f, dorsal + warp * 0.1f));
        c = Mix(c, back, Smoothstep(0.62f, 0.92f, dorsal + warp * 0.08f));
        // Dark stripes across the back and flanks: irregular in spacing and width, some
        // forking, ragged where they fade down the flanks.
        float jitter = Fbm(u * 6, v * 2, 6, 2, 3, 0.5f, 12);
        float phase = u * 13.0f + jitter * 0.8f + warp * 0.5f + 0.12f * std::sin(a * 2);
        float band = std::sin(TwoPi * phase);
        float width = 0.25f + 0.3f * (0.5f + 0.5f * Fbm(u * 13, 0.5f, 13, 1, 2, 0.5f, 13));
        float stripe = Smoothstep(1 - width - 0.12f, 1 - width, band);
        float fork = Smoothstep(0.82f, 0.95f, std::sin(TwoPi * (phase * 2 + 0.25f))) *
                     Smoothstep(0.45f, 0.7f, dorsal) * Smoothstep(0.1f, 0.4f, jitter + 0.3f);
        stripe = std::fmax(stripe, fork * 0.8f);
        stripe *= Smoothstep(0.28f, 0.6f, dorsal + warp * 0.3f + jitter * 0.1f);
        stripe *= Smoothstep(0.05f, 0.14f, u);  // the snout stays plain
        c = Mix(c, Rgb255(48, 30, 14), stripe * 0.85f);
        // Scales: small cells, larger towards the spine, with dark seams.
        float cellsPer = dorsal > 0.85f ? 32.0f : 64.0f;
        CellDistances cd = Cells(x * cellsPer / n, y * cellsPer / n, (int)cellsPer, (int)cellsPer, dorsal > 0.85f ? 5u : 7u);
        float seam = Smoothstep(0.0f, 0.22f, cd.f2 - cd.f1);
        float tint = ((cd.id >> 8) & 255) / 255.0f;
        c = c * (0.78f + 0.22f * seam) * (0.92f + 0.16f * tint);
        // A pale dotted line along each flank.
        float dots = Smoothstep(0.3f, 0.1f, std::fabs(dorsal - 0.42f) * 8) * Smoothstep(0.55f, 0.9f, std::sin(TwoPi * u * 60));
        c = Mix(c, Rgb255(226, 206, 150), dots * 0.5f);
        // Light from above: the back bright, the belly in its own shadow.
        float light = 0.66f + 0.34f * Smoothstep(0.0f, 1.0f, dorsal * 0.8f + 0.2f);
        c = c * light;
      } else {
        float lu = (u - 0.875f) / 0.125f;  // 0 at the region's inner edge, 1 at the tip
        if (v < 0.5f) {
          // Eye: dark lid, amber iris, black pupil at the bulb's tip.
          float ring = lu;
          c = Rgb255(40, 28, 14);
          c = Mix(c, Rgb255(230, 170, 30), Smoothstep(0.45f, 0.6f, ring));
          c = Mix(c, Rgb255(250, 220, 90), Smoothstep(0.7f, 0.8f, ring) * 0.6f);
          c = Mix(c, Rgb255(8, 6, 4), Smoothstep(0.86f, 0.92f, ring));
        } else {
          // Claws and teeth: ivory darkening to horn at the tips.
          c = Mix(Rgb255(236, 226, 196), Rgb255(60, 48, 36), Smoothstep(0.5f, 1.0f, lu));
        }
      }
      img.At(x, y) = c;
    }
  return img;
}

Image PaintGirl() {
  const int n = 256;
  // A caustic web of light: thin bright veins with a soft halo, over slow clouds.
  Mask veins(n, n), cloud(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float fx = (float)x / n, fy = (float)y / n;
      float wx = Fbm(fx * 4, fy * 4, 4, 4, 3, 0.5f, 21), wy = Fbm(fx * 4 + 7.3f, fy * 4, 4, 4, 3, 0.5f, 22);
      CellDistances cd = Cells(fx * 5 + wx * 0.45f, fy * 5 + wy * 0.45f, 5, 5, 23);
      CellDistances fine = Cells(fx * 11 + wy * 0.6f, fy * 11 + wx * 0.6f, 11, 11, 24);
      veins.At(x, y) = std::exp(-(cd.f2 - cd.f1) * 10.0f) + 0.35f * std::exp(-(fine.f2 - fine.f1) * 12.0f);
      cloud.At(x, y) = 0.5f + 0.5f * Fbm(fx * 3, fy * 3, 3, 3, 5, 0.55f, 25);
    }
  Mask halo = veins;
  Blur(halo, 5.0f, true);
  Image img(n, n);
  Ramp ramp{{0.0f, Rgb255(8, 10, 34)},     {0.3f, Rgb255(40, 60, 150)}, {0.55f, Rgb255(100, 160, 230)},
            {0.8f, Rgb255(200, 225, 255)}, {1.1f, Rgb255(255, 250, 255)}};
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      float c0 = cloud.At(x, y);
      float glow = 0.12f + 0.32f * c0 + 0.45f * veins.At(x, y) + 0.45f * halo.At(x, y);
      Colour c = ramp(glow);
      // Violet and a little rose where the clouds are thick.
      c = Mix(c, c * Colour{1.2f, 0.8f, 1.05f}, Smoothstep(0.55f, 0.85f, c0) * 0.6f);
      img.At(x, y) = c;
    }
  // Sparkles.
  Rng rng(26);
  for (int i = 0; i < 50; i++) {
    int cx = (int)(rng.Unit() * n), cy = (int)(rng.Unit() * n);
    float bright = rng.Range(0.3f, 0.7f);
    for (int dy = -3; dy <= 3; dy++)
      for (int dx = -3; dx <= 3; dx++) {
        float d2 = (float)(dx * dx + dy * dy);
        float a = bright * std::exp(-d2 / 2.0f);
        Colour& p = img.At((cx + dx + n) % n, (cy + dy + n) % n);
        p = p + Colour{a, a, a};
      }
  }
  return img;
}

void PutF32(std::vector<uint8_t>& out, float v) {
  uint32_t bits;
  memcpy(&bits, &v, 4);
  for (int i = 0; i < 4; i++) out.push_back((uint8_t)(bits >> (8 * i)));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
}

}  // namespace

FrameMesh BuildRaptor() {
  RaptorRig rig = MakeRaptorRig();
  SkinMesh mesh = MakeRaptorMesh(rig);
  FrameMesh out = ToFrameMesh(mesh);
  for (int f = 0; f < RaptorFrames; f++) {
    Pose pose = RaptorPose(rig, (float)f / RaptorFrames);
    out.frames.push_back(SkinFrame(mesh, mesh.rest, SolveRig(rig.rig, pose)));
  }
  return out;
}

FrameMesh BuildGirl() {
  GirlRig rig = MakeGirlRig();
  SkinMesh mesh = MakeGirlMesh(rig);
  FrameMesh out = ToFrameMesh(mesh);
  // The figure's texture is projected from above when drawn; the stored coordinates give
  // the same projection of the rest pose for any other use of the file.
  for (size_t i = 0; i < mesh.rest.size(); i++) out.uvs[i] = {mesh.rest[i].x / 10, mesh.rest[i].z / 10};
  for (int f = 0; f < GirlFrames; f++) {
    float u = (float)f / GirlFrames, yaw;
    Pose pose = GirlPose(rig, u, &yaw);
    // The dress hem lags the turn and flares out as she swings through the middle of it.
    std::vector<V3> rest = mesh.rest;
    float speed = std::cos(TwoPi * u);  // the turn's rate, in units of its largest
    for (size_t i = 0; i < rest.size(); i++) {
      if (mesh.part[i] != GirlDressPart) continue;
      V3 p = rest[i];
      float down = Clamp01((28.6f - p.y) / 13.4f);
      float angle = std::atan2(p.x, p.z);
      float twist = -0.35f * speed * down * down;
      float flare = 1 + down * (0.12f * speed * speed + 0.07f * std::sin(3 * angle + 2 * TwoPi * u));
      float ca = std::cos(twist), sa = std::sin(twist);
      float x = (p.x * ca + p.z * sa) * flare, z = (-p.x * sa + p.z * ca) * flare;
      rest[i] = {x, p.y + down * 0.8f * (flare - 1), z};
    }
    out.frames.push_back(SkinFrame(mesh, rest, SolveRig(rig.rig, pose)));
  }
  return out;
}

std::vector<uint8_t> WriteRyx(const FrameMesh& mesh, bool mirrored) {
  std::vector<uint8_t> out;
  size_t v = mesh.uvs.size();
  PutU32(out, (uint32_t)mesh.frames.size());
  PutU32(out, (uint32_t)v);
  PutU32(out, (uint32_t)mesh.faces.size());
  for (const auto& f : mesh.faces)
    for (uint16_t i : f) {
      out.push_back((uint8_t)(i & 255));
      out.push_back((uint8_t)(i >> 8));
    }
  for (const UV& t : mesh.uvs) PutF32(out, t.u), PutF32(out, t.v);
  // The readers store (y, -z, x), or (-y, -z, x) when mirrored, of the file's (x, y, z):
  // the file holds the inverse of that for each drawn point.
  for (const std::vector<V3>& frame : mesh.frames)
    for (const V3& p : frame) {
      PutF32(out, p.z);
      PutU32(out, 0);
      PutF32(out, mirrored ? -p.x : p.x);
      PutU32(out, 0);
      PutF32(out, -p.y);
      PutU32(out, 0);
    }
  return out;
}

Image PaintRaptorSkin() { return PaintRaptor(); }
Image PaintGirlGlow() { return PaintGirl(); }

bool BakeCreatures(BakeOutput& out, std::string* error) {
  FrameMesh raptor = BuildRaptor(), girl = BuildGirl();
  for (const FrameMesh* m : {&raptor, &girl})
    if (m->uvs.size() > 65535 || m->faces.size() > 65535 || m->frames.empty()) {
      if (error) *error = "creature mesh exceeds the model file's 16-bit indices";
      return false;
    }
  AddMember(out, "maps/raptor.ryx", WriteRyx(raptor, false));
  AddMember(out, "maps/girl.ryx", WriteRyx(girl, true));
  Image skin = PaintRaptorSkin(), glow = PaintGirlGlow();
  AddJpegMember(out, "maps/raptor.jpg", skin, 90);
  AddJpegMember(out, "maps/girl.jpg", glow, 90);
  if (out.wantSheet) {
    out.sheet.push_back({"maps/raptor.jpg  skin", Thumbnail(skin, 1.0f, 300)});
    out.sheet.push_back({"maps/girl.jpg  added", Thumbnail(glow, 1.0f, 300)});
  }
  return true;
}
