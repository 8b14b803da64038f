// The baked jungle, read back by the show's own loader and played along its 52 seconds:
// every picture it names is in the archive, the grid shows few enough faces for speed,
// the camera keeps above the land, and the raptors run on the ground facing their way
// and are passed by the camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/settings.h"
#include "engine/animation.h"
#include "engine/scene.h"
#include "engine/scene_grid.h"
#include "engine/scene_loader.h"
#include "tests/support/test_support.h"
#include "timeline/demo_timer.h"
#include "tools/bake/bake.h"
#include "tools/bake/jpeg.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

constexpr float Seconds = 52.0f;
// The raptor model's nose before the anchor turns it, in the show's space.
constexpr float ForwardX = 0, ForwardZ = 1;

const BakeOutput& Baked() {
  static BakeOutput out;
  static bool done = false;
  if (!done) {
    std::string error;
    EXPECT_TRUE(BakeJungle(out, &error)) << error;
    done = true;
  }
  return out;
}

const ArchiveMember* Member(const std::string& name) {
  for (const ArchiveMember& m : Baked().members)
    if (m.name == name) return &m;
  return nullptr;
}

std::vector<SceneObject*> Nodes(Scene3ds* scene) {
  std::vector<SceneObject*> nodes;
  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; i++) {
    nodes.push_back(scene->cursor);
    scene->Advance();
  }
  scene->Rewind();
  return nodes;
}

// The scene as the show loads it (pictures are not on disk here, so textures stay 0).
struct Loaded {
  Scene3ds* scene = new Scene3ds();
  CapturedMessages quiet;
  Loaded() {
    const ArchiveMember* file = Member("maps/jungle.3ds");
    if (file) LoadSceneFromMemory(scene, file->bytes.data(), file->bytes.size());
  }
  ~Loaded() { ReleaseScene(scene); }
};

// The height of the land at a point, read from the terrain meshes' vertices (a regular
// lattice), taking the highest corner of the lattice square around it.
struct LandHeights {
  std::map<std::pair<int, int>, float> at;
  float step = 1e9f;
  explicit LandHeights(Scene3ds* scene) {
    std::vector<SceneObject*> terrain;
    for (SceneObject* n : Nodes(scene))
      if (n->kind == KindMesh && (!strncmp(n->name, "jungle_floor", 12) || !strncmp(n->name, "jungle_banks", 12)))
        terrain.push_back(n);
    // The lattice's spacing: the smallest step between neighbouring vertices of a row.
    for (SceneObject* n : terrain)
      for (int v = 1; v < n->vertexCount; v++) {
        float dx = std::fabs(n->vertices[v].x - n->vertices[v - 1].x);
        if (dx > 1 && n->vertices[v].z == n->vertices[v - 1].z) step = std::min(step, dx);
      }
    for (SceneObject* n : terrain) {
      for (int v = 0; v < n->vertexCount; v++)
        at[{(int)std::lround(n->vertices[v].x / step), (int)std::lround(n->vertices[v].z / step)}] = n->vertices[v].y;
    }
  }
  bool Known(float x, float z) const { return at.count({(int)std::floor(x / step), (int)std::floor(z / step)}) > 0; }
  float Highest(float x, float z) const {
    int i = (int)std::floor(x / step), j = (int)std::floor(z / step);
    float h = -1e9f;
    for (int dj = 0; dj <= 1; dj++)
      for (int di = 0; di <= 1; di++) {
        auto it = at.find({i + di, j + dj});
        if (it != at.end()) h = std::max(h, it->second);
      }
    return h;
  }
  float Lowest(float x, float z) const {
    int i = (int)std::floor(x / step), j = (int)std::floor(z / step);
    float h = 1e9f;
    for (int dj = 0; dj <= 1; dj++)
      for (int di = 0; di <= 1; di++) {
        auto it = at.find({i + di, j + dj});
        if (it != at.end()) h = std::min(h, it->second);
      }
    return h;
  }
};

