// tools/render/options.h - the offline renderer's command line.
//
// Owns: RenderOptions and the parsing and checking of `vellumar2-render` options (all
// but --preview, which tools/render/preview.h parses itself), and the usage text.
// Reads: the scene names of scenes/scenes.h. Called by: tools/render/main.cpp.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
  std::string outDir;        // --out: every frame (or the --at frames) as PNG
  std::string video;         // --video: H.264 MP4 with the music
  std::string contactSheet;  // --contact-sheet: one thumbnail every `everySeconds`
  std::string json;          // --json: the --bench figures as JSON
  std::string scene;         // --scene: one scene after loading; empty: the whole show
  int fps = 60;
  int width = 1024, height = 768;
  int padWidth = 0, padHeight = 0;  // --pad; 0: the video has the frame's size
  double fromSeconds = 0;
  double toSeconds = -1;  // negative: to the end
  double everySeconds = 5;
  std::vector<double> at;  // --at: only these times go to --out
  bool bench = false;
  bool window = false;
  bool quiet = false;  // no progress line even on a terminal
};

// The scenes' names on this command line and in the figures, in play order (the order
// of the scene table, whose own names may differ). -1 for a name that is neither one of
// these nor a name of the table.
extern const char* const SceneNames[];
int SceneIndex(const char* name);
// The first scene of the second track (the scrolling page).
enum { SecondTrackScene = 8 };

enum ParseResult { ParseRun, ParseHelp, ParseBad };

// Parses argv into `options`. On ParseBad a message naming the fault has been written to
// standard error; the program then ends with status 2.
ParseResult ParseRenderOptions(int argc, char** argv, RenderOptions* options);
// When --at frames are the only output, the run has nothing to write after the last of
// them: the output frame just past it. -1 otherwise.
long ChosenFramesEnd(const RenderOptions& options);
extern const char* const RenderUsage;
