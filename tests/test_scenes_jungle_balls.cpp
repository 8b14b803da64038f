// The jungle flight and the swelling balls on the headless backend and the virtual clock:
// set-up without frames when Escape is already down, whole runs on empty data, and frames
// of small scenes built here, judged by their pixels and the GL state they leave.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/support/show_support.h"
#include "timeline/frame_services.h"

namespace {

struct Projection {
  float nearPlane, farPlane, aspect;
};

Projection CurrentProjection() {
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return {m[14] / (m[10] - 1.0f), m[14] / (m[10] + 1.0f), m[5] / m[0]};
}

// Translation z of the modelview: the overlays leave their own (-1.6 for the fade,
// -3.6 for the last tile), the 3D drawing the camera's.
float ModelviewZ() {
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  return m[14];
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

Rgb Black(int, int) { return Rgb{0, 0, 0}; }
Rgb Checker(int x, int y) { return ((x / 4 + y / 4) & 1) ? Rgb{200, 180, 60} : Rgb{40, 90, 160}; }

class JungleAndBalls : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    saved = {SkyboxEnabled, ViewRangeCells, SkyboxSideSlot, SkyboxTopSlot, ModelScaleEnabled};
    MakeEmptyShowGlobals();
    FillTextureTable();
  }
  void TearDown() override {
    ReleaseShowGlobals();
    SkyboxEnabled = saved.sky;
    ViewRangeCells = saved.range;
    SkyboxSideSlot = saved.side;
    SkyboxTopSlot = saved.top;
    ModelScaleEnabled = saved.scale;
    EscapeRequested = false;
    glDisable(GL_FOG);
  }
  // One frame as the scene loop draws it, at exactly t seconds.
  void DrawAt(void (*frame)(const DemoTimer&), float duration, float t) {
    DemoTimer timer(duration);
    timer.elapsed = t;
    ClearFrame();
    frame(timer);
  }
  struct {
    bool sky;
    int32_t range, side, top;
    bool scale;
  } saved;
};

// A small jungle: a checkered floor 600 units across, seen by a camera 20 above it
// looking along -Z; the raptor stays empty.
void MakeJungle() {
  SceneBuilder builder;
  int32_t floor = builder.AddTexture("maps/floor.jpg", MakeTexture(16, 16, Checker));
  builder.AddSquare("floor", 300, 0, floor);
  builder.AddCamera("camera", {{0, {0, 20, 200}}}, {{0, {0, 0, -200}}});
  builder.SetFrames(0, 100);
  delete JungleGrid;
  delete JungleScene;
  JungleScene = builder.Take();
  JungleGrid = new SceneGrid(JungleScene);
  JungleGrid->model = RaptorModel;
}

// A UV sphere of radius `radius` with `stacks` x `slices` x 2 faces.
void MakeBall(int stacks, int slices, float radius) {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  for (int i = 0; i <= stacks; i++) {
    float phi = 3.14159265f * (float)i / (float)stacks;
    for (int j = 0; j <= slices; j++) {
      float theta = 2 * 3.14159265f * (float)j / (float)slices;
      vertices.push_back({radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi),
                          radius * std::sin(phi) * std::sin(theta)});
    }
  }
  for (int i = 0; i < stacks; i++)
    for (int j = 0; j < slices; j++) {
      uint16_t a = (uint16_t)(i * (slices + 1) + j), b = (uint16_t)(a + slices + 1);
      faces.push_back({a, b, (uint16_t)(b + 1), 0, 0});
      faces.push_back({a, (uint16_t)(b + 1), (uint16_t)(a + 1), 0, 0});
    }
  SceneBuilder builder;
  builder.AddMesh("ball", vertices, faces);
  delete BallScene;
  delete[] BallPoints;
  BallScene = builder.Take();
  BallScene->Rewind();
  BallPointCount = (int32_t)vertices.size();
  BallPoints = new Vec3[vertices.size()]();
}

