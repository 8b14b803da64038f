// Animated models: the .ryx reader and its axis conversions, damaged files, the frame
// choice, interpolation, the scale rule, and drawing at visible model anchors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "tests/support/test_support.h"

namespace {

struct RyxVertex {
  float x, y, z;
};

// A .ryx file: header, faces, texture coordinates, frames; the pad words after x and y
// and z are filled with a marker that must never show up in the model.
std::vector<uint8_t> Ryx(int32_t frames, int32_t verts, const std::vector<uint16_t>& faces,
                         const std::vector<float>& uvs, const std::vector<RyxVertex>& points) {
  std::vector<uint8_t> out;
  auto put = [&](const void* p, size_t n) {
    const uint8_t* b = (const uint8_t*)p;
    out.insert(out.end(), b, b + n);
  };
  int32_t tris = (int32_t)faces.size() / 3;
  put(&frames, 4);
  put(&verts, 4);
  put(&tris, 4);
  for (uint16_t f : faces) put(&f, 2);
  for (float f : uvs) put(&f, 4);
  const float pad = 12345.0f;
  for (const RyxVertex& v : points) {
    put(&v.x, 4);
    put(&pad, 4);
    put(&v.y, 4);
    put(&pad, 4);
    put(&v.z, 4);
    put(&pad, 4);
  }
  return out;
}

// Two frames of one triangle: frame 1 is frame 0 moved by +10 along the file's x.
std::vector<uint8_t> TwoFrameTriangle() {
  return Ryx(2, 3, {0, 1, 2}, {0, 0, 1, 0, 0, 1},
             {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {11, 2, 3}, {14, 5, 6}, {17, 8, 9}});
}

}  // namespace

TEST(Models, ReadersConvertTheAxesAndKeepFramesContiguous) {
  std::vector<uint8_t> file = TwoFrameTriangle();
  AnimatedModel plain, mirrored;
  ASSERT_TRUE(plain.ParseModel(file.data(), file.size(), false));
  ASSERT_TRUE(mirrored.ParseModel(file.data(), file.size(), true));
  EXPECT_EQ(plain.frameCount, 2);
  EXPECT_EQ(plain.vertexCount, 3);
  EXPECT_EQ(plain.faceCount, 1);
  // (x, y, z) = (4, 5, 6) of frame 0: (y, -z, x) and (-y, -z, x).
  const Vec3& p = plain.FrameVertex(0, 1);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, -6);
  EXPECT_EQ(p.z, 4);
  const Vec3& m = mirrored.FrameVertex(0, 1);
  EXPECT_EQ(m.x, -5);
  EXPECT_EQ(m.y, -6);
  EXPECT_EQ(m.z, 4);
  // Frame k is entries (k + 1) V .. (k + 2) V - 1.
  EXPECT_EQ(plain.vertices[2 * 3 + 2].z, 17);
  EXPECT_EQ(plain.texCoords[2].v, 1);

  plain.InterpolateFrames(0, 1, 0.25f);
  EXPECT_FLOAT_EQ(plain.vertices[0].z, 1 + 10 * 0.25f);
  EXPECT_FLOAT_EQ(plain.vertices[0].x, 2);
  plain.InterpolateFrames(1, 0, 0.5f);
  EXPECT_FLOAT_EQ(plain.vertices[2].z, 12);
  plain.InterpolateFrames(0, 2, 0.5f);  // no frame 2: the pose stays
  EXPECT_FLOAT_EQ(plain.vertices[2].z, 12);

  plain.ReleaseModel();
  EXPECT_EQ(plain.frameCount + plain.vertexCount + plain.faceCount, 0);
  EXPECT_EQ(plain.vertices, nullptr);
}

