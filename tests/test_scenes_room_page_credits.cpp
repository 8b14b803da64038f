// The computer room, the scrolling page and the rippling-water credits: their set-up when
// Escape is already down, Escape during the room, whole runs on the virtual clock with
// nothing loaded and with small content, the fades at their boundaries, the page's place
// on the clock, and the water's rules (flat without drops, borders at rest, drops inside).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "engine/scene_grid.h"
#include "scenes/computer_room.h"
#include "scenes/scenes.h"
#include "scenes/scrolling_page.h"
#include "scenes/water_credits.h"
#include "tests/support/show_support.h"
#include "tests/support/test_support.h"
#include "timeline/frame_services.h"

namespace {

Rgb Checks(int x, int y) { return ((x / 4 + y / 4) & 1) ? Rgb{230, 200, 160} : Rgb{60, 90, 140}; }
Rgb DarkGrey(int, int) { return Rgb{64, 64, 64}; }

DemoTimer At(float t, float duration) {
  DemoTimer timer(duration);
  timer.elapsed = t;
  return timer;
}

long FrameSum(const std::vector<uint8_t>& rgba) {
  long sum = 0;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) sum += rgba[i] + rgba[i + 1] + rgba[i + 2];
  return sum;
}

class RoomPageCredits : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    FillTextureTable();
    MakeEmptyShowGlobals();
  }
  void TearDown() override {
    ReleaseShowGlobals();
    EscapeRequested = false;
  }

  template <typename Draw>
  std::vector<uint8_t> DrawOn(float r, float g, float b, Draw draw) {
    glClearColor(r, g, b, 1);
    ClearFrame();
    draw();
    return Frame();
  }

  // A checked floor seen from 200 units away and 50 up.
  void BuildRoom() {
    delete ComputerGrid;
    delete ComputerScene;
    SceneBuilder b;
    int32_t floor = b.AddTexture("text/floor.jpg", MakeTexture(32, 32, Checks));
    b.AddSquare("floor", 300, 0, floor);
    b.AddCamera("eye", {{0, {0, 50, 200}}}, {{0, {0, 0, 0}}});
    b.SetFrames(0, 100);
    ComputerScene = b.Take();
    ComputerGrid = new SceneGrid(ComputerScene);
    // The fog the scene sets up, for frames drawn without its run.
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogf(GL_FOG_DENSITY, 0.0001f);
  }
};

// ---------------------------------------------------------------------------------------
// Set-up and whole runs.

TEST_F(RoomPageCredits, EscapeAlreadyDownStillSetsTheStageAndDrawsNoFrame) {
  ShowClock clock(5);
  EscapeRequested = true;
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  SkyboxEnabled = true;
  ViewRangeCells = 2;
  RunComputerRoom();
  EXPECT_EQ(clock.frames, 0u);
  EXPECT_FALSE(glIsEnabled(GL_FOG));  // switched off however the room ends
  GLint mode = 0;
  GLfloat density = 0, clear[4] = {};
  glGetIntegerv(GL_FOG_MODE, &mode);
  glGetFloatv(GL_FOG_DENSITY, &density);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(mode, GL_EXP2);
  EXPECT_FLOAT_EQ(density, 0.0001f);
  EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
  EXPECT_FALSE(SkyboxEnabled);
  EXPECT_EQ(ViewRangeCells, 8);

  RunScrollingPage();
  EXPECT_EQ(clock.frames, 0u);

  WaterHeight[20][20] = 5;
  WaterVelocity[30][30] = 7;
  WaterLastDrop = 3;
  RunWaterCredits();
  EXPECT_EQ(clock.frames, 0u);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0] + clear[1] + clear[2], 3.0f);
  EXPECT_EQ(WaterHeight[20][20], 0.0f);
  EXPECT_EQ(WaterVelocity[30][30], 0.0f);
  EXPECT_EQ(WaterLastDrop, 0.0f);
}

