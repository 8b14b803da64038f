// tools/render/main.cpp - vellumar2-render: plays the show's own code on the headless
// backend, on a virtual clock that advances one frame period per presented frame, and
// writes chosen frames as PNG files.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/settings.h"
#include "app/window.h"
#include "platform/platform.h"
#include "timeline/demo_sequence.h"
#include "timeline/music.h"
#include "tools/render/preview.h"

namespace {
const char* const Usage =
    "usage: vellumar2-render [--out DIR] [--fps N] [--size WxH] [--every N | --at T[,T...]]\n"
    "\n"
    "Plays the show headless on a virtual clock and writes frames as PNG files.\n"
    "  --out DIR     directory for the frames (default: frames); created if missing\n"
    "  --fps N       frames per second of show time (default: 30)\n"
    "  --size WxH    size of the frame (default: 1024x768)\n"
    "  --every N     write every Nth frame (default: one frame per second of show time)\n"
    "  --at T,...    write the frames at these show times in seconds instead\n"
    "  --help        this text\n";

struct Options {
  std::string out = "frames";
  double fps = 30;
  int width = 1024, height = 768;
  long every = 0;
  std::vector<double> at;
};

struct RenderState {
  Options options;
  std::vector<long> atFrames;
  long written = 0;
  bool failed = false;
} state;

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  double v = strtod(text, &end);
  if (errno || end == text || *end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(Usage, stdout);
      exit(0);
    }
    if (i + 1 >= argc) {
      fprintf(stderr, "vellumar2-render: %s needs a value\n", arg.c_str());
      return false;
    }
    const char* value = argv[++i];
    double number = 0;
    if (arg == "--out") {
      o->out = value;
    } else if (arg == "--fps") {
      if (!ParseNumber(value, &number) || number < 1 || number > 1000) {
        fprintf(stderr, "vellumar2-render: --fps wants a number from 1 to 1000\n");
        return false;
      }
      o->fps = number;
    } else if (arg == "--size") {
      int w = 0, h = 0;
      char tail = 0;
      if (sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 ||
          h > 8192) {
        fprintf(stderr, "vellumar2-render: --size wants WxH, each from 16 to 8192\n");
        return false;
      }
      o->width = w;
      o->height = h;
    } else if (arg == "--every") {
      if (!ParseNumber(value, &number) || number < 1 || number != floor(number)) {
        fprintf(stderr, "vellumar2-render: --every wants a whole number of at least 1\n");
        return false;
      }
      o->every = (long)number;
    } else if (arg == "--at") {
      std::string list = value;
      size_t start = 0;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        if (!ParseNumber(item.c_str(), &number) || number < 0) {
          fprintf(stderr, "vellumar2-render: --at wants times in seconds, like 0.5,2,10\n");
          return false;
        }
        o->at.push_back(number);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else {
      fprintf(stderr, "vellumar2-render: unknown option %s\n%s", arg.c_str(), Usage);
      return false;
    }
  }
  return true;
}

bool Chosen(long frame) {
  const Options& o = state.options;
  if (!state.atFrames.empty()) {
    for (long f : state.atFrames)
      if (f == frame) return true;
    return false;
  }
  long every = o.every > 0 ? o.every : std::max(1L, lround(o.fps));
  return frame % every == 0;
}

// Called after each presented frame: write it if chosen, then move the clock on.
void OnPresent(void*) {
  long frame = (long)PlatformPresentCount() - 1;
  if (Chosen(frame)) {
    int w, h;
    std::vector<uint8_t> pixels = PlatformReadFrame(&w, &h);
    // The screen shows no alpha; where the show left it below 1 (the multiplied overlays
    // carry the cleared alpha through) a viewer would show the PNG as transparent.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    char name[64];
    snprintf(name, sizeof name, "/frame-%06ld.png", frame);
    std::string path = state.options.out + name;
    if (WritePng(path, w, h, pixels.data())) {
      printf("%s  t=%.3f s\n", path.c_str(), frame / state.options.fps);
      state.written++;
    } else {
      state.failed = true;
    }
  }
  PlatformAdvanceVirtualTime(1000.0 / state.options.fps);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--preview") == 0) return RunPreview(argc, argv);
  if (!ParseOptions(argc, argv, &state.options)) return 2;
  const Options& o = state.options;
  for (double t : o.at) state.atFrames.push_back(lround(t * o.fps));
  if (mkdir(o.out.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(stderr, "vellumar2-render: cannot create %s: %s\n", o.out.c_str(), strerror(errno));
    return 1;
  }
  struct stat st;
  if (stat(o.out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    fprintf(stderr, "vellumar2-render: %s is not a directory\n", o.out.c_str());
    return 1;
  }

  // Frames come faster or slower than real time here; the music must not play aloud.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  PlatformSelectBackend(BackendHeadless, o.width, o.height);
  PlatformSetMessageBoxesHeadless(true);
  PlatformUseVirtualClock(true);
  // A wait that only handles messages never presents; let it see time pass.
  PlatformSetVirtualIdleStep(1000.0 / o.fps, 64);
  PlatformSetPresentHook(OnPresent, nullptr);

  SetDefaultSettings();
  PlatformWindow window = CreateDemoWindow("Vellumar 2", o.width, o.height);
  if (!window || InitGL(window) == InitGLFailed) {
    fprintf(stderr, "vellumar2-render: no headless GL context\n");
    ShutdownGL();
    return 1;
  }
  StartSound();
  RunDemo();
  ShutdownAll();
  printf("%ld frames presented, %ld written to %s\n", (long)PlatformPresentCount(),
         state.written, o.out.c_str());
  return state.failed ? 1 : 0;
}
