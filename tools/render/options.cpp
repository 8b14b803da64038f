// tools/render/options.cpp - parsing and checking the renderer's command line.
#include "tools/render/options.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "scenes/scenes.h"
#include "tools/render/option_parse.h"

const char* const RenderUsage =
    "usage: vellumar2-render [options]\n"
    "       vellumar2-render --preview FILE.3ds [preview options]   (--preview --help)\n"
    "\n"
    "Plays the show headless on a virtual clock (every frame lands on time) from the\n"
    "show's directory and captures it. Output (at least one, except with --window):\n"
    "  --out DIR            every frame as DIR/frame-000123.png (created if missing)\n"
    "  --at T[,T...]        with --out: only the frames at these times (seconds, counted\n"
    "                       as --from counts them, from --from up to --to); the run\n"
    "                       ends after the last of them\n"
    "  --video FILE.mp4     H.264 video with the show's music (needs the ffmpeg command)\n"
    "  --contact-sheet FILE.png  one labelled thumbnail every --every seconds\n"
    "  --every N            seconds between thumbnails (default 5)\n"
    "  --bench              render as fast as possible, write nothing, print frame times\n"
    "                       per scene and for the show, and the loading time by group\n"
    "  --json FILE          with --bench: the same figures as JSON\n"
    "  --window             watch the show at real time with its music in a resizable\n"
    "                       window (the picture letterboxed); Escape or closing ends it\n"
    "What and how:\n"
    "  --fps N              frames per second of show time, 1 to 240 (default 60)\n"
    "  --size WxH           frame size, 4:3, from 320x240 to 7680x5760 (default 1024x768);\n"
    "                       a video's sides are even: a width that is a multiple of 8,\n"
    "                       or --pad\n"
    "  --pad WxH            with --video: centre the picture on black in a WxH video\n"
    "                       (both even)\n"
    "  --scene NAME         load, then play only this scene; NAME is one of\n"
    "                       night-flight jungle balls tunnel streamers palace bath\n"
    "                       computer scroll credits\n"
    "  --from S, --to S     seconds of the show (or of the scene): frames before S are\n"
    "                       played but not written; the run ends after --to\n"
    "  --quiet              no progress line (it is shown only on a terminal anyway)\n"
    "  --help               this text\n"
    "Times: second 0 of the show is its first loading frame. The loading screen takes\n"
    "about 4 s (its 15 steps each end on a frame: a little longer at a low --fps), then\n"
    "the first track starts while the last loading frame stays up for 4 s, then the\n"
    "first scene begins (near 7.9 s at 60 fps). With --scene, second 0 is the scene's\n"
    "first frame (after the loading and the wait). The \"music:\" lines printed after a\n"
    "run give the tracks heard in the same seconds.\n"
    "Exit status: 0 done, 1 a file or the GL context failed, 2 bad options.\n";

const char* const SceneNames[SceneCount] = {"night-flight", "jungle", "balls",  "tunnel",
                                            "streamers",    "palace", "bath",   "computer",
                                            "scroll",       "credits"};

int SceneIndex(const char* name) {
  for (int i = 0; i < SceneCount; i++)
    if (strcmp(SceneNames[i], name) == 0) return i;
  const SceneEntry* entry = FindSceneEntry(name);
  return entry ? (int)(entry - Scenes) : -1;
}

