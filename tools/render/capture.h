// tools/render/capture.h - what happens at each presented frame of a headless run.
//
// Owns: the run's frame clock and its outputs. Output frame k shows the picture on the
// screen at origin + k / fps on the show's clock: the virtual clock moves one frame period
// per present, so normally each present is one output frame; while the show holds a
// picture without presenting (the wait after loading, whose clock moves by the idle
// step), that picture is repeated. Output frames in [--from, --to) go to the PNG
// directory, the video encoder and the contact sheet; after the last one, EscapeRequested
// ends the show early. For --bench, each present's real time since the one before is
// added to the current scene and to the show. The progress line goes to standard error
// when it is a terminal.
// Called by: tools/render/main.cpp, which arms it when the part to be captured begins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/bench_stats.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/options.h"
#include "tools/render/video.h"

struct Capture {
  RenderOptions options;
  VideoEncoder* video = nullptr;
  ContactSheet* sheet = nullptr;
  BenchReport* bench = nullptr;
  long expectedFrames = 0;  // for the progress line; 0: unknown

  // Filled while running.
  long written = 0;          // output frames handed on
  long pngs = 0;
  bool failed = false;       // a frame could not be written
  double originMs = 0;       // show clock of output frame 0
  bool armed = false;
  long lastFrame = -1;       // exclusive end of the output frames, -1: none
};

// Installs the present hook and moves the clock per present from now on.
void StartCapture(Capture* capture);
// The output starts here: frame 0 is what is presented next, at the present clock.
void ArmCapture();
// The scene whose frames the benchmark counts from now on.
void BenchScene(const std::string& name);
// Flushes the picture held on screen and removes the hook.
void FinishCapture();
// Output frames so far (the next frame's number).
long CapturedFrames();
