// The palace with its orb and the bath with the figure and the blobs: the set-up they do
// even when Escape is already down, whole runs on the virtual clock with nothing loaded and
// with small scenes built here, and single frames at the moments where the pictures turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "scenes/bath.h"
#include "scenes/palace.h"
#include "scenes/scenes.h"
#include "tests/support/show_support.h"
#include "tests/support/test_support.h"
#include "timeline/frame_services.h"

namespace {

Rgb White(int, int) { return Rgb{255, 255, 255}; }
Rgb Checks(int x, int y) { return ((x / 4 + y / 4) & 1) ? Rgb{230, 200, 160} : Rgb{60, 90, 140}; }

// A DemoTimer standing at `t`, for drawing single frames.
DemoTimer At(float t, float duration) {
  DemoTimer timer(duration);
  timer.elapsed = t;
  return timer;
}

struct FrameStats {
  int maxR = 0, maxG = 0, maxB = 0;
  int minAll = 255;  // darkest channel of any pixel
  long lit = 0;      // pixels that are not black
  long sum = 0;      // of all channels
};

FrameStats Measure(const std::vector<uint8_t>& rgba) {
  FrameStats s;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    int r = rgba[i], g = rgba[i + 1], b = rgba[i + 2];
    s.maxR = std::max(s.maxR, r);
    s.maxG = std::max(s.maxG, g);
    s.maxB = std::max(s.maxB, b);
    s.minAll = std::min(s.minAll, std::min(r, std::min(g, b)));
    if (r || g || b) s.lit++;
    s.sum += r + g + b;
  }
  return s;
}

// A ball of `radius` about the origin: rings x segments quads, as two triangles each.
void Sphere(float radius, int rings, int segments, std::vector<Vec3>* v, std::vector<Face>* f) {
  for (int i = 0; i <= rings; i++) {
    float a = 3.14159265f * (float)i / (float)rings;
    for (int j = 0; j < segments; j++) {
      float b = 2 * 3.14159265f * (float)j / (float)segments;
      v->push_back({radius * sinf(a) * cosf(b), radius * cosf(a), radius * sinf(a) * sinf(b)});
    }
  }
  for (int i = 0; i < rings; i++)
    for (int j = 0; j < segments; j++) {
      uint16_t p = (uint16_t)(i * segments + j), q = (uint16_t)(i * segments + (j + 1) % segments);
      uint16_t r = (uint16_t)(p + segments), s = (uint16_t)(q + segments);
      f->push_back({p, r, q, 0, 0});
      f->push_back({q, r, s, 0, 0});
    }
}

// Replaces Ball2Scene (the orb) by a mesh of its own with point arrays of its size.
void SetOrb(const std::vector<Vec3>& vertices, const std::vector<Face>& faces) {
  delete Ball2Scene;
  delete[] Ball2Points;
  delete[] Ball2Values;
  SceneBuilder b;
  b.AddMesh("ball2", vertices, faces);
  Ball2Scene = b.Take();
  Ball2PointCount = (int32_t)vertices.size();
  Ball2Points = new Vec3[vertices.size()]();
  Ball2Values = new float[vertices.size()]();
}

void SetBall(const std::vector<Vec3>& vertices, const std::vector<Face>& faces) {
  delete BallScene;
  delete[] BallPoints;
  SceneBuilder b;
  b.AddMesh("ball", vertices, faces);
  BallScene = b.Take();
  BallPointCount = (int32_t)vertices.size();
  BallPoints = new Vec3[vertices.size()]();
}