TEST_F(RoomPageCredits, EscapeDuringTheRoomEndsItAtTheNextTestWithTheFogOff) {
  BuildRoom();
  ShowClock clock(5);
  bool fogDuringRun = false;
  clock.onFrame = [&](uint64_t frame) {
    fogDuringRun = glIsEnabled(GL_FOG);
    if (frame == 10) PressEscapeOnShowWindow();
  };
  RunComputerRoom();
  EXPECT_TRUE(fogDuringRun);
  EXPECT_TRUE(EscapeRequested);
  EXPECT_EQ(clock.frames, 11u);  // the next pass dispatches the key, the one after ends
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(RoomPageCredits, WithNothingLoadedAllThreeRunToTheirEnd) {
  {
    ShowClock clock(5, true);
    RunComputerRoom();
    EXPECT_GE(clock.frames, 110u);
    EXPECT_LE(clock.frames, 111u);
    EXPECT_EQ(clock.blankFrames, clock.frames);  // nothing in the room to see
    EXPECT_FALSE(glIsEnabled(GL_FOG));
  }
  {
    ShowClock clock(5, true);
    RunScrollingPage();
    EXPECT_GE(clock.frames, 175u);
    EXPECT_LE(clock.frames, 176u);
    EXPECT_FALSE(clock.looks[80].blank);  // the page (slot 26) fills the screen mid-way
  }
  {
    ShowClock clock(5, true);
    RunWaterCredits();
    EXPECT_GE(clock.frames, 75u);
    EXPECT_LE(clock.frames, 76u);
    EXPECT_FALSE(clock.looks[25].blank);
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 3.0f);  // stays white
  }
}

TEST_F(RoomPageCredits, SmallContentGivesFramesWithSomethingInThem) {
  BuildRoom();
  TextureTable[26] = MakeTexture(32, 256, Checks);
  {
    ShowClock clock(5, true);
    RunComputerRoom();
    // Everything but the fade's last moments shows the floor.
    for (size_t i = 0; i + 5 < clock.looks.size(); i++) EXPECT_FALSE(clock.looks[i].oneColour) << i;
  }
  {
    ShowClock clock(5, true);
    RunScrollingPage();
    EXPECT_TRUE(clock.looks.front().blank);
    EXPECT_TRUE(clock.looks.back().blank);
    EXPECT_FALSE(clock.looks[clock.looks.size() / 2].oneColour);
  }
  {
    ShowClock clock(10, true);
    RunWaterCredits();
    for (size_t i = 5; i < 100; i++) EXPECT_FALSE(clock.looks[i].oneColour) << i;
  }
}

// ---------------------------------------------------------------------------------------
// The computer room's fade.

TEST_F(RoomPageCredits, RoomFadesFromTwentySecondsToBlackAtTwentyTwo) {
  BuildRoom();
  ViewRangeCells = 8;
  SkyboxEnabled = false;
  long before = FrameSum(DrawOn(0, 0, 0, [] { DrawComputerRoomFrame(At(19.9f, 22.0f)); }));
  long start = FrameSum(DrawOn(0, 0, 0, [] { DrawComputerRoomFrame(At(20.0f, 22.0f)); }));
  long half = FrameSum(DrawOn(0, 0, 0, [] { DrawComputerRoomFrame(At(21.0f, 22.0f)); }));
  long end = FrameSum(DrawOn(0, 0, 0, [] { DrawComputerRoomFrame(At(22.0f, 22.0f)); }));
  ASSERT_GT(before, 0);
  EXPECT_EQ(start, before);  // amount 0 at exactly 20 s
  EXPECT_NEAR((double)half / before, 0.5, 0.02);
  EXPECT_EQ(end, 0);
}

// ---------------------------------------------------------------------------------------
// The scrolling page.

TEST_F(RoomPageCredits, PageEntersAtTheBottomAndLeavesAtTheTopOnTheClock) {
  TextureTable[26] = MakeTexture(32, 256, Checks);
  auto lit = [&](const std::vector<uint8_t>& f, int row) {
    const uint8_t* p = &f[((size_t)row * width + width / 2) * 4];
    return p[0] + p[1] + p[2] > 0;
  };
  EXPECT_EQ(FrameSum(DrawOn(0, 0, 0, [] { DrawScrollingPageFrame(At(0.0f, 35.0f)); })), 0);
  EXPECT_EQ(FrameSum(DrawOn(0, 0, 0, [] { DrawScrollingPageFrame(At(35.0f, 35.0f)); })), 0);
  // At 5 s the top edge stands 0.673 units above the centre, row 211 of 768; at 34 s the
  // bottom edge 1.055 units above it, row 113.
  std::vector<uint8_t> five = DrawOn(0, 0, 0, [] { DrawScrollingPageFrame(At(5.0f, 35.0f)); });
  EXPECT_FALSE(lit(five, 200));
  EXPECT_TRUE(lit(five, 222));
  EXPECT_TRUE(lit(five, 760));
  std::vector<uint8_t> late = DrawOn(0, 0, 0, [] { DrawScrollingPageFrame(At(34.0f, 35.0f)); });
  EXPECT_TRUE(lit(late, 5));
  EXPECT_TRUE(lit(late, 103));
  EXPECT_FALSE(lit(late, 124));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

  // The same moment at two frame rates shows the same picture.
  std::vector<std::vector<uint8_t>> at10s;
  for (double fps : {5.0, 8.0}) {
    ShowClock clock(fps);
    uint64_t wanted = (uint64_t)(10 * fps);
    clock.onFrame = [&](uint64_t frame) {
      if (frame == wanted) at10s.push_back(Frame());
    };
    RunScrollingPage();
  }
  ASSERT_EQ(at10s.size(), 2u);
  EXPECT_TRUE(at10s[0] == at10s[1]);
}

