// The tunnel with its trails and the streamers with their sparks, on the headless backend
// and the virtual clock: set-up without frames when Escape is already down, whole runs on
// empty data, the trail recurrence, and frames of small scenes built here.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "platform/platform.h"
#include "effects/particles.h"
#include "engine/scene_grid.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/support/show_support.h"
#include "timeline/frame_services.h"

namespace {

float FarPlane() {
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return m[14] / (m[10] + 1.0f);
}

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
Rgb Grey(int, int) { return Rgb{90, 90, 90}; }

// Pixels on a 4-pixel grid whose red channel is above `level`.
int RedderThan(const std::vector<uint8_t>& frame, int width, int height, int level) {
  int count = 0;
  for (int y = 0; y < height; y += 4)
    for (int x = 0; x < width; x += 4)
      if (frame[((size_t)y * width + x) * 4] > level) count++;
  return count;
}

void ExpectOffsetsDrawn(int count) {
  bool varied = false;
  for (int i = 0; i < count; i++) {
    const float v[3] = {SmallPointSet[i].x, SmallPointSet[i].y, SmallPointSet[i].z};
    for (float c : v) {
      EXPECT_GE(c, -0.1f);
      EXPECT_LE(c, 0.099f + 1e-6f);
      // Whole thousandths.
      EXPECT_NEAR(c * 1000.0f, std::round(c * 1000.0f), 1e-3);
      if (c != v[0]) varied = true;
    }
  }
  EXPECT_TRUE(varied);
}

bool AllFinite(const Vec3* points, int count) {
  for (int i = 0; i < count; i++)
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) || !std::isfinite(points[i].z))
      return false;
  return true;
}

class TunnelAndStreamers : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    saved = {SkyboxEnabled, ViewRangeCells};
    MakeEmptyShowGlobals();
    FillTextureTable();
  }
  void TearDown() override {
    PlatformUseVirtualClock(false);
    ReleaseShowGlobals();
    SkyboxEnabled = saved.sky;
    ViewRangeCells = saved.range;
    EscapeRequested = false;
    glDisable(GL_FOG);
  }
  // One frame at exactly t seconds, with the tick count where the timer would read it
  // (so that the tunnel's drift stays the small amount it is in a real run).
  void DrawAt(void (*frame)(const DemoTimer&), float duration, float t) {
    PlatformUseVirtualClock(true);
    PlatformSetVirtualTime(0);
    DemoTimer timer(duration);
    PlatformSetVirtualTime(std::round(t * 1000.0));
    timer.elapsed = t;
    ClearFrame();
    frame(timer);
  }
  // Trails 0 to 2 pulled far to the right by their offsets, every other trail with none:
  // then whatever lights the right part of the screen belongs to the first three.
  void PullFirstThreeRight(int count) {
    for (int i = 0; i < count; i++) SmallPointSet[i] = Vec3{i < 3 ? 10.0f : 0.0f, 0, 0};
    for (int i = 0; i < LargePointSetSize; i++) LargePointSet[i] = Vec3{};
  }
  // Pixels from column x0 rightwards whose red channel is above `level`.
  int LitFrom(int x0, int level) {
    std::vector<uint8_t> frame = Frame();
    int count = 0;
    for (int y = 0; y < height; y++)
      for (int x = x0; x < width; x++)
        if (frame[((size_t)y * width + x) * 4] > level) count++;
    return count;
  }
  struct {
    bool sky;
    int32_t range;
  } saved;
};

// A tunnel floor seen by a camera that looks along -Z; its angles are known after
// AnimateScene: pitch and yaw from eye and target.
void MakeTunnel() {
  SceneBuilder builder;
  int32_t floor = builder.AddTexture("maps/floor.jpg", MakeTexture(4, 4, Grey));
  builder.AddSquare("floor", 200, 0, floor);
  builder.AddCamera("camera", {{0, {0, 10, 100}}}, {{0, {0, 10, -100}}});
  builder.SetFrames(0, 100);
  delete TunnelGrid;
  delete TunnelScene;
  TunnelScene = builder.Take();
  TunnelGrid = new SceneGrid(TunnelScene);
}

}  // namespace

// --- The trail step -----------------------------------------------------------------------

