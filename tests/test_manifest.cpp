// Loading the show from a small archive written by the test: every slot and global, the
// point sets, the removal of the working directories, the darkening loading screen and
// the wait after it, on the virtual clock.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "app/window.h"
#include "assets/archive.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "effects/font.h"
#include "effects/particles.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "platform/platform.h"
#include "tests/support/show_support.h"
#include "timeline/demo_sequence.h"
#include "timeline/load_timing.h"

namespace fs = std::filesystem;

namespace {

// A ball of five vertices: the size of BallPoints.
std::string BallFile() {
  MeshData ball;
  ball.name = "ball";
  ball.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
  ball.faces = {{0, 1, 2, 0, 0}, {0, 2, 3, 0, 0}, {1, 2, 4, 0, 0}};
  return Write3ds({ball});
}

class Manifest : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    for (uint32_t& slot : TextureTable) {
      if (slot) glDeleteTextures(1, (const GLuint*)&slot);
      slot = 0;
    }
    home = fs::current_path();
    dir = FreshDirectory(std::string("manifest_") +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::current_path(dir);
    std::vector<ArchiveMember> members = ShowPictures();
    members.push_back({"maps/ball.3ds", BallFile()});
    ASSERT_TRUE(WriteArchive("datas.vlo", members));
    report = tmpfile();
    SetArchiveStreams(report, nullptr);
  }
  void TearDown() override {
    ReleaseShowGlobals();
    DeleteFont();
    SetArchiveStreams(nullptr, nullptr);
    if (report) fclose(report);
    fs::current_path(home);
  }
  fs::path home;
  std::string dir;
  FILE* report = nullptr;
};

}  // namespace

TEST_F(Manifest, LoadsEverySlotAndGlobalAndRemovesTheWorkingDirectories) {
  CapturedMessages messages;
  ShowClock clock(50.0);
  LoadAssets();

  // Every picture was in the archive: nothing was reported unreadable.
  for (const std::string& box : messages.boxes) ADD_FAILURE() << box;
  for (int slot = 0; slot < TextureSlotCount; slot++) {
    SCOPED_TRACE(slot);
    if (slot == 2) {
      EXPECT_EQ(TextureTable[slot], 0u);
      continue;
    }
    ASSERT_NE(TextureTable[slot], 0u);
    EXPECT_TRUE(glIsTexture(TextureTable[slot]));
    for (int other = 0; other < slot; other++) EXPECT_NE(TextureTable[other], TextureTable[slot]);
  }
  // The frame-copy target: an empty 512 by 512 RGB texture.
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, TextureTable[19]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 512);

  // The files are gone; only the archive is left, and what it held is in memory.
  EXPECT_FALSE(fs::exists("maps"));
  EXPECT_FALSE(fs::exists("pict"));
  EXPECT_FALSE(fs::exists("text"));
  EXPECT_EQ(ExtractedFileCount(), 0);
  EXPECT_TRUE(fs::exists("datas.vlo"));

  for (void* global : {(void*)PlaneScene, (void*)SmokeParticles, (void*)FireParticles,
                       (void*)BallScene, (void*)BallPoints, (void*)Ball2Scene,
                       (void*)Ball2Points, (void*)Ball2Values, (void*)JungleScene,
                       (void*)JungleGrid, (void*)RaptorModel, (void*)TunnelScene,
                       (void*)TunnelGrid, (void*)PalaceScene, (void*)PalaceGrid,
                       (void*)BathScene, (void*)GirlModel, (void*)SmallPointSet,
                       (void*)LargePointSet, (void*)SparkParticles, (void*)ComputerScene,
                       (void*)ComputerGrid})
    EXPECT_NE(global, nullptr);
  EXPECT_EQ(JungleGrid->model, RaptorModel);
  EXPECT_NE(SmokeParticles->texture, 0u);
  EXPECT_EQ(SmokeParticles->capacity, 2000);
  EXPECT_EQ(FireParticles->rate, 200);
  EXPECT_FLOAT_EQ(SparkParticles->speed, -4.0f);
  // Missing scene files leave empty scenes that are still objects to use and release.
  EXPECT_EQ(JungleScene->objectCount, 0);
  EXPECT_EQ(GirlModel->frameCount, 0);

  // The point sets: sized from the loaded ball (and empty for the missing one), and
  // zero-filled so that no scene reads uninitialised memory.
  EXPECT_EQ(BallScene->objectCount, 1);
  ASSERT_EQ(BallPointCount, 5);
  EXPECT_EQ(Ball2PointCount, 0);
  for (int i = 0; i < BallPointCount; i++)
    EXPECT_TRUE(BallPoints[i].x == 0 && BallPoints[i].y == 0 && BallPoints[i].z == 0);
  int dirty = 0;
  for (int i = 0; i < SmallPointSetSize; i++)
    dirty += SmallPointSet[i].x != 0 || SmallPointSet[i].y != 0 || SmallPointSet[i].z != 0;
  for (int i = 0; i < LargePointSetSize; i++)
    dirty += LargePointSet[i].x != 0 || LargePointSet[i].y != 0 || LargePointSet[i].z != 0;
  EXPECT_EQ(dirty, 0);
}

