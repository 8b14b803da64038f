// The show's baked 3D content, read back the way the show reads it: every scene file loads
// with all its materials and masks and within the show's limits, every lighting file fits
// its scene to the byte, the creatures' frame files are whole and loop, and frames along
// each camera path show a scene rather than an empty screen.
//
// The content is the build's own bake (the show's directory); without it the tests skip.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/gl.h"
#include "engine/animation.h"
#include "engine/models.h"
#include "engine/renderer.h"
#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "engine/vertex_lighting.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "timeline/demo_timer.h"

namespace fs = std::filesystem;

namespace {

struct SceneFile {
  const char* base;  // "maps/jungle": the .3ds, and the .vlo when `lighting`
  bool lighting, lightMaps;
  double seconds;  // the scene's length in the show
  float fog[3];     // the scene's fog colour, also its clear colour
  float fogDensity; // 0: the scene is drawn without fog
};

const SceneFile Scenes[] = {
    {"maps/avion", false, false, 30, {0, 0, 0}, 0},
    {"maps/ball", false, false, 6, {0, 0, 0}, 0},
    {"maps/ball2", false, false, 51.5, {0, 0, 0}, 0},
    {"maps/jungle", true, false, 52, {0.16f, 0.3f, 0.09f}, 0.0018f},
    {"maps/tunnel", true, false, 12, {0.7f, 0.4f, 0.0f}, 0.003f},
    {"maps/palace", true, true, 51.5, {0.2f, 0.06f, 0.0f}, 0.0045f},
    {"maps/bain", true, false, 24, {0, 0, 0}, 0},
    {"maps/comput", true, false, 22, {0, 0, 0}, 0.0001f},
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

template <typename F>
void ForEachNode(Scene3ds* scene, F f) {
  for (SceneObject* node = scene; node && scene->objectCount; node = node->next) f(node);
}

bool StrictlyIncreasing(const uint16_t* frames, uint32_t count) {
  for (uint32_t i = 1; i < count; i++)
    if (frames[i] <= frames[i - 1]) return false;
  return true;
}

class BakedContent : public HeadlessGL {
 protected:
  static void SetUpTestSuite() {
    HeadlessGL::SetUpTestSuite();
    std::string archive = std::string(VELLUMAR_SHOW_DIR) + "/datas.vlo";
    if (!fs::exists(archive)) return;
    dir = FreshDirectory("scene_content_" + std::to_string(getpid()));
    std::string command = "cd '" + dir + "' && unzip -q -o '" + archive + "'";
    unpacked = std::system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
  void SetUp() override {
    HeadlessGL::SetUp();
    if (!unpacked) GTEST_SKIP() << "the show's data set is not baked";
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override { (void)chdir(TEST_BINARY_DIR); }

  static std::string dir;
  static bool unpacked;
};
std::string BakedContent::dir;
bool BakedContent::unpacked = false;

TEST_F(BakedContent, EveryScenesLoadsWithAllItsMaterialsWithinTheShowsLimits) {
  for (const SceneFile& f : Scenes) {
    std::string path = std::string(f.base) + ".3ds";
    SCOPED_TRACE(path);
    CapturedMessages messages;
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, path.c_str()));
    // A missing material picture or mask would have been reported in a box.
    EXPECT_TRUE(messages.boxes.empty()) << messages.boxes.front();
    EXPECT_LE(scene->textureCount, 60);
    EXPECT_LE(scene->lightCount, 100);
    EXPECT_LE(scene->cameraCount, 50);
    int meshes = 0, emitters = 0;
    ForEachNode(scene, [&](SceneObject* node) {
      SCOPED_TRACE(node->name);
      if (node->kind == KindMesh) {
        meshes++;
        if (node->name[0] == '*') emitters++;
        EXPECT_GT(node->faceCount, 0u);
        EXPECT_EQ(node->texCoordCount, node->vertexCount);
        // The pose after loading comes from the first position key.
        EXPECT_GE(node->posKeyCount, 1u);
        for (uint32_t n : {node->posKeyCount, node->rotKeyCount})
          EXPECT_TRUE(n <= 1 || (n >= 4 && (n - 1) % 3 == 0)) << n;
        EXPECT_TRUE(StrictlyIncreasing(node->posFrames, node->posKeyCount));
        EXPECT_TRUE(StrictlyIncreasing(node->rotFrames, node->rotKeyCount));
      }
      if (node->kind == KindCamera) {
        EXPECT_GE(node->posKeyCount, 4u);
        EXPECT_GE(node->rotKeyCount, 4u);
        EXPECT_TRUE(StrictlyIncreasing(node->posFrames, node->posKeyCount));
        EXPECT_TRUE(StrictlyIncreasing(node->rotFrames, node->rotKeyCount));
      }
    });
    EXPECT_GE(meshes, 1);
    EXPECT_LE(emitters, 100);
    if (f.lighting) {
      EXPECT_GE(scene->cameraCount, 1);
      EXPECT_LT(scene->startFrame, scene->endFrame);
    }
    ReleaseScene(scene);
  }
}

TEST_F(BakedContent, BallScenesStartWithTheirSpheres) {
  struct Ball {
    const char* path;
    float radius;
    uint32_t minFaces, maxFaces, minVertices, maxVertices;
  };
  for (const Ball& b : {Ball{"maps/ball.3ds", 1.3f, 300, 600, 0, 65535},
                        Ball{"maps/ball2.3ds", 25.0f, 0, 65535, 600, 1500}}) {
    SCOPED_TRACE(b.path);
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, b.path));
    ASSERT_EQ(scene->kind, KindMesh);
    EXPECT_GE(scene->faceCount, b.minFaces);
    EXPECT_LE(scene->faceCount, b.maxFaces);
    EXPECT_GE(scene->vertexCount, b.minVertices);
    EXPECT_LE(scene->vertexCount, b.maxVertices);
    // Every vertex lies on the sphere around the vertices' centre.
    Vec3 c{0, 0, 0};
    for (uint32_t i = 0; i < scene->vertexCount; i++) {
      c.x += scene->vertices[i].x / scene->vertexCount;
      c.y += scene->vertices[i].y / scene->vertexCount;
      c.z += scene->vertices[i].z / scene->vertexCount;
    }
    for (uint32_t i = 0; i < scene->vertexCount; i++) {
      Vec3 v = scene->vertices[i];
      float r = std::sqrt((v.x - c.x) * (v.x - c.x) + (v.y - c.y) * (v.y - c.y) + (v.z - c.z) * (v.z - c.z));
      EXPECT_NEAR(r, b.radius, b.radius * 0.15f);
    }
    ReleaseScene(scene);
  }
}