// ---------------------------------------------------------------------------------------
// The water.

TEST_F(RoomPageCredits, WaterWithoutADropStaysExactlyFlat) {
  ResetWater();
  for (int n = 0; n < 300; n++) StepWater();
  for (int i = 0; i < WaterGridSize; i++)
    for (int j = 0; j < WaterGridSize; j++) {
      ASSERT_EQ(WaterHeight[i][j], 0.0f);
      ASSERT_EQ(WaterVelocity[i][j], 0.0f);
      if (i < WaterN && j < WaterN) {
        ASSERT_EQ(WaterVertices[i][j].y, 0.0f);
      }
    }
}

TEST_F(RoomPageCredits, DropsLandInsideAndTheBorderNeverMoves) {
  // Every drop block lies in rows and columns 1 to 61 and reaches both ends of that range.
  ResetWater();
  for (int n = 0; n < 3000; n++) DropStone();
  int lowest = 99, highest = -1;
  for (int i = 0; i < WaterGridSize; i++)
    for (int j = 0; j < WaterGridSize; j++) {
      if (WaterVelocity[i][j] == 0.0f) continue;
      EXPECT_EQ(WaterVelocity[i][j], 960.0f);
      lowest = std::min(lowest, std::min(i, j));
      highest = std::max(highest, std::max(i, j));
    }
  EXPECT_EQ(lowest, 1);
  EXPECT_EQ(highest, WaterN - 2);

  // With drops and ripples running, the heights of rows and columns 0, 1, 61, 62 and 63
  // stay 0, while the inside moves.
  ResetWater();
  bool moved = false;
  for (int n = 0; n < 400; n++) {
    if (n % 7 == 0) DropStone();
    StepWater();
  }
  for (int i = 0; i < WaterGridSize; i++)
    for (int j = 0; j < WaterGridSize; j++) {
      bool border = i < 2 || j < 2 || i > WaterN - 3 || j > WaterN - 3;
      if (border) {
        ASSERT_EQ(WaterHeight[i][j], 0.0f) << i << ", " << j;
      } else if (WaterHeight[i][j] != 0.0f) {
        moved = true;
      }
    }
  EXPECT_TRUE(moved);
}

TEST_F(RoomPageCredits, StonesFallInTheFirstFrameAndEveryHalfSecond) {
  ResetWater();
  struct Case {
    float t, lastDrop;
  } cases[] = {{0.0f, 0.0f}, {0.2f, 0.2f}, {0.4f, 0.2f}, {0.7f, 0.7f}, {1.1f, 0.7f}, {1.2f, 1.2f}};
  for (const Case& c : cases) {
    DrawOn(1, 1, 1, [&] { DrawWaterCreditsFrame(At(c.t, 15.0f)); });
    EXPECT_FLOAT_EQ(WaterLastDrop, c.lastDrop) << "t = " << c.t;
  }
}

TEST_F(RoomPageCredits, CreditsFadeInOverTwoSecondsAndOutOverTheLastFive) {
  // Still water of a dark grey picture: 0.8 x 64 turned negative is about 204 at the
  // centre; the white background turns black.
  TextureTable[23] = MakeTexture(8, 8, DarkGrey);
  auto centreAt = [&](float t) {
    ResetWater();
    std::vector<uint8_t> f = DrawOn(1, 1, 1, [&] { DrawWaterCreditsFrame(At(t, 15.0f)); });
    const uint8_t* p = &f[((size_t)(height / 2) * width + width / 2) * 4];
    EXPECT_EQ(f[0] + f[1] + f[2], 0) << "corner at t = " << t;
    return (int)p[1];
  };
  int full = centreAt(5.0f);
  EXPECT_NEAR(full, 204, 3);
  struct Case {
    float t, share;
  } cases[] = {{0.0f, 0}, {1.0f, 0.5f}, {2.0f, 1}, {10.0f, 1}, {12.5f, 0.5f}, {15.0f, 0}};
  for (const Case& c : cases) EXPECT_NEAR(centreAt(c.t), full * c.share, 2) << "t = " << c.t;
}

}  // namespace