namespace {
const char* const HelpHint = "(vellumar2-render --help lists the options)\n";

bool Bad(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool Bad(const char* format, ...) {
  va_list args;
  va_start(args, format);
  OptionFaultList(HelpHint, format, args);
  va_end(args);
  return false;
}

bool TimeList(const char* text, std::vector<double>* out) {
  std::string list = text;
  size_t start = 0;
  for (;;) {
    size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
    double t = 0;
    if (!ParseNumber(item.c_str(), &t) || t < 0) return false;
    out->push_back(t);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool Check(RenderOptions* o, bool everyGiven) {
  bool capture = !o->outDir.empty() || !o->video.empty() || !o->contactSheet.empty();
  if (!capture && !o->bench && !o->window)
    return Bad("nothing to do: give --out, --video, --contact-sheet, --bench or --window");
  if (o->window && (capture || o->bench))
    return Bad("--window plays at real time: it does not go with --out, --video, "
               "--contact-sheet or --bench");
  if (o->window && o->fromSeconds > 0)
    return Bad("--from does not go with --window (the window plays from the start)");
  if (o->bench && capture)
    return Bad("--bench writes no frames: it does not go with --out, --video or "
               "--contact-sheet");
  if (!o->json.empty() && !o->bench) return Bad("--json goes with --bench");
  if (!o->at.empty() && o->outDir.empty()) return Bad("--at goes with --out");
  if (everyGiven && o->contactSheet.empty()) return Bad("--every goes with --contact-sheet");
  if (o->padWidth && o->video.empty()) return Bad("--pad goes with --video");
  if (o->padWidth && (o->padWidth < o->width || o->padHeight < o->height))
    return Bad("--pad %dx%d is smaller than the frame (%dx%d)", o->padWidth, o->padHeight,
               o->width, o->height);
  // H.264 stores colour at half the resolution in both directions: the video's sides
  // must be even. A 4:3 width that is not a multiple of 8 gives an odd height.
  if (!o->video.empty() && !o->padWidth && o->height % 2)
    return Bad("--video needs an even height: %dx%d has an odd one (take a width that is a "
               "multiple of 8, like 1024x768, or --pad onto an even size)",
               o->width, o->height);
  if (o->toSeconds >= 0 && o->toSeconds <= o->fromSeconds)
    return Bad("--to (%g) must come after --from (%g)", o->toSeconds, o->fromSeconds);
  // A time outside the written frames would silently give no picture. Compared as the
  // capture compares them: in frames.
  for (double t : o->at) {
    long frame = lround(t * o->fps);
    if (frame < lround(o->fromSeconds * o->fps))
      return Bad("--at %g comes before --from (%g): no frame there is written", t, o->fromSeconds);
    if (o->toSeconds >= 0 && frame >= lround(o->toSeconds * o->fps))
      return Bad("--at %g is not before --to (%g): no frame there is written", t, o->toSeconds);
  }
  if (!o->scene.empty() && SceneIndex(o->scene.c_str()) < 0)
    return Bad("no scene called \"%s\"; the scenes are night-flight jungle balls tunnel "
               "streamers palace bath computer scroll credits",
               o->scene.c_str());
  return true;
}
}  // namespace

ParseResult ParseRenderOptions(int argc, char** argv, RenderOptions* o) {
  bool everyGiven = false;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(RenderUsage, stdout);
      return ParseHelp;
    }
    if (arg == "--bench") {
      o->bench = true;
      continue;
    }
    if (arg == "--window") {
      o->window = true;
      continue;
    }
    if (arg == "--quiet") {
      o->quiet = true;
      continue;
    }
    static const char* const valued[] = {"--out", "--video", "--contact-sheet", "--json",
                                         "--scene", "--fps", "--size", "--pad", "--from",
                                         "--to", "--every", "--at"};
    bool known = false;
    for (const char* name : valued) known |= arg == name;
    if (!known) {
      Bad("unknown option %s", arg.c_str());
      return ParseBad;
    }
    const char* value = OptionValue(argc, argv, &i, HelpHint);
    if (!value) return ParseBad;
    double number = 0;
    bool ok = true;
    if (arg == "--out") {
      o->outDir = value;
      ok = *value || Bad("--out needs a directory");
    } else if (arg == "--video") {
      o->video = value;
      ok = *value || Bad("--video needs a file name");
    } else if (arg == "--contact-sheet") {
      o->contactSheet = value;
      ok = *value || Bad("--contact-sheet needs a file name");
    } else if (arg == "--json") {
      o->json = value;
      ok = *value || Bad("--json needs a file name");
    } else if (arg == "--scene") {
      o->scene = value;
    } else if (arg == "--fps") {
      ok = (ParseNumber(value, &number) && number >= 1 && number <= 240 && number == floor(number)) ||
           Bad("--fps wants a whole number from 1 to 240, not \"%s\"", value);
      o->fps = (int)number;
    } else if (arg == "--size") {
      int w = 0, h = 0;
      ok = (ParseSize(value, &w, &h) && w >= 320 && w <= 7680 && (long)w * 3 == (long)h * 4) ||
           Bad("--size wants a 4:3 size WxH from 320x240 to 7680x5760 (like 1024x768), "
               "not \"%s\"",
               value);
      o->width = w;
      o->height = h;
    } else if (arg == "--pad") {
      int w = 0, h = 0;
      ok = (ParseSize(value, &w, &h) && w > 0 && h > 0 && w <= 8192 && h <= 8192 && w % 2 == 0 &&
            h % 2 == 0) ||
           Bad("--pad wants an even size WxH up to 8192x8192 (like 1920x1080), not \"%s\"",
               value);
      o->padWidth = w;
      o->padHeight = h;
    } else if (arg == "--from" || arg == "--to") {
      ok = (ParseNumber(value, &number) && number >= 0 && number < 86400) ||
           Bad("%s wants seconds from 0 (like 12.5), not \"%s\"", arg.c_str(), value);
      (arg == "--from" ? o->fromSeconds : o->toSeconds) = number;
    } else if (arg == "--every") {
      ok = (ParseNumber(value, &number) && number > 0 && number < 86400) ||
           Bad("--every wants seconds above 0, not \"%s\"", value);
      o->everySeconds = number;
      everyGiven = true;
    } else if (arg == "--at") {
      ok = TimeList(value, &o->at) || Bad("--at wants times in seconds, like 0.5,2,10");
    }
    if (!ok) return ParseBad;
  }
  return Check(o, everyGiven) ? ParseRun : ParseBad;
}

long ChosenFramesEnd(const RenderOptions& o) {
  if (o.at.empty() || !o.video.empty() || !o.contactSheet.empty()) return -1;
  return lround(*std::max_element(o.at.begin(), o.at.end()) * o.fps) + 1;
}