TEST(JungleContent, ArchiveHoldsEveryPictureMaskAndLightingValueTheSceneNeeds) {
  Loaded loaded;
  Scene3ds* scene = loaded.scene;
  ASSERT_GT(scene->objectCount, 0);
  ASSERT_EQ(scene->cameraCount, 1);
  std::set<std::string> masked;
  int anchors = 0, mist = 0, reflective = 0, additive = 0;
  uint32_t vertices = 0;
  for (SceneObject* n : Nodes(scene)) {
    if (n->kind != KindMesh) continue;
    vertices += n->vertexCount;
    const std::string material = scene->textures[n->textureIndex].name;
    if (n->alphaMasked) masked.insert(material);
    if (n->modelAnchor) {
      anchors++;
      EXPECT_EQ(material, "maps/raptor.jpg") << n->name;
      continue;
    }
    if (n->name[0] == '*') {
      EXPECT_EQ(n->name[1], '1') << n->name;
      mist++;
    }
    reflective += n->reflective;
    additive += n->additive;
    EXPECT_NE(Member(material), nullptr) << material << " of " << n->name;
  }
  for (const std::string& m : masked) EXPECT_NE(Member(MaskName(m)), nullptr) << MaskName(m);
  EXPECT_GE(anchors, 3);
  EXPECT_LE(anchors, 8);
  EXPECT_GE(mist, 3);
  EXPECT_GE(reflective, 1);
  EXPECT_GE(additive, 1);
  EXPECT_GE(masked.size(), 2u);
  const ArchiveMember* lighting = Member("maps/jungle.vlo");
  ASSERT_NE(lighting, nullptr);
  EXPECT_EQ(lighting->bytes.size(), (size_t)vertices * 12);
}

struct Picture {
  std::vector<uint8_t> rgb;
  int width = 0, height = 0;
};

Picture Decoded(const std::string& name) {
  Picture p;
  int components = 0;
  const ArchiveMember* m = Member(name);
  EXPECT_NE(m, nullptr) << name;
  if (m) {
    EXPECT_TRUE(DecodeJpeg(m->bytes, &p.rgb, &p.width, &p.height, &components)) << name;
  }
  return p;
}

bool PowerOfTwo(int n) { return n >= 128 && n <= 512 && (n & (n - 1)) == 0; }

// The show makes a mask pixel transparent when its samples add up to more than 384, so
// leaves must be dark in their masks; a mask painted the other way round shows the card
// with holes where the leaves are.
TEST(JungleContent, LeafMasksAreOpaqueOnTheLeavesAndAddedPicturesFadeToBlackAtTheirEdges) {
  const char* masked[] = {"maps/jungle_palm.jpg", "maps/jungle_fern.jpg", "maps/jungle_leaves.jpg", "maps/jungle_vine.jpg"};
  for (const char* name : masked) {
    Picture colour = Decoded(name), mask = Decoded(MaskName(name));
    ASSERT_EQ(mask.width, colour.width) << name;
    ASSERT_EQ(mask.height, colour.height) << name;
    EXPECT_TRUE(PowerOfTwo(colour.width) && PowerOfTwo(colour.height)) << name;
    size_t opaque = 0, count = (size_t)mask.width * mask.height;
    double green = 0, red = 0;
    for (size_t i = 0; i < count; i++) {
      if (mask.rgb[3 * i] + mask.rgb[3 * i + 1] + mask.rgb[3 * i + 2] > 384) continue;
      opaque++;
      red += colour.rgb[3 * i];
      green += colour.rgb[3 * i + 1];
    }
    EXPECT_GT(opaque, count / 8) << name;
    EXPECT_LT(opaque, count * 7 / 8) << name;
    EXPECT_GT(green, red) << name << ": what the mask keeps is leaf green";
  }
  const char* added[] = {"maps/jungle_shaft.jpg", "maps/jungle_glow.jpg", "maps/jungle_mist.jpg"};
  for (const char* name : added) {
    Picture p = Decoded(name);
    ASSERT_GT(p.width, 0) << name;
    int brightest = 0, edge = 0;
    for (int y = 0; y < p.height; y++)
      for (int x = 0; x < p.width; x++) {
        const uint8_t* px = &p.rgb[3 * ((size_t)y * p.width + x)];
        int v = std::max({px[0], px[1], px[2]});
        brightest = std::max(brightest, v);
        if (x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1) edge = std::max(edge, v);
      }
    EXPECT_GT(brightest, 40) << name;
    EXPECT_LE(edge, 10) << name << ": the card's outline would show";
  }
}