TEST(Models, DamagedFilesGiveAnEmptyModel) {
  std::vector<uint8_t> good = TwoFrameTriangle();
  // Every truncation is short of the bytes its counts need.
  for (size_t cut = 0; cut < good.size(); cut++) {
    AnimatedModel model;
    EXPECT_FALSE(model.ParseModel(good.data(), cut, false)) << cut;
    EXPECT_EQ(model.frameCount, 0);
  }
  auto withHeader = [&](int32_t f, int32_t v, int32_t t) {
    std::vector<uint8_t> bytes = good;
    memcpy(&bytes[0], &f, 4);
    memcpy(&bytes[4], &v, 4);
    memcpy(&bytes[8], &t, 4);
    return bytes;
  };
  for (auto bytes : {withHeader(0, 3, 1), withHeader(-1, 3, 1), withHeader(2, 0, 1),
                     withHeader(2, -3, 1), withHeader(2, 3, -1), withHeader(0x7fffffff, 3, 1),
                     withHeader(2, 0x40000000, 1), withHeader(2, 3, 0x7fffffff)}) {
    AnimatedModel model;
    EXPECT_FALSE(model.ParseModel(bytes.data(), bytes.size(), false));
    EXPECT_EQ(model.frameCount, 0);
    EXPECT_EQ(model.vertices, nullptr);
    int32_t a = 7, b = 7;
    float t = 7;
    EXPECT_FALSE(ChooseFrames(model, 3.0f, &a, &b, &t));  // no division by zero
    EXPECT_EQ(a, 0);
  }
  // A face naming a vertex that does not exist is dropped; the others stay.
  std::vector<uint8_t> faces = Ryx(1, 3, {0, 1, 2, 0, 3, 1, 2, 1, 0}, {0, 0, 1, 0, 0, 1},
                                   {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  AnimatedModel model;
  ASSERT_TRUE(model.ParseModel(faces.data(), faces.size(), false));
  ASSERT_EQ(model.faceCount, 2);
  EXPECT_EQ(model.faces[1].a, 2);

  AnimatedModel missing;
  EXPECT_FALSE(missing.LoadModelFile("no/such/model.ryx"));
  EXPECT_EQ(missing.frameCount, 0);

  std::string dir = FreshDirectory("models");
  std::ofstream(dir + "/raptor.ryx", std::ios::binary)
      .write((const char*)good.data(), (std::streamsize)good.size());
  AnimatedModel fromFile;
  ASSERT_TRUE(fromFile.LoadModelMirrored((dir + "/raptor.ryx").c_str()));
  EXPECT_EQ(fromFile.FrameVertex(1, 0).z, 11);
  EXPECT_EQ(fromFile.FrameVertex(1, 0).x, -2);
}

TEST(Models, FrameChoiceStepsInTenthsCapsAtNineTenthsAndWraps) {
  AnimatedModel model;
  std::vector<uint8_t> file = Ryx(4, 1, {}, {0, 0},
                                  {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
  ASSERT_TRUE(model.ParseModel(file.data(), file.size(), false));
  model.framesPerSecond = 10;
  int32_t a, b;
  float t;
  ChooseFrames(model, 0.125f, &a, &b, &t);  // s = 1.25
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_NEAR(t, 0.2f, 1e-6);
  // s just below 3: frame 2, blend 0.9, never above.
  model.framesPerSecond = 1;
  ChooseFrames(model, nextafterf(3.0f, 0.0f), &a, &b, &t);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 3);
  EXPECT_NEAR(t, 0.9f, 1e-6);
  // On the last frame the blend goes towards frame 0; past the end it loops.
  ChooseFrames(model, 3.5f, &a, &b, &t);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 0);
  EXPECT_NEAR(t, 0.5f, 1e-6);
  ChooseFrames(model, 9.31f, &a, &b, &t);
  EXPECT_EQ(a, 1);
  EXPECT_NEAR(t, 0.3f, 1e-5);
  // Far beyond what 32-bit tenths count, and before the start, still give valid frames.
  for (float elapsed : {3.0e9f, -5.0f, INFINITY}) {
    ChooseFrames(model, elapsed, &a, &b, &t);
    EXPECT_GE(a, 0);
    EXPECT_LT(a, 4);
    EXPECT_GE(t, 0);
    EXPECT_LE(t, 0.9f);
  }
}

namespace {

Rgb WhiteTexel(int, int) { return Rgb{255, 255, 255}; }

// A square of half edge 2 facing the camera: in the file's axes it lies in the y-z
// plane, which the reader turns into the stored x-y plane.
std::vector<uint8_t> SquareModel() {
  return Ryx(1, 4, {0, 1, 2, 0, 2, 3}, {0, 0, 1, 0, 1, 1, 0, 1},
             {{0, -2, 2}, {0, 2, 2}, {0, 2, -2}, {0, -2, -2}});
}

SceneObject* AddNode(Scene3ds* scene, uint16_t kind, const char* name) {
  return AppendNode(scene, kind, name);
}

// One triangle, with the given corners, white and untextured-coordinate.
void MakeTriangle(SceneObject* node, Vec3 a, Vec3 b, Vec3 c) {
  node->vertexCount = node->texCoordCount = 3;
  node->faceCount = 1;
  node->vertices = new Vec3[3]{a, b, c};
  node->vertexColours = new Vec3[3]{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
  node->texCoords = new TexCoord[3];
  node->faces = new Face[1];
  node->faces[0].a = 0;
  node->faces[0].b = 1;
  node->faces[0].c = 2;
}

class ModelDrawing : public HeadlessGL {};

}  // namespace

TEST_F(ModelDrawing, ScaleRuleAndDrawingTheWorkingPose) {
  std::vector<uint8_t> file = SquareModel();
  AnimatedModel model;
  ASSERT_TRUE(ModelScaleEnabled);
  ASSERT_TRUE(model.ParseModel(file.data(), file.size(), false));
  uint32_t white = MakeTexture(2, 2, WhiteTexel);
  auto drawAt = [&](float z) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, z);
    glColor3f(1, 1, 1);
    model.DrawModel(white);
  };
  // Half edge 2 at distance 10 covers ~185 pixels either side; scale 2 halves it.
  model.scale = 2;
  drawAt(-10);
  EXPECT_EQ(Pixel(512, 384).r, 255);
  EXPECT_EQ(Pixel(512 + 140, 384).r, 0);
  EXPECT_EQ(Pixel(512 + 80, 384).r, 255);
  ModelScaleEnabled = false;
  drawAt(-10);
  EXPECT_EQ(model.scale, 1);
  EXPECT_EQ(Pixel(512 + 140, 384).r, 255);
  ModelScaleEnabled = true;
  drawAt(-10);
  EXPECT_EQ(model.scale, 1);  // stays 1 once forced

  AnimatedModel empty;  // construction sets the flag again
  EXPECT_TRUE(ModelScaleEnabled);
  glClear(GL_COLOR_BUFFER_BIT);
  empty.DrawModel(white);
  EXPECT_EQ(Pixel(512, 384).r, 0);
}

TEST_F(ModelDrawing, ModelIsDrawnOnlyAtAnchorsInVisibleCells) {
  float cellSize = GridCellSize;
  GridCellSize = 4;
  Scene3ds* scene = new Scene3ds;
  SceneObject* floor = AddNode(scene, KindMesh, "floor");
  MakeTriangle(floor, {-20, -50, 0}, {20, -50, 0}, {0, -50, -40});
  SceneObject* left = AddNode(scene, KindMesh, "@left");
  left->modelAnchor = 1;
  left->position = {-6, 0, -20};
  SceneObject* right = AddNode(scene, KindMesh, "@right");
  right->modelAnchor = 1;
  right->position = {6, 0, -20};
  right->rotation = {0, 0, 45};
  SceneObject* camera = AddNode(scene, KindCamera, "camera");
  scene->cameras[0] = camera;
  scene->cameraCount = 1;
  scene->textures[0].texture = MakeTexture(2, 2, WhiteTexel);
  scene->textureCount = 1;

  SceneGrid grid(scene);
  EXPECT_EQ(grid.hasModelAnchors, 1);
  std::vector<uint8_t> file = SquareModel();
  AnimatedModel model;
  ASSERT_TRUE(model.ParseModel(file.data(), file.size(), false));
  model.framesPerSecond = 10;
  grid.model = &model;
  DemoTimer timer(10);
  timer.elapsed = 0.5f;

  int32_t column, row;
  grid.CellOf(left->position.x, left->position.z, &column, &row);
  grid.visibleCells[0] = column + row * grid.columns;
  grid.visibleCount = 1;
  glColor3f(0, 0, 0);
  DrawModelAnchors(&grid, timer);
  // -6 at distance 20 is ~278 pixels left of the centre; +6 would be as far right.
  EXPECT_EQ(Pixel(512 - 278, 384).r, 255);
  EXPECT_EQ(Pixel(512 + 278, 384).r, 0);
  EXPECT_EQ(scene->cursor, scene);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  grid.CellOf(right->position.x, right->position.z, &column, &row);
  grid.visibleCells[0] = column + row * grid.columns;
  DrawModelAnchors(&grid, timer);
  EXPECT_EQ(Pixel(512 - 278, 384).r, 0);
  EXPECT_EQ(Pixel(512 + 278, 384).r, 255);
  // Turned by 45 degrees about Z: the square's corner now points up, 2.83 units high.
  int up = (int)(2.6 / (20 * 0.41421356) * 384);
  EXPECT_EQ(Pixel(512 + 278, 384 - up).r, 255);

  grid.model = nullptr;  // a grid without a model draws nothing
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawModelAnchors(&grid, timer);
  EXPECT_EQ(Pixel(512 + 278, 384).r, 0);

  ReleaseSceneGrid(&grid);
  ReleaseScene(scene);
  GridCellSize = cellSize;
}
