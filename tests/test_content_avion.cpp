// The night bomber and the two ball shapes as the baker makes them, read back with the
// show's loader and played with its animation: the shots change where the flight's fades
// expect them, the fires and the smoke sit where the flight draws them, and the balls are
// the spheres their scenes deform.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation.h"
#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "tests/support/test_support.h"
#include "timeline/demo_timer.h"
#include "tools/bake/jpeg.h"
#include "tools/bake/scenes/scenes3d.h"
#include "tools/bake/text.h"

namespace {

const std::vector<uint8_t>* Member(const BakeOutput& out, const std::string& name) {
  for (const ArchiveMember& m : out.members)
    if (m.name == name) return &m.bytes;
  return nullptr;
}

struct Box {
  Vec3 low{1e9f, 1e9f, 1e9f}, high{-1e9f, -1e9f, -1e9f};
  void Add(Vec3 p) {
    low = {std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z)};
    high = {std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z)};
  }
};

std::vector<SceneObject*> Meshes(Scene3ds* scene) {
  std::vector<SceneObject*> out;
  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; i++) {
    if (scene->cursor->kind == KindMesh) out.push_back(scene->cursor);
    scene->Advance();
  }
  scene->Rewind();
  return out;
}

// Angle in degrees between the camera's line of sight and the direction to p, split into
// its horizontal and vertical parts in the camera's frame.
struct ViewAngles {
  float across, up;
};
ViewAngles AnglesTo(const SceneObject* camera, Vec3 p) {
  Vec3 e = camera->camera.eye, t = camera->camera.target;
  float fx = t.x - e.x, fy = t.y - e.y, fz = t.z - e.z;
  float fl = std::sqrt(fx * fx + fy * fy + fz * fz);
  fx /= fl, fy /= fl, fz /= fl;
  // right = forward x up(0, 1, 0), then the camera's up = right x forward.
  float rx = -fz, ry = 0, rz = fx;
  float rl = std::sqrt(rx * rx + rz * rz);
  rx /= rl, rz /= rl;
  float ux = ry * fz - rz * fy, uy = rz * fx - rx * fz, uz = rx * fy - ry * fx;
  float dx = p.x - e.x, dy = p.y - e.y, dz = p.z - e.z;
  float ahead = dx * fx + dy * fy + dz * fz;
  const float deg = 180.0f / 3.14159265f;
  return {std::atan2(dx * rx + dy * ry + dz * rz, ahead) * deg, std::atan2(dx * ux + dy * uy + dz * uz, ahead) * deg};
}

class BakedPlane : public HeadlessGL {
 protected:
  static void SetUpTestSuite() {
    HeadlessGL::SetUpTestSuite();
    std::string error;
    ASSERT_TRUE(LoadFonts(&error)) << error;
    ASSERT_TRUE(BakeAvion(baked, &error)) << error;
    ASSERT_TRUE(BakeBalls(baked, &error)) << error;
  }
  void SetUp() override {
    HeadlessGL::SetUp();
    messages = new CapturedMessages;
  }
  void TearDown() override {
    for (Scene3ds* s : loaded) ReleaseScene(s);
    delete messages;
  }
  Scene3ds* Load(const std::string& name) {
    const std::vector<uint8_t>* bytes = Member(baked, name);
    EXPECT_NE(bytes, nullptr) << name;
    Scene3ds* scene = new Scene3ds;
    loaded.push_back(scene);
    if (bytes) {
      EXPECT_TRUE(LoadSceneFromMemory(scene, bytes->data(), bytes->size(), name.c_str()));
    }
    return scene;
  }
  static BakeOutput baked;
  std::vector<Scene3ds*> loaded;
  CapturedMessages* messages = nullptr;  // the materials are not on disk here
};
BakeOutput BakedPlane::baked;

TEST_F(BakedPlane, ShotsChangeAtNineAndNineteenSecondsAndFrameThePlane) {
  Scene3ds* plane = Load("maps/avion.3ds");
  ASSERT_EQ(plane->cameraCount, 3);
  DemoTimer timer(30.0f);
  std::vector<float> changes;
  int32_t camera = 0;
  for (int step = 0; step <= 30 * 60; step++) {
    timer.elapsed = step / 60.0f;
    AnimateScene(plane, timer);
    if (plane->currentCamera != camera) changes.push_back(timer.elapsed);
    camera = plane->currentCamera;
    const SceneObject* cam = plane->cameras[camera];
    // The plane's middle is on screen throughout (45 degrees high, 4:3 wide).
    ViewAngles centre = AnglesTo(cam, {0, -2, 0});
    EXPECT_LT(std::fabs(centre.up), 20.0f) << "t=" << timer.elapsed;
    EXPECT_LT(std::fabs(centre.across), 27.0f) << "t=" << timer.elapsed;
    // While the bolts fall (shot 2 from 15 s), their start at height 50 is in view too.
    if (camera == 1 && timer.elapsed >= 15.0f) {
      ViewAngles top = AnglesTo(cam, {0, 50, 0});
      EXPECT_LT(top.up, 22.0f) << "t=" << timer.elapsed;
      EXPECT_GT(top.up, 0.0f);
    }
  }
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_NEAR(changes[0], 9.0f, 0.05f);
  EXPECT_NEAR(changes[1], 19.0f, 0.05f);
  EXPECT_EQ(plane->currentCamera, 2);
}

