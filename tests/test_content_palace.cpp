// The palace as the baker builds it: the camera, played the way the show plays it, must stay
// inside the building and must see the orb (which the show draws at a fixed place) from
// 40 s to the end; the orb needs room for its sparks; the lights must reach the floors and
// the light maps must keep the file small.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/animation.h"
#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

// Defined by the palace generator (tools/bake/scenes/palace.cpp).

namespace {

const V3 OrbPlace{538, 47, -300};
const float SceneSeconds = 51.5f;

struct Tri {
  V3 a, e1, e2;
};

// The faces that block sight and movement: everything but the additive glows.
std::vector<Tri> SolidFaces(const BakeScene& scene) {
  std::vector<Tri> out;
  for (const BakeMesh& m : scene.meshes) {
    if (!m.name.empty() && m.name[0] == '%' && (m.name.size() < 2 || m.name[1] != '%')) continue;
    for (const auto& f : m.faces) {
      V3 a = m.vertices[f[0]];
      out.push_back({a, m.vertices[f[1]] - a, m.vertices[f[2]] - a});
    }
  }
  return out;
}

// Distance along the unit ray to the first face hit within `reach`, or infinity.
float FirstHit(const std::vector<Tri>& tris, V3 o, V3 d, float reach) {
  float best = std::numeric_limits<float>::infinity();
  for (const Tri& t : tris) {
    V3 p = Cross(d, t.e2);
    float det = Dot(t.e1, p);
    if (std::fabs(det) < 1e-9f) continue;
    float inv = 1 / det;
    V3 s = o - t.a;
    float u = Dot(s, p) * inv;
    if (u < 0 || u > 1) continue;
    V3 q = Cross(s, t.e1);
    float v = Dot(d, q) * inv;
    if (v < 0 || u + v > 1) continue;
    float dist = Dot(t.e2, q) * inv;
    if (dist > 1e-4f && dist < reach && dist < best) best = dist;
  }
  return best;
}

Vec3 ToVec(V3 v) { return {v.x, v.y, v.z}; }
V3 FromVec(Vec3 v) { return {v.x, v.y, v.z}; }

// The show's camera at second t: the scene's frame range spread over its length, the
// segment found from key 1, Catmull-Rom through the four keys around it.
V3 CameraPoint(const std::vector<PointKey>& keys, const BakeCamera& cam, float t) {
  double start = cam.eye[1].frame, end = cam.eye[cam.eye.size() - 3].frame;
  double frame = start + (end - start) * (t / SceneSeconds);
  if ((int)frame > end - 1) frame = end - 1;
  size_t k = 1;
  while (keys[k + 1].frame <= frame && k + 2 < keys.size() - 1) k++;
  double u = (frame - keys[k].frame) / (keys[k + 1].frame - keys[k].frame);
  return FromVec(CatmullRomPoint(ToVec(keys[k - 1].value), ToVec(keys[k].value), ToVec(keys[k + 1].value),
                                 ToVec(keys[k + 2].value), u));
}

class PalaceContent : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scene_ = new BakeScene;
    BuildPalaceScene(scene_);
    solid_ = new std::vector<Tri>(SolidFaces(*scene_));
  }
  static void TearDownTestSuite() {
    delete solid_;
    delete scene_;
  }
  static BakeScene* scene_;
  static std::vector<Tri>* solid_;
};
BakeScene* PalaceContent::scene_ = nullptr;
std::vector<Tri>* PalaceContent::solid_ = nullptr;

TEST_F(PalaceContent, CameraStaysInsideTheBuilding) {
  ASSERT_EQ(scene_->cameras.size(), 1u);
  const BakeCamera& cam = scene_->cameras[0];
  V3 previous = CameraPoint(cam.eye, cam, 0);
  for (float t = 0.05f; t <= SceneSeconds; t += 0.05f) {
    V3 eye = CameraPoint(cam.eye, cam, t);
    V3 step = eye - previous;
    float len = Length(step);
    // The path never crosses a wall, a column or a step.
    if (len > 0) {
      EXPECT_EQ(FirstHit(*solid_, previous, step * (1 / len), len), std::numeric_limits<float>::infinity())
          << "at " << t << " s";
    }
    // A floor below and a ceiling above, and no face close by.
    EXPECT_LT(FirstHit(*solid_, eye, {0, -1, 0}, 200), 100.0f) << "no floor under the camera at " << t << " s";
    EXPECT_LT(FirstHit(*solid_, eye, {0, 1, 0}, 400), 200.0f) << "no ceiling over the camera at " << t << " s";
    for (V3 d : {V3{1, 0, 0}, V3{-1, 0, 0}, V3{0, 0, 1}, V3{0, 0, -1}, V3{0, -1, 0}})
      EXPECT_GT(FirstHit(*solid_, eye, d, 5), 4.0f) << "the camera grazes a face at " << t << " s";
    previous = eye;
  }
}