TEST(TrailStep, HeadsArePinnedAndEachPointFollowsItsPredecessorOfTheLastStep) {
  std::vector<Vec3> points(2 * TrailPoints);
  const Vec3 offsets[2] = {{0.1f, 0, 0}, {0, 0, -0.1f}};
  StepTrails(points.data(), offsets, 2, 0.07f, 1.0f, 2.0f, 0.5f);
  for (int i = 0; i < 2; i++) {
    const Vec3& head = points[i * TrailPoints];
    EXPECT_EQ(head.x, 1.0f);
    EXPECT_EQ(head.y, 2.0f);
    EXPECT_EQ(head.z, -2.0f);
  }
  // Point 1 reads the new head; point 2 the old (zero) point 1: the head's move travels
  // one point per step.
  EXPECT_FLOAT_EQ(points[1].x, 2.0f / 2.9f + 0.007f);
  EXPECT_FLOAT_EQ(points[1].z, -4.0f / 2.9f + 0.5f);
  EXPECT_FLOAT_EQ(points[2].x, 0.007f);
  EXPECT_FLOAT_EQ(points[2].z, 0.5f);
  EXPECT_FLOAT_EQ(points[TrailPoints + 1].z, -4.0f / 2.9f - 0.007f + 0.5f);

  // A still head: the trail settles to points that recede (z grows more negative), each
  // near 2/1.9 of the one before, and stays finite.
  std::vector<Vec3> still(TrailPoints);
  const Vec3 none{};
  for (int step = 0; step < 2000; step++) StepTrails(still.data(), &none, 1, 0.07f, 0, 0, 0);
  EXPECT_TRUE(AllFinite(still.data(), TrailPoints));
  EXPECT_NEAR(still[10].z / still[9].z, 2.0f / 1.9f, 1e-3);
  EXPECT_LT(still[TrailPoints - 1].z, -600.0f);  // beyond the tunnel's far plane
}

TEST(TrailStep, BrightnessAndAmplitudeAtTheirSwitches) {
  EXPECT_EQ(TrailBrightness(0.0f), 0.0f);
  EXPECT_EQ(TrailBrightness(3.0f), 0.0f);  // still black at 3 s
  EXPECT_FLOAT_EQ(TrailBrightness(4.0f), 0.5f);
  EXPECT_EQ(TrailBrightness(5.0f), 1.0f);
  EXPECT_EQ(TrailBrightness(12.0f), 1.0f);

  EXPECT_EQ(StreamerBrightness(0.0f), 0.0f);
  EXPECT_EQ(StreamerBrightness(5.0f), 1.0f);
  EXPECT_EQ(StreamerBrightness(10.0f), 1.0f);
  EXPECT_FLOAT_EQ(StreamerBrightness(11.0f), 0.5f);
  EXPECT_EQ(StreamerBrightness(12.0f), 0.0f);

  // The amplitude is continuous across both switches.
  EXPECT_EQ(StreamerAmplitude(0.0f), 11.0f);
  EXPECT_EQ(StreamerAmplitude(2.0f), 1.0f);
  EXPECT_NEAR(StreamerAmplitude(2.0001f), 1.0f, 1e-6);
  EXPECT_NEAR(StreamerAmplitude(1.9999f), 1.0f, 1e-3);
  EXPECT_EQ(StreamerAmplitude(9.0f), 1.0f);
  EXPECT_NEAR(StreamerAmplitude(9.0001f), 1.0f, 1e-3);
  EXPECT_EQ(StreamerAmplitude(12.0f), 22.0f);
}

// --- Tunnel -------------------------------------------------------------------------------

TEST_F(TunnelAndStreamers, TunnelSetUpWithEscapeDownDrawsOffsetsAndLeavesFogOff) {
  ShowClock clock(5);
  EscapeRequested = true;
  SkyboxEnabled = true;
  RunTunnel();
  EXPECT_EQ(clock.frames, 0u);
  ExpectOffsetsDrawn(20);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_NEAR(FarPlane(), 2000.0f, 1.0f);
  float clear[4], density = 0;
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_FOG_DENSITY, &density);
  EXPECT_NEAR(clear[0], 0.7f, 1e-6);
  EXPECT_NEAR(clear[1], 0.4f, 1e-6);
  EXPECT_EQ(clear[2], 0.0f);
  EXPECT_FLOAT_EQ(density, 0.003f);
  EXPECT_FALSE(SkyboxEnabled);
  EXPECT_EQ(ViewRangeCells, 8);
}

