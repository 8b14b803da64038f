// The running order on the virtual clock, from a small archive written by the test: the
// whole show to its end, Escape pressed during the third scene through the window's
// message path, the change of music, the release; and the offline renderer playing the
// show headless.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/window.h"
#include "assets/archive.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "effects/font.h"
#include "scenes/scenes.h"
#include "tests/support/show_support.h"
#include "timeline/demo_sequence.h"
#include "timeline/music.h"

namespace fs = std::filesystem;

namespace {

// Without cameras in the plane scene the night flight has no camera change: 4 + 30 + 12 s.
const double NightFlightWithoutCameras = 46.0;

bool HaveTools() { return system("command -v sox >/dev/null && command -v lame >/dev/null") == 0; }

// A sine tone as an MP3 in the current directory (sox and lame, as the music tests do).
bool MakeTone(const std::string& name, int frequency, double seconds) {
  std::string command = "sox -q -n -r 44100 -c 2 -b 16 tone.wav synth " +
                        std::to_string(seconds) + " sine " + std::to_string(frequency) +
                        " vol 0.5 && lame --quiet -b 128 tone.wav " + name + " && rm tone.wav";
  return system(command.c_str()) == 0;
}

// RMS level of the left channel over the last `frames` frames of a raw 16-bit stereo file.
double TailLevel(const std::string& path, size_t frames) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t total = bytes.size() / 4;
  if (total < frames) return -1;
  const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data());
  double sum = 0;
  for (size_t i = total - frames; i < total; i++) sum += (double)samples[i * 2] * samples[i * 2];
  return std::sqrt(sum / frames);
}

bool AllReleased() {
  for (void* global : {(void*)PlaneScene, (void*)SmokeParticles, (void*)FireParticles,
                       (void*)BallScene, (void*)BallPoints, (void*)Ball2Scene,
                       (void*)Ball2Points, (void*)Ball2Values, (void*)JungleScene,
                       (void*)JungleGrid, (void*)RaptorModel, (void*)TunnelScene,
                       (void*)TunnelGrid, (void*)PalaceScene, (void*)PalaceGrid,
                       (void*)BathScene, (void*)GirlModel, (void*)SmallPointSet,
                       (void*)LargePointSet, (void*)SparkParticles, (void*)ComputerScene,
                       (void*)ComputerGrid})
    if (global) return false;
  return true;
}

// Where each scene begins, in seconds after the first frame of the night flight.
std::vector<double> SceneStarts() {
  std::vector<double> starts;
  double at = 0;
  for (int i = 0; i < SceneCount; i++) {
    starts.push_back(at);
    at += i == 0 ? NightFlightWithoutCameras : Scenes[i].seconds;
  }
  starts.push_back(at);
  return starts;
}

class DemoSequence : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    home = fs::current_path();
    dir = FreshDirectory(std::string("sequence_") +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::current_path(dir);
    ASSERT_TRUE(WriteArchive("datas.vlo", ShowPictures()));
    report = tmpfile();
    SetArchiveStreams(report, nullptr);
  }
  void TearDown() override {
    StopSound();
    ReleaseShowGlobals();
    DeleteFont();
    SetArchiveStreams(nullptr, nullptr);
    if (report) fclose(report);
    fs::current_path(home);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }
  fs::path home;
  std::string dir;
  FILE* report = nullptr;
};

// Notes the first frame after the silent wait that ends loading: the night flight's first.
struct FlightStart {
  double lastFrame = -1, at = -1;
  void Note(double now) {
    if (at < 0 && lastFrame >= 0 && now - lastFrame > 3.0) at = now;
    lastFrame = now;
  }
};

}  // namespace

TEST_F(DemoSequence, EscapeInTheThirdSceneEndsTheShowThroughTheRelease) {
  bool music = HaveTools() && MakeTone("discow.mp3", 440, 30) && MakeTone("vellumar2.mp3", 880, 30);
  if (music) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir + "/played.raw").c_str(), 1);
  }
  StartSound();
  ShowClock clock(5.0);
  FlightStart flight;
  SoundStream* firstTrack = nullptr;
  uint64_t pressedAt = 0;
  double pressTime = 0;
  const double sceneThree = SceneStarts()[2];
  clock.onFrame = [&](uint64_t frame) {
    double now = clock.Seconds();
    flight.Note(now);
    if (flight.at >= 0 && !firstTrack) firstTrack = MusicStream;
    // Two seconds into the swelling balls.
    if (flight.at >= 0 && !pressedAt && now >= flight.at + sceneThree + 2.0) {
      PressEscapeOnShowWindow();
      pressedAt = frame;
      pressTime = now;
    }
  };
  RunDemo();

  ASSERT_GT(pressedAt, 0u) << "the show ended before the third scene";
  EXPECT_TRUE(EscapeRequested);
  // The balls took the message in their next pass and stopped; no later scene drew.
  EXPECT_EQ(clock.frames, pressedAt + 1);
  EXPECT_LT(clock.Seconds() - pressTime, 1.0);
  EXPECT_TRUE(AllReleased());
  if (music) {
    // The second track was opened and played in place of the first...
    EXPECT_NE(firstTrack, nullptr);
    EXPECT_NE(MusicStream, nullptr);
    EXPECT_NE(MusicStream, firstTrack);
    // ...and stopped again: the output falls silent.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    double level = TailLevel(dir + "/played.raw", 8820);
    EXPECT_GE(level, 0.0);
    EXPECT_LT(level, 300.0);
  }
}