TEST_F(PalaceContent, OrbIsWatchedFromFortySecondsToTheEnd) {
  const BakeCamera& cam = scene_->cameras[0];
  for (float t = 40.0f; t <= SceneSeconds; t += 0.25f) {
    V3 eye = CameraPoint(cam.eye, cam, t), target = CameraPoint(cam.target, cam, t);
    V3 toOrb = OrbPlace - eye;
    float dist = Length(toOrb);
    // Near enough that the orb and its sparks (some 30 units out) fill the view through the
    // fog, far enough that they are seen whole.
    EXPECT_GT(dist, 45.0f) << t;
    EXPECT_LT(dist, 110.0f) << t;
    float off = std::acos(std::fmin(1.0f, Dot(Normalize(target - eye), toOrb * (1 / dist)))) * 180 / Pi;
    EXPECT_LT(off, 8.0f) << "the orb is off the centre of the view at " << t << " s";
    EXPECT_EQ(FirstHit(*solid_, eye, toOrb * (1 / dist), dist), std::numeric_limits<float>::infinity())
        << "something stands between the camera and the orb at " << t << " s";
  }
}

TEST_F(PalaceContent, OrbHasRoomForItsSparks) {
  // Rays in every direction from the orb's centre: its sparks reach about 33 units out.
  Rng rng(5);
  for (int i = 0; i < 400; i++) {
    V3 d = Normalize({rng.Range(-1, 1), rng.Range(-1, 1), rng.Range(-1, 1)});
    EXPECT_GT(FirstHit(*solid_, OrbPlace, d, 40), 36.0f) << d.x << " " << d.y << " " << d.z;
  }
}

TEST_F(PalaceContent, LightMapsFitTheShowAndTheArchive) {
  // The sizes follow from the geometry alone (the bake itself takes seconds): one light map
  // per face, its edge the power of two that covers the longest side at 4 units a texel.
  const float texelSize = 4.0f;
  size_t bytes = 0, mapped = 0;
  for (const BakeMesh& m : scene_->meshes) {
    bytes += m.vertices.size() * 12;
    bool additive = !m.name.empty() && m.name[0] == '%' && (m.name.size() < 2 || m.name[1] != '%');
    for (const auto& f : m.faces) {
      if (!m.lightMapped || additive) {
        bytes += 1;
        continue;
      }
      float longest = std::fmax(Length(m.vertices[f[1]] - m.vertices[f[0]]),
                                std::fmax(Length(m.vertices[f[2]] - m.vertices[f[0]]),
                                          Length(m.vertices[f[2]] - m.vertices[f[1]])));
      size_t n = 4;
      while (n < 32 && n * texelSize < longest) n *= 2;
      bytes += 5 + n * (n + 1) / 2 * 3;
      mapped++;
    }
  }
  EXPECT_GT(mapped, 1000u);
  EXPECT_LT(bytes, 4u << 20);
}

TEST_F(PalaceContent, TorchesAndBraziersReachTheFloors) {
  // A light set inside a column or a wall would leave its pool dark: the floor under the
  // first torch of the nave, the top of the dais under the orb and the hall's floor by a
  // brazier must be well lit.
  LightBakeOptions options;
  LightBaker* baker = NewLightBaker(*scene_, options);
  Colour underTorch = LightAt(baker, {-22, 40.01f, 420}, {0, 1, 0}, 1);
  Colour dais = LightAt(baker, {540, 8.01f, -300}, {0, 1, 0}, 2);
  Colour byBrazier = LightAt(baker, {540 + 88 - 15, 0.01f, -300 + 88 - 15}, {0, 1, 0}, 3);
  DeleteLightBaker(baker);
  EXPECT_GT(Luma(underTorch), 0.35f);
  EXPECT_GT(Luma(dais), 0.3f);
  EXPECT_GT(Luma(byBrazier), 0.35f);
}

}  // namespace
