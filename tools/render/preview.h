// tools/render/preview.h - the offline renderer's scene preview.
//
// Owns: `vellumar2-render --preview FILE.3ds [options]`: loads one 3DS scene headless
// (material paths relative to the current directory), optionally its lighting file and
// an animated model, then writes PNG frames along its camera path: AnimateScene over the
// given seconds, drawn with DrawScene, or with DrawGrid through a SceneGrid when asked.
// A file without a camera is seen from a camera that frames its meshes. A file that does
// not load ends the run with a message and status 1.
//
// Reads: the engine (loader, lighting, animation, grid, models, renderer) and the
// platform's headless backend. Called by: tools/render/main.cpp when its first argument
// is --preview.
#pragma once

// Runs the preview for the whole command line (argv[1] is "--preview"). Returns the
// process status: 0 frames written, 1 a file would not load or a frame not write, 2 bad
// options.
int RunPreview(int argc, char** argv);
