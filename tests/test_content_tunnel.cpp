// tests/test_content_tunnel.cpp - the tunnel scene as the show flies it: the camera stays
// inside the tube, its turns swing the trails without losing them, the grid keeps the
// faces drawn per frame modest, and the lamps leave pools of light.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/settings.h"
#include "engine/animation.h"
#include "engine/scene.h"
#include "engine/scene_grid.h"
#include "engine/scene_loader.h"
#include "tests/support/test_support.h"
#include "timeline/demo_timer.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"


namespace {

const float SceneSeconds = 12.0f;

struct Tunnel {
  BakeScene scene;
  Scene3ds* loaded = nullptr;
  Tunnel() {
    std::string error;
    EXPECT_TRUE(BuildTunnelScene(&scene, &error)) << error;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Write3ds(scene, &bytes, &error)) << error;
    CapturedMessages quiet;  // the material pictures are not on disk here
    loaded = new Scene3ds();
    EXPECT_TRUE(LoadSceneFromMemory(loaded, bytes.data(), bytes.size()));
  }
  ~Tunnel() { ReleaseScene(loaded); }
  // Brings the loaded scene to t seconds of the show's 12-second playing.
  const SceneObject* CameraAt(float t) {
    DemoTimer timer(SceneSeconds);
    timer.elapsed = t;
    AnimateScene(loaded, timer);
    return loaded->cameras[0];
  }
};

Tunnel& Shared() {
  static Tunnel* tunnel = new Tunnel;
  return *tunnel;
}

// Distance along the ray to the nearest face, and whether that face shows its front.
struct Hit {
  float distance = 1e30f;
  bool front = false;
};
Hit Cast(const BakeScene& scene, V3 o, V3 d, float reach) {
  Hit best;
  for (const BakeMesh& m : scene.meshes) {
    if (m.name[0] == '%') continue;  // glows are drawn added, they hide nothing
    for (const auto& f : m.faces) {
      V3 a = m.vertices[f[0]], e1 = m.vertices[f[1]] - a, e2 = m.vertices[f[2]] - a;
      if (Length(a - o) > reach + Length(e1) + Length(e2)) continue;
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
      if (t > 0 && t < best.distance) {
        best.distance = t;
        best.front = Dot(Cross(e1, e2), d) < 0;
      }
    }
  }
  return best;
}

V3 Eye(const SceneObject* camera) { return {camera->camera.eye.x, camera->camera.eye.y, camera->camera.eye.z}; }

}  // namespace

TEST(TunnelContent, CameraStaysInsideTheTubeSeeingTheFrontsOfItsWalls) {
  Tunnel& tunnel = Shared();
  ASSERT_EQ(tunnel.loaded->cameraCount, 1);
  for (int i = 0; i <= 48; i++) {
    float t = SceneSeconds * i / 48;
    const SceneObject* camera = tunnel.CameraAt(t);
    V3 eye = Eye(camera);
    V3 target{camera->camera.target.x, camera->camera.target.y, camera->camera.target.z};
    V3 forward = Normalize(target - eye);
    V3 right = Normalize(Cross(forward, V3{0, 1, 0})), up = Cross(right, forward);
    // Every way out across the tube meets a wall, from inside, not too close.
    for (int k = 0; k < 12; k++) {
      float a = 2 * Pi * k / 12;
      V3 d = Normalize(right * std::cos(a) + up * std::sin(a));
      Hit hit = Cast(tunnel.scene, eye, d, 60);
      EXPECT_LT(hit.distance, 40.0f) << "t " << t << " direction " << k;
      EXPECT_GT(hit.distance, 4.0f) << "t " << t << " direction " << k;
      EXPECT_TRUE(hit.front) << "t " << t << " direction " << k;
    }
  }
}

TEST(TunnelContent, TurnsSwingTheTrailsWithoutLosingThemOffThePicture) {
  Tunnel& tunnel = Shared();
  float lowYaw = 1e9f, highYaw = -1e9f;
  for (int i = 0; i <= 240; i++) {
    float t = SceneSeconds * i / 240;
    const SceneObject* camera = tunnel.CameraAt(t);
    float pitch = camera->rotation.x, yaw = camera->rotation.y;
    lowYaw = std::min(lowYaw, yaw);
    highYaw = std::max(highYaw, yaw);
    // The trail heads hang 9 units in front of the eye, where the picture is about +-5
    // wide and +-3.7 high; the tails run outwards from the heads.
    float hx = (yaw / 15 - 5) / 1.5f + std::sin(std::cos(t / 2)) / 1.5f;
    float hy = (1 - pitch / 15) / 1.5f + std::sin(t / 2) / 1.5f;
    EXPECT_LT(std::fabs(hx), 3.0f) << "t " << t << " yaw " << yaw;
    EXPECT_LT(std::fabs(hy), 2.2f) << "t " << t << " pitch " << pitch;
  }
  EXPECT_GT(highYaw - lowYaw, 30.0f) << "the tunnel hardly turns";
}

TEST(TunnelContent, GridDrawsAModestNumberOfFacesAllTheWay) {
  Tunnel& tunnel = Shared();
  int saved = ViewRangeCells;
  ViewRangeCells = 8;  // as the tunnel scene sets it
  SceneGrid grid(tunnel.loaded);
  int most = 0, fewest = 1 << 30;
  for (int i = 0; i <= 120; i++) {
    tunnel.CameraAt(SceneSeconds * i / 120);
    grid.UpdateVisibleCells();
    int faces = 0;
    for (int c = 0; c < grid.visibleCount; c++) {
      const GridCell& cell = grid.cells[grid.visibleCells[c]];
      for (int n = 0; n < cell.nodeCount; n++) faces += cell.nodeLists[n].faceCount;
    }
    most = std::max(most, faces);
    fewest = std::min(fewest, faces);
  }
  ViewRangeCells = saved;
  EXPECT_LT(most, 15000);
  EXPECT_GT(fewest, 3000) << "the tunnel ahead is missing from the grid somewhere";
}

TEST(TunnelContent, LampsLeavePoolsOfLightAlongTheWalkway) {
  Tunnel& tunnel = Shared();
  LightBakeOptions options;
  options.aoRays = 0;
  LightBaker* baker = NewLightBaker(tunnel.scene, options);
  const BakeMesh* walkway = nullptr;
  for (const BakeMesh& m : tunnel.scene.meshes)
    if (m.name == "?tunnel_walkway") walkway = &m;
  ASSERT_NE(walkway, nullptr);
  // The walkway's left edge, ring by ring, over a stretch of several bays mid-tunnel.
  float brightest = 0, darkest = 1e9f;
  size_t rings = walkway->vertices.size() / 2;
  for (size_t r = rings / 3; r < rings / 3 + 60; r++) {
    V3 p = walkway->vertices[2 * r] + (walkway->vertices[2 * r + 1] - walkway->vertices[2 * r]) * 0.5f;
    Colour c = LightAt(baker, p, V3{0, 1, 0}, (uint32_t)r);
    brightest = std::max(brightest, Luma(c));
    darkest = std::min(darkest, Luma(c));
  }
  DeleteLightBaker(baker);
  EXPECT_GT(brightest, 0.3f);
  EXPECT_GT(brightest, 1.8f * darkest) << "the light is flat, not in pools";
}