TEST_F(BakedContent, LightingFilesFitTheirScenesToTheByteAndAreReallyLit) {
  for (const SceneFile& f : Scenes) {
    if (!f.lighting) continue;
    std::string path = std::string(f.base) + ".3ds", vlo = std::string(f.base) + ".vlo";
    SCOPED_TRACE(vlo);
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, path.c_str()));
    std::vector<uint8_t> bytes = ReadBytes(vlo);
    size_t colours = 0;
    ForEachNode(scene, [&](SceneObject* node) {
      if (node->kind == KindMesh) colours += (size_t)node->vertexCount * 12;
    });
    size_t at = colours;
    if (f.lightMaps) {
      // One record per face of every mesh but the anchors: a flag, then N and the triangle.
      int maps = 0;
      ForEachNode(scene, [&](SceneObject* node) {
        if (node->kind != KindMesh || node->name[0] == '@') return;
        for (uint32_t j = 0; j < node->faceCount && at < bytes.size(); j++) {
          if (bytes[at++] != 1) continue;
          ASSERT_LE(at + 4, bytes.size());
          uint32_t n = U32(bytes, at);
          at += 4;
          EXPECT_TRUE(n >= 4 && n <= 32 && (n & (n - 1)) == 0) << n;
          at += (size_t)n * (n + 1) / 2 * 3;
          maps++;
        }
      });
      EXPECT_GT(maps, 100);
    }
    EXPECT_EQ(bytes.size(), at);
    bool read = f.lightMaps ? LoadVertexLightingWithLightMaps(scene, vlo.c_str())
                            : LoadVertexLighting(scene, vlo.c_str());
    EXPECT_TRUE(read);
    // Baked light has shade: colours within 0..1 that are neither all one value nor flat.
    double sum = 0, sum2 = 0;
    size_t count = 0;
    ForEachNode(scene, [&](SceneObject* node) {
      if (node->kind != KindMesh || node->name[0] == '%' || node->name[0] == '*' || node->name[0] == '@') return;
      for (uint32_t i = 0; i < node->vertexCount; i++) {
        const Vec3& c = node->vertexColours[i];
        EXPECT_TRUE(c.x >= 0 && c.x <= 1 && c.y >= 0 && c.y <= 1 && c.z >= 0 && c.z <= 1);
        double l = 0.3 * c.x + 0.59 * c.y + 0.11 * c.z;
        sum += l;
        sum2 += l * l;
        count++;
      }
    });
    ASSERT_GT(count, 0u);
    double mean = sum / count, spread = std::sqrt(std::max(0.0, sum2 / count - mean * mean));
    EXPECT_GT(mean, 0.05);
    EXPECT_LT(mean, 0.95);
    EXPECT_GT(spread, 0.03);
    ReleaseScene(scene);
  }
}

