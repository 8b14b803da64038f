// tools/render/capture.cpp - the present hook: frame clock, outputs, progress.
#include "tools/render/capture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "app/gl.h"
#include "app/window.h"
#include "platform/platform.h"

namespace {
Capture* run = nullptr;
std::vector<uint8_t> held;  // the picture last presented, shown until the next present
bool haveHeld = false;
long nextFrame = 0;         // the next output frame to fill
long firstFrame = 0, endFrame = LONG_MAX;
double periodMs = 1000.0 / 60;
std::vector<long> atFrames;  // --at, as output frames
size_t nextTile = 0;         // the contact sheet's next tile
double lastPresentWall = 0;
size_t benchScene = SIZE_MAX;
bool progressShown = false;
double progressStartWall = 0, progressLastWall = 0;

bool Wanted(long frame) { return frame >= firstFrame && frame < endFrame; }

bool ChosenForPng(long frame) {
  if (atFrames.empty()) return true;
  return std::find(atFrames.begin(), atFrames.end(), frame) != atFrames.end();
}

void Progress(bool last) {
  if (run->options.quiet || !isatty(STDERR_FILENO)) return;
  double now = WallMs();
  if (!last && now - progressLastWall < 250) return;
  progressLastWall = now;
  long done = std::max(0L, nextFrame - firstFrame);
  long total = run->expectedFrames;
  double rate = done / std::max(1e-3, (now - progressStartWall) / 1000.0);
  char left[32] = "?";
  if (total > done && rate > 0) {
    long s = lround((total - done) / rate);
    snprintf(left, sizeof left, "%ld:%02ld", s / 60, s % 60);
  } else if (total > 0) {
    snprintf(left, sizeof left, "0:00");
  }
  if (total > 0)
    fprintf(stderr, "\r  %ld / %ld frames  %.1f frames/s  %s left   ", done, total, rate, left);
  else
    fprintf(stderr, "\r  %ld frames  %.1f frames/s   ", done, rate);
  if (last) fputc('\n', stderr);
  fflush(stderr);
  progressShown = true;
}

void Emit(long frame, const std::vector<uint8_t>& rgba, int width, int height) {
  const RenderOptions& o = run->options;
  double seconds = frame * periodMs / 1000.0;
  if (!o.outDir.empty() && ChosenForPng(frame)) {
    char name[64];
    snprintf(name, sizeof name, "/frame-%06ld.png", frame);
    if (WritePng(o.outDir + name, width, height, rgba.data())) {
      run->pngs++;
    } else {
      fprintf(stderr, "vellumar2-render: cannot write %s%s\n", o.outDir.c_str(), name);
      run->failed = true;
    }
  }
  if (run->video && !run->video->Write(rgba.data())) run->failed = true;
  if (run->sheet) {
    // Tile j shows the output frame nearest to from + j * every seconds.
    long tileFrame = lround((o.fromSeconds + nextTile * o.everySeconds) * o.fps);
    if (frame >= tileFrame) {
      run->sheet->Add(rgba.data(), width, height, seconds);
      nextTile++;
    }
  }
  run->written++;
}

// Output frames whose time has passed get the held picture.
void FillUntil(double clockMs) {
  // Without a held picture the frames passing now are ones no output wanted (see
  // PictureWanted): they are only counted.
  int width = 0, height = 0;
  PlatformFrameSize(&width, &height);
  // Half a period of slack: frames and presents sit on the same grid of periods, up to
  // the rounding of a sum of periods.
  while (nextFrame < endFrame && run->originMs + nextFrame * periodMs < clockMs - periodMs / 2) {
    if (haveHeld && Wanted(nextFrame)) Emit(nextFrame, held, width, height);
    nextFrame++;
  }
}

// The first output frame from `nextFrame` on that any output will take; LONG_MAX: none.
long NextWantedFrame() {
  const RenderOptions& o = run->options;
  long from = std::max(nextFrame, firstFrame), next = LONG_MAX;
  if (run->video || (!o.outDir.empty() && atFrames.empty())) next = from;
  for (long f : atFrames)
    if (f >= from) next = std::min(next, f);
  if (run->sheet) next = std::min(next, std::max(from, lround((o.fromSeconds + nextTile * o.everySeconds) * o.fps)));
  return next < endFrame ? next : LONG_MAX;
}

// Reading the frame back is most of a capture's cost; a picture that no output can take
// is not read. The longest the show holds a picture without presenting is the wait after
// loading (four seconds), so a picture is read once a wanted frame is that near.
bool PictureWanted(double clockMs) {
  long next = NextWantedFrame();
  if (next == LONG_MAX) return false;
  const double longestHoldMs = 5000;
  return run->originMs + next * periodMs <= clockMs + longestHoldMs;
}

void OnPresent(void*) {
  double now = PlatformVirtualTime();
  if (run->bench) {
    // The driver may still be drawing the frame on its own threads: it counts once done.
    glFinish();
    double wall = WallMs();
    double ms = wall - lastPresentWall;
    lastPresentWall = wall;
    if (run->armed) {
      double seconds = (now - run->originMs) / 1000.0;
      bool inside = seconds >= run->options.fromSeconds - 1e-9 &&
                    (run->options.toSeconds < 0 || seconds < run->options.toSeconds);
      if (inside) {
        run->bench->show.push_back(ms);
        if (benchScene < run->bench->scenes.size()) run->bench->scenes[benchScene].second.push_back(ms);
        nextFrame = lround(seconds * run->options.fps) + 1;
      } else if (run->options.toSeconds >= 0 && seconds >= run->options.toSeconds) {
        EscapeRequested = true;
      }
      Progress(false);
    }
  } else if (run->armed) {
    FillUntil(now);
    haveHeld = false;
    if (PictureWanted(now)) {
      int width = 0, height = 0;
      held = PlatformReadFrame(&width, &height);
      // The screen shows no alpha; the multiplied overlays carry the cleared alpha through,
      // which a picture viewer would show as transparency. Only the PNGs keep alpha: the
      // video and the contact sheet read colour alone.
      if (!run->options.outDir.empty())
        for (size_t i = 3; i < held.size(); i += 4) held[i] = 255;
      haveHeld = !held.empty();
    }
    if (nextFrame >= endFrame) EscapeRequested = true;
    Progress(false);
  }
  PlatformAdvanceVirtualTime(periodMs);
}
}  // namespace

