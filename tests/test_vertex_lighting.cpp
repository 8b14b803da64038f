// Lighting files: the colour section, the light-map records with their mirror step, the
// additive and anchor rules, and files that are missing, short or hostile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "engine/vertex_lighting.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

struct NodeShape {
  const char* name;
  uint16_t kind;
  int vertices;
  int faces;
};

// A scene of the given nodes, the first being the scene itself; meshes are white.
Scene3ds* BuildScene(const std::vector<NodeShape>& shapes) {
  Scene3ds* scene = new Scene3ds();
  SceneObject* last = nullptr;
  for (const NodeShape& s : shapes) {
    SceneObject* node = last ? new SceneObject() : scene;
    if (last) {
      last->next = node;
      node->prev = last;
    }
    snprintf(node->name, sizeof node->name, "%s", s.name);
    node->kind = s.kind;
    node->additive = s.name[0] == '%' && s.name[1] != '%';
    node->modelAnchor = s.name[0] == '@';
    if (s.kind == KindMesh) {
      node->vertexCount = static_cast<uint16_t>(s.vertices);
      node->vertices = new Vec3[s.vertices];
      node->vertexColours = new Vec3[s.vertices];
      for (int i = 0; i < s.vertices; ++i) node->vertexColours[i] = Vec3{1, 1, 1};
      node->faceCount = static_cast<uint16_t>(s.faces);
      node->faces = new Face[s.faces];
      for (int i = 0; i < s.faces; ++i) node->faces[i].hasLightMap = 1;  // stale
    }
    last = node;
    ++scene->objectCount;
  }
  scene->cursor = scene;
  return scene;
}

struct Bytes {
  std::vector<uint8_t> b;
  Bytes& F(float f) {
    uint8_t raw[4];
    memcpy(raw, &f, 4);
    b.insert(b.end(), raw, raw + 4);
    return *this;
  }
  Bytes& U8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Bytes& Colours(int count, float base) {
    for (int i = 0; i < count; ++i) F(base + i).F(0.5f).F(0.25f);
    return *this;
  }
  // A light map of edge n whose stored texel (l, m) is (l * 16 + m, 100 + l, 200 + m).
  Bytes& Map(uint32_t n) {
    U8(1).U32(n);
    for (uint32_t l = 0; l < n; ++l)
      for (uint32_t m = 0; m + l < n; ++m) U8(uint8_t(l * 16 + m)).U8(uint8_t(100 + l)).U8(uint8_t(200 + m));
    return *this;
  }
};

TEST(VertexLighting, ColoursFillEveryMeshInListOrder) {
  Scene3ds* scene = BuildScene({{"A", KindMesh, 3, 1}, {"Cam", KindCamera, 0, 0}, {"B", KindMesh, 5, 2}});
  Bytes file;
  file.Colours(3, 10).Colours(5, 20);
  ASSERT_EQ(file.b.size(), 96u);  // (3 + 5) x 12
  EXPECT_TRUE(ParseVertexLighting(scene, file.b.data(), file.b.size()));
  SceneObject* b = scene->next->next;
  EXPECT_FLOAT_EQ(scene->vertexColours[2].x, 12.0f);
  EXPECT_FLOAT_EQ(scene->vertexColours[2].y, 0.5f);
  EXPECT_FLOAT_EQ(b->vertexColours[0].x, 20.0f);
  EXPECT_FLOAT_EQ(b->vertexColours[4].z, 0.25f);
  EXPECT_EQ(scene->faces[0].hasLightMap, 0);
  EXPECT_EQ(scene->cursor, static_cast<SceneObject*>(scene));

  // One byte short: what was read stays, the last vertex keeps its colour, and the
  // reader says so.
  for (int i = 0; i < 5; ++i) b->vertexColours[i] = Vec3{1, 1, 1};
  EXPECT_FALSE(ParseVertexLighting(scene, file.b.data(), file.b.size() - 1));
  EXPECT_FLOAT_EQ(b->vertexColours[3].x, 23.0f);
  EXPECT_FLOAT_EQ(b->vertexColours[4].x, 1.0f);
  EXPECT_EQ(scene->cursor, static_cast<SceneObject*>(scene));

  // A missing file leaves the scene as it was.
  CapturedMessages captured;
  EXPECT_FALSE(LoadVertexLighting(scene, "no/such/lighting.vlo"));
  EXPECT_FALSE(LoadVertexLightingWithLightMaps(scene, "no/such/lighting.vlo"));
  EXPECT_FLOAT_EQ(scene->vertexColours[0].x, 10.0f);
  ReleaseScene(scene);
}

