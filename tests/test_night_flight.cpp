// The night flight and its cards on the virtual clock, with a plane scene built in
// memory: a card at every change of camera (one for a jump by two), the flight's clock
// held back by exactly the card's 4 s, the fades at their boundaries, the camera the cards
// borrow given back, Escape inside a card, and a run with no data at all.
#include <cmath>

#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "engine/renderer.h"
#include "platform/platform.h"
#include "scenes/night_flight.h"
#include "scenes/scenes.h"
#include "tests/support/show_support.h"

namespace {

Rgb White(int, int) { return Rgb{255, 255, 255}; }

const Vec3 CardEye{90.0f, 7.0f, 55.0f};  // where every card frame looks from
const Vec3 PlaneEye{0.0f, 0.0f, 10.0f};

bool Same(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// A plane scene whose cameras change at the given frames of its 0..30 range (one frame
// per second of flight): camera i rests at its one key and hands over once the frame
// reaches it. The last camera never hands over. All look at a white square at the origin.
Scene3ds* PlaneWithCameras(std::vector<uint16_t> changeFrames) {
  SceneBuilder b;
  int32_t texture = b.AddTexture("maps/plane.jpg", MakeTexture(4, 4, White));
  b.AddMesh("plane", {{-2, -1, 0}, {2, -1, 0}, {2, 1, 0}, {-2, 1, 0}},
            {{0, 1, 2, 0, 0}, {0, 2, 3, 0, 0}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, texture);
  changeFrames.push_back(30);
  for (size_t i = 0; i < changeFrames.size(); i++) {
    std::string name = "cam" + std::to_string(i);
    b.AddCamera(name.c_str(), {{changeFrames[i], PlaneEye}}, {{changeFrames[i], Vec3{0, 0, 0}}});
  }
  b.SetFrames(0, 30);
  return b.Take();
}

class NightFlight : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    FillTextureTable();
    MakeEmptyShowGlobals();
    ParticleDepthMask = false;
  }
  void TearDown() override { ReleaseShowGlobals(); }
  void UsePlane(Scene3ds* scene) {
    delete PlaneScene;
    PlaneScene = scene;
  }
  // One flight frame at elapsed time t of a timer made at time 0 (as RunSceneLoop draws it).
  FrameLook FrameAt(DemoTimer& timer, double seconds) {
    PlatformSetVirtualTime(seconds * 1000.0);
    timer.Update();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawNightFlightFrame(timer);
    return LookAtFrame();
  }
};

// Runs of consecutive card frames seen at presents: camera index and length of each.
struct CardRun {
  int camera;
  int frames;
};

}  // namespace

TEST_F(NightFlight, CameraChangeRunsOneCardAndHoldsTheClockBackByFourSeconds) {
  for (bool jumpByTwo : {false, true}) {
    SCOPED_TRACE(jumpByTwo ? "two changes in one frame" : "one change");
    UsePlane(jumpByTwo ? PlaneWithCameras({9, 9}) : PlaneWithCameras({9, 19}));
    ShowClock clock(5.0);
    int cardFrames = 0, cardCamera = -1;
    clock.onFrame = [&](uint64_t) {
      if (Same(PlaneCamera()->camera.eye, CardEye)) cardFrames++;
      cardCamera = PlaneScene->currentCamera;
    };
    DemoTimer timer(30.0f);

    FrameAt(timer, 8.8);
    EXPECT_EQ(PlaneScene->currentCamera, 0);
    EXPECT_EQ(clock.frames, 0u);
    EXPECT_EQ(timer.start, 0.0f);

    FrameAt(timer, 9.0);
    EXPECT_EQ(PlaneScene->currentCamera, jumpByTwo ? 2 : 1);
    // One 4 s card at 5 frames a second, showing the new camera's logo...
    EXPECT_GE(clock.frames, 20u);
    EXPECT_LE(clock.frames, 21u);
    EXPECT_EQ(cardFrames, (int)clock.frames);
    EXPECT_EQ(cardCamera, PlaneScene->currentCamera);
    // ...and the flight's clock moved on by exactly 4 s, so its time resumes where it was.
    EXPECT_EQ(timer.start, 0.0f + 4.0f);
    EXPECT_GE(clock.Seconds(), 13.0);
    timer.Update();
    EXPECT_NEAR(timer.elapsed, 9.0 + (clock.Seconds() - 13.0), 1e-4);
    // The borrowed camera is the plane's own again.
    EXPECT_TRUE(Same(PlaneCamera()->camera.eye, PlaneEye));

    // No change, no card.
    uint64_t before = clock.frames;
    FrameAt(timer, clock.Seconds() + 0.2);
    EXPECT_EQ(clock.frames, before);
    EXPECT_EQ(timer.start, 4.0f);
  }
}