void StartCapture(Capture* capture) {
  run = capture;
  const RenderOptions& o = capture->options;
  periodMs = 1000.0 / o.fps;
  firstFrame = lround(o.fromSeconds * o.fps);
  endFrame = o.toSeconds >= 0 ? lround(o.toSeconds * o.fps) : LONG_MAX;
  atFrames.clear();
  for (double t : o.at) atFrames.push_back(lround(t * o.fps));
  if (ChosenFramesEnd(o) >= 0) endFrame = std::min(endFrame, ChosenFramesEnd(o));
  nextFrame = 0;
  nextTile = 0;
  haveHeld = false;
  lastPresentWall = WallMs();
  PlatformSetPresentHook(OnPresent, nullptr);
}

void ArmCapture() {
  run->armed = true;
  run->originMs = PlatformVirtualTime();
  haveHeld = false;
  nextFrame = 0;
  progressStartWall = progressLastWall = WallMs();
}

void BenchScene(const std::string& name) {
  if (!run || !run->bench) return;
  run->bench->scenes.push_back({name, {}});
  benchScene = run->bench->scenes.size() - 1;
  // The scene's set-up counts in its first frame; the gap since the last scene's last
  // frame (its clean-up) counts nowhere.
  lastPresentWall = WallMs();
}

void FinishCapture() {
  if (run && run->armed && !run->bench) {
    // The last picture stays on screen for one period after its present.
    FillUntil(PlatformVirtualTime());
  }
  if (run && progressShown) Progress(true);
  PlatformSetPresentHook(nullptr, nullptr);
  run->lastFrame = nextFrame;
}

long CapturedFrames() { return nextFrame; }