TEST(JungleContent, FlightShowsFewFacesKeepsAboveTheLandAndPassesTheRaptors) {
  Loaded loaded;
  Scene3ds* scene = loaded.scene;
  ASSERT_EQ(scene->cameraCount, 1);
  int savedRange = ViewRangeCells;
  float savedCell = GridCellSize;
  ViewRangeCells = 10;
  GridCellSize = 150;
  AttachEmitters(scene, 500, 5.0f, 1, 20.0f, 200.0f);
  SceneGrid grid(scene);
  LandHeights land(scene);
  std::vector<SceneObject*> nodes = Nodes(scene);

  int mostFaces = 0;
  float lowestClearance = 1e9f;
  std::map<std::string, float> closest;  // each raptor's nearest approach while in view
  DemoTimer timer(Seconds);
  for (float t = 0; t <= Seconds; t += 0.1f) {
    timer.elapsed = t;
    AnimateScene(scene, timer);
    grid.UpdateVisibleCells();
    int faces = 0;
    for (int c = 0; c < grid.visibleCount; c++) {
      const GridCell& cell = grid.cells[grid.visibleCells[c]];
      for (int k = 0; k < cell.nodeCount; k++) faces += cell.nodeLists[k].faceCount;
    }
    mostFaces = std::max(mostFaces, faces);
    Vec3 eye = scene->cameras[scene->currentCamera]->camera.eye;
    if (land.Known(eye.x, eye.z)) lowestClearance = std::min(lowestClearance, eye.y - std::max(0.0f, land.Highest(eye.x, eye.z)));
    for (SceneObject* n : nodes) {
      if (!n->modelAnchor) continue;
      int32_t column, row;
      grid.CellOf(n->position.x, n->position.z, &column, &row);
      if (!grid.IsVisible(column + row * grid.columns)) continue;
      float d = std::hypot(n->position.x - eye.x, n->position.z - eye.z);
      auto it = closest.find(n->name);
      if (it == closest.end() || d < it->second) closest[n->name] = d;
    }
  }
  EXPECT_LT(mostFaces, 15000);
  EXPECT_GT(lowestClearance, 8.0f);
  int passed = 0;
  for (auto& [name, d] : closest) passed += d < 200;
  EXPECT_GE(passed, 3) << "raptors seen within 200 units of the camera";
  ViewRangeCells = savedRange;
  GridCellSize = savedCell;
}

TEST(JungleContent, RaptorsRunOnTheGroundFacingTheWayTheyGo) {
  Loaded loaded;
  Scene3ds* scene = loaded.scene;
  LandHeights land(scene);
  std::vector<SceneObject*> anchors;
  for (SceneObject* n : Nodes(scene))
    if (n->kind == KindMesh && n->modelAnchor) anchors.push_back(n);
  ASSERT_FALSE(anchors.empty());
  for (SceneObject* a : anchors) {
    ASSERT_GE(a->rotKeyCount, 4u) << a->name;
    // The file's first turn is dropped by the loader; the track starts unturned.
    EXPECT_EQ(a->rotValues[0].y, 0.0f);
    EXPECT_LT(a->posFrames[3], scene->startFrame) << a->name << " turns before the camera starts";
    EXPECT_GT(a->posFrames[a->posKeyCount - 1], scene->endFrame) << a->name << " runs to the end";
  }
  DemoTimer timer(Seconds);
  std::vector<Vec3> before(anchors.size());
  const float dt = 0.2f;
  for (float t = 0; t <= Seconds - 0.5f; t += dt) {
    timer.elapsed = t;
    AnimateScene(scene, timer);
    for (size_t i = 0; i < anchors.size(); i++) {
      SceneObject* a = anchors[i];
      Vec3 p = a->position;
      if (t > 0) {
        float dx = p.x - before[i].x, dz = p.z - before[i].z, moved = std::hypot(dx, dz);
        EXPECT_GT(moved / dt, 15.0f) << a->name << " at " << t << " s";
        float yaw = a->rotation.y * 3.14159265f / 180;
        // glRotatef about Y turns +Z towards +X.
        float fx = ForwardX * std::cos(yaw) + ForwardZ * std::sin(yaw);
        float fz = -ForwardX * std::sin(yaw) + ForwardZ * std::cos(yaw);
        if (moved > 1) {
          EXPECT_GT((fx * dx + fz * dz) / moved, 0.9f) << a->name << " at " << t << " s";
        }
        EXPECT_NEAR(a->rotation.x, 0.0f, 1e-3f);
        EXPECT_NEAR(a->rotation.z, 0.0f, 1e-3f);
      }
      if (land.Known(p.x, p.z)) {
        float low = land.Lowest(p.x, p.z), high = land.Highest(p.x, p.z);
        EXPECT_GT(p.y, std::min(low, -4.0f) - 3) << a->name << " at " << t << " s";
        EXPECT_LT(p.y, std::max(high, -4.0f) + 3) << a->name << " at " << t << " s";
      }
      before[i] = p;
    }
  }
}

}  // namespace
