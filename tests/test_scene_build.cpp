// The baker's 3D building blocks: shapes face the way they say, scene files written by the
// baker read back through the show's loader as they were built, the writer refuses what
// the show could not play, and the lighting bake casts real shadows, deterministically.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "tests/support/test_support.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"

namespace {

V3 FaceNormalOf(const BakeMesh& m, size_t f) {
  const auto& t = m.faces[f];
  return Normalize(Cross(m.vertices[t[1]] - m.vertices[t[0]], m.vertices[t[2]] - m.vertices[t[0]]));
}
V3 FaceCentreOf(const BakeMesh& m, size_t f) {
  const auto& t = m.faces[f];
  return (m.vertices[t[0]] + m.vertices[t[1]] + m.vertices[t[2]]) * (1.0f / 3);
}

// Every face's normal points away from (or, inside, towards) the centre.
void ExpectFacing(const BakeMesh& m, V3 centre, bool outwards) {
  ASSERT_FALSE(m.faces.empty());
  for (size_t f = 0; f < m.faces.size(); f++) {
    float d = Dot(FaceNormalOf(m, f), FaceCentreOf(m, f) - centre);
    if (outwards) EXPECT_GT(d, 0) << "face " << f;
    else EXPECT_LT(d, 0) << "face " << f;
  }
  EXPECT_EQ(m.uvs.size(), m.vertices.size());
}

TEST(SceneShapes, FacesPointOutwardsOrInwardsAsAsked) {
  for (bool inside : {false, true}) {
    SCOPED_TRACE(inside);
    BakeMesh box, cylinder, sphere;
    AddBox(box, {-1, -2, -3}, {3, 2, 1}, 1, inside);
    ExpectFacing(box, {1, 0, -1}, !inside);
    EXPECT_EQ(box.faces.size(), 12u);
    AddCylinder(cylinder, {5, 0, 5}, 4, 2, 1, 12, 1, true, inside);
    ExpectFacing(cylinder, {5, 2, 5}, !inside);
    AddSphere(sphere, {0, 10, 0}, 3, 8, 12, inside);
    ExpectFacing(sphere, {0, 10, 0}, !inside);
  }
  BakeMesh ground;
  AddHeightField(ground, -10, -10, 10, 10, 4, 4, 0.1f, [](float, float) { return 0.0f; });
  for (size_t f = 0; f < ground.faces.size(); f++) EXPECT_GT(FaceNormalOf(ground, f).y, 0.99f);
  BakeMesh open;
  AddBox(open, {0, 0, 0}, {1, 1, 1}, 1, false, 8 | 4);
  EXPECT_EQ(open.faces.size(), 8u);
}

TEST(SceneShapes, TurningFollowsTheShowsRotationAboutY) {
  BakeMesh m;
  m.vertices.push_back({0, 0, 1});
  m.uvs.push_back({});
  TransformFrom(m, 0, {0, 0, 0}, 90, {10, 0, 0});
  // glRotatef(90, 0, 1, 0) takes +Z to +X.
  EXPECT_NEAR(m.vertices[0].x, 11, 1e-5);
  EXPECT_NEAR(m.vertices[0].z, 0, 1e-5);
}

TEST(SceneShapes, BigMeshesAreSplitIntoPartsTheShowCanHold) {
  BakeScene scene;
  BakeMesh big;
  big.name = "ground";
  big.material = "maps/g.jpg";
  for (int i = 0; i < 2; i++) AddHeightField(big, 0, 0, 100, 100, 150, 150, 1, [](float, float) { return 0.0f; });
  // Indices above 65535 cannot be stored in a face: build it from separate parts instead.
  ASSERT_LE(big.vertices.size(), 65535u);
  BakeMesh huge = big;
  while (huge.faces.size() <= 70000) huge.faces.insert(huge.faces.end(), big.faces.begin(), big.faces.end());
  size_t faces = huge.faces.size();
  ASSERT_TRUE(AddMeshSplit(scene, huge));
  ASSERT_GE(scene.meshes.size(), 2u);
  size_t total = 0;
  for (const BakeMesh& part : scene.meshes) {
    EXPECT_LE(part.faces.size(), 65535u);
    EXPECT_LE(part.vertices.size(), 65535u);
    total += part.faces.size();
  }
  EXPECT_EQ(total, faces);
  EXPECT_EQ(scene.meshes[0].name, "ground");
  EXPECT_EQ(scene.meshes[1].name, "ground#2");
}

BakeScene SmallScene() {
  BakeScene s;
  BakeMesh floor;
  floor.name = "floor";
  floor.material = "maps/floor.jpg";
  AddHeightField(floor, -50, -50, 50, 50, 20, 20, 0.05f, [](float, float) { return 0.0f; });
  s.meshes.push_back(floor);
  BakeMesh block;
  block.name = "block";
  block.material = "maps/block.jpg";
  AddBox(block, {-10, 5, -10}, {10, 15, 10}, 0.1f);
  block.pivot = {0, 10, 0};
  s.meshes.push_back(block);
  BakeMesh runner;
  runner.name = "@runner";
  runner.material = "maps/raptor.jpg";
  AddBox(runner, {-1, 0, -1}, {1, 2, 1}, 1);
  runner.position = {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {2, {2, 0, 0}}, {3, {3, 0, 0}}};
  runner.rotation = {{0, {0, 0, 0}}, {1, {0, 30, 0}}, {2, {0, 60, 0}}, {3, {10, 90, -20}}};
  s.meshes.push_back(runner);
  BakeLight lamp;
  lamp.name = "lamp";
  lamp.position = {0, 60, 0};
  lamp.colour = {1, 0.9f, 0.8f};
  lamp.innerRange = 200;
  lamp.outerRange = 300;
  lamp.radius = 0.5f;
  s.lights.push_back(lamp);
  BakeCamera cam;
  cam.name = "cam";
  for (int k = 0; k < 5; k++) {
    cam.eye.push_back({k * 10, {(float)k * 5, 20, 80}});
    cam.target.push_back({k * 10, {0, 0, 0}});
  }
  s.cameras.push_back(cam);
  s.ambient = {0.1f, 0.1f, 0.1f};
  s.frameCount = 40;
  return s;
}

TEST(SceneFiles, ReadBackThroughTheShowsLoaderAsBuilt) {
  BakeScene built = SmallScene();
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(Write3ds(built, &file, &error)) << error;
  Scene3ds* scene = new Scene3ds();
  CapturedMessages quiet;  // the material pictures are not there
  ASSERT_TRUE(LoadSceneFromMemory(scene, file.data(), file.size()));
  EXPECT_EQ(quiet.boxes.size(), 3u);
  ASSERT_EQ(scene->objectCount, 5);
  // List order: the meshes as given, then lights, then cameras.
  const char* names[5] = {"floor", "block", "@runner", "lamp", "cam"};
  const uint16_t kinds[5] = {KindMesh, KindMesh, KindMesh, KindLight, KindCamera};
  SceneObject* node = scene;
  for (int i = 0; i < 5; i++, node = node->next) {
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(node->name, names[i]);
    EXPECT_EQ(node->kind, kinds[i]);
    if (i < 3) {
      const BakeMesh& m = built.meshes[i];
      ASSERT_EQ(node->vertexCount, m.vertices.size());
      ASSERT_EQ(node->faceCount, m.faces.size());
      ASSERT_EQ(node->texCoordCount, m.uvs.size());
      for (size_t v = 0; v < m.vertices.size(); v++) {
        EXPECT_EQ(node->vertices[v].x, m.vertices[v].x);
        EXPECT_EQ(node->vertices[v].y, m.vertices[v].y);
        EXPECT_EQ(node->vertices[v].z, m.vertices[v].z);
        EXPECT_EQ(node->texCoords[v].u, m.uvs[v].u);
      }
      EXPECT_EQ(node->faces[3].b, m.faces[3][1]);
      EXPECT_STREQ(scene->textures[node->textureIndex].name, m.material.c_str());
    }
  }
  SceneObject* block = scene->next;
  EXPECT_EQ(block->posKeyCount, 1u);
  EXPECT_EQ(block->position.y, 10.0f);
  // The rotation keys come back as the show sums them; drawn negated, they are the
  // rotations asked for.
  SceneObject* runner = block->next;
  EXPECT_TRUE(runner->modelAnchor);
  ASSERT_EQ(runner->rotKeyCount, 4u);
  for (int k = 0; k < 4; k++) {
    V3 want = built.meshes[2].rotation[k].degrees;
    EXPECT_NEAR(-runner->rotValues[k].x, want.x, 1e-3) << k;
    EXPECT_NEAR(-runner->rotValues[k].y, want.y, 1e-3) << k;
    EXPECT_NEAR(-runner->rotValues[k].z, want.z, 1e-3) << k;
  }
  EXPECT_EQ(runner->posValues[3].x, 3.0f);
  EXPECT_EQ(scene->lightCount, 1);
  EXPECT_NEAR(scene->lights[0]->position.y, 60.0f, 1e-5);
  ASSERT_EQ(scene->cameraCount, 1);
  EXPECT_EQ(scene->startFrame, 10);
  EXPECT_EQ(scene->endFrame, 20);
  EXPECT_EQ(scene->cameras[0]->rotKeyCount, 5u);
  EXPECT_EQ(scene->cameras[0]->camera.eye.z, 80.0f);
  ReleaseScene(scene);
}

TEST(SceneFiles, WriterRefusesWhatTheShowCannotPlay) {
  std::string error;
  std::vector<uint8_t> file;
  auto refused = [&](BakeScene s, const char* why) {
    error.clear();
    EXPECT_FALSE(Write3ds(s, &file, &error)) << why;
    EXPECT_FALSE(error.empty()) << why;
  };
  BakeScene s = SmallScene();
  s.meshes[2].rotation[0].degrees = {0, 5, 0};
  refused(s, "a first rotation that the show would drop");
  s = SmallScene();
  s.meshes[2].position.pop_back();
  refused(s, "a position track of 3 keys");
  s = SmallScene();
  s.meshes[2].position[2].frame = 1;
  refused(s, "frames that do not increase");
  s = SmallScene();
  s.meshes[1].name = "floor";
  refused(s, "a name used twice");
  s = SmallScene();
  s.meshes[0].name = std::string(64, 'x');
  refused(s, "a name of 64 characters");
  s = SmallScene();
  s.cameras[0].target.resize(3);
  refused(s, "a camera target of three keys");
  s = SmallScene();
  s.meshes[0].faces.push_back({0, 1, 60000});
  refused(s, "a face past the vertices");
  s = SmallScene();
  s.meshes[0].material = "floor.jpg";
  refused(s, "a material without a directory");
  s = SmallScene();
  for (int i = 0; i < 61; i++) {
    BakeMesh m = s.meshes[1];
    m.name = "m" + std::to_string(i);
    m.material = "maps/m" + std::to_string(i) + ".jpg";
    s.meshes.push_back(m);
  }
  refused(s, "61 materials");
  s = SmallScene();
  s.meshes[1].vertices[3].y = std::nanf("");
  refused(s, "a vertex that is not a number");
  s = SmallScene();
  s.cameras[0].eye[2].value.x = INFINITY;
  refused(s, "an endless camera key");
  EXPECT_EQ(MaskName("maps/leaf.jpg"), "maps/@eaf.jpg");
}

float Luma3(const std::vector<uint8_t>& vlo, size_t vertex) {
  float c[3];
  std::memcpy(c, &vlo[vertex * 12], 12);
  return (c[0] + c[1] + c[2]) / 3;
}

TEST(LightBake, ShadowsFallUnderBlockersAndTheFileFitsTheScene) {
  BakeScene s = SmallScene();
  LightBakeOptions o;
  o.threads = 2;
  std::vector<uint8_t> one, two;
  std::string error;
  ASSERT_TRUE(BakeLightingFile(s, o, &one, &error)) << error;
  size_t vertices = 0;
  for (const BakeMesh& m : s.meshes) vertices += m.vertices.size();
  EXPECT_EQ(one.size(), vertices * 12);
  // Floor vertex (i, j) of the 21 x 21 grid: the centre lies under the block, a corner in
  // the open; the anchor keeps white.
  float under = Luma3(one, 10 * 21 + 10), open = Luma3(one, 2 * 21 + 2);
  EXPECT_LT(under, open * 0.5f);
  EXPECT_GT(open, 0.3f);
  size_t anchor = s.meshes[0].vertices.size() + s.meshes[1].vertices.size();
  EXPECT_EQ(Luma3(one, anchor), 1.0f);
  // The block's top faces the light, its bottom does not.
  o.threads = 1;
  ASSERT_TRUE(BakeLightingFile(s, o, &two, &error));
  EXPECT_TRUE(one == two) << "the bake depends on the threads";
}

TEST(LightBake, SpotConesAndRangesLimitTheLight) {
  BakeScene s = SmallScene();
  s.meshes.resize(1);
  s.lights[0].spot = true;
  s.lights[0].target = {40, 0, 0};  // aimed at the +X side of the floor
  s.lights[0].position = {40, 60, 0};
  s.lights[0].hotspot = 20;
  s.lights[0].falloff = 30;
  s.ambient = {0, 0, 0};
  LightBakeOptions o;
  o.aoRays = 0;
  std::vector<uint8_t> vlo;
  std::string error;
  ASSERT_TRUE(BakeLightingFile(s, o, &vlo, &error));
  EXPECT_GT(Luma3(vlo, 10 * 21 + 18), 0.3f);  // x = 40 under the spot
  EXPECT_EQ(Luma3(vlo, 10 * 21 + 2), 0.0f);   // x = -40, outside its cone
  s.lights[0].spot = false;
  s.lights[0].innerRange = 10;
  s.lights[0].outerRange = 50;
  ASSERT_TRUE(BakeLightingFile(s, o, &vlo, &error));
  EXPECT_EQ(Luma3(vlo, 0), 0.0f);  // the corner is out of reach
}

TEST(LightBake, LightMapsHoldOneTriangleOfTexelsPerFace) {
  BakeScene s = SmallScene();
  LightBakeOptions o;
  o.lightMaps = true;
  o.texelSize = 2;
  std::vector<uint8_t> vlo;
  std::string error;
  ASSERT_TRUE(BakeLightingFile(s, o, &vlo, &error));
  size_t at = 0;
  for (const BakeMesh& m : s.meshes) at += m.vertices.size() * 12;
  int maps = 0;
  std::vector<int> floorMeans;
  // The anchor has no records; the floor and the block one per face.
  for (size_t mi = 0; mi < 2; mi++)
    for (size_t f = 0; f < s.meshes[mi].faces.size(); f++) {
      ASSERT_LT(at, vlo.size());
      ASSERT_EQ(vlo[at++], 1);
      uint32_t n;
      std::memcpy(&n, &vlo[at], 4);
      at += 4;
      EXPECT_TRUE(n >= 4 && n <= 32 && (n & (n - 1)) == 0);
      size_t texels = (size_t)n * (n + 1) / 2;
      if (mi == 0) {
        long sum = 0;
        for (size_t k = 0; k < texels * 3; k++) sum += vlo[at + k];
        floorMeans.push_back((int)(sum / (long)(texels * 3)));
      }
      at += texels * 3;
      maps++;
    }
  EXPECT_EQ(at, vlo.size());
  EXPECT_EQ(maps, (int)(s.meshes[0].faces.size() + s.meshes[1].faces.size()));
  // Floor cell (10, 10) lies under the block, cell (2, 2) in the open (two faces a cell).
  EXPECT_LT(floorMeans[2 * (10 * 20 + 10)], floorMeans[2 * (2 * 20 + 2)] / 2);
}

}  // namespace