TEST_F(BakedContent, CreatureFilesAreWholeAndTheirCyclesLoop) {
  struct Creature {
    const char* path;
    bool mirrored;
    float minHeight, maxHeight;
  };
  for (const Creature& c : {Creature{"maps/raptor.ryx", false, 8, 60}, Creature{"maps/girl.ryx", true, 30, 60}}) {
    SCOPED_TRACE(c.path);
    std::vector<uint8_t> bytes = ReadBytes(c.path);
    ASSERT_GE(bytes.size(), 12u);
    int32_t frames = (int32_t)U32(bytes, 0), vertices = (int32_t)U32(bytes, 4), faces = (int32_t)U32(bytes, 8);
    ASSERT_GT(frames, 1);
    ASSERT_GT(vertices, 3);
    ASSERT_GT(faces, 1);
    ASSERT_LE(vertices, 65535);
    EXPECT_EQ(bytes.size(), 12 + (size_t)faces * 6 + (size_t)vertices * 8 + (size_t)frames * vertices * 24);
    for (int32_t i = 0; i < faces * 3; i++) {
      uint16_t v = (uint16_t)(bytes[12 + 2 * i] | (bytes[13 + 2 * i] << 8));
      ASSERT_LT(v, vertices) << "face " << i / 3;
    }
    AnimatedModel model;
    ASSERT_TRUE(c.mirrored ? model.LoadModelMirrored(c.path) : model.LoadModelFile(c.path));
    ASSERT_EQ(model.frameCount, frames);
    auto at = [&](int frame, int v) { return model.vertices[(size_t)(frame + 1) * vertices + v]; };
    auto distance = [&](int a, int b) {
      double d = 0;
      for (int v = 0; v < vertices; v++) {
        Vec3 p = at(a, v), q = at(b, v);
        d += std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
      }
      return d / vertices;
    };
    // The cycle moves, and its last frame steps into the first no further than frames step.
    double largest = 0;
    for (int k = 0; k + 1 < frames; k++) largest = std::max(largest, distance(k, k + 1));
    EXPECT_GT(largest, 0.05);
    EXPECT_LE(distance(frames - 1, 0), largest * 1.5);
    // Standing upright in the show's space: feet near y = 0, of the expected height.
    float lo = 1e30f, hi = -1e30f;
    for (int v = 0; v < vertices; v++) {
      lo = std::min(lo, at(0, v).y);
      hi = std::max(hi, at(0, v).y);
    }
    EXPECT_NEAR(lo, 0.0f, (hi - lo) * 0.15f);
    EXPECT_GE(hi - lo, c.minHeight);
    EXPECT_LE(hi - lo, c.maxHeight);
    model.ReleaseModel();
  }
}

// Frames along the camera path, in the scene's own fog: the picture has detail (its
// brightness varies) and most of it is scene, not fog or the clear colour.
TEST_F(BakedContent, FramesAlongEachCameraPathShowTheScene) {
  for (const SceneFile& f : Scenes) {
    std::string path = std::string(f.base) + ".3ds";
    SCOPED_TRACE(path);
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, path.c_str()));
    if (scene->cameraCount == 0) {
      ReleaseScene(scene);
      continue;
    }
    if (f.lighting) {
      std::string vlo = std::string(f.base) + ".vlo";
      if (f.lightMaps) LoadVertexLightingWithLightMaps(scene, vlo.c_str());
      else LoadVertexLighting(scene, vlo.c_str());
    }
    DemoTimer timer((float)f.seconds);
    const float fog[4] = {f.fog[0], f.fog[1], f.fog[2], 1};
    const int fogLevel[3] = {(int)(fog[0] * 255 + 0.5f), (int)(fog[1] * 255 + 0.5f), (int)(fog[2] * 255 + 0.5f)};
    if (f.fogDensity > 0) {
      glFogi(GL_FOG_MODE, GL_EXP2);
      glFogfv(GL_FOG_COLOR, fog);
      glFogf(GL_FOG_DENSITY, f.fogDensity);
      glEnable(GL_FOG);
    }
    for (double share : {0.1, 0.5, 0.9}) {
      SCOPED_TRACE(share);
      timer.elapsed = (float)(f.seconds * share);
      glClearColor(fog[0], fog[1], fog[2], 1);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      AnimateScene(scene, timer);
      DrawScene(scene, timer, nullptr);
      glFinish();
      std::vector<uint8_t> frame = Frame();
      double sum = 0, sum2 = 0;
      size_t lit = 0, count = (size_t)width * height;
      for (size_t i = 0; i < count; i++) {
        const uint8_t* p = &frame[i * 4];
        double l = 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
        sum += l;
        sum2 += l * l;
        if (std::abs(p[0] - fogLevel[0]) + std::abs(p[1] - fogLevel[1]) + std::abs(p[2] - fogLevel[2]) > 12) lit++;
      }
      double mean = sum / count, spread = std::sqrt(std::max(0.0, sum2 / count - mean * mean));
      EXPECT_GT(spread, 8.0) << "mean " << mean;
      // The plane flies in a night sky; every other scene surrounds its camera.
      EXPECT_GT(lit, count * (std::string(f.base) == "maps/avion" ? 0.05 : 0.5));
    }
    glDisable(GL_FOG);
    ReleaseScene(scene);
  }
}

}  // namespace
