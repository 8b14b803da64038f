// tools/bake/scenes/scene_build.cpp - shape builders, the 3DS writer and archive members.
#include "tools/bake/scenes/scene_build.h"

#include <cstring>
#include <set>

#include "tools/bake/jpeg.h"

// ---------------------------------------------------------------------------------------
// Shapes.

namespace {
uint16_t Push(BakeMesh& m, V3 p, UV uv) {
  m.vertices.push_back(p);
  m.uvs.push_back(uv);
  return (uint16_t)(m.vertices.size() - 1);
}
}  // namespace

void AddQuad(BakeMesh& m, V3 a, V3 b, V3 c, V3 d, float repeatsU, float repeatsV) {
  uint16_t ia = Push(m, a, {0, 0}), ib = Push(m, b, {repeatsU, 0});
  uint16_t ic = Push(m, c, {repeatsU, repeatsV}), id = Push(m, d, {0, repeatsV});
  m.faces.push_back({ia, ib, ic});
  m.faces.push_back({ia, ic, id});
}

void AddBox(BakeMesh& m, V3 lo, V3 hi, float s, bool inside, int omit) {
  // Each side as seen from outside, counter-clockwise; uv from the two axes in its plane.
  struct Side {
    int bit;
    V3 a, b, c, d;
    float ru, rv;
  };
  float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
  const Side sides[6] = {
      {1, {lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, dz * s, dy * s},
      {2, {hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, dz * s, dy * s},
      {4, {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}, dx * s, dz * s},
      {8, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}, dx * s, dz * s},
      {16, {hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, dx * s, dy * s},
      {32, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, dx * s, dy * s},
  };
  for (const Side& f : sides) {
    if (omit & f.bit) continue;
    if (inside) AddQuad(m, f.d, f.c, f.b, f.a, f.ru, f.rv);
    else AddQuad(m, f.a, f.b, f.c, f.d, f.ru, f.rv);
  }
}

void AddCylinder(BakeMesh& m, V3 base, float height, float r0, float r1, int sides, float s, bool caps,
                 bool inside) {
  if (sides < 3) sides = 3;
  uint16_t first = (uint16_t)m.vertices.size();
  for (int i = 0; i <= sides; i++) {
    float a = 2 * Pi * i / sides;
    float c = std::cos(a), sn = std::sin(a);
    Push(m, {base.x + c * r0, base.y, base.z + sn * r0}, {(float)i / sides, 0});
    Push(m, {base.x + c * r1, base.y + height, base.z + sn * r1}, {(float)i / sides, height * s});
  }
  for (int i = 0; i < sides; i++) {
    uint16_t a = (uint16_t)(first + 2 * i), b = (uint16_t)(a + 1), c = (uint16_t)(a + 2), d = (uint16_t)(a + 3);
    // Going round from +X towards +Z is clockwise seen from outside, so the outward faces
    // take the vertices in the order a, b, d / a, d, c.
    if (inside) {
      m.faces.push_back({a, d, b});
      m.faces.push_back({a, c, d});
    } else {
      m.faces.push_back({a, b, d});
      m.faces.push_back({a, d, c});
    }
  }
  if (!caps) return;
  for (int end = 0; end < 2; end++) {
    float y = base.y + (end ? height : 0), r = end ? r1 : r0;
    if (r <= 0) continue;
    uint16_t centre = Push(m, {base.x, y, base.z}, {0.5f, 0.5f});
    uint16_t ring = (uint16_t)m.vertices.size();
    for (int i = 0; i < sides; i++) {
      float a = 2 * Pi * i / sides;
      Push(m, {base.x + std::cos(a) * r, y, base.z + std::sin(a) * r},
           {0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)});
    }
    for (int i = 0; i < sides; i++) {
      uint16_t p = (uint16_t)(ring + i), q = (uint16_t)(ring + (i + 1) % sides);
      bool up = (end == 1) != inside;
      if (up) m.faces.push_back({centre, q, p});
      else m.faces.push_back({centre, p, q});
    }
  }
}

void AddSphere(BakeMesh& m, V3 centre, float radius, int rings, int segments, bool inside) {
  if (rings < 2) rings = 2;
  if (segments < 3) segments = 3;
  uint16_t first = (uint16_t)m.vertices.size();
  for (int j = 0; j <= rings; j++) {
    float polar = Pi * j / rings;
    for (int i = 0; i <= segments; i++) {
      float az = 2 * Pi * i / segments;
      V3 d{std::sin(polar) * std::cos(az), std::cos(polar), std::sin(polar) * std::sin(az)};
      Push(m, centre + d * radius, {(float)i / segments, (float)j / rings});
    }
  }
  int row = segments + 1;
  for (int j = 0; j < rings; j++)
    for (int i = 0; i < segments; i++) {
      uint16_t a = (uint16_t)(first + j * row + i), b = (uint16_t)(a + 1);
      uint16_t c = (uint16_t)(a + row), d = (uint16_t)(c + 1);
      // Rows run from the top pole down; azimuth runs clockwise seen from outside.
      if (inside) {
        if (j != 0) m.faces.push_back({a, d, b});
        if (j != rings - 1) m.faces.push_back({a, c, d});
      } else {
        if (j != 0) m.faces.push_back({a, b, d});
        if (j != rings - 1) m.faces.push_back({a, d, c});
      }
    }
}

void TransformFrom(BakeMesh& m, size_t firstVertex, V3 centre, float yawDegrees, V3 offset) {
  float a = yawDegrees * Pi / 180.0f, c = std::cos(a), s = std::sin(a);
  for (size_t i = firstVertex; i < m.vertices.size(); i++) {
    V3 p = m.vertices[i] - centre;
    // Positive yaw turns +Z towards +X, as the show's glRotatef about Y does.
    V3 r{p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
    m.vertices[i] = centre + r + offset;
  }
}

bool AddMeshSplit(BakeScene& scene, BakeMesh mesh) {
  if (mesh.vertices.size() <= 65535 && mesh.faces.size() <= 65535) {
    scene.meshes.push_back(std::move(mesh));
    return true;
  }
  // Faces are taken in order into parts that each keep their own copy of the vertices they
  // use, so a part never needs more than three vertices per face.
  int part = 1;
  size_t f = 0;
  while (f < mesh.faces.size()) {
    BakeMesh out = mesh;
    out.vertices.clear();
    out.uvs.clear();
    out.faces.clear();
    if (part > 1) out.name = mesh.name + "#" + std::to_string(part);
    std::vector<int> remap(mesh.vertices.size(), -1);
    while (f < mesh.faces.size() && out.faces.size() < 65535 && out.vertices.size() + 3 <= 65535) {
      std::array<uint16_t, 3> face;
      for (int k = 0; k < 3; k++) {
        uint16_t v = mesh.faces[f][k];
        if (remap[v] < 0) {
          remap[v] = (int)out.vertices.size();
          out.vertices.push_back(mesh.vertices[v]);
          if (v < mesh.uvs.size()) out.uvs.push_back(mesh.uvs[v]);
        }
        face[k] = (uint16_t)remap[v];
      }
      out.faces.push_back(face);
      f++;
    }
    scene.meshes.push_back(std::move(out));
    part++;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// The 3DS writer: chunks are opened, written into and closed, and closing patches the
// chunk's length, which covers its header, its data and its sub-chunks.

namespace {

struct ChunkWriter {
  std::vector<uint8_t>* out;
  std::vector<size_t> open;

  void U8(uint8_t v) { out->push_back(v); }
  void U16(uint16_t v) {
    U8((uint8_t)v);
    U8((uint8_t)(v >> 8));
  }
  void U32(uint32_t v) {
    U16((uint16_t)v);
    U16((uint16_t)(v >> 16));
  }
  void F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    U32(v);
  }
  // A point of the show's space goes to the file as (x, -z, y), which the show reads back
  // as (x, z, -y) = the original.
  void Point(V3 p) {
    F32(p.x);
    F32(-p.z);
    F32(p.y);
  }
  void Name(const std::string& s) {
    for (char c : s) U8((uint8_t)c);
    U8(0);
  }
  void Begin(uint16_t id) {
    open.push_back(out->size());
    U16(id);
    U32(0);
  }
  void End() {
    size_t at = open.back();
    open.pop_back();
    uint32_t length = (uint32_t)(out->size() - at);
    for (int k = 0; k < 4; k++) (*out)[at + 2 + k] = (uint8_t)(length >> (8 * k));
  }
  void ColourF(Colour c) {
    Begin(0x0010);
    F32(c.r);
    F32(c.g);
    F32(c.b);
    End();
  }
  void TrackHeader(uint32_t keys) {
    U16(0);  // flags
    U32(0);
    U32(0);
    U32(keys);
  }
  void PointTrack(uint16_t id, const std::vector<PointKey>& keys) {
    Begin(id);
    TrackHeader((uint32_t)keys.size());
    for (const PointKey& k : keys) {
      U32((uint32_t)k.frame);
      U16(0);
      Point(k.value);
    }
    End();
  }
  void NodeHeader(const std::string& name, uint16_t id) {
    Begin(0xB030);  // node id
    U16(id);
    End();
    Begin(0xB010);
    Name(name);
    U16(0);
    U16(0);
    U16(0xFFFF);  // no parent
    End();
  }
};

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

bool FramesIncrease(const std::vector<PointKey>& keys) {
  for (size_t i = 1; i < keys.size(); i++)
    if (keys[i].frame <= keys[i - 1].frame) return false;
  return true;
}

bool Finite(V3 p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool TrackShape(size_t n) { return n == 1 || (n >= 4 && (n - 1) % 3 == 0); }

}  // namespace

bool Write3ds(const BakeScene& scene, std::vector<uint8_t>* file, std::string* error) {
  // Check first, so that nothing half-made is returned.
  std::set<std::string> names, materials;
  int emitters = 0;
  for (const BakeMesh& m : scene.meshes) {
    const std::string where = "mesh \"" + m.name + "\": ";
    if (m.name.empty() || m.name.size() >= 64) return Fail(error, where + "name must have 1 to 63 characters");
    if (!names.insert(m.name).second) return Fail(error, where + "name used twice");
    if (m.material.empty() || m.material.size() >= 64 || m.material.find('/') == std::string::npos)
      return Fail(error, where + "material must be a path under 64 characters");
    if (m.vertices.size() > 65535 || m.faces.size() > 65535) return Fail(error, where + "too many vertices or faces");
    if (!m.uvs.empty() && m.uvs.size() != m.vertices.size()) return Fail(error, where + "uv count differs from vertices");
    for (size_t v = 0; v < m.vertices.size(); v++)
      if (!Finite(m.vertices[v]) || (v < m.uvs.size() && !(std::isfinite(m.uvs[v].u) && std::isfinite(m.uvs[v].v))))
        return Fail(error, where + "vertex " + std::to_string(v) + " is not a finite number");
    for (const PointKey& k : m.position)
      if (!Finite(k.value)) return Fail(error, where + "a position key is not finite");
    for (const RotationKey& k : m.rotation)
      if (!Finite(k.degrees)) return Fail(error, where + "a rotation key is not finite");
    for (const auto& f : m.faces)
      for (uint16_t v : f)
        if (v >= m.vertices.size()) return Fail(error, where + "face index out of range");
    if (!m.position.empty() && (!TrackShape(m.position.size()) || !FramesIncrease(m.position)))
      return Fail(error, where + "position keys must be 1 or 3k + 1 with increasing frames");
    if (!m.rotation.empty()) {
      std::vector<PointKey> frames;
      for (const RotationKey& k : m.rotation) frames.push_back({k.frame, k.degrees});
      if (!TrackShape(frames.size()) || !FramesIncrease(frames))
        return Fail(error, where + "rotation keys must be 1 or 3k + 1 with increasing frames");
      V3 d = m.rotation[0].degrees;
      if (d.x != 0 || d.y != 0 || d.z != 0) return Fail(error, where + "rotation key 0 must be (0, 0, 0)");
    }
    materials.insert(m.material);
    if (m.name[0] == '*') emitters++;
  }
  if (materials.size() > 60) return Fail(error, "more than 60 materials");
  if (scene.lights.size() > 100) return Fail(error, "more than 100 lights");
  if (scene.cameras.size() > 50) return Fail(error, "more than 50 cameras");
  if (emitters > 100) return Fail(error, "more than 100 emitters");
  for (const BakeLight& l : scene.lights) {
    if (l.name.empty() || l.name.size() >= 64 || !names.insert(l.name).second)
      return Fail(error, "light \"" + l.name + "\": name empty, too long or used twice");
    if (!Finite(l.position) || !Finite(l.target))
      return Fail(error, "light \"" + l.name + "\": position or target not finite");
    if (!l.track.empty() && (!TrackShape(l.track.size()) || !FramesIncrease(l.track)))
      return Fail(error, "light \"" + l.name + "\": bad position keys");
  }
  for (const BakeCamera& c : scene.cameras) {
    if (c.name.empty() || c.name.size() >= 64 || !names.insert(c.name).second)
      return Fail(error, "camera \"" + c.name + "\": name empty, too long or used twice");
    if (c.eye.size() < 4 || c.target.size() < 4 || !FramesIncrease(c.eye) || !FramesIncrease(c.target))
      return Fail(error, "camera \"" + c.name + "\": needs 4 or more eye and target keys, frames increasing");
    for (const auto* track : {&c.eye, &c.target})
      for (const PointKey& k : *track)
        if (!Finite(k.value)) return Fail(error, "camera \"" + c.name + "\": a key is not finite");
  }

  file->clear();
  ChunkWriter w{file, {}};
  w.Begin(0x4D4D);
  w.Begin(0x0002);  // file version
  w.U32(3);
  w.End();
  w.Begin(0x3D3D);
  w.Begin(0x3D3E);  // mesh version
  w.U32(3);
  w.End();
  // Material definitions, for other readers of 3DS files: each names its texture file.
  for (const std::string& name : materials) {
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Name(name);
    w.End();
    w.Begin(0xA200);
    w.Begin(0xA300);
    w.Name(name);
    w.End();
    w.End();
    w.End();
  }
  w.Begin(0x0100);  // master scale
  w.F32(1.0f);
  w.End();
  w.Begin(0x2100);  // ambient light
  w.ColourF(scene.ambient);
  w.End();
  for (const BakeMesh& m : scene.meshes) {
    w.Begin(0x4000);
    w.Name(m.name);
    w.Begin(0x4100);
    w.Begin(0x4110);
    w.U16((uint16_t)m.vertices.size());
    for (V3 p : m.vertices) w.Point(p);
    w.End();
    if (!m.uvs.empty()) {
      w.Begin(0x4140);
      w.U16((uint16_t)m.uvs.size());
      for (UV t : m.uvs) {
        w.F32(t.u);
        w.F32(t.v);
      }
      w.End();
    }
    w.Begin(0x4160);  // local axes: identity, at the origin (vertices are in world space)
    const float axes[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float f : axes) w.F32(f);
    w.End();
    w.Begin(0x4120);
    w.U16((uint16_t)m.faces.size());
    for (const auto& f : m.faces) {
      w.U16(f[0]);
      w.U16(f[1]);
      w.U16(f[2]);
      w.U16(7);  // all three edges visible
    }
    w.Begin(0x4130);
    w.Name(m.material);
    w.U16((uint16_t)m.faces.size());
    for (size_t i = 0; i < m.faces.size(); i++) w.U16((uint16_t)i);
    w.End();
    w.End();
    w.End();
    w.End();
  }
  for (const BakeLight& l : scene.lights) {
    w.Begin(0x4000);
    w.Name(l.name);
    w.Begin(0x4600);
    w.Point(l.position);
    w.ColourF(l.colour);
    if (l.spot) {
      w.Begin(0x4610);
      w.Point(l.target);
      w.F32(l.hotspot);
      w.F32(l.falloff);
      w.End();
    }
    w.Begin(0x4625);  // attenuation on
    w.End();
    w.Begin(0x4659);
    w.F32(l.innerRange);
    w.End();
    w.Begin(0x465A);
    w.F32(l.outerRange);
    w.End();
    w.Begin(0x465B);
    w.F32(l.multiplier);
    w.End();
    w.End();
    w.End();
  }
  for (const BakeCamera& c : scene.cameras) {
    w.Begin(0x4000);
    w.Name(c.name);
    w.Begin(0x4700);
    w.Point(c.eye[1].value);
    w.Point(c.target[1].value);
    w.F32(0.0f);
    w.F32(c.lens);
    w.End();
    w.End();
  }
  w.End();  // editor

  w.Begin(0xB000);
  w.Begin(0xB00A);  // keyframer header
  w.U16(5);
  w.Name("vellumar2");
  w.U32((uint32_t)scene.frameCount);
  w.End();
  w.Begin(0xB008);  // segment
  w.U32(0);
  w.U32((uint32_t)scene.frameCount);
  w.End();
  w.Begin(0xB009);  // current frame
  w.U32(0);
  w.End();
  uint16_t nodeId = 0;
  for (const BakeMesh& m : scene.meshes) {
    w.Begin(0xB002);
    w.NodeHeader(m.name, nodeId++);
    w.Begin(0xB013);
    w.Point(m.position.empty() ? m.pivot : m.position[0].value);
    w.End();
    w.PointTrack(0xB020, m.position.empty() ? std::vector<PointKey>{{0, m.pivot}} : m.position);
    // Rotations as the file's angle-axis steps. The show sums axis * degrees over the keys
    // after the first and negates the sum when drawing, so each step is the difference of
    // the negated rotations the generator asked for; its angle goes in radians with 3.1415
    // standing for pi, which the show's conversion uses.
    std::vector<RotationKey> rot = m.rotation.empty() ? std::vector<RotationKey>{{0, {0, 0, 0}}} : m.rotation;
    w.Begin(0xB021);
    w.TrackHeader((uint32_t)rot.size());
    for (size_t i = 0; i < rot.size(); i++) {
      w.U32((uint32_t)rot[i].frame);
      w.U16(0);
      V3 step = i == 0 ? V3{0, 0, 0} : (-rot[i].degrees) - (-rot[i - 1].degrees);
      double degrees = std::sqrt((double)step.x * step.x + (double)step.y * step.y + (double)step.z * step.z);
      V3 axis = degrees > 0 ? step * (float)(1.0 / degrees) : V3{0, 1, 0};
      w.F32((float)(degrees * 3.1415 / 180.0));
      w.Point(axis);
    }
    w.End();
    w.Begin(0xB022);  // scale track: one key of 1
    w.TrackHeader(1);
    w.U32(0);
    w.U16(0);
    w.F32(1);
    w.F32(1);
    w.F32(1);
    w.End();
    w.End();
  }
  for (const BakeLight& l : scene.lights) {
    // Spot lights have nodes the show reads (their position keys move them); omni light
    // nodes are written for other readers.
    w.Begin(l.spot ? 0xB007 : 0xB005);
    w.NodeHeader(l.name, nodeId++);
    w.PointTrack(0xB020, l.track.empty() ? std::vector<PointKey>{{0, l.position}} : l.track);
    w.End();
  }
  for (const BakeCamera& c : scene.cameras) {
    w.Begin(0xB003);
    w.NodeHeader(c.name, nodeId++);
    w.PointTrack(0xB020, c.eye);
    w.End();
    w.Begin(0xB004);
    w.NodeHeader(c.name, nodeId++);
    w.PointTrack(0xB020, c.target);
    w.End();
  }
  w.End();  // keyframer
  w.End();  // main
  return true;
}

// ---------------------------------------------------------------------------------------
// Archive members.

std::string MaskName(const std::string& material) {
  std::string mask = material;
  size_t slash = mask.find('/');
  if (slash != std::string::npos && slash + 1 < mask.size()) mask[slash + 1] = '@';
  return mask;
}

void AddMember(BakeOutput& out, const std::string& name, std::vector<uint8_t> bytes) {
  out.members.push_back({name, std::move(bytes)});
}

void AddJpegMember(BakeOutput& out, const std::string& name, const Image& image, int quality) {
  AddMember(out, name, EncodeJpeg(ToRgb8(image), image.width, image.height, quality));
}