// A .ryx file of one frame; points are given in the model's stored axes, which the
// mirrored reader makes (-y, -z, x) of the file's (x, y, z).
std::vector<uint8_t> MirroredModelFile(const std::vector<Vec3>& points,
                                       const std::vector<ModelFace>& faces) {
  std::vector<uint8_t> bytes;
  auto put = [&](const void* p, size_t n) {
    const uint8_t* c = (const uint8_t*)p;
    bytes.insert(bytes.end(), c, c + n);
  };
  int32_t counts[3] = {1, (int32_t)points.size(), (int32_t)faces.size()};
  put(counts, sizeof counts);
  for (const ModelFace& f : faces) {
    uint16_t abc[3] = {f.a, f.b, f.c};
    put(abc, sizeof abc);
  }
  for (size_t i = 0; i < points.size(); i++) {
    float uv[2] = {0, 0};
    put(uv, sizeof uv);
  }
  for (const Vec3& p : points) {
    float record[6] = {p.z, 0, -p.x, 0, -p.y, 0};
    put(record, sizeof record);
  }
  return bytes;
}

class PalaceAndBath : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    FillTextureTable();
    MakeEmptyShowGlobals();
    BlobCount = 6;
    for (Vec3& c : BlobCentres) c = Vec3{};
  }
  void TearDown() override {
    ReleaseShowGlobals();
    EscapeRequested = false;
  }

  // Draws with a black frame under it and reads the frame back.
  template <typename Draw>
  FrameStats DrawOnBlack(Draw draw) {
    glClearColor(0, 0, 0, 1);
    ClearFrame();
    draw();
    return Measure(Frame());
  }

  // The palace: a checked floor around the orb's place and a camera 100 units in front of
  // the orb looking at it along -Z.
  void BuildPalace() {
    delete PalaceGrid;
    delete PalaceScene;
    SceneBuilder b;
    int32_t floor = b.AddTexture("text/floor.jpg", MakeTexture(32, 32, Checks));
    float x0 = OrbPlaceX - 200, x1 = OrbPlaceX + 200, z0 = OrbPlaceZ - 200, z1 = OrbPlaceZ + 250;
    b.AddMesh("floor", {{x0, 0, z0}, {x1, 0, z0}, {x1, 0, z1}, {x0, 0, z1}},
              {{0, 1, 2, 0, 0}, {0, 2, 3, 0, 0}}, {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, floor);
    b.AddCamera("eye", {{0, {OrbPlaceX, OrbPlaceY, OrbPlaceZ + 100}}},
                {{0, {OrbPlaceX, OrbPlaceY, OrbPlaceZ}}});
    b.SetFrames(0, 100);
    PalaceScene = b.Take();
    PalaceGrid = new SceneGrid(PalaceScene);
    // The fog the scene sets up, for frames drawn without its run.
    const float brown[4] = {0.2f, 0.06f, 0.0f, 1.0f};
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogfv(GL_FOG_COLOR, brown);
    glFogf(GL_FOG_DENSITY, 0.0045f);
  }

  // The bath: a camera 150 units in front of the blobs' place, the figure's anchor at that
  // place (turned a quarter about Y, a turn the figure must not take), GirlModel a
  // triangle in both windings so that culling leaves exactly one layer.
  static constexpr float PlaceX = 540, PlaceY = 28, PlaceZ = -300;
  // With `emitter`, an emitter mesh behind the camera as the real bath has them: its
  // drawing leaves the colour white, which the full-size blobs are drawn with.
  void BuildBath(bool withFigure, bool emitter = false) {
    delete BathScene;
    SceneBuilder b;
    int32_t skin = b.AddTexture("text/girl.jpg", MakeTexture(8, 8, White));
    SceneObject* anchor = b.AddMesh("@girl", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, 0}},
                                    {}, skin);
    anchor->position = Vec3{PlaceX, PlaceY, PlaceZ};
    anchor->rotation = Vec3{0, 90, 0};
    b.AddCamera("eye", {{0, {PlaceX, PlaceY, PlaceZ + 150}}}, {{0, {PlaceX, PlaceY, PlaceZ}}});
    if (emitter) {
      float z = PlaceZ + 400;
      SceneObject* e = b.AddMesh("*1steam", {{PlaceX, PlaceY, z}, {PlaceX + 1, PlaceY, z},
                                             {PlaceX, PlaceY + 1, z}},
                                 {{0, 1, 2, 0, 0}}, {}, skin);
      e->position = Vec3{PlaceX, PlaceY, z};
    }
    b.SetFrames(0, 100);
    BathScene = b.Take();
    if (emitter) {
      CapturedMessages quiet;  // the emitter's picture is not a file here
      AttachEmitters(BathScene, 500, 2.0f, 6, 5.0f, 30.0f);
    }
    if (withFigure) {
      std::vector<uint8_t> file = MirroredModelFile({{-30, -30, 0}, {0, 30, 0}, {30, -30, 0}},
                                                    {{0, 1, 2}, {0, 2, 1}});
      ASSERT_TRUE(GirlModel->ParseModel(file.data(), file.size(), true));
    }
    GirlModel->framesPerSecond = 5.2f;
    GirlModel->scale = 3.0f;
    ModelScaleEnabled = true;
  }
};