// Pixels of the frame that are neither `a` nor `b` (within a tolerance), on a 4-pixel grid.
int PixelsOtherThan(const std::vector<uint8_t>& frame, int width, int height, Rgb a, Rgb b) {
  int count = 0;
  for (int y = 0; y < height; y += 4)
    for (int x = 0; x < width; x += 4) {
      const uint8_t* p = &frame[((size_t)y * width + x) * 4];
      Rgb c{p[0], p[1], p[2]};
      if (!Near(c, a, 3) && !Near(c, b, 3)) count++;
    }
  return count;
}

}  // namespace

// --- Jungle flight ------------------------------------------------------------------------

TEST_F(JungleAndBalls, JungleSetUpWithEscapeDownDrawsNothingAndRestoresTheFarPlane) {
  ShowClock clock(5);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, 1.0, 1.0, 123.0);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  EscapeRequested = true;
  RunJungleFlight();
  EXPECT_EQ(clock.frames, 0u);

  Projection p = CurrentProjection();
  EXPECT_NEAR(p.farPlane, 2000.0f, 1.0f);
  EXPECT_NEAR(p.nearPlane, 0.5f, 0.001f);
  EXPECT_NEAR(p.aspect, 1024.0f / 768.0f, 0.001f);
  EXPECT_FLOAT_EQ(ModelviewZ(), 0.0f);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1024);
  EXPECT_EQ(viewport[3], 768);

  // Fog, clear colour and the renderer settings stay as the scene set them.
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  GLint mode = 0;
  glGetIntegerv(GL_FOG_MODE, &mode);
  EXPECT_EQ(mode, GL_EXP2);
  float density = 0, fog[4], clear[4];
  glGetFloatv(GL_FOG_DENSITY, &density);
  glGetFloatv(GL_FOG_COLOR, fog);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(density, 0.0018f);
  for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(fog[i], clear[i]);
  EXPECT_NEAR(clear[0], 0.16f, 1e-6);
  EXPECT_NEAR(clear[1], 0.3f, 1e-6);
  EXPECT_NEAR(clear[2], 0.09f, 1e-6);
  EXPECT_EQ(SkyboxSideSlot, 12);
  EXPECT_EQ(SkyboxTopSlot, 13);
  EXPECT_TRUE(SkyboxEnabled);
  EXPECT_EQ(ViewRangeCells, 10);
  EXPECT_FALSE(ModelScaleEnabled);
  EXPECT_FLOAT_EQ(RaptorModel->framesPerSecond, 14.0f);
}

TEST_F(JungleAndBalls, JungleEscapeMidFlightStillRestoresTheFarPlane) {
  MakeJungle();
  ShowClock clock(5);
  std::vector<float> farPlanes;
  clock.onFrame = [&](uint64_t frame) {
    farPlanes.push_back(CurrentProjection().farPlane);
    if (frame == 10) PressEscapeOnShowWindow();
  };
  RunJungleFlight();
  EXPECT_TRUE(EscapeRequested);
  EXPECT_EQ(clock.frames, 11u);  // the key is dispatched by the next pass, which draws nothing
  ASSERT_FALSE(farPlanes.empty());
  EXPECT_NEAR(farPlanes[0], 1000.0f, 1.0f);  // the scene itself sees less far
  EXPECT_NEAR(CurrentProjection().farPlane, 2000.0f, 1.0f);
}

TEST_F(JungleAndBalls, JungleOnEmptyDataRunsItsFullTimeAndEndsOnTheDinoPicture) {
  ShowClock clock(5, true);
  RunJungleFlight();
  // 52 s at 5 frames per second, the frame at 52.0 itself falling just past the end.
  EXPECT_GE(clock.frames, 260u);
  EXPECT_LE(clock.frames, 261u);
  EXPECT_TRUE(clock.looks.front().blank);  // the fade starts from black
  EXPECT_FALSE(clock.looks[100].blank);    // then the clear colour shows
  // The last frame is mostly the assembled picture of slot 25.
  Rgb dino = SlotColour(25), centre = Pixel(512, 384);
  EXPECT_TRUE(Near(centre, dino, 60)) << centre.r << " " << centre.g << " " << centre.b;
  EXPECT_NEAR(CurrentProjection().farPlane, 2000.0f, 1.0f);
}

