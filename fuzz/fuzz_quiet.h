// fuzz/fuzz_quiet.h - what every fuzz target does once: log lines and message boxes go
// nowhere (a damaged file is reported many thousand times a second), and targets that
// draw get a headless GL context.
#pragma once

#include <cstdlib>

#include "app/window.h"
#include "platform/platform.h"

inline void FuzzQuiet(bool withGL) {
  static bool done = false;
  if (done) return;
  done = true;
  SetLogSink([](LogLevel, const char*, const char*, void*) {}, nullptr);
  PlatformSetMessageBoxesHeadless(true);
  PlatformSetMessageBoxHook([](const char*, const char*, void*) {}, nullptr);
  if (withGL) {
    if (!PlatformOpenHeadless(64, 48)) abort();
    LoadExtensions();
  }
}