// ---------------------------------------------------------------------------------------
// Whole runs.

TEST_F(PalaceAndBath, EscapeAlreadyDownStillSetsTheStageAndDrawsNoFrame) {
  ShowClock clock(5);
  EscapeRequested = true;
  glDisable(GL_FOG);
  SkyboxEnabled = true;
  ViewRangeCells = 2;
  RunPalace();
  EXPECT_EQ(clock.frames, 0u);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  GLint mode = 0;
  glGetIntegerv(GL_FOG_MODE, &mode);
  EXPECT_EQ(mode, GL_EXP2);
  GLfloat density = 0, fog[4] = {}, clear[4] = {};
  glGetFloatv(GL_FOG_DENSITY, &density);
  glGetFloatv(GL_FOG_COLOR, fog);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(density, 0.0045f);
  EXPECT_NEAR(fog[0], 0.2f, 1e-6);
  EXPECT_NEAR(fog[1], 0.06f, 1e-6);
  EXPECT_NEAR(clear[0], 0.2f, 1e-6);
  EXPECT_NEAR(clear[1], 0.06f, 1e-6);
  EXPECT_FALSE(SkyboxEnabled);
  EXPECT_EQ(ViewRangeCells, 13);

  ModelScaleEnabled = false;
  BlobCount = 0;
  RunBathScene();
  EXPECT_EQ(clock.frames, 0u);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
  EXPECT_TRUE(ModelScaleEnabled);
  EXPECT_FLOAT_EQ(GirlModel->framesPerSecond, 5.2f);
  EXPECT_FLOAT_EQ(GirlModel->scale, 3.0f);
  EXPECT_EQ(BlobCount, 6);
}

TEST_F(PalaceAndBath, WithNothingLoadedBothRunToTheirEnd) {
  {
    ShowClock clock(5, true);
    RunPalace();
    EXPECT_NEAR(clock.Seconds(), 51.6, 0.21);
    EXPECT_GE(clock.frames, 257u);
    // The previous scene's picture (slot 14) is whole in the first frame and gone by 2 s.
    ASSERT_GT(clock.looks.size(), 20u);
    EXPECT_FALSE(clock.looks[0].blank);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
  }
  {
    ShowClock clock(5, true);
    RunBathScene();
    EXPECT_GE(clock.frames, 120u);
    EXPECT_LE(clock.frames, 121u);
    // The empty bath is black until the flash of the last second.
    EXPECT_TRUE(clock.looks[10].blank);
    EXPECT_GT(clock.looks.back().meanLuma, 200);
    EXPECT_TRUE(ModelScaleEnabled);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
  }
}

