// tests/test_content_comput.cpp - the computer room's content: what the show relies on in
// maps/comput.3ds and its lighting, and that the camera's glide stays clear of the room.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "tools/bake/jpeg.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"
#include "tools/bake/text.h"

// The room as comput.cpp builds it, before it is written.

namespace {

const BakeScene& Room() {
  static const BakeScene scene = BuildComputScene();
  return scene;
}

// The generator's archive members, baked once for the tests that read them.
const std::map<std::string, std::vector<uint8_t>>& Baked() {
  static std::map<std::string, std::vector<uint8_t>> members;
  if (members.empty()) {
    std::string error;
    EXPECT_TRUE(LoadFonts(&error)) << error;
    BakeOutput out;
    EXPECT_TRUE(BakeComput(out, &error)) << error;
    for (ArchiveMember& m : out.members) members[m.name] = std::move(m.bytes);
    FreeFonts();
  }
  return members;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  int At(int x, int y, int k) const { return rgb[((size_t)y * width + x) * 3 + k]; }
};

Picture Decode(const std::string& name) {
  Picture p;
  int components = 0;
  auto it = Baked().find(name);
  if (it == Baked().end() || !DecodeJpeg(it->second, &p.rgb, &p.width, &p.height, &components) || components != 3)
    ADD_FAILURE() << name << " is not a readable RGB picture";
  return p;
}

// Mean absolute difference between columns a and b (or rows, when `rows`).
double LineDifference(const Picture& p, int a, int b, bool rows) {
  double sum = 0;
  int n = rows ? p.width : p.height;
  for (int i = 0; i < n; i++)
    for (int k = 0; k < 3; k++)
      sum += rows ? std::abs(p.At(i, a, k) - p.At(i, b, k)) : std::abs(p.At(a, i, k) - p.At(b, i, k));
  return sum / (n * 3);
}

bool Starts(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The show's camera spline: Catmull-Rom through the keys, played from key 1 to key n - 3.
V3 CameraPoint(const std::vector<PointKey>& keys, double frame) {
  size_t k = 1;
  while (keys[k + 1].frame <= frame && k + 2 < keys.size() - 1) k++;
  double u = (frame - keys[k].frame) / (double)(keys[k + 1].frame - keys[k].frame);
  auto cr = [&](float p0, float p1, float p2, float p3) {
    return (float)(0.5 * (2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                          (3 * p1 - p0 - 3 * p2 + p3) * u * u * u));
  };
  V3 a = keys[k - 1].value, b = keys[k].value, c = keys[k + 1].value, d = keys[k + 2].value;
  return {cr(a.x, b.x, c.x, d.x), cr(a.y, b.y, c.y, d.y), cr(a.z, b.z, c.z, d.z)};
}

// Distance along d (unit) to the nearest triangle of the static meshes within `reach`, or
// reach when none.
float NearestHit(const BakeScene& scene, V3 o, V3 d, float reach) {
  float best = reach;
  for (const BakeMesh& m : scene.meshes) {
    if (Starts(m.name, "*") || Starts(m.name, "%")) continue;
    for (const auto& f : m.faces) {
      V3 a = m.vertices[f[0]], e1 = m.vertices[f[1]] - a, e2 = m.vertices[f[2]] - a;
      V3 p = Cross(d, e2);
      float det = Dot(e1, p);
      if (std::fabs(det) < 1e-9f) continue;
      V3 s = o - a;
      float u = Dot(s, p) / det;
      if (u < 0 || u > 1) continue;
      V3 q = Cross(s, e1);
      float v = Dot(d, q) / det;
      if (v < 0 || u + v > 1) continue;
      float t = Dot(e2, q) / det;
      if (t >= 0 && t < best) best = t;
    }
  }
  return best;
}

}  // namespace

TEST(ComputContent, SceneMeetsTheLimitsAndCarriesEveryDrawingRole) {
  const BakeScene& scene = Room();
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(Write3ds(scene, &file, &error)) << error;

  size_t faces = 0;
  std::set<std::string> roles;
  for (const BakeMesh& m : scene.meshes) {
    faces += m.faces.size();
    if (Starts(m.name, "?")) roles.insert("reflective");
    if (Starts(m.name, "%") && !Starts(m.name, "%%")) roles.insert("additive");
    if (Starts(m.name, "*")) {
      // The room's emitters rise and shrink; their sprite is a particle picture.
      EXPECT_TRUE(Starts(m.name, "*2") || Starts(m.name, "*3")) << m.name;
      EXPECT_EQ(m.material, "maps/comput_smoke.jpg") << m.name;
      EXPECT_GT(m.pivot.y, 40.0f) << m.name << " should smoke from a machine's top";
      roles.insert("emitter");
    }
    EXPECT_FALSE(Starts(m.name, "@")) << "the room has no animated model";
  }
  EXPECT_EQ(roles, (std::set<std::string>{"reflective", "additive", "emitter"}));
  // The ray test the glide check relies on: from the aisle, row A's fronts are 34 away.
  EXPECT_NEAR(NearestHit(scene, {0, 30, 108}, {-1, 0, 0}, 100), 34.0f, 0.01f);
  // The whole room may be in view at once (eight cells ahead), so all of it must draw at speed.
  EXPECT_LT(faces, 15000u);
  EXPECT_LE(scene.lights.size(), 100u);
}

TEST(ComputContent, CameraPlaysItsPathOverTheSceneFrames) {
  const BakeScene& scene = Room();
  ASSERT_EQ(scene.cameras.size(), 1u);
  const BakeCamera& cam = scene.cameras[0];
  ASSERT_GE(cam.eye.size(), 4u);
  ASSERT_EQ(cam.eye.size(), cam.target.size());
  for (size_t i = 0; i < cam.eye.size(); i++) EXPECT_EQ(cam.eye[i].frame, cam.target[i].frame);
  // The show plays key 1 to key n - 3; object tracks must run at least as long.
  int start = cam.eye[1].frame, end = cam.eye[cam.eye.size() - 3].frame;
  EXPECT_EQ(start, 100);
  EXPECT_EQ(end, 2300);
  for (const BakeMesh& m : scene.meshes) {
    if (m.position.size() > 1) {
      EXPECT_GE(m.position.back().frame, end) << m.name;
    }
    if (m.rotation.size() > 1) {
      EXPECT_GE(m.rotation.back().frame, end) << m.name;
    }
  }
}

TEST(ComputContent, CameraGlideStaysInsideTheRoomAndClearOfEverything) {
  const BakeScene& scene = Room();
  const BakeCamera& cam = scene.cameras[0];
  int start = cam.eye[1].frame, end = cam.eye[cam.eye.size() - 3].frame;
  V3 previous = CameraPoint(cam.eye, start);
  for (int f = start; f <= end; f += 10) {
    V3 eye = CameraPoint(cam.eye, f);
    // Inside the L of the two halls, between the floor and the ceiling.
    bool rackHall = eye.x > -110 && eye.x < 70 && eye.z > -40 && eye.z < 220;
    bool opsRoom = eye.x > -110 && eye.x < 250 && eye.z > -270 && eye.z <= -40;
    EXPECT_TRUE(rackHall || opsRoom) << "frame " << f;
    EXPECT_GT(eye.y, 20.0f) << "frame " << f;
    EXPECT_LT(eye.y, 60.0f) << "frame " << f;
    // Nothing between this sample and the last, and nothing within the near plane around it.
    V3 step = eye - previous;
    float len = Length(step);
    if (len > 0) {
      EXPECT_GE(NearestHit(scene, previous, step * (1 / len), len + 2), len + 2) << "frame " << f;
    }
    for (V3 d : {V3{1, 0, 0}, V3{-1, 0, 0}, V3{0, 0, 1}, V3{0, 0, -1}, V3{0, -1, 0}})
      EXPECT_GE(NearestHit(scene, eye, d, 4), 4.0f) << "frame " << f;
    previous = eye;
    // The target stays ahead of the eye, never straight below it.
    V3 target = CameraPoint(cam.target, f);
    EXPECT_GT(std::hypot(target.x - eye.x, target.z - eye.z), 20.0f) << "frame " << f;
  }
}

TEST(ComputContent, LampGroupsBlinkBetweenLitAndHiddenInsideTheirMachines) {
  const BakeScene& scene = Room();
  int blinking = 0;
  for (const BakeMesh& m : scene.meshes) {
    if (!Starts(m.name, "%comput_lamp") || m.position.empty()) continue;
    blinking++;
    ASSERT_EQ((m.position.size() - 1) % 3, 0u) << m.name;
    EXPECT_EQ(Length(m.position[0].value), 0.0f) << m.name << " must be modelled lit at key 0";
    // Every key of the path is lit (no offset) or hidden 1.5 units behind the face; count
    // the changes within the played frames.
    int changes = 0;
    for (size_t k = 3; k < m.position.size(); k += 3) {
      float now = Length(m.position[k].value), before = Length(m.position[k - 3].value);
      EXPECT_TRUE(now == 0.0f || std::fabs(now - 1.5f) < 1e-4f) << m.name;
      if (m.position[k].frame <= 2300 && (now == 0) != (before == 0)) changes++;
    }
    EXPECT_GE(changes, 20) << m.name;
  }
  EXPECT_GE(blinking, 8);
}

TEST(ComputContent, ArchiveHoldsTheSceneItsLightingAndEveryPicture) {
  const auto& members = Baked();
  ASSERT_TRUE(members.count("maps/comput.3ds"));
  ASSERT_TRUE(members.count("maps/comput.vlo"));
  size_t vertices = 0;
  for (const BakeMesh& m : Room().meshes) {
    vertices += m.vertices.size();
    EXPECT_TRUE(members.count(m.material)) << m.material;
  }
  // One r, g, b float triple per vertex of every mesh, in list order.
  const std::vector<uint8_t>& vlo = members.at("maps/comput.vlo");
  EXPECT_EQ(vlo.size(), vertices * 12);
  // Lit surfaces are neither black nor blown out on average.
  double sum = 0;
  for (size_t i = 0; i + 4 <= vlo.size(); i += 4) {
    float v;
    std::memcpy(&v, &vlo[i], 4);
    ASSERT_TRUE(v >= 0 && v <= 1);
    sum += v;
  }
  double mean = sum / (vlo.size() / 4);
  EXPECT_GT(mean, 0.15);
  EXPECT_LT(mean, 0.85);
}

TEST(ComputContent, PicturesHaveTextureSizesAndSpritesFadeToBlackAtTheirEdges) {
  std::set<std::string> added;
  for (const BakeMesh& m : Room().meshes)
    if (Starts(m.name, "*") || (Starts(m.name, "%") && !Starts(m.name, "%%"))) added.insert(m.material);
  int pictures = 0;
  for (const auto& [name, bytes] : Baked()) {
    if (!Starts(name, "maps/comput_")) continue;
    pictures++;
    Picture p = Decode(name);
    for (int edge : {p.width, p.height}) {
      EXPECT_TRUE(edge >= 128 && edge <= 512 && (edge & (edge - 1)) == 0) << name << " " << edge;
    }
    // Added sprites and lamps must not show their square: black at the border. (Screens
    // and light fixtures fill their quads by design.)
    bool sprite = name.find("_led_") != std::string::npos || name.find("_smoke") != std::string::npos;
    if (!sprite) continue;
    EXPECT_TRUE(added.count(name)) << name << " is drawn added";
    double border = 0;
    int n = 0;
    auto take = [&](int x, int y) {
      for (int k = 0; k < 3; k++) border += p.At(x, y, k);
      n += 3;
    };
    for (int x = 0; x < p.width; x++) {
      take(x, 0);
      take(x, p.height - 1);
    }
    for (int y = 0; y < p.height; y++) {
      take(0, y);
      take(p.width - 1, y);
    }
    EXPECT_LT(border / n, 4.0) << name;
  }
  EXPECT_GE(pictures, 25);
}

TEST(ComputContent, RepeatingPicturesTileWithoutSeams) {
  // Surfaces whose texture repeats: crossing the picture's edge must look like crossing any
  // other line of it.
  struct Tiling {
    const char* name;
    bool acrossRows;
  };
  for (Tiling t : {Tiling{"maps/comput_floor.jpg", true}, {"maps/comput_ceiling.jpg", true},
                   {"maps/comput_metal.jpg", true}, {"maps/comput_metal_blue.jpg", true},
                   {"maps/comput_desk.jpg", true}, {"maps/comput_fabric.jpg", true},
                   {"maps/comput_beige.jpg", true}, {"maps/comput_cable_blue.jpg", true},
                   {"maps/comput_wall.jpg", false}}) {
    Picture p = Decode(t.name);
    for (bool rows : {false, true}) {
      if (rows && !t.acrossRows) continue;
      int n = rows ? p.height : p.width;
      double worst = 0;
      for (int i = 0; i + 1 < n; i++) worst = std::max(worst, LineDifference(p, i, i + 1, rows));
      EXPECT_LE(LineDifference(p, n - 1, 0, rows), worst + 4) << t.name << (rows ? " rows" : " columns");
    }
  }
}