TEST(VertexLighting, MirrorCopiesTheStoredTriangleAcrossTheAntiDiagonal) {
  // N = 2: (0,0) goes to (1,1); (0,1) and (1,0) lie on the anti-diagonal and stay.
  uint8_t two[2 * 2 * 3] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 0, 0, 0};
  MirrorLightMap(two, 2);
  const uint8_t expectTwo[12] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 1, 1, 1};
  EXPECT_EQ(memcmp(two, expectTwo, 12), 0);

  // N = 4: every texel (r, c) below the anti-diagonal equals (3 - c, 3 - r).
  const uint32_t n = 4;
  std::vector<uint8_t> four(n * n * 3, 0);
  for (uint32_t l = 0; l < n; ++l)
    for (uint32_t m = 0; m + l < n; ++m) four[(l * n + m) * 3] = uint8_t(1 + l * 4 + m);
  MirrorLightMap(four.data(), n);
  for (uint32_t r = 0; r < n; ++r) {
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t l = r + c < n ? r : n - 1 - c;
      uint32_t m = r + c < n ? c : n - 1 - r;
      EXPECT_EQ(four[(r * n + c) * 3], 1 + l * 4 + m) << r << "," << c;
    }
  }
}

class VertexLightingGL : public HeadlessGL {};

TEST_F(VertexLightingGL, LightMapRecordsBecomeTexturesExceptOnAdditiveAndAnchorMeshes) {
  Scene3ds* scene = BuildScene({{"Wall", KindMesh, 3, 3}, {"@raptor", KindMesh, 3, 2},
                                {"%glow", KindMesh, 3, 1}, {"Cam", KindCamera, 0, 0}});
  Bytes file;
  file.Colours(3, 10).Colours(3, 20).Colours(3, 30);
  size_t colours = file.b.size();
  file.U8(0);  // Wall face 0: no map, one byte
  size_t before = file.b.size();
  file.Map(4);  // Wall face 1: 1 + 4 + 10 x 3 bytes
  EXPECT_EQ(file.b.size() - before, 35u);
  file.U8(7);    // Wall face 2: any value but 1 means no map
  file.Map(2);   // %glow face 0 (the anchor has no records)
  ASSERT_TRUE(ParseVertexLightingWithLightMaps(scene, file.b.data(), file.b.size()));
  EXPECT_GT(colours, 0u);

  SceneObject* wall = scene;
  SceneObject* anchor = wall->next;
  SceneObject* glow = anchor->next;
  ASSERT_NE(wall->faceLightMaps, nullptr);
  EXPECT_EQ(wall->faces[0].hasLightMap, 0);
  EXPECT_EQ(wall->faces[1].hasLightMap, 1);
  EXPECT_EQ(wall->faces[2].hasLightMap, 0);
  EXPECT_NE(wall->faceLightMaps[1], 0u);
  EXPECT_EQ(anchor->faceLightMaps, nullptr);
  EXPECT_EQ(anchor->faces[0].hasLightMap, 0);
  EXPECT_FLOAT_EQ(anchor->vertexColours[0].x, 20.0f);
  // The additive mesh: white colours, and its map exists but is not used.
  EXPECT_FLOAT_EQ(glow->vertexColours[1].x, 1.0f);
  EXPECT_FLOAT_EQ(glow->vertexColours[1].z, 1.0f);
  EXPECT_EQ(glow->faces[0].hasLightMap, 0);
  EXPECT_NE(glow->faceLightMaps[0], 0u);

  // The face's place in its texture holds the mirrored square; the one-texel frame
  // around it repeats the square's opposite edges, as a texture of its own would wrap.
  ASSERT_NE(wall->faceLightMapPlaces, nullptr);
  const float* place = &wall->faceLightMapPlaces[4];
  glBindTexture(GL_TEXTURE_2D, wall->faceLightMaps[1]);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  ASSERT_GE(w, 6);
  ASSERT_GE(h, 6);
  EXPECT_FLOAT_EQ(place[2] * w, 4.0f);
  EXPECT_FLOAT_EQ(place[3] * h, 4.0f);
  std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  const int x0 = (int)lroundf(place[0] * w), y0 = (int)lroundf(place[1] * h);
  auto at = [&](int r, int c, int k) {
    return texels[((size_t)(y0 + r) * w + (x0 + c)) * 3 + k];
  };
  EXPECT_EQ(at(0, 3, 0), 3);    // stored (0, 3)
  EXPECT_EQ(at(3, 3, 0), 0);    // mirror of (0, 0)
  EXPECT_EQ(at(3, 3, 1), 100);
  EXPECT_EQ(at(2, 3, 2), 201);  // mirror of (0, 1): (3 - 1, 3 - 0)
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(at(-1, 3, k), at(3, 3, k));    // above the first row: the last
    EXPECT_EQ(at(2, 4, k), at(2, 0, k));     // right of the last column: the first
    EXPECT_EQ(at(4, -1, k), at(0, 3, k));    // the corners wrap both ways
  }
  // The additive mesh's map has a place too, apart from the wall's.
  const float* glowPlace = glow->faceLightMapPlaces;
  ASSERT_NE(glowPlace, nullptr);
  EXPECT_TRUE(glow->faceLightMaps[0] != wall->faceLightMaps[1] || glowPlace[0] != place[0] ||
              glowPlace[1] != place[1]);
  EXPECT_EQ(at(2, 3, 0), 1);
  EXPECT_EQ(scene->cursor, static_cast<SceneObject*>(scene));
  ReleaseScene(scene);
}