TEST_F(PalaceAndBath, SmallScenesGiveFramesWithSomethingInThem) {
  BuildPalace();
  TextureTable[14] = MakeTexture(32, 32, Checks);
  std::vector<Vec3> v;
  std::vector<Face> f;
  Sphere(30, 8, 12, &v, &f);
  SetOrb(v, f);
  {
    ShowClock clock(5, true);
    RunPalace();
    EXPECT_EQ(clock.oneColourFrames, 0u);
  }
  // The orb leaves its deformed points behind for the bath scene's strands.
  EXPECT_GT(std::fabs(Ball2Points[0].x - v[0].x) + std::fabs(Ball2Points[0].y - v[0].y), 0.0f);

  Sphere(5, 6, 8, &v, &f);
  BuildBath(true, true);
  SetBall(v, f);
  {
    ShowClock clock(5, true);
    RunBathScene();
    // Every frame has something in it but two: at 0 s the figure is black and only the
    // thin strands show (the frame is looked at on a coarse grid of samples); at 14.6 s
    // (frame 73) the blobs are at brightness 0 and the figure jumps inwards, its
    // triangles turned to face away and culled.
    ASSERT_GE(clock.looks.size(), 120u);
    for (size_t i = 1; i < clock.looks.size(); i++)
      EXPECT_TRUE(i == 73 || !clock.looks[i].blank) << i;
    EXPECT_GT(clock.looks.back().meanLuma, 200);  // nearly white at the end
  }
}

// ---------------------------------------------------------------------------------------
// The orb and its sparks.

TEST_F(PalaceAndBath, OrbDarkensOverThreeSecondsAfterTheBurstAndThenAddsNothing) {
  BuildPalace();
  TextureTable[3] = MakeTexture(8, 8, White);
  std::vector<Vec3> v;
  std::vector<Face> f;
  Sphere(30, 8, 12, &v, &f);
  SetOrb(v, f);
  // Before the burst the orb writhes: the points move with time.
  DrawOrb(At(44.0f, 51.5f));
  Vec3 at44 = Ball2Points[5];
  FrameStats before = DrawOnBlack([] { DrawOrb(At(44.9f, 51.5f)); });
  EXPECT_GT(before.lit, 1000);
  EXPECT_NE(Ball2Points[5].x, at44.x);

  // From 45 s the points and values stay as last computed. One triangle (a closed ball
  // adds its front and back), every value 0.8: the colour is 0.8 (1 - u) on white.
  SetOrb({{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}}, {{0, 1, 2, 0, 0}});
  Ball2Points[0] = Vec3{-40, -40, 0};
  Ball2Points[1] = Vec3{40, -40, 0};
  Ball2Points[2] = Vec3{0, 40, 0};
  std::vector<Vec3> kept(Ball2Points, Ball2Points + Ball2PointCount);
  for (int32_t i = 0; i < Ball2PointCount; i++) Ball2Values[i] = 0.8f;
  struct Case {
    float t;
    int red;
  } cases[] = {{45.0f, 204}, {46.5f, 102}, {48.0f, 0}, {48.5f, 0}, {49.0f, 0}};
  for (const Case& c : cases) {
    FrameStats s = DrawOnBlack([&] { DrawOrb(At(c.t, 51.5f)); });
    EXPECT_NEAR(s.maxR, c.red, 3) << "t = " << c.t;
    if (c.red == 0) {
      EXPECT_EQ(s.lit, 0) << "t = " << c.t;
    }
  }
  for (int32_t i = 0; i < Ball2PointCount; i++) {
    EXPECT_EQ(Ball2Points[i].x, kept[i].x);
    EXPECT_EQ(Ball2Values[i], 0.8f);
  }
  GLboolean depthWrites = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_TRUE(depthWrites);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // The whole frame after 49 s has no orb in it: the floor alone.
  SetOrb(v, f);
  FrameStats withOrb = DrawOnBlack([] { DrawPalaceFrame(At(44.0f, 51.5f)); });
  FrameStats late = DrawOnBlack([] { DrawPalaceFrame(At(49.5f, 51.5f)); });
  EXPECT_GT(withOrb.sum, late.sum + 100000);
}