// Escape one second into each scene: that scene stops at once, no later scene draws, the
// release runs and the working directories are gone.
class EscapeInEachScene : public DemoSequence, public ::testing::WithParamInterface<int> {};

TEST_P(EscapeInEachScene, EndsTheShowThroughTheRelease) {
  const int scene = GetParam();
  ShowClock clock(5.0);
  FlightStart flight;
  uint64_t pressedAt = 0;
  const double start = SceneStarts()[scene];
  clock.onFrame = [&](uint64_t frame) {
    double now = clock.Seconds();
    flight.Note(now);
    if (flight.at >= 0 && !pressedAt && now >= flight.at + start + 1.0) {
      PressEscapeOnShowWindow();
      pressedAt = frame;
    }
  };
  RunDemo();
  ASSERT_GT(pressedAt, 0u) << "the show ended before " << Scenes[scene].name;
  EXPECT_TRUE(EscapeRequested);
  EXPECT_EQ(clock.frames, pressedAt + 1);
  EXPECT_TRUE(AllReleased());
  EXPECT_FALSE(fs::exists("maps") || fs::exists("pict") || fs::exists("text"));
}

INSTANTIATE_TEST_SUITE_P(Scenes, EscapeInEachScene, ::testing::Range(0, (int)SceneCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(Scenes[info.param].name);
                         });

TEST_F(DemoSequence, WholeShowPlaysEverySceneToItsEnd) {
  ShowClock clock(5.0);
  FlightStart flight;
  const std::vector<double> starts = SceneStarts();
  std::vector<int> looked(SceneCount, 0), shown(SceneCount, 0);
  bool slotsFilled = false, directoriesGone = false;
  clock.onFrame = [&](uint64_t) {
    double now = clock.Seconds();
    flight.Note(now);
    if (flight.at < 0) return;
    if (!slotsFilled) {
      slotsFilled = true;
      for (int slot = 0; slot < TextureSlotCount; slot++)
        if ((slot == 2) != (TextureTable[slot] == 0)) slotsFilled = false;
      directoriesGone = !fs::exists("maps") && !fs::exists("pict") && !fs::exists("text");
    }
    // Every other frame, clear of the scenes' first and last 2.5 s (fades, scene changes).
    double s = now - flight.at;
    for (int i = 0; i < SceneCount; i++) {
      if (s > starts[i] + 2.5 && s < starts[i + 1] - 2.5 && (clock.frames % 2) == 0) {
        looked[i]++;
        FrameLook look = LookAtFrame();
        shown[i] += !look.blank && !look.oneColour;
      }
    }
  };
  RunDemo();

  EXPECT_FALSE(EscapeRequested);
  EXPECT_TRUE(slotsFilled);
  EXPECT_TRUE(directoriesGone);
  ASSERT_GE(flight.at, 0.0);
  // Loading, then the ten scenes one after the other.
  EXPECT_NEAR(clock.Seconds() - flight.at, starts[SceneCount], 3.0);
  for (int i = 0; i < SceneCount; i++) {
    SCOPED_TRACE(Scenes[i].name);
    EXPECT_GT(looked[i], 0);
    // With pictures but no 3D content, the scenes drawn from pictures still show them;
    // the palace, the bath and the computer room are their scene files and nothing else
    // (fog or the clear colour is all there is to see without them).
    std::string name = Scenes[i].name;
    if (name != "palace" && name != "bath" && name != "computer_room") {
      EXPECT_GT(shown[i], 0);
    }
  }
  EXPECT_TRUE(AllReleased());
}

TEST_F(DemoSequence, OfflineRendererPlaysTheWholeShowHeadless) {
  std::string tool = std::string(TEST_BINARY_DIR) + "/../vellumar2-render";
  ASSERT_TRUE(fs::exists(tool)) << tool;
  std::string command = tool + " --fps 2 --out frames --at 12,60,280 > render.log 2>&1";
  int status = system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream log("render.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  // Three frames written, the last one near the end of the show: it ran all the way.
  EXPECT_NE(text.find("3 written"), std::string::npos) << text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
  for (const char* frame : {"frames/frame-000024.png", "frames/frame-000120.png", "frames/frame-000560.png"})
    EXPECT_TRUE(fs::exists(frame)) << frame;
  EXPECT_FALSE(fs::exists("text"));
}