TEST_F(VertexLightingGL, RefusedOrShortLightMapsEndTheSection) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const std::vector<uint32_t> refused = {3, 0, static_cast<uint32_t>(maxSize) * 2, 0x80000000u,
                                         0xFFFFFFFFu};
  for (uint32_t n : refused) {
    SCOPED_TRACE(n);
    Scene3ds* scene = BuildScene({{"A", KindMesh, 3, 3}, {"B", KindMesh, 3, 1}});
    Bytes file;
    file.Colours(3, 1).Colours(3, 2).Map(2);
    file.U8(1).U32(n);  // face 1: refused edge; nothing after it is read
    file.Map(2).Map(2);
    CapturedMessages captured;
    EXPECT_FALSE(ParseVertexLightingWithLightMaps(scene, file.b.data(), file.b.size()));
    EXPECT_EQ(scene->faces[0].hasLightMap, 1);
    EXPECT_EQ(scene->faces[1].hasLightMap, 0);
    EXPECT_EQ(scene->faces[2].hasLightMap, 0);
    EXPECT_EQ(scene->next->faces[0].hasLightMap, 0);
    EXPECT_EQ(scene->cursor, static_cast<SceneObject*>(scene));
    ReleaseScene(scene);
  }
  // Texels cut off by the end of the file.
  Scene3ds* scene = BuildScene({{"A", KindMesh, 3, 1}});
  Bytes file;
  file.Colours(3, 1).Map(8);
  EXPECT_FALSE(ParseVertexLightingWithLightMaps(scene, file.b.data(), file.b.size() - 1));
  EXPECT_EQ(scene->faces[0].hasLightMap, 0);
  ReleaseScene(scene);

  // The whole file through the path reader.
  scene = BuildScene({{"A", KindMesh, 3, 1}});
  Bytes whole;
  whole.Colours(3, 5).Map(1);
  std::string path = FreshDirectory("vertex_lighting") + "/palace.vlo";
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(whole.b.data(), 1, whole.b.size(), f);
  fclose(f);
  EXPECT_TRUE(LoadVertexLightingWithLightMaps(scene, path.c_str()));
  EXPECT_EQ(scene->faces[0].hasLightMap, 1);
  EXPECT_TRUE(LoadVertexLighting(scene, path.c_str()));  // colours only; maps cleared
  EXPECT_EQ(scene->faces[0].hasLightMap, 0);
  EXPECT_FLOAT_EQ(scene->vertexColours[2].x, 7.0f);
  ReleaseScene(scene);
}

}  // namespace