TEST_F(BakedPlane, FiresLeaveTheSixNozzlesAndSmokeTheTail) {
  Scene3ds* plane = Load("maps/avion.3ds");
  std::vector<SceneObject*> meshes = Meshes(plane);
  // The flight draws one set of flames from (12, -7, -18) with its camera moved by these
  // offsets, which puts the flames at the emitter minus each offset.
  const float offsets[6][2] = {{0, 0}, {24, 0}, {38, 7}, {-14, 7}, {-8, 1}, {32, 1}};
  int nozzles = 0;
  for (const auto& o : offsets) {
    Vec3 fire{12.0f - o[0], -7.0f, -18.0f - o[1]};
    for (SceneObject* m : meshes) {
      if (std::string(m->name).rfind("engine_", 0) != 0) continue;
      Box b;
      for (int v = 0; v < m->vertexCount; v++) b.Add(m->vertices[v]);
      bool onAxis = fire.x > b.low.x && fire.x < b.high.x && fire.y > b.low.y && fire.y < b.high.y;
      // The nozzle ends just ahead of the fire point.
      if (onAxis && fire.z < b.low.z && fire.z > b.low.z - 2.0f) nozzles++;
    }
  }
  EXPECT_EQ(nozzles, 6);
  // Nothing of the plane is at the smoke point, and the tail is just ahead of it.
  Box all;
  float nearest = 1e9f;
  for (SceneObject* m : meshes)
    for (int v = 0; v < m->vertexCount; v++) {
      Vec3 p = m->vertices[v];
      all.Add(p);
      float dx = p.x, dy = p.y + 5.0f, dz = p.z + 38.0f;
      nearest = std::fmin(nearest, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
  EXPECT_GT(nearest, 2.0f);
  EXPECT_LT(nearest, 6.0f);
  // Nose towards +Z, wings of about 70 units.
  EXPECT_GT(all.high.z, 40.0f);
  EXPECT_GT(all.low.z, -45.0f);
  EXPECT_NEAR(all.high.x - all.low.x, 70.0f, 4.0f);
}

TEST_F(BakedPlane, MaterialsAreBakedAndGlassTakesTheClouds) {
  Scene3ds* plane = Load("maps/avion.3ds");
  auto powerOfTwo = [](int n) { return n >= 128 && n <= 512 && (n & (n - 1)) == 0; };
  for (int i = 0; i < plane->textureCount; i++) {
    const char* name = plane->textures[i].name;
    const std::vector<uint8_t>* jpeg = Member(baked, name);
    ASSERT_NE(jpeg, nullptr) << name;
    std::vector<uint8_t> pixels;
    int w = 0, h = 0, components = 0;
    ASSERT_TRUE(DecodeJpeg(*jpeg, &pixels, &w, &h, &components)) << name;
    EXPECT_TRUE(powerOfTwo(w) && powerOfTwo(h)) << name << " is " << w << "x" << h;
    // Lit in the picture itself: never a flat or black sheet.
    double sum = 0, sum2 = 0;
    for (uint8_t p : pixels) sum += p, sum2 += (double)p * p;
    double mean = sum / pixels.size(), spread = std::sqrt(sum2 / pixels.size() - mean * mean);
    EXPECT_GT(mean, 12.0) << name;
    if (std::string(name) != "maps/avion_lamps.jpg") {
      EXPECT_GT(spread, 4.0) << name;
    }
  }
  bool canopy = false;
  int reflective = 0;
  for (SceneObject* m : Meshes(plane)) {
    reflective += m->reflective;
    if (std::string(m->name) == "?canopy") canopy = m->reflective;
    EXPECT_FALSE(m->additive || m->alphaMasked || m->emitter || m->modelAnchor) << m->name;
  }
  EXPECT_TRUE(canopy);
  EXPECT_GE(reflective, 4);
  // Drawn whole every frame in immediate mode.
  EXPECT_LT(plane->totalFaceCount, 30000);
  EXPECT_GT(plane->totalFaceCount, 8000);
}

TEST_F(BakedPlane, BallsAreSpheresOfTheirScenesSizes) {
  struct Expect {
    const char* file;
    float radius;
    int minFaces, maxFaces, minVertices, maxVertices;
  };
  for (Expect e : {Expect{"maps/ball.3ds", 1.3f, 300, 600, 0, 65535}, Expect{"maps/ball2.3ds", 25.0f, 0, 65535, 600, 1500}}) {
    Scene3ds* scene = Load(e.file);
    scene->Rewind();
    const SceneObject* ball = scene->cursor;  // the scenes use the first node
    ASSERT_EQ(ball->kind, KindMesh) << e.file;
    EXPECT_GE(ball->faceCount, e.minFaces) << e.file;
    EXPECT_LE(ball->faceCount, e.maxFaces) << e.file;
    EXPECT_GE(ball->vertexCount, e.minVertices) << e.file;
    EXPECT_LE(ball->vertexCount, e.maxVertices) << e.file;
    for (int v = 0; v < ball->vertexCount; v++) {
      Vec3 p = ball->vertices[v];
      ASSERT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), e.radius, e.radius * 1e-3f) << e.file;
    }
    // Every face is a real triangle: the deformations read three distinct corners.
    for (int f = 0; f < ball->faceCount; f++) {
      const Face& face = ball->faces[f];
      EXPECT_TRUE(face.a != face.b && face.b != face.c && face.a != face.c) << e.file << " face " << f;
    }
  }
}

}  // namespace
