// The bath hall as built: the figure's place, what the scene may contain, and the camera,
// played by the show's own loader and animation, keeping the figure in view when the
// figure's effects need it and never passing through the building.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/animation.h"
#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "timeline/demo_timer.h"
#include "tools/bake/jpeg.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"


namespace {

const V3 Feet{540, 13, -300};
const V3 Head{540, 26, -300};

struct Tri {
  V3 a, b, c;
};

bool IsDrawnOpaque(const BakeMesh& m) {
  char first = m.name.empty() ? 0 : m.name[0];
  return first != '%' && first != '*' && first != '@';
}

std::vector<Tri> OpaqueTriangles(const BakeScene& scene) {
  std::vector<Tri> tris;
  for (const BakeMesh& m : scene.meshes) {
    if (!IsDrawnOpaque(m)) continue;
    for (const auto& f : m.faces) tris.push_back({m.vertices[f[0]], m.vertices[f[1]], m.vertices[f[2]]});
  }
  return tris;
}

// True when the segment from p to q crosses the triangle strictly between its ends.
bool Crosses(const Tri& t, V3 p, V3 q) {
  V3 d = q - p, e1 = t.b - t.a, e2 = t.c - t.a;
  V3 h = Cross(d, e2);
  float det = Dot(e1, h);
  if (std::fabs(det) < 1e-9f) return false;
  float inv = 1 / det;
  V3 s = p - t.a;
  float u = Dot(s, h) * inv;
  if (u < 0 || u > 1) return false;
  V3 k = Cross(s, e1);
  float v = Dot(d, k) * inv;
  if (v < 0 || u + v > 1) return false;
  float at = Dot(e2, k) * inv;
  return at > 1e-4f && at < 1 - 1e-4f;
}

bool Blocked(const std::vector<Tri>& tris, V3 p, V3 q) {
  for (const Tri& t : tris)
    if (Crosses(t, p, q)) return true;
  return false;
}

V3 ToV3(const Vec3& v) { return {v.x, v.y, v.z}; }

const ArchiveMember* Member(const BakeOutput& out, const std::string& name) {
  for (const ArchiveMember& m : out.members)
    if (m.name == name) return &m;
  return nullptr;
}

struct Picture {
  std::vector<uint8_t> rgb;
  int width = 0, height = 0;
  float At(int x, int y, int c) const { return rgb[((size_t)y * width + x) * 3 + c]; }
  // Mean difference between two columns, over the three channels.
  float ColumnGap(int a, int b) const {
    float sum = 0;
    for (int y = 0; y < height; y++)
      for (int c = 0; c < 3; c++) sum += std::fabs(At(a, y, c) - At(b, y, c));
    return sum / (height * 3);
  }
};

bool Decode(const ArchiveMember& m, Picture* p) {
  int components = 0;
  return DecodeJpeg(m.bytes, &p->rgb, &p->width, &p->height, &components) && components == 3;
}

}  // namespace

TEST(BainContent, FigureStandsOnTheDaisWithRoomForTheBlobs) {
  BakeScene scene = BuildBainScene();
  int anchors = 0;
  for (const BakeMesh& m : scene.meshes) {
    if (m.name[0] != '@') continue;
    anchors++;
    EXPECT_EQ(m.material, "maps/girl.jpg");
    EXPECT_LT(Length(m.pivot - Feet), 1.0f) << m.name;
  }
  EXPECT_EQ(anchors, 1);

  std::vector<Tri> tris = OpaqueTriangles(scene);
  // Something solid just under her feet, nothing between her feet and the head.
  EXPECT_TRUE(Blocked(tris, Feet + V3{0, 0.5f, 0}, Feet - V3{0, 0.5f, 0}));
  EXPECT_FALSE(Blocked(tris, Feet + V3{0, 0.5f, 0}, Head + V3{0, 4, 0}));
  // The blobs swing about 26 units sideways and 16 up and down around the head: no
  // building there, so they grow into open air.
  for (const BakeMesh& m : scene.meshes) {
    if (!IsDrawnOpaque(m)) continue;
    for (V3 v : m.vertices) {
      bool inside = std::fabs(v.x - Head.x) < 24 && std::fabs(v.z - Head.z) < 15 && v.y > 15 && v.y < 45;
      EXPECT_FALSE(inside) << m.name << " has a vertex at " << v.x << ", " << v.y << ", " << v.z;
      if (inside) return;
    }
  }
}

TEST(BainContent, DrawnWholeEveryFrameSoKeptSmallAndWithoutReflections) {
  BakeScene scene = BuildBainScene();
  size_t faces = 0;
  int emitters = 0, additive = 0;
  for (const BakeMesh& m : scene.meshes) {
    faces += m.faces.size();
    EXPECT_NE(m.name[0], '?') << m.name << ": this scene gets no reflection texture";
    if (m.name[0] == '*') {
      emitters++;
      EXPECT_TRUE(m.name[1] == '1' || m.name[1] == '3') << m.name << ": steam rises";
      EXPECT_LT(std::fabs(m.pivot.y - 11), 2.0f) << m.name << ": born at the water";
    }
    if (m.name[0] == '%' && m.name[1] != '%') additive++;
  }
  EXPECT_LT(faces, 20000u);
  EXPECT_GE(emitters, 4);
  EXPECT_GE(additive, 2);
  std::vector<uint8_t> file;
  std::string error;
  EXPECT_TRUE(Write3ds(scene, &file, &error)) << error;
}