TEST_F(PalaceAndBath, SparksBrightenFromFortyOneToFortyFiveAndNeedMoreThanEightPoints) {
  BuildPalace();
  std::vector<Face> none;
  std::vector<Vec3> eight(8, Vec3{}), nine(9, Vec3{});
  SetOrb(eight, none);
  Ball2Points[0] = Vec3{200, 0, 0};
  EXPECT_EQ(DrawOnBlack([] { DrawOrbSparks(At(46.0f, 51.5f)); }).lit, 0);

  SetOrb(nine, none);
  Ball2Points[0] = Vec3{200, 0, 0};
  EXPECT_EQ(DrawOnBlack([] { DrawOrbSparks(At(41.0f, 51.5f)); }).lit, 0);
  FrameStats half = DrawOnBlack([] { DrawOrbSparks(At(43.0f, 51.5f)); });
  FrameStats full = DrawOnBlack([] { DrawOrbSparks(At(45.0f, 51.5f)); });
  FrameStats after = DrawOnBlack([] { DrawOrbSparks(At(50.0f, 51.5f)); });
  // Red o / 2 with o = (1 - k / 40) b: 0.5 at the centre when b = 1.
  EXPECT_NEAR(full.maxR, 128, 8);
  EXPECT_NEAR(half.maxR, 64, 6);
  EXPECT_NEAR(after.maxR, full.maxR, 8);
  EXPECT_LE(full.maxG, full.maxR / 3 + 2);
  EXPECT_EQ(full.maxB, 0);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(PalaceAndBath, AnOrbMeshLargerThanItsPointArraysIsDrawnOnlyAsFarAsTheyGo) {
  BuildPalace();
  std::vector<Vec3> v;
  std::vector<Face> f;
  Sphere(30, 8, 12, &v, &f);
  SetOrb(v, f);
  // Arrays for only a handful of the vertices (as from another file than the mesh's).
  delete[] Ball2Points;
  delete[] Ball2Values;
  Ball2PointCount = 10;
  Ball2Points = new Vec3[10]();
  Ball2Values = new float[10]();
  DrawOnBlack([] {
    DrawOrb(At(10.0f, 51.5f));
    DrawOrbSparks(At(46.0f, 51.5f));
  });
  SUCCEED();  // AddressSanitizer builds catch any read past the ten entries
}

// ---------------------------------------------------------------------------------------
// The figure, its strands and the blobs.

TEST_F(PalaceAndBath, FigureFadesInOverTwoSecondsAndOutFromTheBurst) {
  BuildBath(true);
  // Brightness g on a white texture, one layer (front faces culled), the anchor's turn
  // about Y not applied (it would show the triangle edge on).
  struct Case {
    float t;
    int grey;
  } cases[] = {{1.0f, 127}, {2.0f, 255}, {8.0f, 255}, {14.5f, 255}, {15.9f, 127}, {17.2f, 0}};
  for (const Case& c : cases) {
    FrameStats s = DrawOnBlack([&] { DrawBathFrame(At(c.t, 24.0f)); });
    EXPECT_NEAR(s.maxG, c.grey, 3) << "t = " << c.t;
    EXPECT_NEAR(s.maxB, c.grey, 3) << "t = " << c.t;
  }
  EXPECT_EQ(DrawOnBlack([] { DrawBathFrame(At(17.3f, 24.0f)); }).lit, 0);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  // With ModelScaleEnabled off the figure is drawn at its model size, three times larger.
  long scaled = DrawOnBlack([] { DrawBathFrame(At(8.0f, 24.0f)); }).lit;
  ModelScaleEnabled = false;
  long unscaled = DrawOnBlack([] { DrawBathFrame(At(8.0f, 24.0f)); }).lit;
  EXPECT_GT(unscaled, scaled * 5);
  EXPECT_FLOAT_EQ(GirlModel->scale, 1.0f);
}

TEST_F(PalaceAndBath, StrandsDarkenOverTheFirstTwoSeconds) {
  BuildBath(false);  // no figure triangles: the strands alone
  std::vector<Face> none;
  SetOrb(std::vector<Vec3>(9, Vec3{}), none);
  Ball2Points[0] = Vec3{0, 200, 0};
  FrameStats start = DrawOnBlack([] { DrawBathFrame(At(0.0f, 24.0f)); });
  FrameStats one = DrawOnBlack([] { DrawBathFrame(At(1.0f, 24.0f)); });
  FrameStats two = DrawOnBlack([] { DrawBathFrame(At(2.0f, 24.0f)); });
  FrameStats later = DrawOnBlack([] { DrawBathFrame(At(2.01f, 24.0f)); });
  EXPECT_NEAR(start.maxR, 128, 10);
  EXPECT_NEAR(one.maxR, 64, 8);
  EXPECT_LE(start.maxG, start.maxR / 3 + 2);
  EXPECT_EQ(two.lit, 0);
  EXPECT_EQ(later.lit, 0);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(PalaceAndBath, BlobsSwellTowardsEachOtherAndMoveOnlyFromFifteenPointOne) {
  BuildBath(false);
  std::vector<Vec3> v;
  std::vector<Face> f;
  Sphere(5, 6, 8, &v, &f);
  SetBall(v, f);

  // Until 15.1 s every centre stays at the origin; each blob's field then sums five equal
  // terms 1 / 25, so l = 4 x 5 / 25 = 0.8 and every point is 2 (1 + l) P = 3.6 P.
  DrawOnBlack([] { DrawBathFrame(At(15.0f, 24.0f)); });
  for (const Vec3& c : BlobCentres) EXPECT_EQ(c.x * c.x + c.y * c.y + c.z * c.z, 0.0f);
  for (size_t i = 0; i < v.size(); i++) {
    EXPECT_NEAR(BallPoints[i].x, 3.6f * v[i].x, 1e-4);
    EXPECT_NEAR(BallPoints[i].y, 3.6f * v[i].y, 1e-4);
  }
  // One blob alone has no field: 2 P.
  BlobCount = 1;
  DrawOnBlack([] { DrawBlobs(At(15.0f, 24.0f)); });
  for (size_t i = 0; i < v.size(); i++) EXPECT_NEAR(BallPoints[i].y, 2 * v[i].y, 1e-4);
  BlobCount = 6;

  // At 14.6 s the blobs are drawn at brightness 0 and add nothing; at 15.9 s (h = 0.5)
  // one blob of one triangle adds the texture at half brightness; past 17.85 s it is
  // drawn opaque.
  TextureTable[15] = MakeTexture(8, 8, White);
  for (Vec3& c : BlobCentres) c = Vec3{};
  EXPECT_EQ(DrawOnBlack([] { DrawBathFrame(At(14.6f, 24.0f)); }).lit, 0);
  SetBall({{-5, -5, 0}, {5, -5, 0}, {0, 5, 0}}, {{0, 1, 2, 0, 0}});
  BlobCount = 1;
  FrameStats half = DrawOnBlack([] { DrawBathFrame(At(15.9f, 24.0f)); });
  EXPECT_GT(half.lit, 100);
  EXPECT_NEAR(half.maxG, 128, 4);
  glColor3f(1, 1, 1);
  FrameStats opaque = DrawOnBlack([] { DrawBathFrame(At(20.0f, 24.0f)); });
  EXPECT_EQ(opaque.maxG, 255);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // From 15.1 s the six centres follow paths of their own.
  BlobCount = 6;
  DrawOnBlack([] { DrawBathFrame(At(15.1f, 24.0f)); });
  for (int i = 0; i < BlobSlots; i++)
    for (int k = i + 1; k < BlobSlots; k++) {
      float dx = BlobCentres[i].x - BlobCentres[k].x, dy = BlobCentres[i].y - BlobCentres[k].y,
            dz = BlobCentres[i].z - BlobCentres[k].z;
      EXPECT_GT(dx * dx + dy * dy + dz * dz, 0.01f) << i << " and " << k;
    }
}

TEST_F(PalaceAndBath, TheLastSecondFlashesToWhite) {
  BuildBath(true);
  FrameStats start = DrawOnBlack([] { DrawBathFrame(At(23.0f, 24.0f)); });
  FrameStats half = DrawOnBlack([] { DrawBathFrame(At(23.5f, 24.0f)); });
  FrameStats end = DrawOnBlack([] { DrawBathFrame(At(24.0f, 24.0f)); });
  EXPECT_EQ(start.minAll, 0);
  EXPECT_NEAR(half.minAll, 127, 2);
  EXPECT_GE(end.minAll, 254);
}

}  // namespace