TEST_F(Manifest, LoadingScreenDarkensStepByStepThenWaitsFourSecondsWithoutDrawing) {
  // 100 frames a second: each quarter-second step draws 25 frames and ends at 0.25 s.
  ShowClock clock(100.0);
  std::vector<float> levels;
  std::vector<double> lumas;
  clock.onFrame = [&](uint64_t) {
    levels.push_back(LoadingLevel);
    lumas.push_back(LookAtFrame().meanLuma);
  };
  LoadAssets();
  const double afterLoading = clock.Seconds();

  // 25 frames a step (26 where the rounding of the timer's start lets one more in).
  EXPECT_GE(clock.frames, 15u * 25u);
  EXPECT_LE(clock.frames, 15u * 26u);
  // The level grows by 16 per second of each step, each step going on from where the one
  // before stopped, from 0 to just under 60.
  EXPECT_FLOAT_EQ(levels.front(), 0.0f);
  EXPECT_GE(LoadingLevel, 15 * 0.24f * 16.0f - 0.01f);
  EXPECT_LT(LoadingLevel, 60.0f);
  // (A timer's start, rounded to 32 bits, may lie a hair after the tick it was read at.)
  for (size_t i = 1; i < levels.size(); i++) EXPECT_GE(levels[i], levels[i - 1] - 1e-4f);
  // The picture is drawn darkened by the level / 60: full at first, nearly black at last.
  EXPECT_GT(lumas.front(), 40.0);
  for (size_t i = 1; i < lumas.size(); i++) EXPECT_LE(lumas[i], lumas[i - 1] + 1.0);
  EXPECT_LT(lumas.back(), lumas.front() * 0.1);
  // Then four seconds pass with no frame drawn (the clock moved on regardless).
  EXPECT_NEAR(afterLoading, 15 * 0.25 + 4.0, 0.2);
}

namespace {
struct MarkRecord {
  LoadTimingEvent event;
  std::string group;
  double seconds;  // the show's clock
};
void RecordMark(LoadTimingEvent event, const char* group, void* user) {
  static_cast<std::vector<MarkRecord>*>(user)->push_back(
      {event, group ? group : "", PlatformVirtualTime() / 1000.0});
}
}  // namespace

TEST_F(Manifest, LoadingMarksEachGroupBetweenBeginAndEndBeforeTheWait) {
  ShowClock clock(100.0);
  std::vector<MarkRecord> marks;
  SetLoadTimingHook(RecordMark, &marks);
  LoadAssets();
  SetLoadTimingHook(nullptr, nullptr);
  const double afterLoading = clock.Seconds();

  ASSERT_GE(marks.size(), 3u);
  EXPECT_EQ(marks.front().event, LoadTimingBegan);
  EXPECT_EQ(marks.back().event, LoadTimingEnded);
  int screens = 0;
  std::set<std::string> groups;
  for (size_t i = 1; i + 1 < marks.size(); i++) {
    SCOPED_TRACE(i);
    ASSERT_EQ(marks[i].event, LoadTimingMarked);
    groups.insert(marks[i].group);
    if (marks[i].group != "loading screen") continue;
    screens++;
    // Each step is timed apart from the loads before it: they got their own mark.
    EXPECT_NE(marks[i - 1].group, "loading screen");
    EXPECT_EQ(marks[i - 1].event, LoadTimingMarked);
  }
  EXPECT_EQ(screens, 15);
  for (const char* group : {"unpacking", "font", "textures", "scene avion", "scene ball",
                            "scene ball2", "scene jungle", "scene tunnel", "scene palace",
                            "scene bain", "scene comput", "grids", "models",
                            "particle systems", "music"})
    EXPECT_EQ(groups.count(group), 1u) << group;
  // The end comes before the four-second wait, which is not loading.
  EXPECT_NEAR(afterLoading - marks.back().seconds, 4.0, 0.05);
}

TEST_F(Manifest, EscapeDuringLoadingIsNoticedOnlyInTheWait) {
  ShowClock clock(100.0);
  PressEscapeOnShowWindow();
  std::vector<bool> escapeAtFrame;
  clock.onFrame = [&](uint64_t) { escapeAtFrame.push_back(EscapeRequested); };
  LoadAssets();

  // Every loading step ran to its end without taking the message...
  EXPECT_GE(escapeAtFrame.size(), 15u * 25u);
  for (bool seen : escapeAtFrame) EXPECT_FALSE(seen);
  EXPECT_GE(LoadingLevel, 15 * 0.24f * 16.0f - 0.01f);
  EXPECT_FALSE(fs::exists("text"));
  // ...the wait took it, and ended at once.
  EXPECT_TRUE(EscapeRequested);
  EXPECT_LT(clock.Seconds(), 15 * 0.26 + 0.2);
}

TEST_F(Manifest, ReleaseAcceptsObjectsWhoseFilesFailedAndLeavesNothingBehind) {
  fs::remove("datas.vlo");
  ASSERT_TRUE(WriteArchive("datas.vlo", {{"text/readme.txt", "nothing to load"}}));
  CapturedMessages messages;
  ShowClock clock(20.0);
  LoadAssets();
  // Every picture is reported missing, and everything still exists as an object.
  EXPECT_GE(messages.boxes.size(), 25u);
  ASSERT_NE(PlaneScene, nullptr);
  EXPECT_EQ(PlaneScene->objectCount, 0);
  EXPECT_EQ(BallPointCount, 0);
  ASSERT_NE(BallPoints, nullptr);
  EXPECT_NE(TextureTable[19], 0u);
  ReleaseAssets();
  EXPECT_EQ(PlaneScene, nullptr);
  EXPECT_EQ(JungleGrid, nullptr);
  EXPECT_EQ(LargePointSet, nullptr);
  ReleaseAssets();  // a second release finds nothing left to free
}