TEST_F(JungleAndBalls, JungleFadesInOverTwoSecondsAndAssemblesTheDinoOverTheLastTwo) {
  MakeJungle();
  EscapeRequested = true;
  RunJungleFlight();  // the set-up alone
  EscapeRequested = false;

  DrawAt(DrawJungleFrame, 52, 3.0f);
  FrameLook look = LookAtFrame();
  EXPECT_FALSE(look.blank);
  EXPECT_FALSE(look.oneColour);  // sky above, floor below
  Rgb sky = Pixel(512, 20), floor = Pixel(512, 740);
  EXPECT_FALSE(Near(sky, floor, 10));
  EXPECT_FALSE(ModelviewZ() == -1.6f || ModelviewZ() == -3.6f);  // no overlay at 3 s

  DrawAt(DrawJungleFrame, 52, 0.0f);
  EXPECT_TRUE(LookAtFrame().blank);
  DrawAt(DrawJungleFrame, 52, 1.0f);
  Rgb half = Pixel(512, 740);
  EXPECT_NEAR(half.r, floor.r / 2, 3);
  EXPECT_NEAR(half.g, floor.g / 2, 3);
  EXPECT_NEAR(half.b, floor.b / 2, 3);

  // At exactly 2 s the fade is still drawn, with nothing left to darken; after it, not.
  DrawAt(DrawJungleFrame, 52, 2.0f);
  EXPECT_FLOAT_EQ(ModelviewZ(), -1.6f);
  EXPECT_TRUE(Near(Pixel(512, 740), floor, 2));
  DrawAt(DrawJungleFrame, 52, 2.0001f);
  EXPECT_NE(ModelviewZ(), -1.6f);

  // The tiles start at exactly 50 s, adding nothing yet, and none before.
  DrawAt(DrawJungleFrame, 52, 49.999f);
  EXPECT_NE(ModelviewZ(), -3.6f);
  DrawAt(DrawJungleFrame, 52, 50.0f);
  EXPECT_FLOAT_EQ(ModelviewZ(), -3.6f);
  EXPECT_TRUE(Near(Pixel(512, 740), floor, 2));
  // With the phase at 1 the picture stands whole.
  DrawAt(DrawJungleFrame, 52, 52.0f);
  EXPECT_TRUE(Near(Pixel(512, 384), SlotColour(25), 3));
  EXPECT_TRUE(Near(Pixel(30, 30), SlotColour(25), 3));
}

// --- Swelling balls -----------------------------------------------------------------------

TEST_F(JungleAndBalls, BallsSetUpWithEscapeDownTurnsFogOffAndClearsToBlack) {
  ShowClock clock(5);
  glEnable(GL_FOG);
  glClearColor(1, 0, 0, 1);
  EscapeRequested = true;
  RunSwellingBalls();
  EXPECT_EQ(clock.frames, 0u);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  float clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.0f);
  EXPECT_EQ(clear[3], 1.0f);
}

TEST_F(JungleAndBalls, BallsOnEmptyDataShowTheDinoPictureForSixSeconds) {
  ShowClock clock(5, true);
  RunSwellingBalls();
  EXPECT_GE(clock.frames, 30u);
  EXPECT_LE(clock.frames, 31u);
  EXPECT_TRUE(Near(Pixel(512, 384), SlotColour(25), 2));
  EXPECT_EQ(clock.blankFrames, 0u);
}