TEST_F(NightFlight, FadesFrameTheShot) {
  UsePlane(PlaneWithCameras({}));  // one camera: the first shot goes on all the time
  ShowClock clock(5.0);
  DemoTimer timer(30.0f);
  double full = FrameAt(timer, 5.0).meanLuma;
  ASSERT_GT(full, 20.0);
  EXPECT_TRUE(FrameAt(timer, 0.0).blank);            // 1 - t/3 = 1
  EXPECT_NEAR(FrameAt(timer, 1.5).meanLuma / full, 0.5, 0.12);
  EXPECT_NEAR(FrameAt(timer, 8.5).meanLuma / full, 0.5, 0.12);  // t - 8
  EXPECT_TRUE(FrameAt(timer, 9.0).blank);            // black from t = 9 on
  EXPECT_TRUE(FrameAt(timer, 20.0).blank);           // an amount above 1 is still black
  EXPECT_EQ(clock.frames, 0u);                       // and no card ever ran
}

TEST_F(NightFlight, WholeSceneRunsItsCardsAroundThreeShots) {
  UsePlane(PlaneWithCameras({9, 19}));
  ShowClock clock(5.0, true);
  std::vector<CardRun> cards;
  bool inCard = false;
  uint64_t flightLooked = 0, flightBlank = 0;
  clock.onFrame = [&](uint64_t) {
    bool card = Same(PlaneCamera()->camera.eye, CardEye);
    if (card && !inCard) cards.push_back({PlaneScene->currentCamera, 0});
    if (card) cards.back().frames++;
    // The middle of the first shot, clear of its fades: the clouds through the screen.
    double s = clock.Seconds();
    if (!card && s > 4.0 + 4.0 && s < 4.0 + 7.0) {
      flightLooked++;
      flightBlank += LookAtFrame().oneColour;
    }
    inCard = card;
  };
  RunNightFlight();

  EXPECT_TRUE(ParticleDepthMask);
  // The opening logo card, one per change of camera, the closing title card.
  ASSERT_EQ(cards.size(), 4u);
  EXPECT_EQ(cards[0].camera, 0);
  EXPECT_EQ(cards[1].camera, 1);
  EXPECT_EQ(cards[2].camera, 2);
  EXPECT_EQ(cards[3].camera, 2);
  for (int i = 0; i < 3; i++) EXPECT_NEAR(cards[i].frames, 20, 1);
  EXPECT_NEAR(cards[3].frames, 60, 1);
  // 4 + 30 + 4 per change + 12 seconds.
  EXPECT_NEAR(clock.Seconds(), 54.0, 0.7);
  EXPECT_GT(flightLooked, 10u);
  EXPECT_EQ(flightBlank, 0u);
  EXPECT_TRUE(Same(PlaneCamera()->camera.eye, PlaneEye));
  EXPECT_EQ(EscapeRequested, false);
}

TEST_F(NightFlight, EscapeInACardEndsTheSceneWithoutAnotherFrame) {
  UsePlane(PlaneWithCameras({9, 19}));
  ShowClock clock(5.0);
  int runs = 0;
  bool inCard = false;
  uint64_t pressedAt = 0;
  clock.onFrame = [&](uint64_t frame) {
    bool card = Same(PlaneCamera()->camera.eye, CardEye);
    if (card && !inCard && ++runs == 2) {
      PressEscapeOnShowWindow();  // in the first frame of the card at the first change
      pressedAt = frame;
    }
    inCard = card;
  };
  RunNightFlight();
  EXPECT_TRUE(EscapeRequested);
  EXPECT_EQ(runs, 2);
  // The card took the message in its next pass and ended; the flight's frame it ran in
  // was finished and shown, then the flight and the title card left their loops at the
  // first test.
  EXPECT_EQ(clock.frames, pressedAt + 2);
  EXPECT_TRUE(Same(PlaneCamera()->camera.eye, PlaneEye));
}

TEST_F(NightFlight, RunsToItsEndWithNoDataAtAll) {
  // Empty plane scene (no meshes, no cameras), particle systems without pictures.
  ShowClock clock(5.0);
  int looked = 0, flat = 0;
  clock.onFrame = [&](uint64_t) {
    // Clear of the fades: the logo card, the first shot, the title card. (With no camera
    // the first shot goes on, and is black from its ninth second on.)
    double s = clock.Seconds();
    if ((s > 0.6 && s < 3.4) || (s > 7.2 && s < 11.8) || (s > 34.6 && s < 43.8)) {
      looked++;
      flat += LookAtFrame().oneColour;
    }
  };
  RunNightFlight();
  // No camera ever changes: the logo card, 30 s of flight, the title card.
  EXPECT_NEAR(clock.Seconds(), 46.0, 0.6);
  EXPECT_GT(clock.frames, 200u);
  // The clouds, the cards' pictures and the screen texture still show.
  EXPECT_GT(looked, 60);
  EXPECT_EQ(flat, 0);
}
