// The scene clock and the scene loop, on the virtual clock. No GL context is needed: the
// loop's frames are counted through the present hook.
#include <gtest/gtest.h>

#include "app/window.h"
#include "platform/platform.h"
#include "timeline/demo_timer.h"
#include "timeline/scene_loop.h"

namespace {
double stepMs = 0;
void AdvanceOnPresent(void*) { PlatformAdvanceVirtualTime(stepMs); }

std::vector<uint64_t> dispatchedAtPresent;
long RecordingProc(const PlatformMessage&) {
  dispatchedAtPresent.push_back(PlatformPresentCount());
  return 0;
}

class SceneLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatformSelectBackend(BackendHeadless);
    PlatformUseVirtualClock(true);
    PlatformResetMessages();
    PlatformSetPresentHook(AdvanceOnPresent, nullptr);
    EscapeRequested = false;
    stepMs = 10;
    dispatchedAtPresent.clear();
  }
  void TearDown() override {
    PlatformSetPresentHook(nullptr, nullptr);
    PlatformUseVirtualClock(false);
    EscapeRequested = false;
  }
};
}  // namespace

TEST_F(SceneLoop, TimerEndIsInclusive) {
  // Seconds are ticks times the float nearest 0.001, a little above a thousandth, so a
  // stage of exactly 2 s already ends at tick 2000; the end is inclusive for the value
  // the timer itself computes.
  PlatformSetVirtualTime(0);
  float twoSeconds = (float)(2000.0 * (double)0.001f);
  DemoTimer timer(twoSeconds);
  EXPECT_FLOAT_EQ(timer.start, 0.0f);
  EXPECT_FLOAT_EQ(timer.elapsed, 0.0f);
  PlatformSetVirtualTime(2000);
  EXPECT_TRUE(timer.Update());
  EXPECT_EQ(timer.elapsed, twoSeconds);
  PlatformSetVirtualTime(2001);
  EXPECT_FALSE(timer.Update());
  PlatformSetVirtualTime(0);
  DemoTimer exact(2.0f);
  PlatformSetVirtualTime(4000);
  EXPECT_FALSE(exact.Update());  // 2.0000001 s
}

TEST_F(SceneLoop, SecondsKeepMillisecondsAfterDaysOfUptime) {
  // A counter from program start keeps small values; even late in a long run the
  // difference of two tick counts survives the single-precision fields.
  PlatformSetVirtualTime(3600.0 * 1000 * 5);  // five hours into the run
  DemoTimer timer(1.0f);
  PlatformAdvanceVirtualTime(500);
  timer.Update();
  EXPECT_NEAR(timer.elapsed, 0.5f, 0.002f);
}

TEST_F(SceneLoop, EveryFrameIsDrawnWithinTheDuration) {
  std::vector<float> times;
  RunSceneLoop(0.05f, [&](DemoTimer& t) { times.push_back(t.elapsed); });
  ASSERT_EQ(times.size(), 6u);  // 0, 10, ..., 50 ms
  for (float t : times) EXPECT_LE(t, 0.05f);
  EXPECT_FLOAT_EQ(times.back(), 0.05f);
}

TEST_F(SceneLoop, DurationZeroEndsAtTheFirstTick) {
  stepMs = 1;
  int frames = 0;
  RunSceneLoop(0.0f, [&](DemoTimer&) { frames++; });
  EXPECT_EQ(frames, 1);
}

TEST_F(SceneLoop, EscapeBeforeTheLoopDrawsNothingButSetUpRuns) {
  EscapeRequested = true;
  bool setUp = false;
  int frames = 0;
  auto scene = [&] {
    setUp = true;
    RunSceneLoop(5.0f, [&](DemoTimer&) { frames++; });
  };
  uint64_t before = PlatformPresentCount();
  scene();
  EXPECT_TRUE(setUp);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(PlatformPresentCount(), before);
}

TEST_F(SceneLoop, APassThatHandlesAMessageDrawsNothing) {
  const PixelFormatRequest format = {32, 16, 0, true};
  PlatformWindow window = PlatformCreateShowWindow("loop", 64, 48, format, nullptr, 0);
  ASSERT_NE(window, PlatformNoWindow);
  PlatformSetWindowProc(window, RecordingProc);
  PlatformMessage m;
  m.window = window;
  m.type = MsgOther;
  for (int i = 0; i < 3; i++) PlatformPostMessage(m);
  uint64_t before = PlatformPresentCount();
  int frames = 0;
  RunSceneLoop(0.025f, [&](DemoTimer&) { frames++; });
  // The clock does not move while messages are handled, so the three messages cost no
  // frames: all are dispatched before the first frame, one per pass.
  ASSERT_EQ(dispatchedAtPresent.size(), 3u);
  for (uint64_t at : dispatchedAtPresent) EXPECT_EQ(at, before);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(PlatformPresentCount() - before, 3u);
  PlatformDestroyWindow(window);
}

TEST_F(SceneLoop, EscapeKeyDuringTheLoopEndsItAtTheNextTest) {
  const PixelFormatRequest format = {32, 16, 0, true};
  PlatformWindow window = PlatformCreateShowWindow("loop", 64, 48, format, nullptr, 0);
  PlatformSetWindowProc(window, DemoWindowProc);
  int frames = 0;
  RunSceneLoop(10.0f, [&](DemoTimer&) {
    if (++frames == 3) {
      PlatformMessage key;
      key.window = window;
      key.type = MsgKeyDown;
      key.key = KeyEscape;
      PlatformPostMessage(key);
    }
  });
  EXPECT_EQ(frames, 3);
  EXPECT_TRUE(EscapeRequested);
  PlatformDestroyWindow(window);
}

TEST(VirtualClock, IdleStepLetsAWaitWithoutFramesSeeTimePass) {
  PlatformUseVirtualClock(true);
  PlatformSetVirtualIdleStep(5, 2);
  DemoTimer timer(0.05f);
  int reads = 0;
  while (timer.Update() && reads < 1000) reads++;
  EXPECT_LT(reads, 1000);
  PlatformSetVirtualIdleStep(0, 1);
  PlatformUseVirtualClock(false);
}
