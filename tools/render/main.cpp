// tools/render/main.cpp - vellumar2-render: plays the show's own code, headless on a
// virtual clock (or in a window at real time), and captures it: PNG frames, an H.264
// video with the music, a contact sheet, or frame-time figures.
//
// The whole show is played through RunDemo, exactly as the program plays it. A single
// scene (--scene) and the benchmark (which needs to know where each scene begins) play
// the same running order from the scene table instead: the loading, the scenes, the
// change of track before the scrolling page, the release.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "platform/platform.h"
#include "platform/sound.h"
#include "scenes/scenes.h"
#include "timeline/demo_sequence.h"
#include "timeline/frame_services.h"
#include "timeline/music.h"
#include "timeline/music_log.h"
#include "tools/render/audio_mix.h"
#include "tools/render/bench_stats.h"
#include "tools/render/capture.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/option_parse.h"
#include "tools/render/options.h"
#include "tools/render/preview.h"
#include "tools/render/video.h"

void LoadAssets();
void ReleaseAssets();

namespace {
// What the loading takes on the show's clock besides drawing: 15 loading-screen steps of
// a quarter second and the four-second wait with the first track playing.
const double LoadingSeconds = 15 * 0.25 + 4.0;
const double WaitSeconds = 4.0;

// How far into its track the music is when scene `index` begins in the whole show.
double TrackPositionMs(int index) {
  const int second = SecondTrackScene;
  bool onSecond = index >= second;
  double ms = onSecond ? 0 : WaitSeconds * 1000;
  for (int i = onSecond ? second : 0; i < index; i++) ms += Scenes[i].seconds * 1000.0;
  return ms;
}

// The running order from the scene table. `only` < 0: every scene.
void PlayFromTable(int only, bool arm, bool bench) {
  LoadAssets();
  for (int i = 0; i < SceneCount; i++) {
    if (only >= 0 && i != only) continue;
    if (i == SecondTrackScene) {
      StopMusic();
      PlayMusic("vellumar2.mp3");
      SetVolume(0, 140);
    }
    if (arm && i == only) ArmCapture();
    if (bench && !EscapeRequested) BenchScene(SceneNames[i]);
    Scenes[i].run();
  }
  ReleaseAssets();
}

// The floor of this context: frames that only clear and present, and frames with one
// full-screen textured quad. Medians of real time, each frame finished by the driver.
void MeasureFloor(BenchReport* report) {
  const int size = 512, frames = 120;
  std::vector<uint8_t> texels((size_t)size * size * 3);
  for (size_t i = 0; i < texels.size(); i++) texels[i] = (uint8_t)(i * 7 % 251);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (int pass = 0; pass < 2; pass++) {
    std::vector<double> times;
    glFinish();
    for (int f = 0; f < frames; f++) {
      double start = WallMs();
      ClearFrame();
      if (pass == 1) {
        // At eye depth -3.6 this quad covers the screen with the show's projection.
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex3f(-2.0f, -1.5f, -3.6f);
        glTexCoord2f(1, 1);
        glVertex3f(2.0f, -1.5f, -3.6f);
        glTexCoord2f(1, 0);
        glVertex3f(2.0f, 1.5f, -3.6f);
        glTexCoord2f(0, 0);
        glVertex3f(-2.0f, 1.5f, -3.6f);
        glEnd();
      }
      EndFrame();
      glFinish();
      times.push_back(WallMs() - start);
    }
    (pass == 0 ? report->clearMs : report->quadMs) = Summarise(times).medianMs;
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glDeleteTextures(1, &texture);
}

// --window: the show at real time in an ordinary window, with its music.
double windowStopMs = -1;
void OnWindowPresent(void*) {
  if (windowStopMs >= 0 && PlatformTicks() >= windowStopMs) EscapeRequested = true;
}

int RunWindow(const RenderOptions& o) {
  PlatformSelectBackend(BackendWindowed);
  PlatformSetShowWindowed(true, o.width, o.height);
  SetDefaultSettings();
  ScreenWidth = o.width;
  ScreenHeight = o.height;
  PlatformWindow window = CreateDemoWindow("Vellumar 2", o.width, o.height);
  if (!window || InitGL(window) == InitGLFailed) {
    fprintf(stderr, "vellumar2-render: no window with a GL context (is there a display?)\n");
    ShutdownGL();
    return 1;
  }
  PlatformShowCursor(true);  // an ordinary window keeps the pointer
  StartSound();
  if (o.toSeconds >= 0) windowStopMs = PlatformTicks() + o.toSeconds * 1000.0;
  PlatformSetPresentHook(OnWindowPresent, nullptr);
  if (o.scene.empty())
    RunDemo();
  else
    PlayFromTable(SceneIndex(o.scene.c_str()), false, false);
  PlatformSetPresentHook(nullptr, nullptr);
  ShutdownAll();
  return 0;
}

// The music heard from `fromMs` to `endMs`, in the times --from and --at take: from
// `originMs`, the show clock of output frame 0.
void PrintMusic(const std::vector<MusicSegment>& plan, double originMs, double fromMs,
                double endMs) {
  for (const MusicSegment& s : plan) {
    double start = s.startMs - originMs;
    double end = s.endMs < 0 ? endMs : s.endMs - originMs;
    if (end <= fromMs || start >= endMs) continue;
    printf("music: %s from %.3f s", s.file.c_str(), start / 1000.0);
    if (s.endMs >= 0 && end < endMs) printf(" to %.3f s", end / 1000.0);
    printf(", volume %d\n", s.volumes.empty() ? 255 : s.volumes.back().volume);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--preview") == 0) return RunPreview(argc, argv);
  RenderOptions o;
  switch (ParseRenderOptions(argc, argv, &o)) {
    case ParseHelp:
      return 0;
    case ParseBad:
      return 2;
    case ParseRun:
      break;
  }
  if (o.height < 256)
    fprintf(stderr, "vellumar2-render: note: below 256 pixels high, the cards' 256 x 256 frame "
                    "copy reaches past the frame\n");
  if (!o.video.empty() && !CommandOnPath("ffmpeg")) {
    fprintf(stderr, "vellumar2-render: --video needs the ffmpeg command, which is not on the "
                    "PATH (Debian: apt-get install ffmpeg)\n");
    return 1;
  }
  if (!o.outDir.empty() && !MakeOutputDirectory(o.outDir)) return 1;
  if (o.window) return RunWindow(o);

  // Frames come faster or slower than real time: the music must not play aloud.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  PlatformSelectBackend(BackendHeadless, o.width, o.height);
  PlatformSetMessageBoxesHeadless(true);
  PlatformUseVirtualClock(true);
  // A wait that only handles messages never presents; let it see time pass.
  PlatformSetVirtualIdleStep(1000.0 / o.fps, 64);
  MusicLogEnable(true);

  SetDefaultSettings();
  ScreenWidth = o.width;
  ScreenHeight = o.height;
  PlatformWindow window = CreateDemoWindow("Vellumar 2", o.width, o.height);
  if (!window || InitGL(window) == InitGLFailed) {
    fprintf(stderr, "vellumar2-render: no headless GL context\n");
    ShutdownGL();
    return 1;
  }

  Capture capture;
  capture.options = o;
  VideoEncoder video;
  ContactSheet sheet;
  BenchReport report;
  if (!o.video.empty()) {
    if (!video.Open(o.video, o.width, o.height, o.fps, o.padWidth, o.padHeight)) {
      ShutdownAll();
      return 1;
    }
    capture.video = &video;
  }
  if (!o.contactSheet.empty()) capture.sheet = &sheet;
  int only = o.scene.empty() ? -1 : SceneIndex(o.scene.c_str());
  double expected = only >= 0 ? Scenes[only].seconds : LoadingSeconds;
  if (only < 0)
    for (const SceneEntry& e : Scenes) expected += e.seconds;
  if (o.toSeconds >= 0) expected = std::min(expected, o.toSeconds);
  if (ChosenFramesEnd(o) >= 0) expected = std::min(expected, ChosenFramesEnd(o) / (double)o.fps);
  capture.expectedFrames = std::max(0L, lround((expected - o.fromSeconds) * o.fps));
  if (o.bench) {
    MeasureFloor(&report);
    capture.bench = &report;
    StartLoadingTimes(&report);
  }

  double wallStart = WallMs();
  StartCapture(&capture);
  StartSound();
  if (only < 0) ArmCapture();
  if (only < 0 && !o.bench)
    RunDemo();
  else
    PlayFromTable(only, only >= 0, o.bench);
  FinishCapture();
  double wallSeconds = (WallMs() - wallStart) / 1000.0;
  StopLoadingTimes();
  ShutdownAll();

  long frames = std::max(0L, capture.lastFrame - lround(o.fromSeconds * o.fps));
  double lengthMs = capture.lastFrame * 1000.0 / o.fps;
  std::vector<MusicSegment> plan = PlanMusic(MusicLogEvents());
  if (only >= 0) AlignSegmentAt(&plan, capture.originMs, TrackPositionMs(only));
  bool ok = !capture.failed;
  if (!o.bench) PrintMusic(plan, capture.originMs, o.fromSeconds * 1000.0, lengthMs);
  if (capture.video) {
    // The video starts at --from: its sound track does too.
    size_t audioFrames = (size_t)llround(frames * (double)SoundMixRate / o.fps);
    std::vector<int16_t> music = MixMusic(plan, capture.originMs + o.fromSeconds * 1000.0,
                                          audioFrames, SoundMixRate, PlatformTrackDecoder);
    if (!video.Finish(music, SoundMixRate)) ok = false;
  }
  if (capture.sheet) {
    if (sheet.Write(o.contactSheet)) {
      printf("contact sheet: %zu tiles in %s\n", sheet.Count(), o.contactSheet.c_str());
    } else {
      fprintf(stderr, "vellumar2-render: cannot write %s\n", o.contactSheet.c_str());
      ok = false;
    }
  }
  if (o.bench) {
    fputs(report.Text().c_str(), stdout);
    if (!o.json.empty()) {
      FILE* f = fopen(o.json.c_str(), "w");
      std::string json = report.Json();
      if (!f || fwrite(json.data(), 1, json.size(), f) != json.size()) {
        fprintf(stderr, "vellumar2-render: cannot write %s\n", o.json.c_str());
        ok = false;
      }
      if (f && fclose(f) != 0) ok = false;
    }
  } else {
    printf("%ld frames (%.2f s of show) in %.1f s", frames, frames / (double)o.fps, wallSeconds);
    if (!o.outDir.empty()) printf(", %ld written to %s", capture.pngs, o.outDir.c_str());
    if (!o.video.empty() && ok) printf(", video %s", o.video.c_str());
    printf("\n");
  }
  return ok ? 0 : 1;
}