TEST_F(TunnelAndStreamers, TunnelOnEmptyDataRunsItsFullTimeWithTrailsAtTheHead) {
  ShowClock clock(5, true);
  std::vector<float> farPlanes;
  std::vector<int> fogOn;
  clock.onFrame = [&](uint64_t) {
    farPlanes.push_back(FarPlane());
    fogOn.push_back(glIsEnabled(GL_FOG));
  };
  RunTunnel();
  EXPECT_GE(clock.frames, 60u);
  EXPECT_LE(clock.frames, 61u);
  EXPECT_EQ(clock.blankFrames, 0u);
  EXPECT_NEAR(farPlanes[30], 600.0f, 1.0f);
  EXPECT_TRUE(fogOn[30]);  // the trail pass turns it back on for the next frame's grid
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_NEAR(FarPlane(), 2000.0f, 1.0f);

  // A scene without cameras holds the heads as at zero pitch and yaw. The last frame
  // was drawn at 11.8 s.
  float t = 11.8f;
  float hx = -5.0f / 1.5f + std::sin(std::cos(t / 2)) / 1.5f;
  float hy = 1.0f / 1.5f + std::sin(t / 2) / 1.5f;
  for (int i = 0; i < 20; i++) {
    EXPECT_NEAR(LargePointSet[i * TrailPoints].x, hx, 1e-3);
    EXPECT_NEAR(LargePointSet[i * TrailPoints].y, hy, 1e-3);
    EXPECT_EQ(LargePointSet[i * TrailPoints].z, -2.0f);
  }
  EXPECT_TRUE(AllFinite(LargePointSet, 20 * TrailPoints));
  // Nothing past the tunnel's twenty trails is touched.
  EXPECT_EQ(LargePointSet[20 * TrailPoints + 1].z, 0.0f);
}

TEST_F(TunnelAndStreamers, TunnelOverlaysOnlyAtItsEnds) {
  MakeTunnel();
  EscapeRequested = true;
  RunTunnel();
  EscapeRequested = false;
  // Back to the scene's own state, as inside its loop.
  glEnable(GL_FOG);
  // The dino picture comes apart until 2 s, the meta picture assembles from 9 s.
  DrawAt(DrawTunnelFrame, 12, 0.0f);
  EXPECT_FLOAT_EQ(ModelviewZ(), -3.6f);
  EXPECT_TRUE(Near(Pixel(512, 384), SlotColour(25), 3));  // still whole at phase 1
  DrawAt(DrawTunnelFrame, 12, 2.0f);
  EXPECT_FLOAT_EQ(ModelviewZ(), -3.6f);
  Rgb atTwo = Pixel(512, 700);
  for (float t : {2.001f, 5.0f, 8.999f}) {
    DrawAt(DrawTunnelFrame, 12, t);
    EXPECT_NE(ModelviewZ(), -3.6f) << t;
  }
  // At 2 s the tiles add nothing: the floor shows as between the overlays.
  EXPECT_TRUE(Near(atTwo, Pixel(512, 700), 3));
  DrawAt(DrawTunnelFrame, 12, 9.0f);
  EXPECT_FLOAT_EQ(ModelviewZ(), -3.6f);
  DrawAt(DrawTunnelFrame, 12, 12.0f);
  EXPECT_TRUE(Near(Pixel(512, 384), SlotColour(14), 3));
  EXPECT_TRUE(Near(Pixel(5, 5), SlotColour(14), 3));
}

TEST_F(TunnelAndStreamers, TunnelTrailsStayBlackUntilThreeSecondsThenGlow) {
  // An empty tunnel: what is not the clear colour is a trail.
  EscapeRequested = true;
  RunTunnel();
  EscapeRequested = false;
  glEnable(GL_FOG);
  int frame = 0;
  int redAtThree = -1, redAtSix = -1;
  for (float t = 2.1f; t <= 6.0f; t += 0.1f, frame++) {
    DrawAt(DrawTunnelFrame, 12, t);
    if (std::fabs(t - 3.0f) < 0.05f) redAtThree = RedderThan(Frame(), width, height, 190);
  }
  redAtSix = RedderThan(Frame(), width, height, 190);
  EXPECT_EQ(redAtThree, 0);  // clear colour red is 178
  EXPECT_GT(redAtSix, 100);
  // The trail pass leaves blending off and texturing and depth test on.
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

// --- Streamers ----------------------------------------------------------------------------

TEST_F(TunnelAndStreamers, StreamersSetUpWithEscapeDownDrawsAllOffsetsAndKeepsFogAndClearColour) {
  ShowClock clock(5);
  glEnable(GL_FOG);
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  EscapeRequested = true;
  RunStreamers();
  EXPECT_EQ(clock.frames, 0u);
  ExpectOffsetsDrawn(SmallPointSetSize);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  float clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.25f);
  EXPECT_EQ(clear[2], 0.75f);
}