TEST(BainContent, CameraWatchesTheFigureAndStaysInsideTheHall) {
  BakeScene built = BuildBainScene();
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(Write3ds(built, &file, &error)) << error;
  Scene3ds* scene = new Scene3ds();
  ASSERT_TRUE(LoadSceneFromMemory(scene, file.data(), file.size()));
  ASSERT_EQ(scene->cameraCount, 1);
  std::vector<Tri> tris = OpaqueTriangles(built);

  DemoTimer timer(24.0f);
  auto eyeAt = [&](float t, V3* target) {
    timer.elapsed = t;
    AnimateScene(scene, timer);
    const SceneObject* cam = scene->cameras[scene->currentCamera];
    *target = ToV3(cam->camera.target);
    return ToV3(cam->camera.eye);
  };

  // The start, the burst and the blobs' growth, and the end: the figure (or where the
  // blobs grow) near the middle of the picture, with nothing in front of it.
  for (float t : {0.0f, 1.0f, 2.0f, 14.6f, 15.5f, 16.5f, 17.2f, 18.0f, 20.0f, 22.0f, 24.0f}) {
    V3 target;
    V3 eye = eyeAt(t, &target);
    V3 look = Normalize(target - eye), toHead = Normalize(Head - eye);
    float degrees = std::acos(std::min(1.0f, Dot(look, toHead))) * 180 / Pi;
    EXPECT_LT(degrees, 12.0f) << "at " << t << " s";
    EXPECT_FALSE(Blocked(tris, eye, Head)) << "figure hidden at " << t << " s";
    float distance = Length(Head - eye);
    EXPECT_GT(distance, 25.0f) << "at " << t << " s";
    if (t >= 17.85f) {
      EXPECT_GT(distance, 45.0f) << "the blobs need room in the picture at " << t << " s";
    }
  }

  // In between, the camera flies through the hall, not through its walls and columns.
  V3 target;
  V3 last = eyeAt(0, &target);
  for (int step = 1; step <= 480; step++) {
    float t = step * 0.05f;
    V3 eye = eyeAt(t, &target);
    EXPECT_FALSE(Blocked(tris, last, eye)) << "passes through the building at " << t << " s";
    EXPECT_GT(eye.y, 14.0f) << "at " << t << " s";
    EXPECT_LT(std::fabs(eye.x - Feet.x), 90.0f) << "at " << t << " s";
    EXPECT_LT(std::fabs(eye.z - Feet.z), 75.0f) << "at " << t << " s";
    last = eye;
  }
  delete scene;
}

TEST(BainContent, PicturesTileAndSpritesFadeToBlack) {
  BakeOutput out;
  std::string error;
  ASSERT_TRUE(BakeBain(out, &error)) << error;
  BakeScene scene = BuildBainScene();
  size_t vertices = 0;
  for (const BakeMesh& m : scene.meshes) {
    vertices += m.vertices.size();
    // The figure's skin comes with the creatures; every other picture comes with the hall.
    if (m.material != "maps/girl.jpg") {
      EXPECT_NE(Member(out, m.material), nullptr) << m.material;
    }
  }
  const ArchiveMember* lighting = Member(out, "maps/bain.vlo");
  ASSERT_NE(lighting, nullptr);
  EXPECT_EQ(lighting->bytes.size(), vertices * 12);

  // Repeating surfaces: the seam between the last column and the first is no harder than
  // the step between neighbouring columns inside the picture.
  for (const char* name : {"maps/bain_floor.jpg", "maps/bain_pool.jpg", "maps/bain_stone.jpg", "maps/bain_wall.jpg",
                           "maps/bain_vault.jpg", "maps/bain_water.jpg"}) {
    const ArchiveMember* m = Member(out, name);
    ASSERT_NE(m, nullptr) << name;
    Picture p;
    ASSERT_TRUE(Decode(*m, &p)) << name;
    float inside = (p.ColumnGap(p.width / 2 - 1, p.width / 2) + p.ColumnGap(p.width / 3 - 1, p.width / 3)) / 2;
    EXPECT_LT(p.ColumnGap(p.width - 1, 0), inside * 2 + 6) << name;
  }
  // Added sprites: black all round their edge, so no quad outline shows.
  for (const char* name : {"maps/bain_flame.jpg", "maps/bain_halo.jpg", "maps/bain_steam.jpg"}) {
    const ArchiveMember* m = Member(out, name);
    ASSERT_NE(m, nullptr) << name;
    Picture p;
    ASSERT_TRUE(Decode(*m, &p)) << name;
    float brightest = 0;
    for (int i = 0; i < p.width; i++)
      for (int c = 0; c < 3; c++)
        brightest = std::max({brightest, p.At(i, 0, c), p.At(i, p.height - 1, c), p.At(0, i, c), p.At(p.width - 1, i, c)});
    EXPECT_LT(brightest, 12.0f) << name;
  }
}