TEST_F(JungleAndBalls, BallsSlideInToTheLowerRightAndOutAgain) {
  float x, y;
  BallGroupOffset(0.0f, &x, &y);
  EXPECT_FLOAT_EQ(x, 63.0f);
  EXPECT_FLOAT_EQ(y, -63.0f);
  BallGroupOffset(1.0f, &x, &y);
  EXPECT_FLOAT_EQ(x, 13.0f);
  EXPECT_FLOAT_EQ(y, -13.0f);
  BallGroupOffset(5.0f, &x, &y);
  EXPECT_FLOAT_EQ(x, 13.0f);
  BallGroupOffset(6.0f, &x, &y);
  EXPECT_FLOAT_EQ(x, 63.0f);
  EXPECT_FLOAT_EQ(y, -63.0f);

  MakeBall(8, 8, 1.5f);
  EscapeRequested = true;
  RunSwellingBalls();
  EscapeRequested = false;
  Rgb background = SlotColour(25), ball = SlotColour(24);
  int w = width, h = height;
  // Pixels off the background within quarter (qx, qy) of a 4 by 4 split of the screen.
  auto quarterHits = [&](int qx, int qy) {
    std::vector<uint8_t> frame = Frame();
    int hits = 0;
    for (int y = qy * h / 4; y < (qy + 1) * h / 4; y += 4)
      for (int x = qx * w / 4; x < (qx + 1) * w / 4; x += 4) {
        const uint8_t* p = &frame[((size_t)y * w + x) * 4];
        if (!Near(Rgb{p[0], p[1], p[2]}, background, 3)) hits++;
      }
    return hits;
  };
  // At rest the balls and their rays fill the lower right; the upper left stays clear.
  DrawAt(DrawBallsFrame, 6, 3.0f);
  EXPECT_GT(quarterHits(2, 2) + quarterHits(3, 2), 400);
  EXPECT_EQ(quarterHits(0, 0), 0);
  // The ball texture shows somewhere in the lower right.
  std::vector<uint8_t> frame = Frame();
  bool sawBall = false;
  for (int y = h / 2; y < h && !sawBall; y += 2)
    for (int x = w / 2; x < w && !sawBall; x += 2) {
      const uint8_t* p = &frame[((size_t)y * w + x) * 4];
      sawBall = Near(Rgb{p[0], p[1], p[2]}, ball, 4);
    }
  EXPECT_TRUE(sawBall);
  // At the start the group is still outside the screen.
  DrawAt(DrawBallsFrame, 6, 0.0f);
  EXPECT_TRUE(LookAtFrame().oneColour);
}

TEST_F(JungleAndBalls, BallsSwellTowardsNearCentresAndStayPlainWhenFarApart) {
  Vec3 c[BallCount] = {};
  for (int i = 0; i < BallCount; i++) c[i] = {1000.0f * (float)i, 0, 0};
  EXPECT_LT(BallSwelling({1, 0, 0}, 0, c), 1e-5f);
  // A vertex right on another ball's centre: infinite term, largest swelling, no NaN.
  c[1] = {3, 0, 0};
  EXPECT_EQ(BallSwelling({3, 0, 0}, 0, c), 1.0f);
  EXPECT_EQ(BallSwelling({2.9f, 0, 0}, 0, c), 1.0f);  // 4 / 0.01, clamped
  // Between: one neighbour at distance 4 gives 4 / 16.
  EXPECT_NEAR(BallSwelling({-1, 0, 0}, 0, c), 0.25f, 1e-5);
}

TEST_F(JungleAndBalls, BallRaysNeedMoreThanTwentyFaces) {
  // Black balls on a black picture: whatever is not black is a ray.
  TextureTable[24] = MakeTexture(4, 4, Black);
  TextureTable[25] = MakeTexture(4, 4, Black);
  Rgb black{0, 0, 0};
  EscapeRequested = true;
  RunSwellingBalls();
  EscapeRequested = false;

  MakeBall(2, 5, 1.5f);  // 20 faces
  ASSERT_EQ(BallScene->faceCount, 20);
  DrawAt(DrawBallsFrame, 6, 3.0f);
  EXPECT_EQ(PixelsOtherThan(Frame(), width, height, black, black), 0);

  MakeBall(3, 4, 1.5f);  // 24 faces: face 0 of each ball sends a ray
  DrawAt(DrawBallsFrame, 6, 3.0f);
  EXPECT_GT(PixelsOtherThan(Frame(), width, height, black, black), 0);
  // The passes leave blending off and depth writes on.
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_TRUE(mask);
}

TEST_F(JungleAndBalls, BallsLeftOutWhenTheWorkArrayIsSmallerThanTheMesh) {
  MakeBall(8, 8, 1.5f);
  BallPointCount = 10;  // as if the array had been made for another mesh
  ShowClock clock(5, true);
  RunSwellingBalls();
  EXPECT_GE(clock.frames, 30u);
  EXPECT_EQ(clock.oneColourFrames, clock.frames);  // the picture alone
}