TEST_F(TunnelAndStreamers, StreamersOnEmptyDataRunTheirFullTimeAfterTheTunnel) {
  {
    ShowClock clock(5);
    RunTunnel();
  }
  std::vector<Vec3> tunnelTrails(LargePointSet, LargePointSet + 20 * TrailPoints);
  ShowClock clock(5, true);
  RunStreamers();
  EXPECT_GE(clock.frames, 60u);
  EXPECT_LE(clock.frames, 61u);
  EXPECT_EQ(clock.blankFrames, 0u);
  EXPECT_FALSE(glIsEnabled(GL_FOG));  // left off by the tunnel, untouched here
  // The head at 11.8 s: amplitude 1 + 7 x 2.8.
  float t = 11.8f, a = 1.0f + 7.0f * (t - 9.0f);
  for (int i : {0, 1, 2, 100, 199}) {
    EXPECT_NEAR(LargePointSet[i * TrailPoints].x, a * std::sin(t), 1e-3) << i;
    EXPECT_NEAR(LargePointSet[i * TrailPoints].y, a * std::sin(6 * std::cos(t)), 1e-3) << i;
  }
  EXPECT_TRUE(AllFinite(LargePointSet, SmallPointSetSize * TrailPoints));
  EXPECT_EQ(LargePointSet[SmallPointSetSize * TrailPoints].z, 0.0f);  // past the streamers
  EXPECT_NE(LargePointSet[5].z, tunnelTrails[5].z);
  EXPECT_GT(SparkParticles->count, 0);
}

TEST_F(TunnelAndStreamers, StreamersInvisibleAtBothEndsAndGlowingBetween) {
  // On a black picture whatever is not black is a streamer or a spark.
  TextureTable[14] = MakeTexture(4, 4, Black);
  EscapeRequested = true;
  RunStreamers();
  EscapeRequested = false;
  DrawAt(DrawStreamersFrame, 12, 0.0f);  // b = 0; the sparks' first update only starts their clock
  EXPECT_TRUE(LookAtFrame().blank);
  for (float t = 0.1f; t <= 7.0f; t += 0.1f) DrawAt(DrawStreamersFrame, 12, t);
  EXPECT_GT(RedderThan(Frame(), width, height, 20), 100);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  // At 12 s the streamers are black again; only sparks can still add light.
  SparkParticles->Release();
  delete SparkParticles;
  SparkParticles = nullptr;
  DrawAt(DrawStreamersFrame, 12, 12.0f);
  EXPECT_TRUE(LookAtFrame().blank);
}

TEST_F(TunnelAndStreamers, FirstThreeTrailsAndStreamersAreSteppedButNotDrawn) {
  // The tunnel, empty: its heads sit left of the centre; only the first three trails could
  // reach the right half.
  EscapeRequested = true;
  RunTunnel();
  EscapeRequested = false;
  PullFirstThreeRight(20);
  for (int step = 0; step < 200; step++) DrawAt(DrawTunnelFrame, 12, 6.0f);
  EXPECT_EQ(LitFrom(width / 2 + 64, 190), 0);
  EXPECT_GT(LargePointSet[40].x, 1.0f);  // trail 0 did move right
  EXPECT_GT(LitFrom(0, 190), 100);       // the others, together on one line

  // The streamers, on a black picture without sparks, their head at x = sin(pi) = 0.
  TextureTable[14] = MakeTexture(4, 4, Black);
  delete SparkParticles;
  SparkParticles = nullptr;
  EscapeRequested = true;
  RunStreamers();
  EscapeRequested = false;
  PullFirstThreeRight(SmallPointSetSize);
  for (int step = 0; step < 200; step++) DrawAt(DrawStreamersFrame, 12, 3.14159265f);
  EXPECT_EQ(LitFrom(width / 2 + 64, 0), 0);
  EXPECT_GT(LargePointSet[2 * TrailPoints + 40].x, 1.0f);
  EXPECT_GT(LitFrom(0, 20), 50);  // the others, on one line through the head
}
